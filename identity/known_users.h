// The names known to have an entry in section "user" of user.ini.
#pragma once

#include <cstdint>
#include <string_view>

#include "identity/identity_state.h"

namespace corvane::identity {

inline constexpr std::int32_t kNotKnown = -1;

// Fills the list from section "user" (each entry's key, normalised). An empty
// section leaves the list as it was and not loaded.
void load_known_users(IdentityState& state);

// Index of the first name equal to the normalised `user`; kNotKnown when the
// list is not loaded or lacks the name.
[[nodiscard]] std::int32_t find_known_user(const IdentityState& state, std::string_view user);

}  // namespace corvane::identity
