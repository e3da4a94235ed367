#include "component/bytes.h"

#include <algorithm>
#include <cstring>

namespace corvane {

ByteBuffer bytes_from_text(std::string_view text) {
  // Code-page text holds one byte per character, so every character has its
  // byte; the conversion from the published UTF-8 happens before this call.
  if (text.empty()) return ByteBuffer(1, 0);
  return ByteBuffer(text.begin(), text.end());
}

std::string text_from_piece(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size == 0) return {};
  const void* nul = std::memchr(data, 0, size);
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) : size;
  return std::string(reinterpret_cast<const char*>(data), length);
}

std::int32_t find_bytes(const std::uint8_t* data, std::size_t size, std::string_view text,
                        std::int32_t start) {
  if (data == nullptr || size == 0 || text.empty() || start < 0) return kNotFound;
  const std::size_t highest = size - 1;
  const std::size_t length = text.size();
  // Searched only when the highest index exceeds the text's length plus 1.
  if (highest <= length + 1) return kNotFound;
  const std::size_t last = highest - length;
  if (static_cast<std::size_t>(start) > last) return kNotFound;

  const auto first = static_cast<std::uint8_t>(text.front());
  std::size_t p = static_cast<std::size_t>(start);
  while (p <= last) {
    // Jump to the next candidate with the text's first byte; one forward scan.
    const void* hit = std::memchr(data + p, first, last - p + 1);
    if (hit == nullptr) return kNotFound;
    p = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
    if (std::memcmp(data + p, text.data(), length) == 0) return static_cast<std::int32_t>(p);
    ++p;
  }
  return kNotFound;
}

std::string integer_part(std::string_view text) {
  std::string_view result = text;
  if (const auto dot = text.find('.'); dot != std::string_view::npos) result = text.substr(0, dot);
  // Looked for in the unchanged text, so a comma wins when both occur.
  if (const auto comma = text.find(','); comma != std::string_view::npos)
    result = text.substr(0, comma);
  return std::string(result);
}

std::string one_line(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

}  // namespace corvane
