// Passwords, PINs and key files read with bounds: a regular file, a pipe or a FIFO written to; never a
// device, never more than the limit, a FIFO nobody writes to given up instead of waited for.
#include "platform/secret_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace corvane::platform {
namespace {

// A pipe holding `text`, its writer closed, named as `<(echo text)` names it; open for the object's life.
class FilledPipe {
 public:
  explicit FilledPipe(const std::string& text) {
    EXPECT_EQ(::pipe2(ends_, O_CLOEXEC), 0);
    EXPECT_EQ(::write(ends_[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(ends_[1]);
  }
  ~FilledPipe() { ::close(ends_[0]); }
  FilledPipe(const FilledPipe&) = delete;
  FilledPipe& operator=(const FilledPipe&) = delete;
  std::string path() const { return "/dev/fd/" + std::to_string(ends_[0]); }

 private:
  int ends_[2] = {-1, -1};
};

TEST(SecretFile, ReadWithinTheLimitFromAFileOrAPipe) {
  test::ScratchDir dir("secret");
  test::write_file(dir / "crlf", "s3cret\r\nsecond line\n");
  test::write_file(dir / "bare", "bare");
  test::write_file(dir / "at-limit", std::string(kSecretLimit, 'x'));
  test::write_file(dir / "large", std::string(kSecretLimit + 1, 'x'));
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir / "bare", dir / "link");
  test::write_file(dir / "big.p12", "");
  std::filesystem::resize_file(dir / "big.p12", kKeyFileLimit + 1);  // sparse
  const FilledPipe pipe("from a pipe\n");
  const FilledPipe long_pipe(std::string(kSecretLimit + 10, 'p'));
  const struct {
    std::string path;
    std::optional<std::string> want;
    const char* problem;
    std::size_t key_file_limit = 0;  // 0: read as a secret
  } cases[] = {
      {(dir / "crlf").string(), "s3cret", ""},
      {(dir / "bare").string(), "bare", ""},
      {(dir / "link").string(), "bare", ""},  // a link the user owns
      {(dir / "at-limit").string(), std::string(kSecretLimit, 'x'), ""},
      {(dir / "large").string(), std::nullopt, "larger than 4 KiB (the limit)"},
      {pipe.path(), "from a pipe", ""},
      {long_pipe.path(), std::nullopt, "larger than 4 KiB (the limit)"},
      {(dir / "fifo").string(), std::nullopt, "nothing was written to it within 3 seconds"},
      {"/dev/zero", std::nullopt, "not a regular file"},
      {dir.path().string(), std::nullopt, "not a regular file"},
      {(dir / "missing").string(), std::nullopt, "no such file"},
      // A key file is bounded at its own limit.
      {(dir / "big.p12").string(), std::nullopt, "larger than 16 MiB (the limit)", kKeyFileLimit},
  };
  for (const auto& c : cases) {
    const FileRead read = c.key_file_limit ? read_bounded_file(c.path, c.key_file_limit) : read_secret_file(c.path);
    EXPECT_EQ(read.bytes, c.want) << c.path;
    EXPECT_EQ(read.problem, c.problem) << c.path;
  }
}

}  // namespace
}  // namespace corvane::platform
