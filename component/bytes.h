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
// The buffer as code-page text, cut before its first NUL.
[[nodiscard]] std::string text_from_piece(const std::uint8_t* data, std::size_t size);
// Offset of the first occurrence of `text` at or after `start`, or -1
// (kNotFound). A buffer is searched only when it holds at least the text's
// length plus 3 bytes, and a match ending on the buffer's last byte is not
// found.
inline constexpr std::int32_t kNotFound = -1;
[[nodiscard]] std::int32_t find_bytes(const std::uint8_t* data, std::size_t size,
                                      std::string_view text, std::int32_t start);
// The part before the first "." or, winning over it, before the first ",".
[[nodiscard]] std::string integer_part(std::string_view text);
// `text` on one line: every CR and LF a blank (an error text of a library
// may span several lines; a refusal is one).
[[nodiscard]] std::string one_line(std::string text);

}  // namespace corvane
