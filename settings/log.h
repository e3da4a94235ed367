// The diagnostic log pdf.log, switched on by the machine setting `debug` and
// placed in the folder of the setting `path`. Never throws, never reports.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::settings {

// Hands one time-stamped line to the logging component (UTF-8 message),
// and to the thread's LogCapture when there is one.
void log_line(std::string_view message);
// log_line for a line a host should show its user even with the log off (a
// token's warning about earlier wrong PINs, a user.ini entry not written):
// the thread's LogCapture keeps it among its warnings too.
void log_warning(std::string_view message);

// Collects the lines the constructing thread logs while it lives, whether
// or not the log is on, for a host that shows a run's lines (`sign -v`).
// Lives on one thread; an inner capture collects instead of an outer one
// until it ends. Never throws.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  // The lines so far, each "yyyymmddhhnnss: message".
  [[nodiscard]] const std::vector<std::string>& lines() const { return lines_; }
  // The messages of log_warning so far, without time stamps.
  [[nodiscard]] const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  friend void log_line(std::string_view message);
  friend void log_warning(std::string_view message);
  void add_line(std::string_view message);
  LogCapture* outer_;
  std::vector<std::string> lines_;
  std::vector<std::string> warnings_;
};

// Local time as "yyyymmddhhnnss"; "" when it cannot be formatted.
[[nodiscard]] std::string log_timestamp();

}  // namespace corvane::settings
