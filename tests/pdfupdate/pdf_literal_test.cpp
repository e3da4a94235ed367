#include "pdfupdate/pdf_literal.h"

#include <gtest/gtest.h>

#include <string>

#include "pdfupdate/signature_objects.h"
#include "pdfupdate/xref.h"
#include "tests/pdfupdate/fake_signer.h"
#include "tests/support/test_support.h"

namespace corvane::pdfupdate {
namespace {

TEST(PdfLiteral, EscapesWhatCouldEndOrAlterTheString) {
  const struct {
    std::string in;
    std::string want;
  } cases[] = {
      {"plain text", "plain text"},
      {"a (b) c", "a \\(b\\) c"},
      {"unbalanced ((", "unbalanced \\(\\("},
      {"back\\slash", "back\\\\slash"},
      {"line\nfeed\r\t\b\f", "line\\nfeed\\r\\t\\b\\f"},
      {std::string("nul\0x", 5) + "\x1b\x7f", "nul\\000x\\033\\177"},
      {"\xe9\x80\xff", "\xe9\x80\xff"},  // code-page letters stay bytes
  };
  for (const auto& c : cases) EXPECT_EQ(escape_pdf_literal(c.in), c.want) << c.in;
  EXPECT_EQ(pdf_literal_from_utf8("Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac (1)"), "Gr\xfc\xdf" "e \x80 \\(1\\)");
}

// A one-page document in the engine's layout, made signable with the
// update texts: the page refers to the new field and the table is rewritten
// with the offsets found in the assembled file.
std::string signable_document(SigningSession& session, SignerState& signer,
                              const SignContentFn& sign_content) {
  const std::string catalog = "1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n>>\nendobj\n";
  session.pageObjectText =
      "2 0 obj\n<<\n/Type /Page\n/Parent 3 0 R\n/MediaBox [ 0 0 595 842 ]\n>>\nendobj\n";
  const std::string pages = "3 0 obj\n<<\n/Type /Pages\n/Kids [ 2 0 R ]\n/Count 1\n>>\nendobj\n";
  session.xrefText =
      "xref\n0 4\n0000000000 65535 f \n0000000001 00000 n \n0000000002 00000 n \n"
      "0000000003 00000 n \ntrailer\n<<\n/Size 4\n/Root 1 0 R\n>>\nstartxref\n1\n%%EOF\n";

  (void)buildSignatureObjects(session, signer, sign_content);
  (void)addAnnotToPage(session);
  std::string file = "%PDF-1.4\n" + catalog + session.pageObjectText + pages +
                     session.signatureObjectsText;
  session.objectOffsets.assign(static_cast<std::size_t>(session.newSize) + 3, 0);
  for (std::int32_t k = 1; k < session.newSize; ++k) {
    const auto at = file.find("\n" + std::to_string(k) + " 0 obj\n");
    if (at != std::string::npos) session.objectOffsets[k] = static_cast<std::int32_t>(at + 1);
  }
  const auto startxref = static_cast<std::int32_t>(file.size());
  return file + rewriteXrefEntries(session, startxref);
}

std::string json_escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

TEST(PdfLiteral, ReasonReadsBackUnchangedFromARealFile) {
  const auto utilities = test::utilities_available();
  test::FakeSigner signer_double;
  SigningSession session;
  session.signingReason = "approved (see note \\ 3)) and :-( ends\nhere";
  SignerState signer;
  const std::string file = signable_document(session, signer, signer_double.fn());
  ASSERT_EQ(session.unsupportedLayout, "");

  test::ScratchDir dir("pdf-literal");
  const auto path = (dir / "signable.pdf").string();
  test::write_file(path, file);
  const auto check = test::run_command("qpdf --check " + test::shell_quote(path));
  EXPECT_EQ(check.exit_code, 0) << check.output;
  EXPECT_EQ(check.output.find("WARNING"), std::string::npos) << check.output;

  const auto json = test::run_command("qpdf --json=2 --json-key=qpdf --json-object=5 " +
                                      test::shell_quote(path));
  ASSERT_EQ(json.exit_code, 0) << json.output;
  const std::string reason = "\"/Reason\": \"u:" + json_escaped(session.signingReason) + "\"";
  EXPECT_NE(json.output.find(reason), std::string::npos) << json.output;
  const auto page = test::run_command("qpdf --show-object=2 " + test::shell_quote(path));
  EXPECT_NE(page.output.find("/Annots [ 4 0 R ]"), std::string::npos) << page.output;
}

}  // namespace
}  // namespace corvane::pdfupdate
