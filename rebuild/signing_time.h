// The local time with its offset from UTC, as text.
#pragma once

#include <string>

namespace corvane::rebuild {

struct LocalTime {
  int year, month, day, hour, minute, second;
};

// "dd.mm.yyyy hh:mm:ss +hhmm". Throws std::runtime_error when the time
// conversion object cannot be created or fails.
[[nodiscard]] std::string localTimeWithOffset();
// "yyyymmddhhmmss+hh'mm'". Throws as localTimeWithOffset.
[[nodiscard]] std::string pdfSigningDate();

// Formatting without the clock; offset in minutes east of Greenwich.
[[nodiscard]] std::string format_local_time_with_offset(const LocalTime& t, int offset_minutes);
[[nodiscard]] std::string format_pdf_signing_date(const LocalTime& t, int offset_minutes);

}  // namespace corvane::rebuild
