// The signers' file user.ini and the directory lookup of a new user's
// e-mail address. Texts are UTF-8; in/out arguments are normalised in place
// (lower case, no surrounding blanks). Never throws.
#pragma once

#include <cstdint>
#include <string>

namespace corvane::identity {

// Makes sure section "user" has an entry for `user`; returns the known-users
// upper index (-1 when empty).
std::int32_t ensure_user_entry(std::string& user);
// The stored address of `user`, or "".
[[nodiscard]] std::string read_user_email(std::string& user);
// Records the pair in both sections when both are non-empty and the address
// holds "@".
void store_user_email(std::string& user, std::string& email);

}  // namespace corvane::identity
