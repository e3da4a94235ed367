#include "verify/pdf_date.h"

#include <gtest/gtest.h>

namespace corvane::verify {
namespace {

TEST(ReadablePdfDate, ShowsIso8601WithTheZoneOrKeepsWhatIsNoDate) {
  const struct { const char* date; const char* want; } cases[] = {
      {"D:20261204140507+01'00'", "2026-12-04T14:05:07+01:00"},
      {"D:20261204140507-03'30", "2026-12-04T14:05:07-03:30"},
      {"D:20261204140507Z", "2026-12-04T14:05:07+00:00"},
      {"D:20261204140507Z00'00'", "2026-12-04T14:05:07+00:00"},
      {"20261204140507+05", "2026-12-04T14:05:07+05:00"},
      {"D:2026", "2026-01-01T00:00:00"},
      {"D:202612041405", "2026-12-04T14:05:00"},
      {"D:20261304140507Z", "D:20261304140507Z"},
      {"D:20261204140507+1", "D:20261204140507+1"},
      {"D:20261204140507+01'00'x", "D:20261204140507+01'00'x"},
      {"yesterday", "yesterday"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(readable_pdf_date(c.date), c.want) << c.date;
}

}  // namespace
}  // namespace corvane::verify
