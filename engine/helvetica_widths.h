// Glyph widths of the standard Helvetica font for the single-byte
// WinAnsiEncoding, the metrics viewers use for the font without embedding
// it.
#pragma once

namespace corvane::engine {

// Advance width of the glyph for `code`, in thousandths of the font size.
// Codes without a glyph (controls, unassigned codes) measure as a blank.
[[nodiscard]] int helvetica_width(unsigned char code) noexcept;

}  // namespace corvane::engine
