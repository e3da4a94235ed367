// Letter case of names: lower-casing UTF-8 texts by the Unicode case
// mapping, and folding code-page bytes for case-insensitive comparisons of
// names in profile files.
#pragma once

#include <string>
#include <string_view>

namespace corvane::platform {

// The text with every letter in lower case (Unicode simple case mapping, not
// only ASCII). Bytes that are not valid UTF-8 are kept as they are.
[[nodiscard]] std::string lower_text(std::string_view utf8);

// True when `part` occurs in `text` with letter case ignored; an empty
// `part` occurs in every text.
[[nodiscard]] bool contains_ignoring_case(std::string_view text, std::string_view part);

// The lower-case form of one Windows-1252 byte (letters of the code page
// fold, everything else stays).
[[nodiscard]] unsigned char codepage_fold(unsigned char byte);

// Both code-page texts equal with letter case ignored.
[[nodiscard]] bool codepage_equal_ignoring_case(std::string_view a, std::string_view b);

}  // namespace corvane::platform
