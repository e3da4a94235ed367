// Scratch hives for the settings tests, and running code where the settings
// start afresh: on a new thread (their state is per thread).
#pragma once

#include <string>
#include <thread>

#include "tests/support/test_support.h"

namespace corvane::test {

inline constexpr std::string_view kRegHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

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

}  // namespace corvane::test
