// The registry stand-in: two hive files in the Windows ".reg" text format,
// the machine hive (/etc/corvane/registry.reg, or CORVANE_HKLM) and the user
// hive ($XDG_CONFIG_HOME/corvane/registry.reg, or CORVANE_HKCU).
//
// Paths name root, key and value as "HKLM\SOFTWARE\Corvane\pdf\debug"
// ("HKCU", "HKEY_LOCAL_MACHINE" and "HKEY_CURRENT_USER" work too). Key and
// value names compare without regard to case. Every write rewrites the file
// atomically under an advisory lock; a hive that cannot be parsed is never
// overwritten. No function here throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

enum class HiveRoot { kMachine, kUser };

struct HiveValue {
  enum class Type { kText, kDword, kOther };
  std::string name;  // "" for the key's default value
  Type type = Type::kText;
  std::string text;  // kText: the text; kDword: its decimal digits, signed
  // (dword:ffffffff reads as "-1", so a number written as -1 reads back so)
  std::uint32_t dword = 0;
};

// The file that holds a root's values.
[[nodiscard]] std::string hive_file_path(HiveRoot root);
// True when this process may write (or create) that file. The file is
// replaced by a rename, so its folder must be writable too; missing folders
// above it are made by a write when the process may make them.
[[nodiscard]] bool hive_writable(HiveRoot root);

// True when the hive file is missing (no values yet) or can be read and
// parsed; false for a file that is unreadable or not a registry file.
[[nodiscard]] bool hive_intact(HiveRoot root);

// The value as text (a REG_DWORD as its signed decimal digits); nullopt when
// missing, of another type, or the hive is unreadable.
[[nodiscard]] std::optional<std::string> hive_read(std::string_view value_path);
// Writes a REG_SZ / REG_DWORD value (a path ending in "\" names the key's
// default value). False, with the file left as it was, when the hive is not
// writable (see hive_writable), cannot be read or parsed, or the path is
// malformed; a text holding a line break cannot be written either.
bool hive_write_text(std::string_view value_path, std::string_view text);
bool hive_write_dword(std::string_view value_path, std::uint32_t value);
// Creates a key (and its parents); true when it exists afterwards. A key
// path holding a line break cannot be written: false.
bool hive_create_key(HiveRoot root, std::string_view key_path);
// Removes a value / a key with everything below it; true when it is gone.
bool hive_delete_value(std::string_view value_path);
bool hive_delete_key(HiveRoot root, std::string_view key_path);
// The values of one key, in file order; nullopt when the key is missing or
// the hive is unreadable.
[[nodiscard]] std::optional<std::vector<HiveValue>> hive_list_values(HiveRoot root,
                                                                     std::string_view key_path);

}  // namespace corvane::platform
