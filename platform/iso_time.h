// How every command prints a moment: ISO 8601 with the offset from UTC,
// "2026-12-04T14:05:07+01:00" (UTC is "+00:00").
#pragma once

#include <optional>
#include <string>

namespace corvane::platform {

struct CivilTime {
  int year = 1970, month = 1, day = 1;  // month and day from 1
  int hour = 0, minute = 0, second = 0;
};

// `time` with `offset_minutes` east of UTC; without an offset (a time whose
// zone is not known) the text ends after the seconds.
[[nodiscard]] std::string iso_8601(const CivilTime& time, std::optional<int> offset_minutes);

}  // namespace corvane::platform
