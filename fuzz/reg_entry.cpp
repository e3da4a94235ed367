// A hive file in memory: whatever parses must write out as a file that
// parses to the same values and writes out the same bytes again, and the
// edits the hive layer makes must read back through a written file.
#include <string>
#include <vector>

#include "fuzz/entries.h"
#include "platform/reg_file.h"

namespace corvane::fuzz {
namespace {

using platform::HiveValue;
using platform::RegDocument;

// A text that needs both escapes of the format.
constexpr std::string_view kSetText = "C:\\set by \"fuzz\"";
// Keys visited per input: enough to meet repeated and nested sections.
constexpr std::size_t kMaxKeys = 6;

bool same_value(const HiveValue* a, const HiveValue* b) {
  if (!a || !b) return a == b;
  return a->type == b->type && a->text == b->text && a->dword == b->dword;
}

RegDocument reparse(const RegDocument& document, const char* what) {
  auto again = platform::parse_reg(platform::serialize_reg(document));
  if (!again) fail(what);
  return std::move(*again);
}

// Every value of `before` reads the same from `after`.
void check_values_kept(const RegDocument& before, const RegDocument& after) {
  for (const auto& section : before.sections) {
    if (section.deletes) continue;
    for (const auto& entry : section.entries) {
      if (!entry.is_value) continue;
      check(same_value(platform::reg_find_value(before, section.key, entry.value.name),
                       platform::reg_find_value(after, section.key, entry.value.name)),
            "a value reads differently after the file was written");
    }
  }
}

// Sets a text and a number under the key, then removes the value and the
// key again, writing and reading the file after each step.
void edit_key(RegDocument document, const std::string& key, const std::string& name) {
  HiveValue text;
  text.name = name;
  text.type = HiveValue::Type::kText;
  text.text = kSetText;
  platform::reg_set_value(document, key, text);
  RegDocument written = reparse(document, "a document with a new text value does not parse");
  const HiveValue* found = platform::reg_find_value(written, key, name);
  check(found && found->type == HiveValue::Type::kText && found->text == kSetText,
        "a text value set does not read back");

  HiveValue number;
  number.name = name;
  number.type = HiveValue::Type::kDword;
  number.dword = 0xfffffffe;
  number.text = "-2";
  platform::reg_set_value(written, key, number);
  written = reparse(written, "a document with a new number does not parse");
  found = platform::reg_find_value(written, key, name);
  check(found && found->type == HiveValue::Type::kDword && found->dword == 0xfffffffe &&
            found->text == "-2",
        "a number set does not read back");
  const auto listed = platform::reg_list_values(written, key);
  check(listed.has_value(), "a key with a value is not listed");

  check(platform::reg_remove_value(written, key, name), "a value just set could not be removed");
  written = reparse(written, "a document with a value removed does not parse");
  check(platform::reg_find_value(written, key, name) == nullptr, "a removed value still reads");

  check(platform::reg_remove_key(written, key), "an existing key could not be removed");
  written = reparse(written, "a document with a key removed does not parse");
  check(!platform::reg_key_exists(written, key), "a removed key still exists");
  check(platform::reg_add_key(written, key), "a removed key could not be added again");
  written = reparse(written, "a document with a key added does not parse");
  check(platform::reg_key_exists(written, key), "an added key does not exist");
}

}  // namespace

void reg_entry(std::string_view input) {
  const auto document = platform::parse_reg(input);
  if (!document) return;

  const std::string bytes = platform::serialize_reg(*document);
  const auto again = platform::parse_reg(bytes);
  check(again.has_value(), "a written document does not parse");
  check(platform::serialize_reg(*again) == bytes, "writing a document read back changes it");
  check_values_kept(*document, *again);

  std::size_t visited = 0;
  for (const auto& section : document->sections) {
    if (section.deletes || visited == kMaxKeys) continue;
    ++visited;
    // The first value's name (in another letter case) and one that is new.
    std::string name;
    for (const auto& entry : section.entries) {
      if (entry.is_value) {
        name = entry.value.name;
        for (char& c : name) c = static_cast<char>(c ^ ((c | 0x20) >= 'a' && (c | 0x20) <= 'z' ? 0x20 : 0));
        break;
      }
    }
    edit_key(*document, section.key, name);
    edit_key(*document, section.key, "fuzz new value");
  }
}

}  // namespace corvane::fuzz

CORVANE_FUZZ_TARGET(corvane::fuzz::reg_entry)
