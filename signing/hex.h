// Hex text of byte strings.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace corvane::signing {

// Two lower-case hex digits per byte, nothing between them.
[[nodiscard]] inline std::string lower_hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0x0F];
  }
  return hex;
}

}  // namespace corvane::signing
