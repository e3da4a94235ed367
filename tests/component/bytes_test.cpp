#include "component/bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

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
