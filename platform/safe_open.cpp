#include "platform/safe_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace corvane::platform {
namespace {

constexpr int kMaxLinks = 8;

bool trusted_owner(uid_t owner) { return owner == ::geteuid() || owner == 0; }

}  // namespace

bool names_own_descriptor(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(folder_of(path).c_str(), resolved) == nullptr) return false;
  const std::string folder = resolved;
  const std::string own = "/proc/" + std::to_string(::getpid());
  if (folder == own + "/fd") return true;
  return folder.starts_with(own + "/task/") && folder.ends_with("/fd");
}

std::string failure_reason(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return "no permission";
    case ENOSPC:
    case EDQUOT: return "no space left on the device";
    case EROFS: return "read-only file system";
    case ENOENT: return "the folder does not exist";
    default: return std::strerror(error);
  }
}

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool folders_trusted(const std::string& path) {
  struct Folder {
    bool link = false;
    bool trusted_link = true;
    bool own = false;  // a folder of the running user's
  };
  // From the file's folder up: lstat resolves the links of the folders
  // above each one, so a folder counts as the running user's only when
  // none above it is a link.
  std::vector<Folder> folders;
  for (std::string folder = folder_of(path);; folder = folder_of(folder)) {
    struct stat status {};
    Folder f;
    if (::lstat(folder.c_str(), &status) == 0) {
      f.link = S_ISLNK(status.st_mode);
      f.trusted_link = !f.link || trusted_owner(status.st_uid);
      f.own = S_ISDIR(status.st_mode) && status.st_uid == ::geteuid();
    }
    folders.push_back(f);
    if (folder == "/" || folder == "." || folders.size() > PATH_MAX) break;
  }
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (!folders[i].trusted_link) return false;
    if (folders[i].own &&
        std::none_of(folders.begin() + static_cast<std::ptrdiff_t>(i) + 1, folders.end(), [](const Folder& above) {
          return above.link;
        }))
      return true;
  }
  return true;
}

std::optional<std::string> trusted_path(const std::string& given, std::string* why) {
  std::string path = given;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    if (!folders_trusted(path)) {
      if (why) *why = "a link of another user";
      return std::nullopt;
    }
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    if (!trusted_owner(link.st_uid)) {
      if (why) *why = "a link of another user";
      return std::nullopt;
    }
    // Its target text ("pipe:[...]", a deleted file's name) is no path.
    if (names_own_descriptor(path)) return path;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n <= 0) return path;
    const std::string to(target, static_cast<std::size_t>(n));
    path = to.front() == '/' ? to : folder_of(path) + "/" + to;
  }
  if (why) *why = "too many links";
  return std::nullopt;
}

int open_regular(const std::string& given, int flags, unsigned mode, std::string* why, bool share_with_group) {
  const auto path = trusted_path(given, why);
  if (!path) return -1;
  // Opening one of the process's own descriptors goes through its link.
  const int base = flags | O_CLOEXEC | (names_own_descriptor(*path) ? 0 : O_NOFOLLOW) | O_NONBLOCK;
  bool made = false;
  int fd = -1;
  if (flags & O_CREAT) {
    fd = ::open(path->c_str(), base | O_EXCL, static_cast<mode_t>(mode));
    made = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = ::open(path->c_str(), base & ~O_CREAT);
  } else {
    fd = ::open(path->c_str(), base);
  }
  if (fd < 0) {
    // O_NOFOLLOW met a link made after trusted_path looked.
    if (why) *why = errno == ELOOP ? "a link of another user" : failure_reason(errno);
    return -1;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    if (why) *why = "not a regular file";
    return -1;
  }
  if (!(flags & O_NONBLOCK)) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (made && share_with_group) share_new_file(fd, folder_of(*path));
  return fd;
}

void share_new_file(int fd, const std::string& folder) {
  struct stat dir {};
  struct stat file {};
  if (::stat(folder.c_str(), &dir) != 0 || ::fstat(fd, &file) != 0) return;
  const bool setgid = (dir.st_mode & S_ISGID) != 0;
  const bool group_only = (dir.st_mode & S_IWGRP) != 0 && (dir.st_mode & S_IWOTH) == 0;
  if (!setgid && !group_only) return;
  if (file.st_gid != dir.st_gid && ::fchown(fd, static_cast<uid_t>(-1), dir.st_gid) != 0) return;
  (void)::fchmod(fd, (file.st_mode & 0777) | S_IRGRP | S_IWGRP);
}

}  // namespace corvane::platform
