#include "cli/sign_messages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>

#include "cli/standard_streams.h"
#include "settings/log.h"
#include "settings/registry.h"

namespace corvane::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kRefused = "signing refused: ";
constexpr std::string_view kOpenFailure = "OpenDocument: ";
constexpr std::string_view kNotWritten = "the signed file could not be written";
constexpr std::string_view kWhyNotWritten = "why the signed file was not written: ";
constexpr std::string_view kIniNotUpdated = "user.ini could not be updated: ";
// The token login's warnings: "token NAME: ..."
constexpr std::string_view kToken = "token ";
constexpr std::string_view kFinalTry = ": one try left before the PIN locks";
constexpr std::string_view kCountLow = ": a wrong PIN was entered before";
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

}  // namespace

std::string configured_container() {
  for (const std::string_view base : {settings::kUserBase, settings::kMachineBase})
    if (std::string name = settings::reg_read(std::string(base) + "UniqueContainerName"); !name.empty())
      return name;
  return {};
}

bool certificate_configured() { return !configured_container().empty(); }

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
           "select one with --cert NAME, or: corvanepdf settings set UniqueContainerName NICKNAME (see corvanepdf certificates)";
  return {};
}

RunLog::RunLog(bool per_thread) : per_thread_(per_thread) {
  // An unnamed file, reached through the descriptor: nothing is left
  // behind however the process ends.
  fd_ = unnamed_temporary_file();
  if (fd_ < 0) return;
  // Per thread, each line starts with the id of the thread that wrote it.
  const std::string file = "/proc/self/fd/" + std::to_string(fd_);
  ::setenv("CORVANE_LOG_COPY", (per_thread ? std::string(settings::kLogCopyPerThread) + file : file).c_str(), 1);
}

RunLog::~RunLog() {
  if (fd_ < 0) return;
  ::unsetenv("CORVANE_LOG_COPY");
  ::close(fd_);
}

std::vector<std::string> RunLog::lines() const {
  std::vector<std::string> lines;
  if (fd_ < 0) return lines;
  const std::string tag = per_thread_ ? std::to_string(::gettid()) + " " : "";
  off_t from = 0;
  if (per_thread_) {
    const std::lock_guard lock(mutex_);
    if (const auto cleared = cleared_at_.find(::gettid()); cleared != cleared_at_.end()) from = cleared->second;
  }
  std::ifstream in("/proc/self/fd/" + std::to_string(fd_));
  in.seekg(from);
  for (std::string line; std::getline(in, line);)
    if (line.starts_with(tag)) lines.push_back(line.substr(tag.size()));
  return lines;
}

void RunLog::clear() const {
  if (fd_ < 0) return;
  if (!per_thread_) {
    (void)::ftruncate(fd_, 0);
    return;
  }
  // Other threads' lines stay: this thread's lines so far end here.
  struct stat status {};
  if (::fstat(fd_, &status) != 0) return;
  const std::lock_guard lock(mutex_);
  cleared_at_[::gettid()] = status.st_size;
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

std::vector<std::string> warning_messages(const std::vector<std::string>& lines) {
  std::vector<std::string> warnings;
  for (const auto& line : lines)
    if (const auto message = message_of(line);
        message.starts_with(kToken) && (message.ends_with(kFinalTry) || message.ends_with(kCountLow)))
      warnings.push_back("warning: " + std::string(message));
  if (const auto why = find_message(lines, kIniNotUpdated)) warnings.push_back("warning: user.ini could not be updated: " + *why);
  return warnings;
}

}  // namespace corvane::cli
