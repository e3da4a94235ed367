#include "pdfupdate/pdf_literal.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane::pdfupdate {
namespace {

// How a reader sees such a string in a signed file is checked end to end:
// the hostile-input test of the sign command reads a /Reason back with qpdf.
TEST(PdfLiteral, EscapesWhatCouldEndOrAlterTheString) {
  const struct { std::string in; std::string want; } cases[] = {
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

}  // namespace
}  // namespace corvane::pdfupdate
