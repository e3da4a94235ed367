#include "rebuild/pdf_literal.h"

#include "platform/codepage.h"

namespace corvane::rebuild {

std::string escape_pdf_literal(std::string_view codepage_text) {
  std::string out;
  out.reserve(codepage_text.size() + 8);
  for (const char c : codepage_text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '(': out += "\\("; break;
      case ')': out += "\\)"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out += '\\';
          out += static_cast<char>('0' + ((byte >> 6) & 7));
          out += static_cast<char>('0' + ((byte >> 3) & 7));
          out += static_cast<char>('0' + (byte & 7));
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string pdf_literal_from_utf8(std::string_view text) {
  return escape_pdf_literal(platform::utf8_to_codepage(text));
}

}  // namespace corvane::rebuild
