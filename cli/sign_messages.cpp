#include "cli/sign_messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "settings/setting_values.h"

namespace corvane::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kChooseAnother =
    "choose another with --cert NAME (see 'corvanepdf certificates') or 'corvanepdf choose-certificate'";

}  // namespace

std::string configured_container() { return settings::read_setting("UniqueContainerName"); }

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

std::string failure_message(const std::string& input, const std::string& output, const RunFailure& failure,
                            std::string_view action) {
  const std::string cannot = "cannot " + std::string(action) + " " + input;
  switch (failure.code) {
    case CPDF_ERROR_NONE: return {};
    case CPDF_ERROR_PASSWORD_MISSING: return input + " is encrypted: give its password with --password";
    case CPDF_ERROR_PASSWORD_REFUSED: return "wrong password for " + input;
    case CPDF_ERROR_NO_SUCH_FILE: return cannot + ": no such file";
    case CPDF_ERROR_NOT_PDF:
      return "cannot open " + input + ": not a PDF the engine can read" +
             (failure.cause.empty() ? "" : " (" + failure.cause + ")");
    case CPDF_ERROR_CERTIFICATE_NOT_FOUND: return cannot + ": " + failure.message + "; " + std::string(kChooseAnother);
    case CPDF_ERROR_NOT_WRITTEN:
      return "the " + std::string(action) + "ed file " + output + " could not be written" +
             (failure.cause.empty() ? "" : ": " + failure.cause);
    default: return cannot + ": " + failure.message;
  }
}

}  // namespace corvane::cli
