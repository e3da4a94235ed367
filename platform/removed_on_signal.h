// Named temporary files that go away when the process is ended by SIGINT,
// SIGTERM or SIGHUP. Only where a file cannot be unnamed (a file system
// without O_TMPFILE): kill -9 still leaves it.
#pragma once

#include <string>

namespace corvane::platform {

// Registers `path` for removal on one of those signals for the object's
// life. The handlers are installed on first use, process-wide, for each
// signal whose action is the default one; a handler the host installed is
// called after the removal, an ignored signal stays ignored. The table
// holds 64 files at a time; more are not guarded.
class RemovedOnSignal {
 public:
  explicit RemovedOnSignal(const std::string& path);
  ~RemovedOnSignal();
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

 private:
  int slot_ = -1;
};

}  // namespace corvane::platform
