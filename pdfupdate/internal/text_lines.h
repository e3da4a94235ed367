// Line and token helpers for the PDF texts the update code rewrites. The
// texts are code-page byte strings whose lines end with a single line feed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::pdfupdate::internal {

// Splits at every line feed: "a\nb\n" gives {"a", "b", ""}, "" gives {""}.
// The views point into `text`.
[[nodiscard]] std::vector<std::string_view> split_lines(std::string_view text);

// True when both are equal, ASCII letters compared without regard to case.
[[nodiscard]] bool equals_ignoring_case(std::string_view a, std::string_view b);

// Replaces every occurrence of `from` (not empty) in `text`, scanning left to
// right without rescanning inserted text.
void replace_all(std::string& text, std::string_view from, std::string_view to);

}  // namespace corvane::pdfupdate::internal
