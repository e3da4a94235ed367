#include "platform/text_case.h"

#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

TEST(TextCase, LowersEveryLetterAndKeepsBrokenBytes) {
  const struct { std::string in; std::string want; } cases[] = {
      {"JDoe@Corvane.TEST", "jdoe@corvane.test"},
      {"MÜLLER Œuvre ŠŽŸ", "müller œuvre šžÿ"},
      {"ΑΘΗΝΑ Москва", "αθηνα москва"},
      {"bad \xC3 byte \xFF", "bad \xC3 byte \xFF"},
  };
  for (const auto& c : cases) EXPECT_EQ(lower_text(c.in), c.want) << c.in;
}

}  // namespace
}  // namespace corvane::platform
