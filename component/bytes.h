// Byte buffers and code-page texts: one byte is one character, so offsets in
// a text and in the buffer made from it agree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// An empty buffer is one zero byte, never a buffer without elements.
using ByteBuffer = std::vector<std::uint8_t>;

// The bytes of a code-page text; one zero byte for an empty text.
[[nodiscard]] ByteBuffer bytes_from_text(std::string_view text);
// The part before the first "." or, winning over it, before the first ",".
[[nodiscard]] std::string integer_part(std::string_view text);
// `text` on one line: every CR and LF a blank (an error text of a library
// may span several lines; a refusal is one).
[[nodiscard]] std::string one_line(std::string text);

}  // namespace corvane
