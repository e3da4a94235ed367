// Profile (INI) files: "[section]" headers and "key=value" entries, read and
// written one entry at a time.
//
// Section and key names compare without regard to case; names and values
// are read without surrounding blanks. Lines that are neither a header nor an
// entry (comments starting with ";", blank lines, anything else) are kept as
// they are when the file is rewritten. The file holds Windows-1252 text; the
// texts handed in and out here are UTF-8. Every write rewrites the whole file
// atomically under an advisory lock, so concurrent writers in several
// processes each see the other's entries. No function here throws.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::platform {

// Buffer sizes, in code-page characters, that callers usually read into.
inline constexpr std::size_t kProfileSectionChars = 32768;
inline constexpr std::size_t kProfileValueChars = 2048;

// The entries of the first section named `section`, each as "key=value" and
// followed by a NUL character, in file order. When that does not fit into
// `buffer_chars` characters (the final NUL that ends the list included), the
// text is cut to buffer_chars - 2 characters, so the last entry is cut off.
// "" when the file or the section is missing or unreadable.
[[nodiscard]] std::string profile_read_section(const std::string& file, std::string_view section,
                                               std::size_t buffer_chars = kProfileSectionChars);

// The value of `key` in `section`, without surrounding blanks; `fallback`
// when the file, the section or the key is missing. Either is cut to
// buffer_chars - 1 characters.
[[nodiscard]] std::string profile_read_string(const std::string& file, std::string_view section,
                                              std::string_view key, std::string_view fallback,
                                              std::size_t buffer_chars = kProfileValueChars);

// Sets `key` in `section` to `value`, adding the section and the key when
// they are missing and creating the file when it does not exist (its folder
// must). An absent value removes the key; an absent key removes the section
// with everything in it. Returns true when the file holds the result
// afterwards; false when a name or value would break the file (see the two
// checks below), the file cannot be read or written, or its folder is
// missing, with the reason in `why` when given. Removing something that is
// not there succeeds without touching the file. A new file (and its lock
// file) is shared with the folder's group as share_new_file says; a
// rewritten one keeps its mode, owner where permitted, ACLs and extended
// attributes.
bool profile_write_string(const std::string& file, std::string_view section,
                          std::optional<std::string_view> key, std::optional<std::string_view> value,
                          std::string* why = nullptr);

// Why `key` cannot be written as a key (or section name), "" when it can:
// empty, holding "=", "[", "]", a line break or a NUL character, or starting
// with ";" (it would read back as a comment).
[[nodiscard]] std::string_view profile_name_problem(std::string_view key);
// Why `value` cannot be written as a value, "" when it can: holding a line
// break or a NUL character.
[[nodiscard]] std::string_view profile_value_problem(std::string_view value);

}  // namespace corvane::platform
