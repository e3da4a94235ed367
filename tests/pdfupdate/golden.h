// Golden texts under tests/pdfupdate/testdata/, compared byte for byte.
// CORVANE_UPDATE_GOLDEN=1 rewrites them from the actual output; review the
// diff in git before committing.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace corvane::test {

inline void expect_golden(const std::string& name, const std::string& actual) {
  const auto path = std::filesystem::path(CORVANE_SOURCE_DIR) / "tests/pdfupdate/testdata" / name;
  const char* update = std::getenv("CORVANE_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    write_file(path, actual);
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(path)) << path << " is missing; run with CORVANE_UPDATE_GOLDEN=1";
  EXPECT_EQ(actual, read_file(path)) << "differs from " << path;
}

}  // namespace corvane::test
