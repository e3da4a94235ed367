#include "platform/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/safe_open.h"

namespace corvane::platform {

FileByteSource::FileByteSource(const std::string& path) {
  // A missing file is named as such, not by the words meant for a folder.
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) {
    problem_ = std::strerror(errno);
    return;
  }
  const int fd = open_regular(path, O_RDONLY, 0, &problem_);
  if (fd >= 0) take(fd);
}

FileByteSource::FileByteSource(int fd) {
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) problem_ = std::strerror(errno);
  else take(copy);
}

void FileByteSource::take(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    problem_ = std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    problem_ = "not a regular file";
  } else {
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return;
  }
  ::close(fd);
}

FileByteSource::~FileByteSource() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileByteSource::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
  if (fd_ < 0 || offset > size_ || out.size() > size_ - offset) return false;
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool MemoryByteSource::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
  if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
  return true;
}

}  // namespace corvane::platform
