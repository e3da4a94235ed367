// The settings store: values under "HKLM\SOFTWARE\Corvane\pdf\" and
// "HKCU\SOFTWARE\Corvane\pdf\" in the two hive files, with the machine-to-user
// redirection decided once by a probe write. Texts are UTF-8. No function
// here throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane::settings {

inline constexpr std::string_view kMachineBase = "HKLM\\SOFTWARE\\Corvane\\pdf\\";
inline constexpr std::string_view kUserBase = "HKCU\\SOFTWARE\\Corvane\\pdf\\";
inline constexpr std::uint32_t kHkeyCurrentUser = 0x80000001;
inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002;

// The value at `path` (root, key and value name) as text: a REG_DWORD as its
// decimal digits; "" when missing, unreadable or of another type.
[[nodiscard]] std::string reg_read(std::string_view path);
// Writes a REG_SZ / REG_DWORD value; true on success.
bool reg_write_text(std::string_view path, std::string_view value);
bool reg_write_number(std::string_view path, std::int32_t value);
// Creates `key_path` (without root) under the root handle value `root`.
// False when created (or already there), true on failure.
bool reg_create_key(std::uint32_t root, std::string_view key_path);

}  // namespace corvane::settings
