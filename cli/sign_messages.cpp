#include "cli/sign_messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>

#include "settings/registry.h"

namespace corvane::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kRefused = "signing refused: ";
constexpr std::string_view kOpenFailure = "OpenDocument: ";
constexpr std::string_view kNotWritten = "the signed file could not be written";
constexpr std::string_view kWhyNotWritten = "why the signed file was not written: ";
constexpr std::string_view kIniNotUpdated = "user.ini could not be updated: ";
constexpr std::string_view kNotInStore = "is not in the store";
constexpr std::string_view kChooseAnother =
    "choose another with --cert NAME (see 'corvanepdf certificates') or 'corvanepdf choose-certificate'";

// The message of a log line, without its time stamp.
std::string_view message_of(std::string_view line) {
  const auto colon = line.find(": ");
  return colon == std::string_view::npos ? line : line.substr(colon + 2);
}

// The rest of the first message that starts with `prefix`, or nullopt.
std::optional<std::string> find_message(const std::vector<std::string>& lines, std::string_view prefix) {
  for (const auto& line : lines)
    if (const auto message = message_of(line); message.starts_with(prefix))
      return std::string(message.substr(prefix.size()));
  return std::nullopt;
}

// $TMPDIR, or /tmp when that names no folder: signing does not depend on it.
fs::path temporary_folder() {
  std::error_code error;
  fs::path folder = fs::temp_directory_path(error);
  return error ? fs::path("/tmp") : folder;
}

}  // namespace

bool certificate_configured() {
  for (const std::string_view base : {settings::kUserBase, settings::kMachineBase})
    if (!settings::reg_read(std::string(base) + "UniqueContainerName").empty()) return true;
  return false;
}

bool chooser_can_show() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* value = std::getenv(name); value && *value) return true;
  const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) return false;
  ::close(tty);
  return true;
}

std::string sign_precheck(const std::string& input, const std::string& output, bool certificate_given) {
  std::error_code error;
  const auto status = fs::status(input, error);
  if (!fs::exists(status)) return "cannot sign " + input + ": no such file";
  if (fs::is_directory(status)) return "cannot sign " + input + ": it is a folder";
  // Without blocking: a FIFO is refused when the engine opens it.
  const int probe = ::open(input.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (probe < 0) return "cannot read " + input + ": " + std::strerror(errno);
  ::close(probe);

  const fs::path folder = fs::path(output).parent_path();
  if (!folder.empty() && !fs::is_directory(folder, error))
    return "the output folder " + folder.string() + " does not exist";

  if (!certificate_given && !certificate_configured() && !chooser_can_show())
    return "no signing certificate is configured and there is no display or terminal to choose one; "
           "select one with --cert NAME, or: corvanepdf settings set UniqueContainerName '<token>:<key id>'";
  return {};
}

RunLog::RunLog(bool per_thread) {
  if (per_thread) {
    std::string pattern = (temporary_folder() / "corvanepdf-batch-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    folder_ = pattern;
    path_ = folder_ + "/%t.log";
  } else {
    // An unnamed file, reached through the descriptor: nothing is left
    // behind however the process ends.
    fd_ = ::open(temporary_folder().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      std::string pattern = (temporary_folder() / "corvanepdf-run-XXXXXX").string();
      fd_ = ::mkstemp(pattern.data());
      if (fd_ < 0) return;
      ::unlink(pattern.c_str());
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ::setenv("CORVANE_LOG_COPY", path_.c_str(), 1);
}

RunLog::~RunLog() {
  if (path_.empty()) return;
  ::unsetenv("CORVANE_LOG_COPY");
  std::error_code error;
  if (fd_ >= 0)
    ::close(fd_);
  else
    fs::remove_all(folder_, error);
}

std::string RunLog::file() const {
  std::string path = path_;
  if (const auto mark = path.find("%t"); mark != std::string::npos)
    path.replace(mark, 2, std::to_string(::gettid()));
  return path;
}

std::vector<std::string> RunLog::lines() const {
  std::vector<std::string> lines;
  std::ifstream in(file());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void RunLog::clear() const {
  std::error_code error;
  if (fd_ >= 0)
    (void)::ftruncate(fd_, 0);
  else if (!path_.empty())
    fs::remove(file(), error);
}

std::string failure_message(const std::string& input, const std::vector<std::string>& lines) {
  const auto refusal = find_message(lines, kRefused);
  if (!refusal) return {};
  if (refusal->find("no password was given") != std::string::npos)
    return input + " is encrypted: give its password with --password";
  if (refusal->find("password was refused") != std::string::npos) return "wrong password for " + input;
  if (refusal->find("could not be opened") != std::string::npos) {
    const auto reason = find_message(lines, kOpenFailure);
    return "cannot open " + input + ": not a PDF the engine can read" + (reason ? " (" + *reason + ")" : "");
  }
  if (refusal->find(kNotInStore) != std::string::npos || refusal->starts_with("no certificate is selected"))
    return "cannot sign " + input + ": " + *refusal + "; " + std::string(kChooseAnother);
  return "cannot sign " + input + ": " + *refusal;
}

std::string write_message(const std::string& output, const std::vector<std::string>& lines) {
  if (!find_message(lines, kNotWritten)) return {};
  const auto why = find_message(lines, kWhyNotWritten);
  return "the signed file " + output + " could not be written" + (why ? ": " + *why : "");
}

std::string warning_message(const std::vector<std::string>& lines) {
  const auto why = find_message(lines, kIniNotUpdated);
  return why ? "warning: user.ini could not be updated: " + *why : "";
}

}  // namespace corvane::cli
