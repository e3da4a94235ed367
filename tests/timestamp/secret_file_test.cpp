// The timestamp authority's password file: read without blocking, and only
// from a regular file.
#include "timestamp/secret_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace corvane::timestamp {
namespace {

TEST(SecretFile, FirstLineOfARegularFileOnly) {
  test::ScratchDir dir("secret");
  test::write_file(dir / "crlf", "s3cret\r\nsecond line\n");
  test::write_file(dir / "bare", "bare");
  test::write_file(dir / "large", std::string(5000, 'x'));
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir / "bare", dir / "link");
  const struct {
    const char* name;
    std::optional<std::string> want;
  } cases[] = {
      {"crlf", "s3cret"},  {"bare", "bare"},       {"link", "bare"},  // a link the user owns
      {"large", std::nullopt}, {"fifo", std::nullopt}, {"missing", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(read_secret_file((dir / c.name).string()), c.want) << c.name;
  EXPECT_EQ(read_secret_file(dir.path().string()), std::nullopt) << "a folder";
}

}  // namespace
}  // namespace corvane::timestamp
