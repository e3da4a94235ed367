#include "pdfupdate/xref.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace corvane::pdfupdate {
namespace {

// A table as the engine writes it: one subsection from object 0, the
// trailer dictionary one entry per line.
std::string engine_table(int count, int size, const std::string& startxref = "1234") {
  std::string text = "xref\n0 " + std::to_string(count) + "\n0000000000 65535 f \n";
  for (int k = 1; k < count; ++k) text += "00000000" + std::to_string(10 + k) + " 00000 n \n";
  return text + "trailer\n<<\n/Size " + std::to_string(size) + "\n/Root 1 0 R\n>>\nstartxref\n" +
         startxref + "\n%%EOF\n";
}

SigningSession session_with(std::string xref_text) {
  SigningSession session;
  session.xrefText = std::move(xref_text);
  return session;
}

// The steps the pipeline runs on the table, with object k at offset 100 * k.
std::string rebuilt_table(SigningSession& session, std::int32_t startxref) {
  if (readTrailerSize(session) > 0) reserveSignatureEntries(session);
  session.objectOffsets.assign(static_cast<std::size_t>(session.newSize) + 3, 0);
  for (std::int32_t k = 1; k < session.newSize; ++k) session.objectOffsets[k] = 100 * k;
  return rewriteXrefEntries(session, startxref);
}

TEST(XrefTable, FourObjectTableGetsTwoNewEntries) {
  auto session = session_with(engine_table(4, 4));
  const std::string text = rebuilt_table(session, /*startxref=*/987654);
  EXPECT_EQ(session.trailerSize, 4);
  EXPECT_EQ(session.newSize, 6);
  EXPECT_EQ(session.firstNewObject, 4);
  EXPECT_EQ(session.unsupportedLayout, "");
  corvane::test::expect_golden("pdfupdate/testdata/xref_0_4.txt", text);
}

TEST(XrefTable, ReadsSizeOnlyFromItsOwnLine) {
  const struct { const char* trailer; std::int32_t want; } cases[] = {
      {"<<\n/Size 12\n/Root 1 0 R\n>>", 12},
      {"<<\n/Size 12.5\n>>", 12},  // halves go to the even neighbour
      {"<< /Size 12 /Root 1 0 R >>", 0},
      {"<<\n/Root 1 0 R\n>>", 0},
  };
  for (const auto& c : cases) {
    auto session = session_with(std::string("xref\n0 1\n0000000000 65535 f \ntrailer\n") + c.trailer);
    EXPECT_EQ(readTrailerSize(session), c.want) << c.trailer;
    EXPECT_EQ(session.newSize, c.want ? c.want + 2 : 0) << c.trailer;
    EXPECT_EQ(session.unsupportedLayout.empty(), c.want > 0) << c.trailer;
  }
}

TEST(XrefTable, SmallerSubsectionCountLowersSize) {
  auto session = session_with(engine_table(4, 9));
  const std::string text = rebuilt_table(session, 500);
  EXPECT_EQ(session.newSize, 6);
  EXPECT_NE(text.find("\n0 6\n"), std::string::npos);
  EXPECT_NE(text.find("\n/Size 6\n"), std::string::npos);
  EXPECT_EQ(text.find("999999999999999999"), std::string::npos);
}

TEST(XrefTable, ObjectMissingFromOutputIsReported) {
  auto session = session_with(engine_table(3, 3));
  ASSERT_GT(readTrailerSize(session), 0);
  reserveSignatureEntries(session);
  session.objectOffsets = {0, 100, 0, 300, 400, 0, 0, 0};
  const std::string text = rewriteXrefEntries(session, 1);
  EXPECT_NE(text.find("0000000000 00000 n \n"), std::string::npos);
  EXPECT_NE(session.unsupportedLayout.find("object 2 "), std::string::npos) << session.unsupportedLayout;
}

// Layouts the in-place rewrite cannot update: numbers stay unassigned, the
// text stays as it was, and the reason is recorded for the pipeline.
TEST(XrefTable, RefusesLayoutsOutsideOneTableAndOneTrailer) {
  const std::string two_trailers =
      engine_table(2, 2) + "xref\n0 1\n0000000000 65535 f \ntrailer\n<<\n/Size 2\n>>\n";
  const std::string two_subsections =
      "xref\n0 2\n0000000000 65535 f \n0000000015 00000 n \n5 1\n0000000090 00000 n \n"
      "trailer\n<<\n/Size 6\n>>\nstartxref\n9\n%%EOF\n";
  const std::string no_count =
      "xref\n0\n0000000000 65535 f \ntrailer\n<<\n/Size 1\n>>\nstartxref\n9\n%%EOF\n";
  std::string crlf = engine_table(2, 2);
  for (std::size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2))
    crlf.insert(at, "\r");
  const struct { const char* name; std::string table; const char* reason_part; } cases[] = {
      {"two trailers", two_trailers, "more than one trailer"},
      {"two subsections", two_subsections, "more than one subsection"},
      {"size below count", engine_table(5, 3), "smaller than"},
      {"no count", no_count, "no object count"},
      {"size on the subsection line",
       "xref\n0 1 00000/Size 8 \n0000000000 65535 f \ntrailer\n<<\n/Size*7\n>>\nstartxref\n9\n%%EOF\n",
       "not two numbers"},
      {"count without entries", engine_table(3, 3).replace(7, 1, "4"), "does not match"},
      {"carriage returns", crlf, "/Size"},
      {"size as a fraction", [] {
         std::string t = engine_table(2, 2);
         return t.replace(t.find("/Size 2"), 7, "/Size 2.0");
       }(), "plain whole number"},
      {"size without its blank", [] {
         std::string t = engine_table(2, 2);
         return t.replace(t.find("/Size 2"), 7, "/Size02");
       }(), "plain whole number"},
      {"size after startxref", "xref\n0 1\n0000000000 65535 f \ntrailer\nstartxref\n/Size 1\n",
       "plain whole number"},
      {"trailer with blank", [] {
         std::string t = engine_table(2, 2);
         return t.replace(t.find("trailer"), 7, "trailer ");
       }(), "no trailer line"},
  };
  for (const auto& c : cases) {
    auto session = session_with(c.table);
    if (readTrailerSize(session) > 0) reserveSignatureEntries(session);
    EXPECT_EQ(session.firstNewObject, 0) << c.name;
    EXPECT_EQ(session.xrefText, c.table) << c.name;
    EXPECT_NE(session.unsupportedLayout.find(c.reason_part), std::string::npos)
        << c.name << ": " << session.unsupportedLayout;
  }
}

}  // namespace
}  // namespace corvane::pdfupdate
