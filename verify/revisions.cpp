#include "verify/revisions.h"

#include <algorithm>
#include <span>
#include <string>
#include <string_view>

namespace corvane::verify {
namespace {

constexpr std::string_view kEof = "%%EOF";
constexpr std::size_t kBlockSize = 1 << 20;

}  // namespace

std::vector<std::uint64_t> revision_ends(const platform::ByteSource& file) {
  // Read in blocks that overlap by the marker's length and its line end, so
  // that a marker across a block border is found once.
  constexpr std::size_t kOverlap = kEof.size() + 1;
  std::vector<std::uint64_t> ends;
  std::string block;
  for (std::uint64_t start = 0; start < file.size();) {
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, file.size() - start));
    block.assign(length, '\0');
    if (!file.read(start, std::span(reinterpret_cast<std::uint8_t*>(block.data()), length))) break;
    const bool last = start + length == file.size();
    const std::size_t scan_end = last ? length : length - kOverlap;
    for (std::size_t at = block.find(kEof); at != std::string::npos && at < scan_end; at = block.find(kEof, at + 1)) {
      std::size_t end = at + kEof.size();
      if (end < block.size() && block[end] == '\r') ++end;
      if (end < block.size() && block[end] == '\n') ++end;
      ends.push_back(start + end);
    }
    if (last) break;
    start += scan_end;
  }
  return ends;
}

}  // namespace corvane::verify
