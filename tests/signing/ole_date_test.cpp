#include "signing/ole_date.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

#include "platform/automation.h"
#include "platform/object_factory.h"
#include "signing/store_objects.h"
#include "signing/sign_content.h"
#include "tests/support/test_support.h"

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

// Switches the process's time zone for the life of the object.
class ScopedZone {
 public:
  explicit ScopedZone(const char* zone) : env_("TZ", zone) { tzset(); }
  ~ScopedZone() { tzset(); }

 private:
  test::ScopedEnv env_;
};

TEST(Utilities, LocalTimeToUtcByNameGivesTheZoneOffset) {
  register_signing_classes();
  const double winter = 46360.0 + 14.0 / 24;  // 2026-12-04 14:00
  const double summer = 46206.0 + 14.0 / 24;  // 2026-07-03 14:00
  const struct {
    const char* zone;
    double local;
    int offset_minutes;  // local minus UTC
  } cases[] = {{"UTC0", winter, 0},
               {"CET-1CEST,M3.5.0,M10.5.0/3", winter, 60},
               {"CET-1CEST,M3.5.0,M10.5.0/3", summer, 120},
               {"<-0330>3:30", winter, -210},
               {"<+0545>-5:45", winter, 345}};
  for (const auto& c : cases) {
    ScopedZone zone(c.zone);
    auto utilities = platform::ObjectFactory::instance().create("CAPICOM.Utilities");
    ASSERT_TRUE(utilities);
    platform::Variant args[] = {c.local};
    platform::Variant result;
    platform::CallError error;
    ASSERT_TRUE(platform::invoke_by_name(*utilities, "LocalTimeToUTCTime", platform::InvokeKind::kMethod, args,
                                         result, error))
        << error.description;
    const auto utc = result.to_double();
    ASSERT_TRUE(utc);
    EXPECT_EQ(std::lround((c.local - *utc) * 24 * 60), c.offset_minutes) << c.zone;
  }
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
