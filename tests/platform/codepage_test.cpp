#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

TEST(CodePage, RoundTripsEveryDefinedByte) {
  for (int b = 1; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(utf8_to_codepage(codepage_to_utf8(one)), one) << b;
  }
}

TEST(CodePage, ConvertsUtf8ToWindows1252) {
  const struct { const char* utf8; const char* want; } cases[] = {
      {"abc", "abc"},
      {"\xC3\xA4\xC3\xB6\xC3\xBC", "\xE4\xF6\xFC"},  // umlauts
      {"\xE2\x82\xAC", "\x80"},                      // euro sign
      {"\xE2\x80\x9C" "x" "\xE2\x80\x9D", "\x93x\x94"},  // curly quotes
      {"\xD0\x96", "?"},                              // Cyrillic: not in the code page
      {"\xF0\x9F\x98\x80", "?"},                      // emoji
      {"\xC3", "?"},                                  // truncated sequence
      {"a\xC0\x8A" "b", "a??b"},                       // overlong line feed
      {"\xE0\x80\xAF", "???"},                        // overlong slash
      {"\xED\xA0\x80", "???"},                        // surrogate
      {"\xF4\x90\x80\x80", "????"},                   // beyond U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(utf8_to_codepage(c.utf8), c.want) << c.utf8;
}

TEST(CodePage, Utf16leOfBothEncodings) {
  std::string out;
  append_utf16le("A\x80", TextEncoding::kCodePage, out);
  EXPECT_EQ(out, std::string("A\0\xAC\x20", 4));
  out.clear();
  append_utf16le("\xF0\x9F\x98\x80", TextEncoding::kUtf8, out);  // U+1F600 -> D83D DE00
  EXPECT_EQ(out, std::string("\x3D\xD8\x00\xDE", 4));
  out.clear();
  append_utf16le("\xC0\x8A", TextEncoding::kUtf8, out);  // no line feed from an overlong form
  EXPECT_EQ(out, std::string("\xFD\xFF\xFD\xFF", 4));
}

}  // namespace
}  // namespace corvane::platform
