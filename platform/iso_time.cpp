#include "platform/iso_time.h"

#include <cstdio>
#include <cstdlib>

namespace corvane::platform {

std::string iso_8601(const CivilTime& t, std::optional<int> offset_minutes) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  std::string out = text;
  if (!offset_minutes) return out;
  const int minutes = std::abs(*offset_minutes);
  std::snprintf(text, sizeof text, "%c%02d:%02d", *offset_minutes < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return out + text;
}

}  // namespace corvane::platform
