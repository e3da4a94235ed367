#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <utility>

#include "platform/in_place_lock.h"
#include "platform/removed_on_signal.h"
#include "platform/safe_open.h"

namespace corvane::platform {
bool write_all(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

bool write_all_at(int fd, std::string_view bytes, std::uint64_t at) {
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
    at += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool read_all_at(int fd, std::span<std::uint8_t> into, std::uint64_t at) {
  while (!into.empty()) {
    const ssize_t n = ::pread(fd, into.data(), into.size(), static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    into = into.subspan(static_cast<std::size_t>(n));
    at += static_cast<std::uint64_t>(n);
  }
  return true;
}

namespace {

std::string name_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string random_suffix() {
  thread_local std::mt19937_64 random{std::random_device{}()};
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".tmp%016llx", static_cast<unsigned long long>(random()));
  return suffix;
}

bool fail(std::string* why, std::string reason) {
  if (why) *why = std::move(reason);
  return false;
}

// A temporary file in the folder `dir_fd`: unnamed where the file system
// allows it, else named (and removed on a signal) until it is linked in.
class TemporaryFile {
 public:
  TemporaryFile(int dir_fd, const std::string& name, unsigned mode) : dir_fd_(dir_fd) {
    fd_ = ::openat(dir_fd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd_ >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      named_ = name + random_suffix();
      fd_ = ::openat(dir_fd, named_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ >= 0) guard_.emplace(name_for_signal(dir_fd));
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!named_.empty()) ::unlinkat(dir_fd_, named_.c_str(), 0);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  [[nodiscard]] int fd() const { return fd_; }

  // Links the unnamed file in under a fresh name; "" (and errno) on failure.
  std::string link_unnamed(const std::string& name) {
    if (!named_.empty()) return named_;
    const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string temp = name + random_suffix();
      if (::linkat(AT_FDCWD, proc.c_str(), dir_fd_, temp.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
          ::linkat(fd_, "", dir_fd_, temp.c_str(), AT_EMPTY_PATH) == 0) {
        named_ = temp;
        guard_.emplace(name_for_signal(dir_fd_));
        return temp;
      }
      if (errno != EEXIST) return {};
    }
    return {};
  }

  // The file now has its final name: nothing to remove any more.
  void keep() {
    named_.clear();
    guard_.reset();
  }

 private:
  std::string name_for_signal(int dir_fd) const {
    return "/proc/self/fd/" + std::to_string(dir_fd) + "/" + named_;
  }

  int dir_fd_;
  int fd_ = -1;
  std::string named_;
  std::optional<RemovedOnSignal> guard_;
};

// Gives the new file what the file it replaces had: owner and group where
// permitted (the group alone where only that is), extended attributes and
// ACLs, then the mode (last: changing the owner clears setuid and setgid).
void copy_attributes(int fd, const std::string& old_path, const struct stat& old_stat) {
  if (::fchown(fd, old_stat.st_uid, old_stat.st_gid) != 0)
    (void)::fchown(fd, static_cast<uid_t>(-1), old_stat.st_gid);
  const ssize_t size = ::llistxattr(old_path.c_str(), nullptr, 0);
  if (size > 0) {
    std::string names(static_cast<std::size_t>(size), '\0');
    // Each name ends in a NUL; the list may have changed in between.
    const ssize_t got = ::llistxattr(old_path.c_str(), names.data(), names.size());
    names.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (!names.empty() && names.back() != '\0') names.clear();
    for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
      const char* name = names.c_str() + at;
      const ssize_t length = ::lgetxattr(old_path.c_str(), name, nullptr, 0);
      if (length < 0) continue;
      std::string value(static_cast<std::size_t>(length), '\0');
      const ssize_t read = ::lgetxattr(old_path.c_str(), name, value.data(), value.size());
      if (read >= 0) (void)::fsetxattr(fd, name, value.data(), static_cast<std::size_t>(read), 0);
    }
  }
  (void)::fchmod(fd, old_stat.st_mode & 07777);
}

// Where the new file goes: the target of a trusted link, else `path`
// itself (a link of another user is replaced, never written through).
std::string destination_of(const std::string& path) {
  if (auto trusted = trusted_path(path, nullptr)) return *trusted;
  return path;
}

// Writes the content (through `write_body`) into a temporary file in the
// folder of `path`, applies `finish` to its descriptor and hands the
// linked-in temporary name to `place`, which puts it at `path`. False, with
// `why`, when any step fails.
template <class Finish, class Place>
bool write_beside(const std::string& path, const FileWriter& write_body, unsigned mode, std::string* why,
                  Finish finish, Place place) {
  const std::string folder = folder_of(path);
  const int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) return fail(why, failure_reason(errno));
  bool ok = false;
  {
    TemporaryFile temp(dir_fd, name_of(path), mode);
    if (temp.fd() < 0) {
      fail(why, failure_reason(errno));
    } else if (!write_body(temp.fd()) || ::fsync(temp.fd()) != 0) {
      fail(why, failure_reason(errno));
    } else {
      finish(temp.fd(), folder);
      const std::string name = temp.link_unnamed(name_of(path));
      if (name.empty()) {
        fail(why, failure_reason(errno));
      } else if (!place(dir_fd, name)) {
        fail(why, failure_reason(errno));
      } else {
        temp.keep();
        ::fsync(dir_fd);
        ok = true;
      }
    }
  }
  ::close(dir_fd);
  return ok;
}

// A file the process holds open (an unnamed one, say) has no name to put a
// new file at: the content goes into it, in place of what it held.
bool write_into_descriptor(const std::string& path, const FileWriter& write_body, std::string* why) {
  // Open for reading too where the file allows it, as a temporary file is.
  int fd = ::open(path.c_str(), O_RDWR | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return fail(why, failure_reason(errno));
  struct stat status {};
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  if (!ok) fail(why, "not a regular file");
  else if (!(ok = write_body(fd))) fail(why, failure_reason(errno));
  ::close(fd);
  return ok;
}

}  // namespace

bool replace_file_contents(const std::string& given_path, std::string_view bytes, unsigned mode,
                           bool keep_existing_mode, std::string* why, bool share_with_group) {
  return replace_file_with(given_path, [bytes](int fd) { return write_all(fd, bytes); }, mode, keep_existing_mode,
                           why, share_with_group);
}

bool replace_file_with(const std::string& given_path, const FileWriter& write_body, unsigned mode,
                       bool keep_existing_mode, std::string* why, bool share_with_group) {
  if (given_path.empty()) return fail(why, "no file name");
  if (names_own_descriptor(given_path)) return write_into_descriptor(given_path, write_body, why);
  const std::string path = destination_of(given_path);
  if (!folders_trusted(path)) return fail(why, "a link of another user");
  struct stat old_stat {};
  const bool existed = ::lstat(path.c_str(), &old_stat) == 0 && !S_ISLNK(old_stat.st_mode);
  if (existed && !S_ISREG(old_stat.st_mode)) return fail(why, "not a regular file");
  const std::string name = name_of(path);
  std::string changed;
  const bool replaced = write_beside(
      path, write_body, mode, why,
      [&](int fd, const std::string& folder) {
        if (existed && keep_existing_mode)
          copy_attributes(fd, path, old_stat);
        else if (share_with_group)
          share_new_file(fd, folder);
      },
      [&](int dir_fd, const std::string& temp) {
        // A run that read the file it replaces puts its result there only
        // while the name still names what it read.
        changed = changed_since_locked(given_path);
        return changed.empty() && ::renameat(dir_fd, temp.c_str(), dir_fd, name.c_str()) == 0;
      });
  if (!replaced && !changed.empty()) fail(why, changed);
  return replaced;
}

std::optional<std::string> read_whole_file(const std::string& path) {
  const int fd = open_regular(path, O_RDONLY, 0, nullptr);
  if (fd < 0) return std::nullopt;
  FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    ::close(fd);
    return std::nullopt;
  }
  std::string out;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return std::nullopt;
  return out;
}

FileLock::FileLock(const std::string& path) {
  const std::string lock_path = path + ".lock";
  fd_ = open_regular(lock_path, O_RDWR | O_CREAT, 0644, nullptr, /*share_with_group=*/true);
  if (fd_ < 0) fd_ = open_regular(lock_path, O_RDONLY, 0, nullptr);  // made by another user
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace corvane::platform
