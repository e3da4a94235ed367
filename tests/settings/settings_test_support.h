// Scratch hives, code run where the settings start afresh (a new thread: their state is per thread), and
// the diagnostic log's lines of such a run.
#pragma once

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "settings/log.h"
#include "tests/support/test_support.h"

namespace corvane::test {

// Both hive files in a scratch folder, named by CORVANE_HKLM / CORVANE_HKCU.
struct ScratchHives {
  explicit ScratchHives(const std::string& label) : dir(label) {}
  ScratchDir dir;
  std::string machine = (dir / "machine.reg").string();
  std::string user = (dir / "user.reg").string();
  ScopedEnv hklm{"CORVANE_HKLM", machine};
  ScopedEnv hkcu{"CORVANE_HKCU", user};
};

template <class Fn>
auto on_fresh_thread(Fn fn) {
  if constexpr (std::is_void_v<decltype(fn())>) {
    std::thread(fn).join();
  } else {
    decltype(fn()) result{};
    std::thread([&] { result = fn(); }).join();
    return result;
  }
}

// A machine hive in `dir` with `path` (and the log on, if asked), named by CORVANE_HKLM for the result's life.
inline ScopedEnv machine_setting_path(const ScratchDir& dir, const std::string& path, bool debug = false) {
  write_file(dir / "machine.reg",
             reg_file(kMachineKey, (debug ? "\"debug\"=dword:00000001\r\n" : "") + reg_value("path", path)));
  return ScopedEnv("CORVANE_HKLM", (dir / "machine.reg").string());
}

// Runs `fn` on a fresh thread with the diagnostic log on; the logged messages without their time stamps.
inline std::vector<std::string> logged_messages(const std::function<void()>& fn) {
  ScratchDir logs("log");
  const auto hive = machine_setting_path(logs, logs.path().string(), /*debug=*/true);
  on_fresh_thread([&] {
    settings::log_line("");  // the first call only switches the log on
    fn();
  });
  std::vector<std::string> messages;
  const std::string text = read_file(logs / "pdf.log");
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    const auto colon = line.find(": ");
    messages.push_back(colon == std::string::npos ? line : line.substr(colon + 2));
  }
  return messages;
}

}  // namespace corvane::test
