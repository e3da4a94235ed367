#include "platform/block_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace corvane::platform {
namespace {

constexpr std::size_t kBlock = 64 * 1024;

// Ends of line found across the borders of the 64 kB blocks and between
// the source and the tail, and never past the end qpdf is given.
TEST(BlockInput, FindsEndsOfLineAcrossBlocksAndStopsAtItsEnd) {
  std::string bytes(3 * kBlock, 'x');
  bytes[kBlock - 1] = '\r';  // "\r\n" across the first border
  bytes[kBlock] = '\n';
  bytes[2 * kBlock + 5] = '\n';
  const MemoryByteSource file(bytes);
  const struct {
    std::uint64_t end;
    std::string tail;
    qpdf_offset_t from;
    qpdf_offset_t want_eol;
    qpdf_offset_t want_after;
  } cases[] = {
      {bytes.size(), "", 0, kBlock - 1, kBlock + 1},
      {bytes.size(), "", kBlock + 1, 2 * kBlock + 5, 2 * kBlock + 6},
      {2 * kBlock, "", kBlock + 1, 2 * kBlock, 2 * kBlock},  // none before the end
      {kBlock, "", 10, kBlock - 1, kBlock},                  // the "\n" is beyond the end
      {kBlock - 1, "\n\rz", 10, kBlock - 1, kBlock + 1},     // found in the tail
  };
  for (const auto& c : cases) {
    BlockInput input(file, c.end, "test", c.tail);
    input.seek(c.from, SEEK_SET);
    EXPECT_EQ(input.findAndSkipNextEOL(), c.want_eol) << c.end << " " << c.from;
    EXPECT_EQ(input.tell(), c.want_after) << c.end << " " << c.from;
  }
}

// Reads stop at the end of the source's part, continue in the tail and stop
// at its end, through the blocks and past them (a read of a block or more).
TEST(BlockInput, ReadsTheSourceUpToItsEndThenTheTail) {
  std::string bytes(2 * kBlock, 's');
  bytes[kBlock + 2] = 'S';
  const MemoryByteSource file(bytes);
  const std::string tail = "T" + std::string(kBlock, 't');
  BlockInput input(file, kBlock + 3, "test", tail);
  const struct {
    qpdf_offset_t from;
    std::size_t length;
    std::string want;
  } cases[] = {
      {kBlock + 1, 4, "sSTt"},
      {kBlock, 2 * kBlock, "ssST" + std::string(kBlock, 't')},
      {2 * kBlock + 3, 16, "t"},
      {2 * kBlock + 4, 16, ""},
  };
  for (const auto& c : cases) {
    std::string out(c.length, '\0');
    input.seek(c.from, SEEK_SET);
    out.resize(input.read(out.data(), out.size()));
    EXPECT_EQ(out, c.want) << c.from << " " << c.length;
    EXPECT_EQ(input.tell(), c.from + static_cast<qpdf_offset_t>(out.size()));
  }
  input.seek(-1, SEEK_END);
  EXPECT_EQ(input.tell(), 2 * kBlock + 3);
  EXPECT_THROW(input.seek(-1, SEEK_SET), std::runtime_error);
}

}  // namespace
}  // namespace corvane::platform
