#include "component/bytes.h"

#include <algorithm>

namespace corvane {

ByteBuffer bytes_from_text(std::string_view text) {
  // Code-page text holds one byte per character, so every character has its
  // byte; the conversion from the published UTF-8 happens before this call.
  if (text.empty()) return ByteBuffer(1, 0);
  return ByteBuffer(text.begin(), text.end());
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
