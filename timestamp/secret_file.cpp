#include "timestamp/secret_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::timestamp {
namespace {

constexpr std::size_t kMaxSecretBytes = 4096;

}  // namespace

std::optional<std::string> read_secret_file(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) return std::nullopt;
  if (S_ISLNK(link.st_mode) && link.st_uid != ::getuid()) return std::nullopt;
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat file {};
  std::string text;
  bool ok = ::fstat(fd, &file) == 0 && S_ISREG(file.st_mode) && static_cast<std::size_t>(file.st_size) <= kMaxSecretBytes;
  if (ok) {
    char buffer[kMaxSecretBytes + 1];
    ssize_t n = 0;
    while (ok && (n = ::read(fd, buffer, sizeof buffer)) != 0) {
      if (n < 0) ok = false;
      else text.append(buffer, static_cast<std::size_t>(n));
      if (text.size() > kMaxSecretBytes) ok = false;
    }
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  const std::size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  return text;
}

}  // namespace corvane::timestamp
