#include "platform/secret_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/safe_open.h"

namespace corvane::platform {
namespace {

FileRead refused(std::string problem) { return {std::nullopt, std::move(problem)}; }

std::string limit_text(std::size_t limit) {
  if (limit % (std::size_t{1} << 20) == 0) return std::to_string(limit >> 20) + " MiB";
  if (limit % 1024 == 0) return std::to_string(limit / 1024) + " KiB";
  return std::to_string(limit) + " bytes";
}

std::string too_large(std::size_t limit) { return "larger than " + limit_text(limit) + " (the limit)"; }

// Reads `fd` to its end, at most `limit` bytes. With `wait_ms` (a pipe or
// FIFO opened without blocking), waits that long at most for each piece.
FileRead read_to_end(int fd, std::size_t limit, int wait_ms) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    if (wait_ms >= 0) {
      pollfd ready{fd, POLLIN, 0};
      const int n = ::poll(&ready, 1, wait_ms);
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) return refused("nothing was written to it within " + std::to_string(kWriterWaitSeconds) + " seconds");
      if (n < 0) return refused(failure_reason(errno));
    }
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) return {std::move(bytes), ""};
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return refused(failure_reason(errno));
    }
    if (bytes.size() + static_cast<std::size_t>(got) > limit) return refused(too_large(limit));
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace

FileRead read_bounded_file(const std::string& path, std::size_t limit) {
  // Standard input is the user's own choice: read as it comes.
  if (path == "-") return read_to_end(STDIN_FILENO, limit, /*wait_ms=*/-1);
  std::string why;
  const auto resolved = trusted_path(path, &why);
  if (!resolved) return refused(why);
  const int nofollow = names_own_descriptor(*resolved) ? 0 : O_NOFOLLOW;
  // O_NONBLOCK: opening a FIFO does not wait for a writer.
  const int fd = ::open(resolved->c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | nofollow);
  if (fd < 0) {
    if (errno == ENOENT) return refused("no such file");
    return refused(errno == ELOOP ? "a link of another user" : failure_reason(errno));
  }
  struct stat status {};
  FileRead read;
  if (::fstat(fd, &status) != 0) {
    read = refused(failure_reason(errno));
  } else if (S_ISREG(status.st_mode)) {
    read = static_cast<std::size_t>(status.st_size) > limit ? refused(too_large(limit))
                                                             : read_to_end(fd, limit, /*wait_ms=*/-1);
  } else if (S_ISFIFO(status.st_mode)) {
    read = read_to_end(fd, limit, kWriterWaitSeconds * 1000);
  } else {
    read = refused("not a regular file");
  }
  ::close(fd);
  return read;
}

FileRead read_secret_file(const std::string& path) {
  FileRead read = read_bounded_file(path, kSecretLimit);
  if (!read.bytes) return read;
  if (const auto end = read.bytes->find_first_of("\r\n"); end != std::string::npos) read.bytes->resize(end);
  return read;
}

}  // namespace corvane::platform
