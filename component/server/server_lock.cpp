#include "component/server/server_lock.h"

#include <atomic>

namespace corvane::component::server {
namespace {

std::atomic<long> live_objects{0};
std::atomic<long> locks{0};

}  // namespace

void object_created() { ++live_objects; }
void object_destroyed() { --live_objects; }

void lock_server(bool lock) {
  if (lock) {
    ++locks;
    return;
  }
  // An unlock without a lock is ignored rather than driving the count negative.
  long held = locks.load();
  while (held > 0 && !locks.compare_exchange_weak(held, held - 1)) {
  }
}

bool can_unload() { return live_objects.load() == 0 && locks.load() == 0; }

}  // namespace corvane::component::server
