// Writing the signed file: exactly the new bytes, never a half-written file
// (a missing folder: the shared-folder test and the Python example's run).
#include "settings/file_helpers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/test_support.h"

namespace corvane::settings {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(WriteFile, LeavesExactlyTheNewBytes) {
  constexpr auto kRw = fs::perms::owner_read | fs::perms::owner_write;
  const struct {
    const char* label;
    std::optional<std::string> old_content;  // nullopt: no file before
    fs::perms old_mode;
  } cases[] = {
      {"new file", std::nullopt, kRw},
      {"over a bigger file", std::string(100, 'x'), kRw},
      {"over a read-only file", std::string(100, 'x'), fs::perms::owner_read},
  };
  for (const auto& c : cases) {
    test::ScratchDir dir("write-file");
    const fs::path target = dir / "signed.pdf";
    if (c.old_content) {
      test::write_file(target, *c.old_content);
      fs::permissions(target, c.old_mode);
    }
    EXPECT_TRUE(write_file_with(target.string(), [](int fd) { return ::write(fd, "0123456789", 10) == 10; })) << c.label;
    EXPECT_EQ(test::read_file(target), "0123456789") << c.label;
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"signed.pdf"}) << c.label;
    if (c.old_content) {  // a replaced file keeps its mode
      EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, c.old_mode) << c.label;
    }
  }
}

}  // namespace
}  // namespace corvane::settings
