// Looking a user's e-mail address up in the directory.
#pragma once

#include <string>
#include <string_view>

#include "identity/identity_state.h"
#include "platform/directory.h"

namespace corvane::identity {

// The address of `user` found in the directory: a matching proxy address,
// "default" when a container could not be read, or "" when nothing was found
// or there is no directory. The last non-empty result is cached for the same
// name. Logs what it did.
[[nodiscard]] std::string directory_email(IdentityState& state, const std::string& user);

// Walks the tree below `container` depth first, in the server's order of
// each container's children, until state.found_email is set. A container
// met again is passed over; a walk deeper than 64 levels, over more than
// 100,000 entries, or whose listing hit the session's limits stops with a
// log line and found_email cleared, as when nothing was found.
void search_directory_container(IdentityState& state, platform::DirectorySession& session,
                                std::string_view container, const std::string& user);

}  // namespace corvane::identity
