// What `corvanepdf sign` tells its user: the problems it can see before
// signing, and the reason of a failed run read from the run's diagnostic
// lines.
#pragma once

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

// Collects the diagnostic lines of this process in a temporary file for as
// long as it lives (CORVANE_LOG_COPY), whether or not the log is on: an
// unnamed file, named through /proc/self/fd; with `per_thread`, one file
// per thread in a temporary folder.
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
  [[nodiscard]] std::string file() const;
  std::string path_;    // may hold "%t", the thread's id
  std::string folder_;  // the temporary folder of a per-thread log
  int fd_ = -1;         // the unnamed file of a single log
};

// The message for a run that answered false, from its lines; "" when the
// lines do not say why.
[[nodiscard]] std::string failure_message(const std::string& input, const std::vector<std::string>& lines);
// For a run that answered true: a message when the signed file could not
// be written (with the reason when the lines give it), else "".
[[nodiscard]] std::string write_message(const std::string& output, const std::vector<std::string>& lines);
// A warning for a run whose user.ini entry could not be written, else "".
[[nodiscard]] std::string warning_message(const std::vector<std::string>& lines);

}  // namespace corvane::cli
