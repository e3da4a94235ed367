// The diagnostic log pdf.log, switched on by the machine setting `debug` and
// placed in the folder of the setting `path`. Never throws, never reports.
#pragma once

#include <string>
#include <string_view>

namespace corvane::settings {

// Hands one time-stamped line to the logging component (UTF-8 message).
// When the environment variable CORVANE_LOG_COPY names a file, the line is
// also appended there, whether or not `debug` is on: that is how the
// command line reads the lines of its own run. A "%t" in the file name is
// replaced by the calling thread's id (gettid), so that each thread of a
// batch run has its own file.
void log_line(std::string_view message);
// Local time as "yyyymmddhhnnss"; "" when it cannot be formatted.
[[nodiscard]] std::string log_timestamp();

}  // namespace corvane::settings
