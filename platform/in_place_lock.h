// Runs that write their result over the file they read (signing a file
// into itself, a document timestamp into its own file): two such runs on
// one file at once must not lose either one's work. Each holds an advisory
// lock (flock) on the file it read, from before reading until its result
// has replaced the file, and the result replaces the file only while its
// name still names the file that was read.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>

namespace corvane::platform {

// What every in-place writer says when its input was replaced under it by
// a writer that does not take the lock.
inline constexpr const char* kChangedWhileSigning = "changed while signing";

class InPlaceLock {
 public:
  // When `output` names the same file as `input` (same device and inode),
  // opens `input`, takes an exclusive lock on it (waiting for another run
  // that holds it) and makes sure `input` still names the locked file: when
  // another run replaced it meanwhile, the new file is locked and read
  // instead (a few times at most, then problem() is kChangedWhileSigning).
  // Nothing is locked, and problem() is "", when the two differ, when
  // `input` cannot be opened (the run then says why as it reads it) or its
  // file system has no locks, or
  // when this process already holds the lock on that file (a host that
  // locked it around a run that takes it again; the file is then only
  // checked before it is replaced). The lock is held until the object
  // dies.
  InPlaceLock(const std::string& input, const std::string& output);
  ~InPlaceLock();
  InPlaceLock(const InPlaceLock&) = delete;
  InPlaceLock& operator=(const InPlaceLock&) = delete;

  // "" when the run may go on, else why not.
  [[nodiscard]] const std::string& problem() const { return problem_; }
  // Whether the file at `input` when the object was made was replaced by
  // another run before the lock was granted: what the run's host judged of
  // the input before may no longer hold.
  [[nodiscard]] bool replaced_while_waiting() const { return replaced_; }

 private:
  int fd_ = -1;
  std::optional<std::pair<dev_t, ino_t>> held_;  // the file checked before replacing
  bool replaced_ = false;
  std::string problem_;
};

// For a writer about to put a new file at `path`: kChangedWhileSigning
// when this thread holds an InPlaceLock whose output is `path` and `path`
// no longer names the locked file (another program replaced it), else "".
[[nodiscard]] std::string changed_since_locked(const std::string& path);

}  // namespace corvane::platform
