// The visible signature text: code-page lines drawn on a page in
// Helvetica, sized to fit a box.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace corvane::engine {

// A box in the page's default coordinates whose upper-left corner is
// (x, y); it spans x to x + width and y - height to y (y grows upward).
struct StampBox {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

inline constexpr double kMaxFontSize = 10;

// The lines of a code-page text. CR LF separates lines (a lone CR or LF
// does too); control bytes become blanks; empty lines at the end are
// dropped, so "" has no lines.
[[nodiscard]] std::vector<std::string> stamp_lines(std::string_view text);

// The advance width of a code-page line in Helvetica, in thousandths of
// the font size.
[[nodiscard]] long line_width(std::string_view line) noexcept;

// The largest font size of at most kMaxFontSize points, in steps of 1/100
// point, at which every line fits inside the box with its margins; 0 when
// no size does (an empty or too small box, or no lines).
[[nodiscard]] double fitting_font_size(const std::vector<std::string>& lines, double width,
                                       double height) noexcept;

// The content stream that draws `lines` at `font_size` from the top left
// of `box`, left-aligned, in black; `font` and `graphics_state` name
// resources of the page ("" for no graphics state). It saves and restores
// the graphics state around itself.
[[nodiscard]] std::string stamp_content(const std::vector<std::string>& lines,
                                        const StampBox& box, double font_size,
                                        const std::string& font,
                                        const std::string& graphics_state);

// Draws `text` on `page` inside `box`, with `opacity` in percent. The
// page's existing content is wrapped in q ... Q so that the graphics state
// it leaves behind cannot move or hide the text, which is drawn after it;
// the font (Helvetica, WinAnsiEncoding, not embedded) and, below 100 %,
// the opacity are added to the page's own resources. A text without lines
// changes nothing. Throws std::invalid_argument when the text does not fit
// the box at any size or the opacity is outside 0 to 100, and what qpdf
// throws.
void add_text_stamp(QPDF& qpdf, QPDFObjectHandle page, const StampBox& box, std::string_view text,
                    int opacity);

}  // namespace corvane::engine
