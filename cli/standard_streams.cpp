#include "cli/standard_streams.h"

#include <fcntl.h>
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

}  // namespace

StandardStreams::StandardStreams(const std::string& input, const std::string& output)
    : input_(input), output_(output), input_as_given_(input), output_as_given_(output) {
  if (input != kStdio && output != kStdio) return;
  std::error_code ignored;
  const fs::path base = fs::temp_directory_path(ignored);
  std::string pattern = ((base.empty() ? fs::path("/tmp") : base) / "corvanepdf-stdio-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    error_ = "cannot make a temporary folder: " + std::string(std::strerror(errno));
    return;
  }
  folder_ = pattern;
  if (output == kStdio) output_ = folder_ + "/signed.pdf";
  if (input != kStdio) return;
  input_ = folder_ + "/input.pdf";
  const int fd = ::open(input_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 || !copy_stream(STDIN_FILENO, fd)) error_ = "cannot read standard input: " + std::string(std::strerror(errno));
  if (fd >= 0) ::close(fd);
}

StandardStreams::~StandardStreams() {
  std::error_code ignored;
  if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

std::string StandardStreams::shown(std::string message) const {
  replace_all(message, input_, input_as_given_ == kStdio ? "standard input" : input_as_given_);
  replace_all(message, output_, output_as_given_ == kStdio ? "standard output" : output_as_given_);
  return message;
}

std::string StandardStreams::deliver() const {
  if (!output_is_stdout()) return {};
  const int fd = ::open(output_.c_str(), O_RDONLY | O_CLOEXEC);
  const bool copied = fd >= 0 && copy_stream(fd, STDOUT_FILENO);
  const std::string why = std::strerror(errno);
  if (fd >= 0) ::close(fd);
  return copied ? std::string() : "cannot write the signed file to standard output: " + why;
}

}  // namespace corvane::cli
