// What `corvanepdf sign` tells its user: the problems it can see before
// signing, and the reason of a failed run read from the run's diagnostic
// lines.
#pragma once

#include <sys/types.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace corvane::cli {

// The first problem a user can fix before signing `input` into `output`:
// the input missing, a folder or unreadable; the output folder missing; no
// certificate configured (nor `certificate_given` for the run) with no
// display or terminal to choose one. "" when none is seen.
[[nodiscard]] std::string sign_precheck(const std::string& input, const std::string& output,
                                        bool certificate_given);

// Whether UniqueContainerName is set (user or machine settings).
[[nodiscard]] bool certificate_configured();
// Whether the certificate chooser has a display or terminal to show on.
[[nodiscard]] bool chooser_can_show();

// The signing key's unique container name as the component reads it (user
// key, then machine key); "" when none is configured.
[[nodiscard]] std::string configured_container();

// Collects the diagnostic lines of this process in an unnamed temporary
// file for as long as it lives (CORVANE_LOG_COPY, reached through
// /proc/self/fd), whether or not the log is on: nothing is left behind
// however the process ends. With `per_thread`, each thread reads and
// clears only its own lines.
class RunLog {
 public:
  explicit RunLog(bool per_thread = false);
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;
  // The lines so far (of the calling thread when per thread), with their
  // time stamps.
  [[nodiscard]] std::vector<std::string> lines() const;
  // Forgets the lines so far (of the calling thread when per thread).
  void clear() const;

 private:
  bool per_thread_;
  int fd_ = -1;
  mutable std::mutex mutex_;
  mutable std::map<pid_t, off_t> cleared_at_;  // per thread: where its lines start
};

// The message for a run that answered false, from its lines; "" when the
// lines do not say why.
[[nodiscard]] std::string failure_message(const std::string& input, const std::vector<std::string>& lines);
// For a run that answered true: a message when the signed file could not
// be written (with the reason when the lines give it), else "".
[[nodiscard]] std::string write_message(const std::string& output, const std::vector<std::string>& lines);
// The warnings of a run, from its lines: a token's warning that wrong PINs
// were entered before it was logged in to, a user.ini entry that could not
// be written.
[[nodiscard]] std::vector<std::string> warning_messages(const std::vector<std::string>& lines);

}  // namespace corvane::cli
