#include "identity/known_users.h"

#include "identity/names.h"
#include "identity/user_ini.h"

namespace corvane::identity {

void load_known_users(IdentityState& state) {
  std::vector<std::string> entries = ini_section_entries(state.ini_path, "user");
  if (entries.empty() || entries.front().empty()) return;
  entries.pop_back();  // the empty text after the final NUL
  for (std::string& entry : entries) entry = normalized_name(std::string_view(entry).substr(0, entry.find('=')));
  state.known_users = std::move(entries);
  state.known_users_upper = static_cast<std::int32_t>(state.known_users.size()) - 1;
  state.known_users_loaded = true;
}

std::int32_t find_known_user(const IdentityState& state, std::string_view user) {
  if (!state.known_users_loaded) return kNotKnown;
  const std::string name = normalized_name(user);
  for (std::size_t i = 0; i < state.known_users.size(); ++i)
    if (!state.known_users[i].empty() && state.known_users[i] == name) return static_cast<std::int32_t>(i);
  return kNotKnown;
}

}  // namespace corvane::identity
