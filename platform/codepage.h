// The component's single-byte code page (Windows-1252) and UTF-8, the
// encoding of texts at the published interface.
//
// PDF content is handled one character per byte in the code page, so offsets
// in a text and in the bytes made from it agree.
#pragma once

#include <string>
#include <string_view>

namespace corvane::platform {

// Which encoding a text argument is in.
enum class TextEncoding { kUtf8, kCodePage };

// UTF-8 to Windows-1252: one byte per character, '?' for a character the code
// page cannot represent and for malformed UTF-8 sequences.
[[nodiscard]] std::string utf8_to_codepage(std::string_view utf8);

// Windows-1252 to UTF-8. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value.
[[nodiscard]] std::string codepage_to_utf8(std::string_view codepage);

// The Unicode code point of one code-page byte.
[[nodiscard]] char32_t codepage_to_unicode(unsigned char byte);

// The code-page byte of a code point, or nullopt-like 0 with `ok` false.
[[nodiscard]] bool unicode_to_codepage(char32_t code_point, unsigned char& byte);

// Appends the UTF-16LE code units of a text (two bytes per unit, surrogate
// pairs for characters beyond the basic plane).
void append_utf16le(std::string_view text, TextEncoding encoding, std::string& out);

// Appends the UTF-8 bytes of one code point.
void append_utf8(char32_t code_point, std::string& out);

// Length of the well-formed UTF-8 sequence at text[i] (1 to 4) with its code
// point in `code_point`; 0 when the bytes there are not one.
[[nodiscard]] std::size_t decode_utf8(std::string_view text, std::size_t i, char32_t& code_point);

// Lower case for ASCII letters only (the comparisons the component makes on
// names and registry paths).
[[nodiscard]] std::string ascii_lower(std::string_view text);

// Removes blanks (space and tab) at both ends.
[[nodiscard]] std::string_view trim_blanks(std::string_view text);

}  // namespace corvane::platform
