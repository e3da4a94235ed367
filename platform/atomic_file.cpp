#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>

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

namespace {

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a rename or link in the folder durable.
void sync_folder(const std::string& path) {
  const int dir_fd = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    ::fsync(dir_fd);
    ::close(dir_fd);
  }
}

// The file a symbolic link at `path` leads to, or `path` itself.
std::string resolve_link(const std::string& path) {
  struct stat link_stat {};
  if (::lstat(path.c_str(), &link_stat) != 0 || !S_ISLNK(link_stat.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  // A dangling link: write to where it points.
  char target[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
  if (n <= 0) return path;
  const std::string to(target, static_cast<std::size_t>(n));
  return to.front() == '/' ? to : folder_of(path) + "/" + to;
}

// Writes (through `write_body`), fsyncs and closes a new temporary file
// beside `path`; its name, or "" (and nothing left behind) on failure. The
// file gets `mode` less umask.
std::string write_temporary(const std::string& path, const FileWriter& write_body, unsigned mode) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".tmp%016llx",
                  static_cast<unsigned long long>(random()));
    const std::string temp = path + suffix;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          static_cast<mode_t>(mode));
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return "";
    }
    bool ok = write_body(fd) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) return temp;
    ::unlink(temp.c_str());
    return "";
  }
  return "";
}

}  // namespace

bool replace_file_contents(const std::string& given_path, std::string_view bytes, unsigned mode,
                           bool keep_existing_mode) {
  return replace_file_with(given_path, [bytes](int fd) { return write_all(fd, bytes); }, mode,
                           keep_existing_mode);
}

bool replace_file_with(const std::string& given_path, const FileWriter& write_body, unsigned mode,
                       bool keep_existing_mode) {
  if (given_path.empty()) return false;
  const std::string path = resolve_link(given_path);
  struct stat old_stat {};
  const bool existed = ::stat(path.c_str(), &old_stat) == 0;
  if (existed && !S_ISREG(old_stat.st_mode)) return false;

  const std::string temp = write_temporary(path, write_body, mode);
  if (temp.empty()) return false;
  bool ok = true;
  if (existed && keep_existing_mode) {
    // Only a privileged process can give the file back to its owner; others
    // own what they write anyway.
    if (::chown(temp.c_str(), old_stat.st_uid, old_stat.st_gid) != 0) {
      // keep the writer as owner
    }
    ok = ::chmod(temp.c_str(), old_stat.st_mode & 07777) == 0;
  }
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  sync_folder(path);
  return true;
}

bool create_file_contents(const std::string& path, std::string_view bytes, unsigned mode) {
  if (path.empty()) return false;
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0) return false;
  const std::string temp = write_temporary(path, [bytes](int fd) { return write_all(fd, bytes); }, mode);
  if (temp.empty()) return false;
  // link() fails when the name exists, so a file made meanwhile is kept.
  const bool ok = ::link(temp.c_str(), path.c_str()) == 0;
  ::unlink(temp.c_str());
  if (ok) sync_folder(path);
  return ok;
}

std::optional<std::string> read_whole_file(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::nullopt;
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
  fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) fd_ = ::open(lock_path.c_str(), O_RDONLY | O_CLOEXEC);  // made by another user
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
