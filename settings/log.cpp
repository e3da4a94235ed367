#include "settings/log.h"

#include <cmath>
#include <ctime>
#include <memory>
#include <string>

#include "platform/automation.h"
#include "platform/logme.h"
#include "platform/object_factory.h"
#include "settings/registry.h"

namespace corvane::settings {
namespace {

constexpr std::string_view kLogFileName = "pdf.log";

struct LogState {
  std::shared_ptr<platform::AutomationObject> writer;
  bool ready = false;
  bool enabled = false;
  std::string folder;  // the setting `path`, kept once found; ends in "/" when used
};

LogState& log_state() {
  thread_local LogState state;
  return state;
}

// The `debug` switch: a whole number of 1 or more turns the log on. The text
// is taken as a 16-bit whole number, a fraction rounded to the nearest (halves
// to even); junk or a number outside -32768..32767 keeps the log off.
bool debug_switch_on(const std::string& text) {
  const auto number = platform::Variant(text.empty() ? std::string("0") : text).to_double();
  if (!number || !std::isfinite(*number)) return false;
  const double whole = std::nearbyint(*number);
  if (whole < -32768 || whole > 32767) return false;
  return whole >= 1;
}

// Reads the switch and, when it is on, creates the logging component.
void prepare(LogState& state) {
  state.writer.reset();
  state.enabled = debug_switch_on(reg_read(std::string(kMachineBase) + "debug"));
  if (state.enabled) {
    state.writer = platform::ObjectFactory::instance().create(platform::kLogMeProgId);
    state.ready = state.writer != nullptr;
  } else {
    state.ready = false;
  }
}

LogCapture*& current_capture() {
  thread_local LogCapture* capture = nullptr;
  return capture;
}

}  // namespace

LogCapture::LogCapture() : outer_(current_capture()) { current_capture() = this; }
LogCapture::~LogCapture() { current_capture() = outer_; }

void LogCapture::add_line(std::string_view message) {
  if (message.empty()) return;
  std::string line = log_timestamp();
  line += ": ";
  line += message;
  lines_.push_back(std::move(line));
}

void log_warning(std::string_view message) {
  if (LogCapture* capture = current_capture(); capture != nullptr && !message.empty())
    capture->warnings_.emplace_back(message);
  log_line(message);
}

void log_line(std::string_view message) {
  LogCapture* capture = current_capture();
  if (capture != nullptr) capture->add_line(message);
  LogState& state = log_state();
  if (!state.ready) {
    prepare(state);  // this call's message is not written
    return;
  }
  if (state.folder.empty()) state.folder = reg_read(std::string(kMachineBase) + "path");
  if (state.folder.empty() || !state.enabled) return;
  if (!state.folder.ends_with('/')) state.folder += '/';
  if (message.empty()) return;

  std::string line = log_timestamp();
  line += ": ";
  line += message;
  platform::Variant args[] = {platform::Variant(state.folder + std::string(kLogFileName)),
                              platform::Variant(std::move(line))};
  platform::Variant result;
  platform::CallError error;
  if (!platform::invoke_by_name(*state.writer, "logge", platform::InvokeKind::kMethod, args,
                                result, error)) {
    state.ready = false;  // the next call prepares the log again
    // The log cannot say it lost a line; a capture can.
    if (capture != nullptr) capture->add_line("the log line was lost: " + error.description);
  }
}

std::string log_timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || !::localtime_r(&now, &local)) return "";
  char text[32];
  if (std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local) != 14) return "";
  return text;
}

}  // namespace corvane::settings
