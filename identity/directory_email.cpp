#include "identity/directory_email.h"

#include "identity/names.h"
#include "platform/ldap_directory.h"
#include "platform/text_case.h"
#include "settings/log.h"

namespace corvane::identity {
namespace {

platform::Directory& directory_of(IdentityState& state) {
  if (!state.directory) state.directory = std::make_shared<platform::LdapDirectory>();
  return *state.directory;
}

// Picks the address from the proxy entries of the matching user object: the
// first entry that is an address holding the user name, else the first
// non-empty entry (an X.400 entry without "@" is taken whole).
void take_proxy_address(IdentityState& state, const std::vector<std::string>& proxies, const std::string& user) {
  for (const std::string& proxy : proxies) {
    std::string entry = proxy;
    if (entry.find('@') != std::string::npos) {
      const auto colon = entry.find(':');
      if (colon != std::string::npos) entry = normalized_name(std::string_view(entry).substr(colon + 1));
      if (platform::contains_ignoring_case(entry, user)) {
        state.found_email = normalized_name(entry);
        return;
      }
    }
    if (state.found_email.empty() && !entry.empty()) state.found_email = normalized_name(entry);
  }
}

void note_unreadable_container(IdentityState& state, const std::string& user) {
  settings::log_line("user container for user " + user + " empty");
  if (state.found_email.empty()) state.found_email = "default";
}

}  // namespace

void search_directory_container(IdentityState& state, platform::DirectorySession& session,
                                std::string_view container, const std::string& user) {
  const platform::DirectoryListing listing = session.children(container);
  const std::string wanted = platform::lower_text(user);
  for (const platform::DirectoryChild& child : listing.children) {
    if (!state.found_email.empty()) return;
    const std::string class_name = platform::lower_text(child.class_name);
    if (class_name == "user") {
      if (platform::lower_text(child.account_name) == wanted && !child.proxy_addresses.empty())
        take_proxy_address(state, child.proxy_addresses, user);
    } else if (class_name == "organizationalunit" || class_name == "container") {
      search_directory_container(state, session, child.name, user);
    }
  }
  // An enumeration that broke off ends the walk, unless it already has ended.
  if (listing.failed && state.found_email.empty()) note_unreadable_container(state, user);
}

std::string directory_email(IdentityState& state, const std::string& user) {
  state.found_email.clear();
  if (!user.empty() && user == state.cached_user && !state.cached_email.empty()) {
    settings::log_line("took " + state.cached_email + " from email cache");
    return state.cached_email;
  }
  const std::unique_ptr<platform::DirectorySession> root = directory_of(state).open_root();
  if (!root) {
    settings::log_line("No active directory found - please edit user.ini manual");
    return "";
  }
  const std::optional<std::string> context = root->naming_context();
  if (!context || !root->entry_exists(*context)) return "";
  search_directory_container(state, *root, *context, user);
  settings::log_line("found " + state.found_email + " of user " + user + " in Active Directory");
  state.cached_user = user;
  state.cached_email = state.found_email;
  std::string found;
  found.swap(state.found_email);
  return found;
}

}  // namespace corvane::identity
