// Every kept input of a fuzz program passes its entry without a failed check or a crash (the sanitize build
// also catches memory and undefined behaviour faults here).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz/entries.h"
#include "tests/support/test_support.h"

namespace corvane::fuzz {
namespace {

namespace fs = std::filesystem;

struct Target {
  const char* name;
  void (*entry)(std::string_view);
};

// Names the target in the test's listed name.
void PrintTo(const Target& target, std::ostream* os) { *os << target.name; }

const Target kTargets[] = {{"reg", reg_entry},       {"hive", hive_entry},          {"profile", profile_entry},
                           {"verify", verify_entry}, {"directory", directory_entry}};

// The files of fuzz/<kind>/<target>/, sorted so that a failure repeats in the same order.
std::vector<fs::path> kept_inputs(const std::string& kind, const std::string& target) {
  std::vector<fs::path> files;
  const fs::path dir = fs::path(CORVANE_SOURCE_DIR) / "fuzz" / kind / target;
  if (fs::is_directory(dir))
    for (const auto& e : fs::directory_iterator(dir))
      if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

class FuzzRegressions : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzRegressions, KeptInputsAndSeedsPass) {
  std::size_t fed = 0;
  for (const char* kind : {"regressions", "corpus"}) {
    for (const auto& file : kept_inputs(kind, GetParam().name)) {
      // A failed check aborts the program: name the input first.
      std::fprintf(stderr, "feeding %s\n", file.c_str());
      GetParam().entry(test::read_file(file));
      ++fed;
    }
  }
  EXPECT_GT(fed, 0u) << "no kept input for " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::fuzz
