// Checks that a cross-reference text has the one layout the rebuild can
// update in place: "xref", one subsection starting at object 0 whose entries
// follow it line by line, exactly one "trailer" line, and a trailer `/Size`
// no smaller than the subsection count, written "/Size n" before the
// "startxref" line (so that the rewrite finds and raises it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::pdfupdate::internal {

struct XrefLayout {
  // The subsection's object count (the next free object number); 0 when the
  // header has none.
  std::int32_t object_count = 0;
  // "" when the layout is understood, otherwise a one-line reason why the
  // document cannot be signed.
  std::string problem;
};

// `lines` is the cross-reference text split at line feeds; `trailer_size` the
// `/Size` read from it.
[[nodiscard]] XrefLayout check_xref_layout(const std::vector<std::string_view>& lines,
                                           std::int32_t trailer_size);

// The second blank-separated token of a subsection header "first count" as
// a whole number; nullopt when missing or not a number.
[[nodiscard]] std::optional<std::int32_t> subsection_count(std::string_view header);

// True for a line that is the word "trailer" in any case (no blanks around).
[[nodiscard]] bool is_trailer_line(std::string_view line);

}  // namespace corvane::pdfupdate::internal
