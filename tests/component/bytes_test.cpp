#include "component/bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

std::int32_t find_in(const std::string& buffer, const std::string& text, std::int32_t start) {
  return find_bytes(reinterpret_cast<const std::uint8_t*>(buffer.data()), buffer.size(), text,
                    start);
}

TEST(FindBytes, SearchesOnlyWhereTheBoundsAllow) {
  const struct { std::string buffer; std::string text; std::int32_t start; std::int32_t want; } cases[] = {
      // A buffer must hold the text's length plus 3 bytes to be searched.
      {"xref  ", "xref", 0, kNotFound},
      {"xref   ", "xref", 0, 0},
      {"xref   ", "xref", 1, kNotFound},
      // A match ending on the last byte is not found; one byte earlier is.
      {"....xref", "xref", 0, kNotFound},
      {"...xref.", "xref", 0, 3},
      {"...xref.", "xref", 3, 3},
      {"...xref.", "xref", 4, kNotFound},
      // First occurrence at or after start; false starts on the first byte.
      {"xrexref xref..", "xref", 0, 3},
      {"xrexref xref..", "xref", 4, 8},
      {"\nendobj\n2 0 obj\n...", "\n2 0 obj\n", 0, 7},
      // Empty text, negative or too large start.
      {"abcdefgh", "", 0, kNotFound},
      {"abcdefgh", "abc", -1, kNotFound},
      {"abcdefgh", "abc", 100, kNotFound},
      // Bytes above 127 and NUL compare as bytes.
      {std::string("a\0\xE9z....", 8), std::string("\0\xE9", 2), 0, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(find_in(c.buffer, c.text, c.start), c.want)
        << "buffer \"" << c.buffer << "\" text \"" << c.text << "\" start " << c.start;
  EXPECT_EQ(find_bytes(nullptr, 0, "x", 0), kNotFound);
}

TEST(TextFromPiece, RoundTripsEveryNonNulByteAndCutsAtTheFirstNul) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  ByteBuffer bytes = bytes_from_text(all);
  ASSERT_EQ(bytes.size(), all.size());
  EXPECT_EQ(text_from_piece(bytes.data(), bytes.size()), all);
  bytes[65] = 0;
  EXPECT_EQ(text_from_piece(bytes.data(), bytes.size()), all.substr(0, 65));
  EXPECT_EQ(text_from_piece(nullptr, 0), "");
}

TEST(IntegerPart, CutsAtTheFirstPointOrCommaWithCommaWinning) {
  const struct {
    const char* text;
    const char* want;
  } cases[] = {{"400.000", "400"}, {"12,5", "12"},  {"1.5,2", "1.5"}, {"1,5.2", "1"},
               {"77", "77"},       {"", ""},        {".5", ""},       {"-3.9", "-3"}};
  for (const auto& c : cases) EXPECT_EQ(integer_part(c.text), c.want) << c.text;
}

}  // namespace
}  // namespace corvane
