#include "signing/ole_date.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/automation.h"
#include "signing/store_objects.h"

namespace corvane::signing {
namespace {

TEST(OleDate, WallClockConversions) {
  const struct { double ole; WallClock clock; } cases[] = {
      {0.0, {1899, 12, 30, 0, 0, 0}},
      {2.5, {1900, 1, 1, 12, 0, 0}},
      {-1.25, {1899, 12, 29, 6, 0, 0}},  // the fraction counts forward before the epoch
      {60.0, {1900, 2, 28, 0, 0, 0}},
      {46360.0 + (14 * 3600 + 5 * 60 + 7) / 86400.0, {2026, 12, 4, 14, 5, 7}},
      {51501.0, {2040, 12, 31, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wall_clock_from_ole(c.ole), c.clock) << c.ole;
    EXPECT_NEAR(ole_from_wall_clock(c.clock), c.ole, 1e-9) << c.ole;
  }
  EXPECT_EQ(format_ole_date(46360.0 + (9 * 3600 + 5) / 86400.0), "2026-12-04 09:00:05");
  EXPECT_EQ(wall_clock_from_ole(1e9), std::nullopt);
  EXPECT_EQ(format_ole_date(std::nan("")), "");
}

TEST(Utilities, LateBoundErrorsAndBinaryToHex) {
  Utilities utilities;
  platform::Variant result;
  platform::CallError error;
  for (const platform::Variant& argument : {platform::Variant("not a date"), platform::Variant(1e12)}) {
    platform::Variant args[] = {argument};
    EXPECT_FALSE(platform::invoke_by_name(utilities, "LocalTimeToUTCTime", platform::InvokeKind::kMethod, args,
                                          result, error));
    EXPECT_FALSE(std::exchange(error.description, "").empty());
  }
  platform::Variant args[] = {platform::Variant(platform::ByteArray{0x00, 0xAB, 0x7F})};
  ASSERT_TRUE(platform::invoke_by_name(utilities, "binarytohex", platform::InvokeKind::kMethod, args, result, error));
  EXPECT_EQ(result, platform::Variant("00ab7f"));
}

}  // namespace
}  // namespace corvane::signing
