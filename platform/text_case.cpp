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
    const std::size_t n = decode_utf8(utf8, i, cp);
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
