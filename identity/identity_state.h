// The per-thread state of the signers' file and the directory lookup, and
// the operations of user_identity.h on a given state (tests hand in a fresh
// one; the published functions use the calling thread's).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/directory.h"

namespace corvane::identity {

struct IdentityState {
  std::string ini_path;                  // user.ini; "" until first resolved
  std::vector<std::string> known_users;  // names known to have an entry in section "user"
  bool known_users_loaded = false;
  std::int32_t known_users_upper = -1;   // index of the last known name, -1 when none
  std::string last_added_user;
  std::string last_stored_user;          // the last pair store_user_email recorded
  std::string last_stored_email;
  std::string cached_user;               // the last directory search and its result
  std::string cached_email;
  std::string found_email;               // working result of one search, "" outside
  // The directory searched for new names; null means the LDAP server of the
  // client library's configuration, made when first needed.
  std::shared_ptr<platform::Directory> directory;
};

// The calling thread's state; it lives as long as the thread.
IdentityState& identity_state();

std::int32_t ensure_user_entry(IdentityState& state, std::string& user);
[[nodiscard]] std::string read_user_email(IdentityState& state, std::string& user);
void store_user_email(IdentityState& state, std::string& user, std::string& email);

}  // namespace corvane::identity
