#include "component/object_headers.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace corvane::component {
namespace {

constexpr std::string_view kHeaderTail = " 0 obj\n";
// Object numbers have at most 10 digits (they are 32-bit).
constexpr std::size_t kMaxDigits = 10;

bool is_digit(std::uint8_t byte) { return byte >= '0' && byte <= '9'; }

}  // namespace

void find_object_headers(const std::uint8_t* data, std::size_t size, std::int32_t highest,
                         std::vector<std::int32_t>& offsets) {
  if (data == nullptr || size < 2 || highest < 1) return;
  const std::size_t last_index = size - 1;
  const std::size_t limit =
      std::min(static_cast<std::size_t>(highest), offsets.empty() ? 0 : offsets.size() - 1);
  std::size_t missing = limit;

  std::size_t p = 0;
  while (missing > 0 && p < size) {
    const void* hit = std::memchr(data + p, '\n', size - p);
    if (hit == nullptr) break;
    p = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);

    // LF, the number in decimal without leading zeros, " 0 obj", LF.
    std::size_t q = p + 1;
    std::uint64_t number = 0;
    while (q < size && q - (p + 1) <= kMaxDigits && is_digit(data[q])) number = number * 10 + (data[q++] - '0');
    const std::size_t digits = q - (p + 1);
    const std::size_t length = 1 + digits + kHeaderTail.size();
    const bool plain_number = digits >= 1 && digits <= kMaxDigits && !(digits > 1 && data[p + 1] == '0');
    // find_bytes looks at a buffer only when its highest index exceeds the
    // pattern's length plus 1, and never matches on the buffer's last byte.
    const bool searchable = last_index > length + 1 && p <= last_index - length;
    if (plain_number && searchable && number >= 1 && number <= limit &&
        std::memcmp(data + q, kHeaderTail.data(), kHeaderTail.size()) == 0) {
      std::int32_t& entry = offsets[static_cast<std::size_t>(number)];
      if (entry == 0) {
        entry = static_cast<std::int32_t>(p + 1);
        --missing;
      }
    }
    ++p;
  }
}

}  // namespace corvane::component
