#include "cli/standard_streams.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace corvane::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStdio = "-";

// Copies everything from `from` to `to`; false with errno set on failure.
bool copy_stream(int from, int to) {
  std::array<char, 1 << 16> buffer{};
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += put;
    }
  }
}

void replace_all(std::string& text, const std::string& what, const std::string& with) {
  if (what.empty() || what == with) return;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

std::string descriptor_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// A new file without a name, open for reading and writing: in $TMPDIR
// (else /tmp), else in memory. -1 with errno set when neither can be made.
int unnamed_temporary_file() {
  std::error_code ignored;
  const fs::path base = fs::temp_directory_path(ignored);
  const int fd = ::open((base.empty() ? fs::path("/tmp") : base).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  return fd >= 0 ? fd : ::memfd_create("corvanepdf", MFD_CLOEXEC);
}

}  // namespace

StandardStreams::StandardStreams(const std::string& input, const std::string& output)
    : input_(input), output_(output), input_as_given_(input), output_as_given_(output) {
  if (output == kStdio) {
    output_fd_ = unnamed_temporary_file();
    if (output_fd_ < 0) {
      error_ = "cannot make a temporary file: " + std::string(std::strerror(errno));
      return;
    }
    output_ = descriptor_path(output_fd_);
  }
  if (input != kStdio) return;
  input_fd_ = unnamed_temporary_file();
  if (input_fd_ < 0 || !copy_stream(STDIN_FILENO, input_fd_)) {
    error_ = "cannot read standard input: " + std::string(std::strerror(errno));
    return;
  }
  input_ = descriptor_path(input_fd_);
}

StandardStreams::~StandardStreams() {
  for (const int fd : {input_fd_, output_fd_})
    if (fd >= 0) ::close(fd);
}

std::string StandardStreams::shown(std::string message) const {
  // The longer name first: "/proc/self/fd/3" is part of "/proc/self/fd/31".
  const bool output_first = output_.size() > input_.size();
  if (output_first) replace_all(message, output_, output_as_given_ == kStdio ? "standard output" : output_as_given_);
  replace_all(message, input_, input_as_given_ == kStdio ? "standard input" : input_as_given_);
  if (!output_first) replace_all(message, output_, output_as_given_ == kStdio ? "standard output" : output_as_given_);
  return message;
}

std::string StandardStreams::deliver() const {
  if (!output_is_stdout()) return {};
  const bool copied = ::lseek(output_fd_, 0, SEEK_SET) == 0 && copy_stream(output_fd_, STDOUT_FILENO);
  return copied ? std::string() : "cannot write the signed file to standard output: " + std::string(std::strerror(errno));
}

}  // namespace corvane::cli
