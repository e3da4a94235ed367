// The diagnostic log pdf.log, switched on by the machine setting `debug` and
// placed in the folder of the setting `path`. Never throws, never reports.
#pragma once

#include <string>
#include <string_view>

namespace corvane::settings {

// Hands one time-stamped line to the logging component (UTF-8 message).
// When the environment variable CORVANE_LOG_COPY names a file, the line is
// also appended there, whether or not `debug` is on: that is how the
// command line reads the lines of its own run. A value that starts with
// kLogCopyPerThread names the file after it, and each line there starts
// with the calling thread's id (gettid) and a blank, so that each thread of
// a batch run can tell its own lines.
void log_line(std::string_view message);
inline constexpr std::string_view kLogCopyPerThread = "%t:";
// Local time as "yyyymmddhhnnss"; "" when it cannot be formatted.
[[nodiscard]] std::string log_timestamp();

}  // namespace corvane::settings
