// The hive files on disk. The input's first line is a value path
// ("HKLM\SOFTWARE\...\name"), the second a text to write there, the rest
// the bytes of both hive files. A hive that does not parse is never written;
// a write that succeeds leaves a hive that parses, with the text read back
// (when it is UTF-8) and every other value as it was; a failed write leaves
// the file alone; whatever a key operation answers, the hive still parses.
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "fuzz/entries.h"
#include "fuzz/fuzz_support.h"
#include "platform/hives.h"
#include "platform/reg_file.h"

namespace corvane::fuzz {
namespace {

using platform::HiveRoot;

const std::string& hive_path(HiveRoot root) {
  static const std::string machine = scratch_dir() + "/machine.reg";
  static const std::string user = scratch_dir() + "/user.reg";
  return root == HiveRoot::kMachine ? machine : user;
}

// Other entries point the hives elsewhere: every input sets them again.
void point_hives_at_scratch() {
  check(::setenv("CORVANE_HKLM", hive_path(HiveRoot::kMachine).c_str(), 1) == 0 &&
            ::setenv("CORVANE_HKCU", hive_path(HiveRoot::kUser).c_str(), 1) == 0,
        "cannot point the hives at the scratch folder");
}

// Every value in `before` that reads differently in `after` holds `allowed`
// (the value a write just changed).
void check_other_values_kept(const platform::RegDocument& before, const std::string& after_bytes,
                             std::string_view allowed) {
  const auto after = platform::parse_reg(after_bytes);
  check(after.has_value(), "a hive written by a successful write does not parse");
  for (const auto& section : before.sections) {
    if (section.deletes) continue;
    for (const auto& entry : section.entries) {
      if (!entry.is_value) continue;
      const auto* old_value = platform::reg_find_value(before, section.key, entry.value.name);
      const auto* new_value = platform::reg_find_value(*after, section.key, entry.value.name);
      check(new_value != nullptr, "a write lost another value");
      const bool same = new_value->type == old_value->type && new_value->text == old_value->text;
      check(same || new_value->text == allowed, "a write changed another value");
    }
  }
}

HiveRoot root_of(std::string_view path) {
  const auto starts = [path](std::string_view root) {
    return path.size() > root.size() && path[root.size()] == '\\' &&
           strncasecmp(path.data(), root.data(), root.size()) == 0;
  };
  return starts("HKCU") || starts("HKEY_CURRENT_USER") ? HiveRoot::kUser : HiveRoot::kMachine;
}

// The key part of a value path ("HKLM\a\b\name" gives "a\b") for the key
// operations, which take the root apart. A byte 0x01 stands for a line feed,
// which the first line of the input cannot hold.
std::string key_of(std::string_view path) {
  const auto first = path.find('\\');
  const auto last = path.rfind('\\');
  if (first == std::string_view::npos || last == first) return {};
  std::string key(path.substr(first + 1, last - first - 1));
  std::replace(key.begin(), key.end(), '\x01', '\n');
  return key;
}

void check_still_parses(const std::string& file, bool parsed_before) {
  if (parsed_before)
    check(platform::parse_reg(read_scratch_file(file)).has_value(), "a key operation broke the hive");
}

}  // namespace

void hive_entry(std::string_view input) {
  point_hives_at_scratch();
  const std::string path(take_line(input));
  // Names at the interface are UTF-8; a hive in UTF-16 could not hold others.
  if (!valid_utf8(path)) return;
  // Texts may be anything: malformed UTF-8 must not break the file either.
  const std::string text(take_line(input));
  const HiveRoot root = root_of(path);
  const auto& file = hive_path(root);
  for (HiveRoot r : {HiveRoot::kMachine, HiveRoot::kUser}) write_scratch_file(hive_path(r), input);

  const auto parsed = platform::parse_reg(input);
  check(platform::hive_intact(root) == parsed.has_value(), "hive_intact disagrees with the parser");
  (void)platform::hive_read(path);

  if (platform::hive_write_text(path, text)) {
    check(parsed.has_value(), "a hive that does not parse was written");
    const auto read_back = platform::hive_read(path);
    check(read_back.has_value(), "a text written does not read back");
    check(!valid_utf8(text) || *read_back == text, "a text written reads back changed");
    check_other_values_kept(*parsed, read_scratch_file(file), *read_back);
  } else {
    check(read_scratch_file(file) == input, "a failed write changed the hive");
  }

  const std::string before_number = read_scratch_file(file);
  if (platform::hive_write_dword(path, 0xffffffff))
    check(platform::hive_read(path) == "-1", "a number written does not read back as signed");
  else
    check(read_scratch_file(file) == before_number, "a failed write changed the hive");

  if (platform::hive_delete_value(path))
    check(!platform::hive_read(path).has_value(), "a deleted value still reads");

  const std::string key = key_of(path);
  (void)platform::hive_list_values(root, key);
  if (platform::hive_delete_key(root, key))
    check(!platform::hive_list_values(root, key).has_value(), "a deleted key still lists");
  check_still_parses(file, parsed.has_value());
  if (platform::hive_create_key(root, key))
    check(platform::hive_list_values(root, key).has_value(), "a created key does not list");
  check_still_parses(file, parsed.has_value());
}

}  // namespace corvane::fuzz

CORVANE_FUZZ_TARGET(corvane::fuzz::hive_entry)
