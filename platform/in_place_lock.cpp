#include "platform/in_place_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/safe_open.h"

namespace corvane::platform {
namespace {

// How often a file replaced while this run waited for its lock is taken up
// anew before the run gives up.
constexpr int kMaxAttempts = 20;

struct HeldLock {
  std::string output;
  dev_t device;
  ino_t inode;
};

// The locks this thread holds; a thread's runs never see another's.
std::vector<HeldLock>& held_locks() {
  thread_local std::vector<HeldLock> held;
  return held;
}

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool held_by_this_thread(const struct stat& file) {
  const auto& held = held_locks();
  return std::any_of(held.begin(), held.end(),
                     [&](const HeldLock& lock) { return lock.device == file.st_dev && lock.inode == file.st_ino; });
}

// Whether an open file of this process holds the exclusive lock on `file`:
// a host that took it around the run with its own copy of this module (the
// command line around the library). /proc/self/fdinfo/N lists the locks
// that the open file behind descriptor N holds.
bool held_by_this_process(const struct stat& file) {
  DIR* descriptors = ::opendir("/proc/self/fd");
  if (descriptors == nullptr) return false;
  bool held = false;
  while (const dirent* entry = ::readdir(descriptors)) {
    struct stat open_file {};
    const int fd = std::atoi(entry->d_name);
    if (entry->d_name[0] == '.' || ::fstat(fd, &open_file) != 0 || !same_file(open_file, file)) continue;
    std::ifstream info(std::string("/proc/self/fdinfo/") + entry->d_name);
    for (std::string line; !held && std::getline(info, line);)
      held = line.starts_with("lock:") && line.find(" FLOCK ") != std::string::npos &&
             line.find(" WRITE ") != std::string::npos;
    if (held) break;
  }
  ::closedir(descriptors);
  return held;
}

}  // namespace

InPlaceLock::InPlaceLock(const std::string& input, const std::string& output) {
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    struct stat read_from {};
    struct stat written_to {};
    if (::stat(input.c_str(), &read_from) != 0 || ::stat(output.c_str(), &written_to) != 0 ||
        !same_file(read_from, written_to) || held_by_this_thread(read_from))
      return;
    if (held_by_this_process(read_from)) {
      // Locked around this run already: only the check before replacing
      // is this object's.
      held_ = {read_from.st_dev, read_from.st_ino};
      held_locks().push_back({output, read_from.st_dev, read_from.st_ino});
      return;
    }
    const int fd = open_regular(input, O_RDONLY, 0, nullptr);
    if (fd < 0) return;
    int locked;
    while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
      // A file system without locks: the run goes on as it would without.
      ::close(fd);
      return;
    }
    struct stat opened {};
    struct stat now {};
    // The run that held the lock may have put a new file at the name: that
    // one is the file to read.
    if (::fstat(fd, &opened) == 0 && ::stat(input.c_str(), &now) == 0 && same_file(opened, now)) {
      fd_ = fd;
      held_ = {opened.st_dev, opened.st_ino};
      held_locks().push_back({output, opened.st_dev, opened.st_ino});
      return;
    }
    ::close(fd);
    replaced_ = true;
  }
  problem_ = kChangedWhileSigning;
}

InPlaceLock::~InPlaceLock() {
  if (held_) {
    auto& held = held_locks();
    const auto mine = std::find_if(held.rbegin(), held.rend(), [this](const HeldLock& lock) {
      return lock.device == held_->first && lock.inode == held_->second;
    });
    if (mine != held.rend()) held.erase(std::next(mine).base());
  }
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

std::string changed_since_locked(const std::string& path) {
  for (const HeldLock& lock : held_locks()) {
    if (lock.output != path) continue;
    struct stat now {};
    if (::stat(path.c_str(), &now) != 0 || now.st_dev != lock.device || now.st_ino != lock.inode)
      return kChangedWhileSigning;
  }
  return {};
}

}  // namespace corvane::platform
