// main() of every test program: points the hive files at a scratch folder of this process (unless the
// caller chose them), so that no test reads or writes the real hives, then runs GoogleTest.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::filesystem::path g_scratch;

void default_env(const char* name, const std::string& value) {
  if (!std::getenv(name)) ::setenv(name, value.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv) {
  g_scratch = std::filesystem::path(CORVANE_BINARY_DIR) / "test-hives" / std::to_string(::getpid());
  std::filesystem::create_directories(g_scratch);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(g_scratch, ignored);
  });
  default_env("CORVANE_HKLM", (g_scratch / "hklm.reg").string());
  default_env("CORVANE_HKCU", (g_scratch / "hkcu.reg").string());
  default_env("CORVANE_NSSDB", "sql:" + (std::filesystem::path(CORVANE_FIXTURES_DIR) / "nss").string());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
