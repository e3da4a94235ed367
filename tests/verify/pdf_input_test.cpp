#include "verify/pdf_input.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "verify/opened_revision.h"
#include "verify/revisions.h"

namespace corvane::verify {
namespace {

// qpdf's view ends after the last %%EOF only when the file's last kilobyte
// names no cross-reference section; the document it sees then opens.
TEST(PdfInput, ViewEndsAtTheLastEofBeforeATailWithoutStartxref) {
  const std::string pdf = test::make_pdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"});
  const struct {
    std::string tail;
    bool want_whole;
  } cases[] = {{std::string(100, ' '), true},
               {std::string(4096, '\0'), false},
               {"% an update\n" + std::string(2048, 'z'), false}};
  for (const auto& c : cases) {
    const std::string bytes = pdf + c.tail;
    const platform::MemoryByteSource file(bytes);
    const std::uint64_t end = readable_end(file, {pdf.size()});
    EXPECT_EQ(end, c.want_whole ? bytes.size() : pdf.size()) << c.tail.size();
    const OpenedPdf opened = open_pdf(file, end, "");
    EXPECT_TRUE(opened.pdf) << c.tail.size() << ": " << opened.problem;
  }
}

// `pdf` with the number after its last "/Prev " replaced by `prev`.
std::string with_prev(std::string pdf, long long prev) {
  const std::size_t at = pdf.rfind("/Prev ") + 6;
  return pdf.replace(at, pdf.find_first_not_of("0123456789", at) - at, std::to_string(prev));
}

// What qpdf read of a revision: every entry of its table and its trailer.
std::string read_of(const OpenedRevision& revision) {
  if (!revision.ok()) return "unreadable: " + revision.problem();
  std::string text = revision.pdf().getTrailer().unparse();
  for (const auto& [object, entry] : revision.pdf().getXRefTable())
    text += "\n" + object.unparse() + " " + std::to_string(entry.getType()) + " " +
            std::to_string(entry.getType() == 1 ? entry.getOffset() : entry.getObjStreamNumber());
  return text;
}

// The last revision opened after the one before it reads exactly what a
// plain opening reads, whether the earlier sections come from the earlier
// table (a sound chain) or are parsed again (a chain that leaves it).
TEST(OpenedRevision, AfterAnEarlierOneReadsWhatAPlainOpeningReads) {
  // Each revision over a kilobyte, as the opening after an earlier one asks.
  const std::string pad = "(" + std::string(1200, 'p') + ")";
  const std::string base = test::make_pdf(
      {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>", "<< /A 1 >>", pad});
  const std::string two = test::with_update(base, {{5, "<< /B 2 >>"}, {6, pad}});
  const std::string three = test::with_update(two, {{7, "<< /C 3 >>"}, {3, "<< /A 2 >>"}, {8, pad}});
  const struct {
    const char* name;
    std::string file;
    bool want_taken;
  } cases[] = {
      {"an update", three, true},
      {"a freed object", test::with_update(two, {{3, ""}, {7, pad}}), true},
      {"a new generation", test::with_update(two, {{3, "<< /A 3 >>", 1}, {7, pad}}), true},
      {"a /Prev past the end", with_prev(three, static_cast<long long>(three.size())), false},
      {"a /Prev past the earlier section", with_prev(three, test::last_number_after(base, "startxref")), false},
      {"object streams before", test::with_update(test::read_file(test::fixture_pdf("xref-stream.pdf")), {{1, "<< >>"}}), false},
  };
  for (const auto& c : cases) {
    const platform::MemoryByteSource file(c.file);
    const std::vector<std::uint64_t> ends = revision_ends(file);
    ASSERT_GE(ends.size(), 2u) << c.name;
    const OpenedRevision earlier(file, ends[ends.size() - 2], "");
    const OpenedRevision after(file, ends.back(), "", &earlier);
    EXPECT_EQ(read_of(after), read_of(OpenedRevision(file, ends.back(), ""))) << c.name;
    EXPECT_EQ(after.took_earlier_table(), c.want_taken) << c.name;
  }
}

}  // namespace
}  // namespace corvane::verify
