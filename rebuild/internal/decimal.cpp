#include "rebuild/internal/decimal.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/codepage.h"

namespace corvane::rebuild::internal {

std::optional<double> parse_decimal(std::string_view text) {
  text = platform::trim_blanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<std::int32_t> parse_whole_number(std::string_view text) {
  const auto value = parse_decimal(text);
  if (!value) return std::nullopt;
  // nearbyint rounds halves to even under the default rounding mode.
  const double whole = std::nearbyint(*value);
  if (whole < std::numeric_limits<std::int32_t>::min() ||
      whole > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(whole);
}

}  // namespace corvane::rebuild::internal
