#include "verify/pdf_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace corvane::verify {
namespace {

// qpdf's view ends after the last %%EOF only when the file's last kilobyte
// names no cross-reference section; the document it sees then opens.
TEST(PdfInput, ViewEndsAtTheLastEofBeforeATailWithoutStartxref) {
  const std::string pdf = test::make_pdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"});
  const struct {
    std::string tail;
    bool want_whole;
  } cases[] = {{"", true},
               {std::string(100, ' '), true},
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

}  // namespace
}  // namespace corvane::verify
