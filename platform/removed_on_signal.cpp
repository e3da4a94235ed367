#include "platform/removed_on_signal.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace corvane::platform {
namespace {

constexpr int kSlots = 64;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Process-wide: the handler reads the table from any thread. Each slot
// holds a malloc'ed name, or null.
std::atomic<char*> g_slots[kSlots];
struct sigaction g_previous[3];

void on_signal(int signal) {
  for (auto& slot : g_slots)
    if (const char* name = slot.load()) ::unlink(name);
  for (int i = 0; i < 3; ++i) {
    if (kSignals[i] != signal) continue;
    const struct sigaction& before = g_previous[i];
    if (!(before.sa_flags & SA_SIGINFO) && before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN) {
      before.sa_handler(signal);
      return;
    }
    ::sigaction(signal, &before, nullptr);
    ::raise(signal);
  }
}

void install_handlers() {
  for (int i = 0; i < 3; ++i) {
    struct sigaction current {};
    if (::sigaction(kSignals[i], nullptr, &current) != 0) continue;
    if (current.sa_flags & SA_SIGINFO || current.sa_handler == SIG_IGN) continue;
    g_previous[i] = current;
    struct sigaction ours {};
    ours.sa_handler = on_signal;
    sigemptyset(&ours.sa_mask);
    ::sigaction(kSignals[i], &ours, nullptr);
  }
}

}  // namespace

RemovedOnSignal::RemovedOnSignal(const std::string& path) {
  static std::once_flag installed;
  std::call_once(installed, install_handlers);
  char* name = ::strdup(path.c_str());
  if (!name) return;
  for (int i = 0; i < kSlots; ++i) {
    char* empty = nullptr;
    if (g_slots[i].compare_exchange_strong(empty, name)) {
      slot_ = i;
      return;
    }
  }
  std::free(name);
}

RemovedOnSignal::~RemovedOnSignal() {
  if (slot_ >= 0) std::free(g_slots[slot_].exchange(nullptr));
}

}  // namespace corvane::platform
