#include "rebuild/signing_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <string>

#include "platform/object_factory.h"
#include "tests/rebuild/fake_signer.h"

namespace corvane::rebuild {
namespace {

TEST(SigningTime, FormatsOffsetSignAndPadding) {
  const LocalTime afternoon{2026, 12, 4, 14, 5, 7};
  const LocalTime morning{2027, 1, 9, 8, 0, 3};
  const struct { LocalTime t; int offset; const char* local; const char* pdf; } cases[] = {
      {afternoon, 60, "04.12.2026 14:05:07 +0100", "20261204140507+01'00'"},
      {afternoon, 0, "04.12.2026 14:05:07 +0000", "20261204140507+00'00'"},
      {afternoon, -210, "04.12.2026 14:05:07 -0330", "20261204140507-03'30'"},
      {afternoon, 345, "04.12.2026 14:05:07 +0545", "20261204140507+05'45'"},
      {morning, -30, "09.01.2027 08:00:03 -0030", "20270109080003-00'30'"},
      {morning, 840, "09.01.2027 08:00:03 +1400", "20270109080003+14'00'"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(format_local_time_with_offset(c.t, c.offset), c.local) << c.offset;
    EXPECT_EQ(format_pdf_signing_date(c.t, c.offset), c.pdf) << c.offset;
  }
}

// The wall-clock time `offset_minutes` east of Greenwich, from UTC without zone rules.
LocalTime wall_clock(std::time_t when, int offset_minutes) {
  const std::time_t shifted = when + offset_minutes * 60;
  std::tm tm{};
  gmtime_r(&shifted, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// In a child (TZ stays there): exits 0 when both texts, read from the real
// clock under the POSIX zone for `offset_minutes`, match the formatter for
// one of the seconds spent reading.
void check_clock_in_zone(int offset_minutes) {
  const int west = -offset_minutes;  // POSIX zones count west of Greenwich
  const std::string tz = "ZZZ" + std::string(west < 0 ? "-" : "") + std::to_string(std::abs(west) / 60) +
                         ":" + std::to_string(std::abs(west) % 60);
  ::setenv("TZ", tz.c_str(), 1);
  ::tzset();
  const std::time_t before = std::time(nullptr);
  const std::string local = localTimeWithOffset();
  const std::string pdf = pdfSigningDate();
  bool local_ok = false, pdf_ok = false;
  for (std::time_t t = before; t <= std::time(nullptr); ++t) {
    local_ok |= local == format_local_time_with_offset(wall_clock(t, offset_minutes), offset_minutes);
    pdf_ok |= pdf == format_pdf_signing_date(wall_clock(t, offset_minutes), offset_minutes);
  }
  std::fprintf(stderr, "TZ=%s: %s / %s\n", tz.c_str(), local.c_str(), pdf.c_str());
  std::_Exit(local_ok && pdf_ok ? 0 : 1);
}

TEST(SigningTime, ReadsZoneRulesOfTheRealClock) {
  const auto utilities = test::utilities_available();
  // The last zone puts the local time at 07:xx now: the texts show the hour's leading zero.
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  const int morning = ((7 - utc.tm_hour + 36) % 24 - 12) * 60;
  for (const int offset : {60, 0, -210, 345})
    EXPECT_EXIT(check_clock_in_zone(offset), ::testing::ExitedWithCode(0), "") << offset;
  EXPECT_EXIT(check_clock_in_zone(morning), ::testing::ExitedWithCode(0),
              R"(: [0-9]{2}\.[0-9]{2}\.[0-9]{4} 0[0-9]:[0-9]{2}:[0-9]{2} [+-][0-9]{4} / [0-9]{8}0[0-9])");
}

TEST(SigningTime, FailsWithoutUtilitiesObject) {
  const auto missing = platform::ObjectFactory::instance().override_class("CAPICOM.Utilities", nullptr);
  EXPECT_THROW((void)localTimeWithOffset(), std::runtime_error);
  EXPECT_THROW((void)pdfSigningDate(), std::runtime_error);
}

}  // namespace
}  // namespace corvane::rebuild
