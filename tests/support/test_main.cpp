// main() of every test program: points the hive files at a scratch folder of this process (unless the
// caller chose them), so that no test reads or writes the real hives, then runs GoogleTest.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/test_support.h"

int main(int argc, char** argv) {
  static const corvane::test::ScratchDir hives("test-hives");  // removed when the program ends
  const std::string store = "sql:" + (std::filesystem::path(CORVANE_FIXTURES_DIR) / "nss").string();
  ::setenv("CORVANE_HKLM", (hives / "hklm.reg").c_str(), /*overwrite=*/0);
  ::setenv("CORVANE_HKCU", (hives / "hkcu.reg").c_str(), /*overwrite=*/0);
  ::setenv("CORVANE_NSSDB", store.c_str(), /*overwrite=*/0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
