// Profile files on disk. The input's first three lines are a section, a key
// and a value (UTF-8), the rest the file. Reads never fail on any file; a
// write the name checks allow succeeds and reads back, also after its key or
// its section was removed; a refused write leaves the file alone.
#include <optional>
#include <string>

#include "fuzz/entries.h"
#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"
#include "platform/profile.h"

namespace corvane::fuzz {
namespace {

constexpr std::string_view kFallback = "fallback";

const std::string& profile_path() {
  static const std::string path = scratch_dir() + "/user.ini";
  return path;
}

// What a value reads back as after a write: without surrounding blanks, in
// the code page, cut to what the default buffer holds.
std::string as_read_back(std::string_view value) {
  std::string cp = platform::utf8_to_codepage(platform::trim_blanks(value));
  if (cp.size() + 1 > platform::kProfileValueChars) cp.resize(platform::kProfileValueChars - 1);
  return platform::codepage_to_utf8(cp);
}

bool writable(std::string_view section, std::string_view key, std::string_view value) {
  const auto cp = [](std::string_view text) {
    return platform::utf8_to_codepage(platform::trim_blanks(text));
  };
  return platform::profile_name_problem(cp(section)).empty() &&
         platform::profile_name_problem(cp(key)).empty() &&
         platform::profile_value_problem(cp(value)).empty();
}

}  // namespace

void profile_entry(std::string_view input) {
  const std::string section(take_line(input));
  const std::string key(take_line(input));
  const std::string value(take_line(input));
  const std::string& file = profile_path();
  write_scratch_file(file, input);

  // The buffer sizes at which the cut rules change.
  for (const std::size_t chars : {0, 1, 2, 3, 2048, 32768}) {
    (void)platform::profile_read_section(file, section, chars);
    const std::string got = platform::profile_read_string(file, section, key, kFallback, chars);
    // A code-page character takes at most three bytes in UTF-8.
    check(chars == 0 || got.size() <= 3 * (chars - 1), "a value is longer than its buffer");
  }

  if (!writable(section, key, value)) {
    check(!platform::profile_write_string(file, section, key, value),
          "a name or value the checks refuse was written");
    check(read_scratch_file(file) == input, "a refused write changed the file");
    return;
  }
  check(platform::profile_write_string(file, section, key, value), "an allowed write failed");
  check(platform::profile_read_string(file, section, key, kFallback) == as_read_back(value),
        "a value written does not read back");
  check(!platform::profile_read_section(file, section).empty(), "the written section reads empty");

  check(platform::profile_write_string(file, section, key, std::nullopt), "removing a key failed");
  check(platform::profile_write_string(file, section, key, value), "writing a removed key again failed");
  check(platform::profile_read_string(file, section, key, kFallback) == as_read_back(value),
        "a value written again does not read back");

  check(platform::profile_write_string(file, section, std::nullopt, std::nullopt),
        "removing a section failed");
  check(platform::profile_write_string(file, section, key, value),
        "writing into a removed section failed");
  check(platform::profile_read_string(file, section, key, kFallback) == as_read_back(value),
        "a value written into a removed section does not read back");
}

}  // namespace corvane::fuzz

CORVANE_FUZZ_TARGET(corvane::fuzz::profile_entry)
