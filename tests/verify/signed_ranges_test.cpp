#include "verify/signed_ranges.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane::verify {
namespace {

// A small "file" with one slot: "head /Contents <HEX> tail".
struct Layout { std::string bytes; long long slot = 0, slot_end = 0; };

Layout layout(const std::string& hex, const std::string& tail = " >>\n%%EOF\n") {
  Layout l;
  l.bytes = "%PDF-1.7\n1 0 obj\n<< /Contents ";
  l.slot = static_cast<long long>(l.bytes.size());
  l.bytes += "<" + hex + ">";
  l.slot_end = static_cast<long long>(l.bytes.size());
  l.bytes += tail;
  return l;
}

TEST(SignedRanges, AcceptsOnlyRangesAroundThisSignaturesSlot) {
  const Layout ok = layout("3003020101"), revised = layout("3003020101", " >>\n%%EOF\r\n% a later update\n%%EOF\n");
  const long long size = static_cast<long long>(ok.bytes.size());
  const long long rest = size - ok.slot_end;
  const struct {
    const char* what;
    Layout file;
    std::vector<long long> range;
    long long contents_offset;
    const char* want_problem;  // "" when well formed
    std::size_t want_length;
    const char* contents = "";  // the dictionary's /Contents, where the parser gave no offset
  } cases[] = {
      {"exact slot", ok, {0, ok.slot, ok.slot_end, rest}, ok.slot, "", 5},
      {"an earlier revision, ending in CR LF", revised, {0, ok.slot, ok.slot_end, 11}, ok.slot, "", 5},
      {"no offset, the dictionary's own /Contents", ok, {0, ok.slot, ok.slot_end, rest}, -1, "", 5, "\x30\x03\x02\x01\x01"},
      {"no offset, another string", ok, {0, ok.slot, ok.slot_end, rest}, -1, "not this signature's", 0, "other"},
      {"zero padding is cut off", layout("300302010100000000"), {0, ok.slot, ok.slot_end + 8, rest}, ok.slot, "", 5},
      {"indefinite length up to its end mark", layout("30800201010000000000"), {0, ok.slot, ok.slot_end + 10, rest},
       ok.slot, "", 7},
      {"bytes hidden after the signature", layout("3003020101000100"), {0, ok.slot, ok.slot_end + 6, rest}, ok.slot,
       "after the signature", 0},
      {"no range", ok, {}, ok.slot, "no /ByteRange", 0},
      {"three ranges", ok, {0, ok.slot, ok.slot_end, 2, size - 2, 2}, ok.slot, "exactly two ranges", 0},
      {"negative length", ok, {0, ok.slot, ok.slot_end, -1}, ok.slot, "negative", 0},
      {"first range not at 0", ok, {1, ok.slot, ok.slot_end, rest}, ok.slot, "beginning of the file", 0},
      {"past the end", ok, {0, ok.slot, ok.slot_end, rest + 1}, ok.slot, "beyond the end", 0},
      {"gap shifted by one", ok, {0, ok.slot + 1, ok.slot_end + 1, rest - 1}, ok.slot + 1, "not a hex string", 0},
      {"not hex", layout("30030201zz"), {0, ok.slot, ok.slot_end, rest}, ok.slot, "not a hex string", 0},
      {"odd digit count", layout("300302010"), {0, ok.slot, ok.slot_end - 1, rest}, ok.slot, "not a hex string", 0},
      {"another string's slot", ok, {0, ok.slot, ok.slot_end, rest}, ok.slot - 3, "not this signature's", 0},
      {"no message", layout("0403010203"), {0, ok.slot, ok.slot_end, rest}, ok.slot, "no signature message", 0},
      {"truncated message", layout("3005020101"), {0, ok.slot, ok.slot_end, rest}, ok.slot, "no signature message", 0},
      {"ends inside the file", ok, {0, ok.slot, ok.slot_end, rest - 3}, ok.slot, "end inside the file", 0},
  };
  for (const auto& c : cases) {
    const platform::MemoryByteSource file(c.file.bytes);
    const SignedRanges r = check_signed_ranges(file, c.range, c.contents_offset, c.contents);
    EXPECT_EQ(r.well_formed, *c.want_problem == '\0') << c.what << ": " << r.problem;
    EXPECT_NE(r.problem.find(c.want_problem), std::string::npos) << c.what << ": " << r.problem;
    EXPECT_EQ(r.signature.size(), c.want_length) << c.what;
  }
}

TEST(SignedRanges, ReadsExactlyTheBytesAroundTheSlotInPieces) {
  std::string head(3'000'000, 'a');  // more than one piece on each side
  for (std::size_t i = 0; i < head.size(); i += 7) head[i] = static_cast<char>('0' + i % 10);
  const std::string tail = head.substr(0, 1'500'000) + "\n%%EOF\n";
  const std::string bytes = head + "<3003020101>" + tail;
  const platform::MemoryByteSource file(bytes);
  const auto slot = static_cast<long long>(head.size());
  const SignedRanges r = check_signed_ranges(
      file, std::vector<long long>{0, slot, slot + 12, static_cast<long long>(tail.size())}, slot, "");
  std::string seen;
  EXPECT_TRUE(read_signed_bytes(file, r, [&seen](std::span<const std::uint8_t> piece) {
    seen.append(reinterpret_cast<const char*>(piece.data()), piece.size());
  }));
  EXPECT_TRUE(seen == head + tail);
}

}  // namespace
}  // namespace corvane::verify
