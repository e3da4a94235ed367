// The signers' file user.ini: where it lives and the three ways it is
// accessed. Every argument is used without its surrounding blanks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "identity/identity_state.h"

namespace corvane::identity {

// The file named by the setting `path`: a folder (with or without a final
// "/") gets "user.ini" appended, a text ending in ".ini" (exactly, not
// ".INI") is the file itself, and an empty setting means `own_folder`.
[[nodiscard]] std::string resolve_user_ini_path(std::string_view path_setting, std::string_view own_folder);

// The folder of the file that holds this code: the shared library, or the
// program it is linked into. "." when it cannot be found out.
[[nodiscard]] std::string component_folder();

// Where the files written at run time go without a `path` setting: code
// installed by the package manager (under /usr/lib) writes none there, its
// files go to /var/lib/corvanepdf (which the package makes); any other
// folder (a build tree, /usr/local, another prefix) is used as it is.
[[nodiscard]] std::string runtime_files_folder(std::string_view own_folder);

// The path of user.ini, resolved on the first call from the machine setting
// `path` (else runtime_files_folder of component_folder) and kept in `state`.
const std::string& user_ini_path(IdentityState& state);

// The "key=value" entries of `section` as the section read returns them,
// split at each NUL: after the last entry comes one empty text. A missing
// section gives a list holding only "".
[[nodiscard]] std::vector<std::string> ini_section_entries(const std::string& ini, std::string_view section);

// The value of `key` without surrounding blanks; `fallback` when missing.
[[nodiscard]] std::string ini_read(const std::string& ini, std::string_view section, std::string_view key,
                                   std::string_view fallback);

// False, with the log line ini_write gives, when `name` cannot be written
// as a key.
[[nodiscard]] bool ini_name_writable(std::string_view name);

// Writes `key`=`value`; an empty value removes the key and an empty key the
// section. A key or value that would break the file is not written, and the
// log says why. A file that cannot be written gets the log line
// "user.ini could not be updated: PATH: REASON".
void ini_write(const std::string& ini, std::string_view section, std::string_view key, std::string_view value);

}  // namespace corvane::identity
