#include "identity/user_identity.h"

#include "identity/directory_email.h"
#include "identity/identity_state.h"
#include "identity/known_users.h"
#include "identity/names.h"
#include "identity/user_ini.h"

namespace corvane::identity {

IdentityState& identity_state() {
  thread_local IdentityState state;
  return state;
}

std::int32_t ensure_user_entry(IdentityState& state, std::string& user) {
  const std::string& ini = user_ini_path(state);
  user = normalized_name(user);
  if (!state.known_users_loaded) {
    state.known_users_upper = -1;
    load_known_users(state);
  }
  if (find_known_user(state, user) == kNotKnown && !user.empty() && user != state.last_added_user) {
    state.known_users.push_back(user);
    ++state.known_users_upper;
    state.last_added_user = user;
    std::string email = directory_email(state, user);
    if (email.empty()) email = "default";
    // An entry already in the file (written by another process, or by hand)
    // wins over the directory's answer.
    const std::string stored = ini_read(ini, "user", user, email);
    ini_write(ini, "user", user, normalized_name(stored));
  }
  return state.known_users_upper;
}

std::string read_user_email(IdentityState& state, std::string& user) {
  user = std::string(platform::trim_blanks(user));
  if (user.empty()) return "";
  return ini_read(user_ini_path(state), "user", user, "");
}

void store_user_email(IdentityState& state, std::string& user, std::string& email) {
  user = normalized_name(user);
  email = normalized_name(email);
  if (user.empty() || email.empty() || email.find('@') == std::string::npos) return;
  if (user == state.last_stored_user && email == state.last_stored_email) return;
  // Each text is the key of one half of the pair: both halves or neither.
  if (!ini_name_writable(user) || !ini_name_writable(email)) return;
  ensure_user_entry(state, user);
  const std::string& ini = user_ini_path(state);
  ini_write(ini, "user", user, email);
  ini_write(ini, "email", email, user);
  state.last_stored_user = user;
  state.last_stored_email = email;
}

std::int32_t ensure_user_entry(std::string& user) { return ensure_user_entry(identity_state(), user); }
std::string read_user_email(std::string& user) { return read_user_email(identity_state(), user); }
void store_user_email(std::string& user, std::string& email) { store_user_email(identity_state(), user, email); }

}  // namespace corvane::identity
