#include "platform/text_case.h"

#include <locale.h>
#include <wctype.h>

#include <array>

#include "platform/codepage.h"

namespace corvane::platform {
namespace {

// The Unicode case tables of the C library, independent of the process
// locale. Null when the C.UTF-8 locale is missing; then only ASCII folds.
locale_t unicode_locale() {
  static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

char32_t lower_code_point(char32_t cp) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + ('a' - 'A') : cp;
  const locale_t locale = unicode_locale();
  if (!locale) return cp;
  return static_cast<char32_t>(::towlower_l(static_cast<wint_t>(cp), locale));
}

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

// Length of the well-formed UTF-8 sequence at text[i] and its code point;
// 0 when the bytes there are not one.
std::size_t decode_at(std::string_view text, std::size_t i, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t extra;
  if (lead < 0x80) { cp = lead; return 1; }
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
  return extra + 1;
}

std::array<unsigned char, 256> make_fold_table() {
  std::array<unsigned char, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned char folded = static_cast<unsigned char>(b);
    const char32_t lower = lower_code_point(codepage_to_unicode(static_cast<unsigned char>(b)));
    if (!unicode_to_codepage(lower, folded)) folded = static_cast<unsigned char>(b);
    table[b] = folded;
  }
  return table;
}

}  // namespace

std::string lower_text(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const std::size_t n = decode_at(utf8, i, cp);
    if (n == 0) {
      out += utf8[i++];
      continue;
    }
    append_utf8(lower_code_point(cp), out);
    i += n;
  }
  return out;
}

bool contains_ignoring_case(std::string_view text, std::string_view part) {
  return lower_text(text).find(lower_text(part)) != std::string::npos;
}

unsigned char codepage_fold(unsigned char byte) {
  static const std::array<unsigned char, 256> table = make_fold_table();
  return table[byte];
}

bool codepage_equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (codepage_fold(static_cast<unsigned char>(a[i])) != codepage_fold(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace corvane::platform
