// OLE dates: the date-time values of the automation layer. A `double` counts
// days since 1899-12-30 00:00; its fraction is the time of day (for dates
// before that day the fraction still counts forward from midnight). The
// values carry no zone: each user says whether it means local or UTC time.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace corvane::signing {

struct WallClock {
  int year = 1899;
  int month = 12;  // 1..12
  int day = 30;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const WallClock&) const = default;
};

// The wall-clock time of an OLE date, rounded to the second; nullopt outside
// the years 100..9999 or for a value that is not a number.
[[nodiscard]] std::optional<WallClock> wall_clock_from_ole(double date);
// The OLE date of a wall-clock time (no range check).
[[nodiscard]] double ole_from_wall_clock(const WallClock& clock);

// The local wall-clock time of a moment, as an OLE date; nullopt when the C
// library cannot convert it.
[[nodiscard]] std::optional<double> local_ole_from_unix(std::time_t moment);
// The UTC wall-clock time of a local OLE date. A local time that falls twice
// (end of summer time) is taken as the first; one that does not exist is
// moved forward as the C library does. nullopt outside 100..9999.
[[nodiscard]] std::optional<double> local_ole_to_utc_ole(double local);

// "yyyy-mm-dd hh:mm:ss": how dates are shown in the chooser and listed by
// `corvanepdf certificates`; "" for a date outside 100..9999.
[[nodiscard]] std::string format_ole_date(double date);
// A local OLE date as every command prints times, with its offset from UTC
// ("2026-12-04T14:05:07+01:00"); "" outside 100..9999.
[[nodiscard]] std::string format_local_ole_date_iso(double local);

}  // namespace corvane::signing
