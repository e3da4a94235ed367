#include "signing/utf16_pieces.h"

#include <algorithm>
#include <string>

namespace corvane::signing {

void for_each_utf16le_piece(std::string_view text, platform::TextEncoding encoding, std::size_t piece_size,
                            const std::function<void(std::string_view)>& sink) {
  piece_size = std::max<std::size_t>(piece_size, 4);
  std::string buffer;
  buffer.reserve(piece_size * 2 + 8);
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = std::min(pos + piece_size, text.size());
    if (encoding == platform::TextEncoding::kUtf8) {
      // Back up to the start of a sequence (at most three continuation bytes).
      std::size_t cut = end;
      while (cut > pos && cut < text.size() && end - cut < 4 &&
             (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
      if (cut > pos) end = cut;
    }
    buffer.clear();
    platform::append_utf16le(text.substr(pos, end - pos), encoding, buffer);
    sink(buffer);
    pos = end;
  }
}

}  // namespace corvane::signing
