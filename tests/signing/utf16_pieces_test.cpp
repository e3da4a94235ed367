#include "signing/utf16_pieces.h"

#include <gtest/gtest.h>

namespace corvane::signing {
namespace {

TEST(Utf16Pieces, JoinedPiecesEqualTheWholeConversion) {
  const struct { std::string text; platform::TextEncoding encoding; } cases[] = {
      // Two-, three- and four-byte sequences at every cut position.
      {"a\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80z\xc3\xa4\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80", platform::TextEncoding::kUtf8},
      {"\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80", platform::TextEncoding::kUtf8},
      {"bad \x80\x80\x80\x80\x80 tail \xe2\x82", platform::TextEncoding::kUtf8},
      {"\x80\x81\xe4\xff plain", platform::TextEncoding::kCodePage},
  };
  for (const auto& c : cases) {
    std::string whole;
    platform::append_utf16le(c.text, c.encoding, whole);
    for (std::size_t piece = 1; piece <= 9; ++piece) {
      std::string joined;
      for_each_utf16le_piece(c.text, c.encoding, piece, [&joined](std::string_view p) { joined += p; });
      EXPECT_EQ(joined, whole) << "piece size " << piece << " text " << c.text;
    }
  }
}

}  // namespace
}  // namespace corvane::signing
