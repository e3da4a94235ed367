#include "verify/pdf_date.h"

#include "platform/iso_time.h"

namespace corvane::verify {
namespace {

// Takes `width` digits from the front of `text` into `value`; false, with
// `text` unchanged, when they are not there.
bool take_number(std::string_view& text, std::size_t width, int& value) {
  if (text.size() < width) return false;
  int n = 0;
  for (std::size_t i = 0; i < width; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    n = n * 10 + (text[i] - '0');
  }
  value = n;
  text.remove_prefix(width);
  return true;
}

}  // namespace

std::string readable_pdf_date(std::string_view date) {
  std::string_view rest = date;
  if (rest.starts_with("D:")) rest.remove_prefix(2);
  int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  if (!take_number(rest, 4, year)) return std::string(date);
  // Each later part is optional, but only at the end.
  if (take_number(rest, 2, month) && take_number(rest, 2, day) && take_number(rest, 2, hour) &&
      take_number(rest, 2, minute)) {
    (void)take_number(rest, 2, second);
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
    return std::string(date);

  const platform::CivilTime time{year, month, day, hour, minute, second};
  if (rest.empty()) return platform::iso_8601(time, std::nullopt);
  if (rest == "Z" || rest == "Z00'00'" || rest == "Z00'00") return platform::iso_8601(time, 0);
  const char sign = rest.front();
  rest.remove_prefix(1);
  int zone_hours = 0, zone_minutes = 0;
  if ((sign != '+' && sign != '-') || !take_number(rest, 2, zone_hours) || zone_hours > 23)
    return std::string(date);
  if (rest.starts_with('\'')) rest.remove_prefix(1);
  if (!rest.empty() && (!take_number(rest, 2, zone_minutes) || zone_minutes > 59)) return std::string(date);
  if (rest.starts_with('\'')) rest.remove_prefix(1);
  if (!rest.empty()) return std::string(date);
  const int offset = zone_hours * 60 + zone_minutes;
  return platform::iso_8601(time, sign == '-' ? -offset : offset);
}

}  // namespace corvane::verify
