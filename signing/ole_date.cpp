#include "signing/ole_date.h"

#include <cmath>
#include <cstdio>

#include "platform/iso_time.h"

namespace corvane::signing {
namespace {

constexpr long kSecondsPerDay = 86400;
// Days from 1899-12-30 (the OLE epoch) to 1970-01-01.
constexpr long kOleEpochToUnixDays = 25569;

// Days since 1970-01-01 of a proleptic Gregorian date.
long days_from_civil(long y, int m, int d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(long z, int& y, int& m, int& d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// Seconds since 1970-01-01 00:00 of the wall-clock time an OLE date names.
std::optional<long long> wall_seconds_from_ole(double date) {
  if (!std::isfinite(date) || date < -657435.0 || date > 2958466.0) return std::nullopt;
  const double whole = std::trunc(date);
  const double fraction = std::fabs(date - whole);
  const long long seconds = static_cast<long long>(std::llround(fraction * kSecondsPerDay));
  return (static_cast<long long>(whole) - kOleEpochToUnixDays) * kSecondsPerDay + seconds;
}

WallClock wall_clock_from_seconds(long long seconds) {
  long long days = seconds / kSecondsPerDay;
  long long rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  WallClock clock;
  civil_from_days(static_cast<long>(days), clock.year, clock.month, clock.day);
  clock.hour = static_cast<int>(rest / 3600);
  clock.minute = static_cast<int>(rest / 60 % 60);
  clock.second = static_cast<int>(rest % 60);
  return clock;
}

double ole_from_seconds(long long seconds) {
  long long days = seconds / kSecondsPerDay;
  long long rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  const double whole = static_cast<double>(days + kOleEpochToUnixDays);
  const double fraction = static_cast<double>(rest) / kSecondsPerDay;
  // Before the epoch the fraction still counts forward: -1.25 is 1899-12-29 06:00.
  return whole < 0 ? whole - fraction : whole + fraction;
}

}  // namespace

std::optional<WallClock> wall_clock_from_ole(double date) {
  const auto seconds = wall_seconds_from_ole(date);
  if (!seconds) return std::nullopt;
  const WallClock clock = wall_clock_from_seconds(*seconds);
  if (clock.year < 100 || clock.year > 9999) return std::nullopt;
  return clock;
}

double ole_from_wall_clock(const WallClock& c) {
  const long long seconds = static_cast<long long>(days_from_civil(c.year, c.month, c.day)) * kSecondsPerDay +
                            c.hour * 3600LL + c.minute * 60LL + c.second;
  return ole_from_seconds(seconds);
}

std::optional<double> local_ole_from_unix(std::time_t moment) {
  std::tm local{};
  if (!localtime_r(&moment, &local)) return std::nullopt;
  return ole_from_wall_clock({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                              local.tm_min, local.tm_sec});
}

std::optional<double> local_ole_to_utc_ole(double local) {
  const auto clock = wall_clock_from_ole(local);
  if (!clock) return std::nullopt;
  std::tm tm{};
  tm.tm_year = clock->year - 1900;
  tm.tm_mon = clock->month - 1;
  tm.tm_mday = clock->day;
  tm.tm_hour = clock->hour;
  tm.tm_min = clock->minute;
  tm.tm_sec = clock->second;
  tm.tm_isdst = -1;
  tm.tm_wday = -1;  // mktime sets it on success: -1 is a valid moment
  const std::time_t moment = std::mktime(&tm);
  if (tm.tm_wday < 0) return std::nullopt;
  return ole_from_seconds(static_cast<long long>(moment));
}

std::string format_ole_date(double date) {
  const auto c = wall_clock_from_ole(date);
  if (!c) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c->year, c->month, c->day, c->hour,
                c->minute, c->second);
  return text;
}

std::string format_local_ole_date_iso(double local) {
  const auto c = wall_clock_from_ole(local);
  const auto utc = local_ole_to_utc_ole(local);
  if (!c || !utc) return {};
  const int offset_minutes = static_cast<int>(std::llround((local - *utc) * 24 * 60));
  return platform::iso_8601({c->year, c->month, c->day, c->hour, c->minute, c->second}, offset_minutes);
}

}  // namespace corvane::signing
