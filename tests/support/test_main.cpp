// main() of every test program: points the hive files at a scratch folder of this process (unless the
// caller chose them), so that no test reads or writes the real hives, then runs GoogleTest.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::filesystem::path g_scratch;

}  // namespace

int main(int argc, char** argv) {
  g_scratch = std::filesystem::path(CORVANE_BINARY_DIR) / "test-hives" / std::to_string(::getpid());
  std::filesystem::create_directories(g_scratch);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(g_scratch, ignored);
  });
  const std::string store = "sql:" + (std::filesystem::path(CORVANE_FIXTURES_DIR) / "nss").string();
  ::setenv("CORVANE_HKLM", (g_scratch / "hklm.reg").c_str(), /*overwrite=*/0);
  ::setenv("CORVANE_HKCU", (g_scratch / "hkcu.reg").c_str(), /*overwrite=*/0);
  ::setenv("CORVANE_NSSDB", store.c_str(), /*overwrite=*/0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
