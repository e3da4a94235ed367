#include "verify/signed_ranges.h"

#include <algorithm>
#include <optional>

#include "platform/hex.h"

namespace corvane::verify {
namespace {

// A slot larger than this holds no signature, whatever certificates it
// carries; refusing it keeps hostile numbers from costing memory.
constexpr std::uint64_t kMaxSlotSize = 32u << 20;
constexpr std::size_t kPieceSize = 1u << 20;

// The bytes of the hex digits between "<" and ">"; nullopt when there is
// anything else in the slot or an odd number of digits.
std::optional<std::vector<std::uint8_t>> decode_slot(std::span<const std::uint8_t> slot) {
  if (slot.size() < 2 || slot.front() != '<' || slot.back() != '>' || slot.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(slot.size() / 2 - 1);
  for (std::size_t i = 1; i + 1 < slot.size(); i += 2) {
    const int high = platform::hex_digit_value(static_cast<char>(slot[i]));
    const int low = platform::hex_digit_value(static_cast<char>(slot[i + 1]));
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

constexpr int kMaxNesting = 64;

// The length of the BER element at `at` in `bytes`, header included;
// nullopt when it is malformed or runs past the end. Indefinite lengths
// (which NSS's encoder writes) are followed to their end-of-contents mark.
std::optional<std::size_t> element_length(std::span<const std::uint8_t> bytes, std::size_t at, int depth) {
  if (depth > kMaxNesting || at >= bytes.size()) return std::nullopt;
  std::size_t pos = at;
  const bool constructed = (bytes[pos] & 0x20) != 0;
  if ((bytes[pos++] & 0x1F) == 0x1F) {  // a tag number in the following bytes
    while (pos < bytes.size() && (bytes[pos] & 0x80) != 0) ++pos;
    ++pos;
  }
  if (pos >= bytes.size()) return std::nullopt;
  const std::uint8_t first = bytes[pos++];
  if (first == 0x80) {
    if (!constructed) return std::nullopt;
    while (pos + 1 < bytes.size() && !(bytes[pos] == 0 && bytes[pos + 1] == 0)) {
      const auto inner = element_length(bytes, pos, depth + 1);
      if (!inner) return std::nullopt;
      pos += *inner;
    }
    if (pos + 1 >= bytes.size()) return std::nullopt;
    return pos + 2 - at;
  }
  std::size_t length = first;
  if (first > 0x80) {
    const std::size_t count = first & 0x7F;
    if (count > 4 || bytes.size() - pos < count) return std::nullopt;
    length = 0;
    for (std::size_t i = 0; i < count; ++i) length = length << 8 | bytes[pos++];
  }
  if (length > bytes.size() - pos) return std::nullopt;
  return pos + length - at;
}

// The length of the message (a SEQUENCE) at the start of the slot's bytes.
std::optional<std::size_t> message_length(std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || bytes[0] != 0x30) return std::nullopt;
  return element_length(bytes, 0, 0);
}

// True when the bytes before `end` are a "%%EOF" marker with at most one
// end of line after it.
bool ends_a_revision(const platform::ByteSource& file, std::uint64_t end) {
  std::uint8_t tail[7] = {};
  const std::uint64_t n = std::min<std::uint64_t>(end, sizeof tail);
  if (!file.read(end - n, std::span(tail, n))) return false;
  std::string_view text(reinterpret_cast<const char*>(tail), n);
  if (text.ends_with("\r\n")) text.remove_suffix(2);
  else if (text.ends_with('\n') || text.ends_with('\r')) text.remove_suffix(1);
  return text.ends_with("%%EOF");
}

// True when the slot at `slot` is the string that the parser found at
// `offset`: for an indirect string the parser's offset is just after
// "obj", before the white space that leads to the "<".
bool slot_is_at(const platform::ByteSource& file, std::uint64_t offset, std::uint64_t slot) {
  constexpr std::uint64_t kMaxLeadingSpace = 16;
  if (offset > slot || slot - offset > kMaxLeadingSpace) return false;
  std::uint8_t space[kMaxLeadingSpace] = {};
  const std::span<std::uint8_t> gap(space, static_cast<std::size_t>(slot - offset));
  return file.read(offset, gap) && std::all_of(gap.begin(), gap.end(), [](std::uint8_t c) {
           return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == 0;
         });
}

SignedRanges refuse(SignedRanges ranges, std::string problem) {
  ranges.well_formed = false;
  ranges.problem = std::move(problem);
  ranges.signature.clear();
  return ranges;
}

}  // namespace

SignedRanges check_signed_ranges(const platform::ByteSource& file, std::span<const long long> byte_range,
                                 long long contents_offset, std::string_view contents) {
  SignedRanges ranges;
  if (byte_range.empty()) return refuse(ranges, "the signature has no /ByteRange");
  if (byte_range.size() != 4) return refuse(ranges, "the /ByteRange does not hold exactly two ranges");
  if (std::any_of(byte_range.begin(), byte_range.end(), [](long long n) { return n < 0; }))
    return refuse(ranges, "the /ByteRange has a negative number");
  if (byte_range[0] != 0) return refuse(ranges, "the first signed range does not start at the beginning of the file");

  ranges.slot_offset = static_cast<std::uint64_t>(byte_range[1]);
  ranges.slot_end = static_cast<std::uint64_t>(byte_range[2]);
  ranges.signed_end = ranges.slot_end + static_cast<std::uint64_t>(byte_range[3]);
  if (ranges.slot_end < ranges.slot_offset + 2 || ranges.signed_end > file.size())
    return refuse(ranges, "the signed ranges overlap or reach beyond the end of the file");
  if (ranges.slot_end - ranges.slot_offset > kMaxSlotSize)
    return refuse(ranges, "the gap between the signed ranges is too large to be a signature");

  // Where the parser found /Contents is checked first, so that ranges
  // around another string cost no read of their gap.
  constexpr std::string_view kNotThisContents = "the gap between the signed ranges is not this signature's /Contents";
  if (contents_offset >= 0 && !slot_is_at(file, static_cast<std::uint64_t>(contents_offset), ranges.slot_offset))
    return refuse(ranges, std::string(kNotThisContents));
  std::vector<std::uint8_t> slot(ranges.slot_end - ranges.slot_offset);
  if (!file.read(ranges.slot_offset, slot)) return refuse(ranges, "the file cannot be read");
  auto bytes = decode_slot(slot);
  if (!bytes) return refuse(ranges, "the gap between the signed ranges is not a hex string");
  if (contents_offset < 0 && !std::equal(bytes->begin(), bytes->end(), contents.begin(), contents.end(),
                                         [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }))
    return refuse(ranges, std::string(kNotThisContents));

  const auto length = message_length(*bytes);
  if (!length) return refuse(ranges, "the signature's /Contents holds no signature message");
  if (std::any_of(bytes->begin() + static_cast<std::ptrdiff_t>(*length), bytes->end(),
                  [](std::uint8_t b) { return b != 0; }))
    return refuse(ranges, "the signature's /Contents holds other bytes after the signature");
  bytes->resize(*length);

  ranges.covers_whole_file = ranges.signed_end == file.size();
  if (!ranges.covers_whole_file && !ends_a_revision(file, ranges.signed_end))
    return refuse(ranges, "the signed ranges end inside the file, not at the end of a revision");
  ranges.signature = std::move(*bytes);
  ranges.well_formed = true;
  return ranges;
}

bool read_signed_bytes(const platform::ByteSource& file, const SignedRanges& ranges, const PieceSink& sink) {
  return ranges.well_formed && read_bytes(file, 0, ranges.slot_offset, sink) &&
         read_bytes(file, ranges.slot_end, ranges.signed_end, sink);
}

bool read_bytes(const platform::ByteSource& file, std::uint64_t from, std::uint64_t to, const PieceSink& sink) {
  std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min<std::uint64_t>(kPieceSize, to > from ? to - from : 0)));
  while (from < to) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(to - from, piece.size()));
    if (!file.read(from, std::span(piece.data(), n))) return false;
    sink(std::span<const std::uint8_t>(piece.data(), n));
    from += n;
  }
  return true;
}

}  // namespace corvane::verify
