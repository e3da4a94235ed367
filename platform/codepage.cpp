#include "platform/codepage.h"

#include <array>

namespace corvane::platform {
namespace {

// Code points of the bytes 0x80..0x9F; the rest of the code page equals
// Latin-1. Undefined bytes map to the C1 control of the same value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Decodes one UTF-8 sequence at text[i]; advances i. Malformed input gives
// U+FFFD and advances by one byte.
char32_t next_code_point(std::string_view text, std::size_t& i) {
  char32_t cp = 0;
  const std::size_t n = decode_utf8(text, i, cp);
  if (n == 0) {
    ++i;
    return 0xFFFD;
  }
  i += n;
  return cp;
}

}  // namespace

void append_utf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::size_t decode_utf8(std::string_view text, std::size_t i, char32_t& cp) {
  if (i >= text.size()) return 0;
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t extra;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) { extra = 1; cp = lead & 0x1F; }
  else if ((lead & 0xF0) == 0xE0) { extra = 2; cp = lead & 0x0F; }
  else if ((lead & 0xF8) == 0xF0) { extra = 3; cp = lead & 0x07; }
  else return 0;
  if (i + extra >= text.size()) return 0;
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  // Overlong forms (an LF hidden as C0 8A would pass every check for line
  // breaks made on the UTF-8 bytes), surrogates and values beyond U+10FFFF
  // are no characters.
  constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return 0;
  return extra + 1;
}

char32_t codepage_to_unicode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

bool unicode_to_codepage(char32_t cp, unsigned char& byte) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
    byte = static_cast<unsigned char>(cp);
    return true;
  }
  for (std::size_t k = 0; k < kHighControls.size(); ++k) {
    if (kHighControls[k] == cp) {
      byte = static_cast<unsigned char>(0x80 + k);
      return true;
    }
  }
  return false;
}

std::string utf8_to_codepage(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char byte = '?';
    if (!unicode_to_codepage(next_code_point(utf8, i), byte)) byte = '?';
    out += static_cast<char>(byte);
  }
  return out;
}

std::string codepage_to_utf8(std::string_view codepage) {
  std::string out;
  out.reserve(codepage.size());
  for (char c : codepage) append_utf8(codepage_to_unicode(static_cast<unsigned char>(c)), out);
  return out;
}

void append_utf16le(std::string_view text, TextEncoding encoding, std::string& out) {
  auto put_unit = [&out](char32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>((unit >> 8) & 0xFF);
  };
  if (encoding == TextEncoding::kCodePage) {
    for (char c : text) put_unit(codepage_to_unicode(static_cast<unsigned char>(c)));
    return;
  }
  for (std::size_t i = 0; i < text.size();) {
    const char32_t cp = next_code_point(text, i);
    if (cp >= 0x10000) {
      const char32_t v = cp - 0x10000;
      put_unit(0xD800 + (v >> 10));
      put_unit(0xDC00 + (v & 0x3FF));
    } else {
      put_unit(cp);
    }
  }
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace corvane::platform
