#include "platform/text_case.h"

#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

TEST(TextCase, LowersEveryLetterAndKeepsBrokenBytes) {
  const struct {
    std::string in;
    std::string want;
  } cases[] = {
      {"JDoe@Corvane.TEST", "jdoe@corvane.test"},
      {"MÜLLER Œuvre ŠŽŸ", "müller œuvre šžÿ"},
      {"ΑΘΗΝΑ Москва", "αθηνα москва"},
      {"bad \xC3 byte \xFF", "bad \xC3 byte \xFF"},
  };
  for (const auto& c : cases) EXPECT_EQ(lower_text(c.in), c.want) << c.in;
  EXPECT_TRUE(contains_ignoring_case("SMTP:JDoe@X", "jdoe"));
  EXPECT_FALSE(contains_ignoring_case("info@x", "jdoe"));
}

TEST(TextCase, FoldsCodePageLetters) {
  EXPECT_TRUE(codepage_equal_ignoring_case("M\xDCLLER \x8A", "m\xFCller \x9A"));  // Ü/ü, Š/š
  EXPECT_TRUE(codepage_equal_ignoring_case("\x9F", "\xFF"));                      // Ÿ/ÿ
  EXPECT_FALSE(codepage_equal_ignoring_case("\xD7", "\xF7"));                     // × and ÷ are no pair
  EXPECT_FALSE(codepage_equal_ignoring_case("ab", "abc"));
}

}  // namespace
}  // namespace corvane::platform
