#include "rebuild/signing_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

// Both texts take the offset from the zone rules of the real clock (TZ set in a child, where it stays).
TEST(SigningTime, ReadsTheZoneOfTheRealClock) {
  const auto utilities = test::utilities_available();
  const struct { const char *tz, *local, *pdf; } cases[] = {{"ZZZ-5:45", " +0545", "+05'45'"}, {"ZZZ3:30", " -0330", "-03'30'"}};
  for (const auto& c : cases)
    EXPECT_EXIT(
        {
          ::setenv("TZ", c.tz, 1);
          ::tzset();
          std::_Exit(localTimeWithOffset().ends_with(c.local) && pdfSigningDate().ends_with(c.pdf) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "")
        << c.tz;
}

TEST(SigningTime, FailsWithoutUtilitiesObject) {
  const auto missing = platform::ObjectFactory::instance().override_class("CAPICOM.Utilities", nullptr);
  EXPECT_THROW((void)localTimeWithOffset(), std::runtime_error);
  EXPECT_THROW((void)pdfSigningDate(), std::runtime_error);
}

}  // namespace
}  // namespace corvane::rebuild
