#include "verify/pdf_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace corvane::verify {
namespace {

// Ends of line found across the borders of the 64 kB blocks, and never
// past the end qpdf is given.
TEST(ByteSourceInput, FindsEndsOfLineAcrossBlocksAndStopsAtItsEnd) {
  constexpr std::size_t kBlock = 64 * 1024;
  std::string bytes(3 * kBlock, 'x');
  bytes[kBlock - 1] = '\r';  // "\r\n" across the first border
  bytes[kBlock] = '\n';
  bytes[2 * kBlock + 5] = '\n';
  const MemoryByteSource file(bytes);
  const struct {
    std::uint64_t end;
    qpdf_offset_t from;
    qpdf_offset_t want_eol;
    qpdf_offset_t want_after;
  } cases[] = {
      {bytes.size(), 0, kBlock - 1, kBlock + 1},
      {bytes.size(), kBlock + 1, 2 * kBlock + 5, 2 * kBlock + 6},
      {2 * kBlock, kBlock + 1, 2 * kBlock, 2 * kBlock},  // none before the end
      {kBlock, 10, kBlock - 1, kBlock},                  // the "\n" is beyond the end
  };
  for (const auto& c : cases) {
    ByteSourceInput input(file, c.end, "test");
    input.seek(c.from, SEEK_SET);
    EXPECT_EQ(input.findAndSkipNextEOL(), c.want_eol) << c.end << " " << c.from;
    EXPECT_EQ(input.tell(), c.want_after) << c.end << " " << c.from;
  }
  // Reads stop at the end, wherever the blocks lie.
  ByteSourceInput input(file, kBlock + 3, "test");
  input.seek(kBlock - 2, SEEK_SET);
  char out[16] = {};
  EXPECT_EQ(input.read(out, sizeof out), 5u);
  EXPECT_EQ(std::string(out, 5), std::string("x\r\nxx"));
}

// qpdf's view ends after the last %%EOF only when the file's last kilobyte
// names no cross-reference section; the document it sees then opens.
TEST(ByteSourceInput, ViewEndsAtTheLastEofBeforeATailWithoutStartxref) {
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
    const MemoryByteSource file(bytes);
    const std::uint64_t end = readable_end(file, {pdf.size()});
    EXPECT_EQ(end, c.want_whole ? bytes.size() : pdf.size()) << c.tail.size();
    const OpenedPdf opened = open_pdf(file, end, "");
    EXPECT_TRUE(opened.pdf) << c.tail.size() << ": " << opened.problem;
  }
}

}  // namespace
}  // namespace corvane::verify
