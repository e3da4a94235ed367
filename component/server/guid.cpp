#include "component/server/guid.h"

#include <cstdio>
#include <cstring>

#include "platform/hex.h"

namespace corvane::component::server {
namespace {

// Reads `digits` hex digits at text[pos]; false on a non-hex character.
bool read_hex(std::string_view text, std::size_t pos, int digits, std::uint32_t& out) {
  out = 0;
  for (int i = 0; i < digits; ++i) {
    const int v = platform::hex_digit_value(text[pos + i]);
    if (v < 0) return false;
    out = (out << 4) | static_cast<std::uint32_t>(v);
  }
  return true;
}

}  // namespace

bool same_guid(const CpdfGuid& a, const CpdfGuid& b) {
  return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
         std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

std::string guid_text(const CpdfGuid& g) {
  char buffer[39];
  std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1],
                g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return buffer;
}

std::optional<CpdfGuid> parse_guid(std::string_view text) {
  // {8-4-4-4-12}
  if (text.size() != 38 || text.front() != '{' || text.back() != '}' || text[9] != '-' ||
      text[14] != '-' || text[19] != '-' || text[24] != '-')
    return std::nullopt;
  CpdfGuid g{};
  std::uint32_t v = 0;
  if (!read_hex(text, 1, 8, v)) return std::nullopt;
  g.data1 = v;
  if (!read_hex(text, 10, 4, v)) return std::nullopt;
  g.data2 = static_cast<std::uint16_t>(v);
  if (!read_hex(text, 15, 4, v)) return std::nullopt;
  g.data3 = static_cast<std::uint16_t>(v);
  constexpr std::size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!read_hex(text, kBytePos[i], 2, v)) return std::nullopt;
    g.data4[i] = static_cast<std::uint8_t>(v);
  }
  return g;
}

}  // namespace corvane::component::server
