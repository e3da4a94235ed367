// Writing the signed file: exactly the new bytes, never a half-written file
// (a missing folder: the shared-folder test and the Python example's run).
#include "settings/file_helpers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/test_support.h"

namespace corvane::settings {
namespace {

namespace fs = std::filesystem;

// A new file is what every signing run writes.
TEST(WriteFile, ReplacesAFileWithExactlyTheNewBytesAndKeepsItsMode) {
  for (const fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write, fs::perms::owner_read}) {
    test::ScratchDir dir("write-file");
    const fs::path target = dir / "signed.pdf";
    test::write_file(target, std::string(100, 'x'));
    fs::permissions(target, mode);
    EXPECT_TRUE(write_file_with(target.string(), [](int fd) { return ::write(fd, "0123456789", 10) == 10; }));
    EXPECT_EQ(test::read_file(target), "0123456789");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1) << "a file besides signed.pdf";
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, mode);
  }
}

}  // namespace
}  // namespace corvane::settings
