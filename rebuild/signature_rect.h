// The signature widget's rectangle from the page size and four corner
// percentages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane::rebuild {

// Corners in percent of the page: x1/x2 left and right, y1 the upper and y2
// the lower edge (PDF y grows upward).
struct RectPercentages {
  int x1 = 60;
  int y1 = 7;
  int x2 = 90;
  int y2 = 2;
};

// A setting's percentage: the number rounded to a whole one (halves to the
// even neighbour) when it lies in 1..99, otherwise `fallback` (also for an
// empty text and for text that is no number).
[[nodiscard]] int percentage_from_setting(std::string_view text, int fallback);

// Moves the right edge right of the left one and the upper edge above the
// lower one when the settings inverted them, so the rectangle has an area.
[[nodiscard]] RectPercentages without_inverted_edges(RectPercentages p);

// "x1.000 y1.000 x2.000 y2.000": each corner is page size / 100 × percentage,
// cut (not rounded) to a whole number after taking 15 significant digits.
[[nodiscard]] std::string format_signature_rect(std::int32_t page_width, std::int32_t page_height,
                                                const RectPercentages& p);

}  // namespace corvane::rebuild
