// PDF literal strings: the text between "(" and ")".
#pragma once

#include <string>
#include <string_view>

namespace corvane::rebuild {

// Escapes a code-page text for use inside a literal string: "\", "(" and ")"
// get a backslash, line feed, carriage return, tab, backspace and form feed
// their letter escapes, and the other control bytes (below 0x20, and 0x7F) a
// three-digit octal escape. Any other byte is kept, so a value can neither
// end the string nor add PDF syntax, and a reader gets the text back exactly.
[[nodiscard]] std::string escape_pdf_literal(std::string_view codepage_text);

// The UTF-8 `text` converted to the code page and escaped, ready to stand
// between the parentheses of a literal string.
[[nodiscard]] std::string pdf_literal_from_utf8(std::string_view text);

}  // namespace corvane::rebuild
