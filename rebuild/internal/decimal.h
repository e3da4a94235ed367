// Reading numbers written as decimal text in settings and in the trailer.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace corvane::rebuild::internal {

// A decimal number with optional sign, fraction and exponent, blanks allowed
// at both ends ("12", " 1.5 ", "-3e2"); nullopt for anything else, including
// an empty text, infinities and NaN.
[[nodiscard]] std::optional<double> parse_decimal(std::string_view text);

// parse_decimal rounded to the nearest whole number (halves to the even
// neighbour); nullopt when not a number or outside the 32-bit range.
[[nodiscard]] std::optional<std::int32_t> parse_whole_number(std::string_view text);

}  // namespace corvane::rebuild::internal
