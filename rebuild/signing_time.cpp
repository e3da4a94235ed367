#include "rebuild/signing_time.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "platform/object_factory.h"

namespace corvane::rebuild {
namespace {

// The certificate library's utilities object. The offset itself comes from
// the C library's time-zone rules, but a machine without the certificate
// library cannot make time texts, exactly as where that object does the
// conversion: callers rely on that failure (no /M entry, "@@date@@" kept).
constexpr std::string_view kUtilitiesProgId = "CAPICOM.Utilities";

struct ClockReading {
  LocalTime local;
  int offset_minutes;
};

// Throws std::runtime_error when the utilities object cannot be created or
// the local time cannot be read.
ClockReading read_clock() {
  std::string error;
  const auto utilities = platform::ObjectFactory::instance().create(kUtilitiesProgId, &error);
  if (!utilities) throw std::runtime_error(error);

  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  if (now == static_cast<std::time_t>(-1) || !localtime_r(&now, &tm))
    throw std::runtime_error("the local time cannot be read");
  // tm_gmtoff follows TZ and the zone's rules for this moment (daylight
  // saving included), in seconds east of Greenwich; whole minutes are kept.
  return {{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec},
          static_cast<int>(tm.tm_gmtoff / 60)};
}

// Sign, then hours and minutes of the offset, each two digits; the minutes
// carry no sign of their own.
struct OffsetParts {
  char sign;
  int hours;
  int minutes;
};

OffsetParts split_offset(int offset_minutes) {
  const int magnitude = offset_minutes < 0 ? -offset_minutes : offset_minutes;
  return {offset_minutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60};
}

}  // namespace

std::string format_local_time_with_offset(const LocalTime& t, int offset_minutes) {
  const OffsetParts o = split_offset(offset_minutes);
  char text[128];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d %c%02d%02d", t.day, t.month,
                t.year, t.hour, t.minute, t.second, o.sign, o.hours, o.minutes);
  return text;
}

std::string format_pdf_signing_date(const LocalTime& t, int offset_minutes) {
  const OffsetParts o = split_offset(offset_minutes);
  char text[128];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d%c%02d'%02d'", t.year, t.month, t.day,
                t.hour, t.minute, t.second, o.sign, o.hours, o.minutes);
  return text;
}

std::string localTimeWithOffset() {
  const ClockReading now = read_clock();
  return format_local_time_with_offset(now.local, now.offset_minutes);
}

std::string pdfSigningDate() {
  const ClockReading now = read_clock();
  return format_pdf_signing_date(now.local, now.offset_minutes);
}

}  // namespace corvane::rebuild
