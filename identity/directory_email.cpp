#include "identity/directory_email.h"

#include <unordered_set>

#include "identity/names.h"
#include "platform/ldap_directory.h"
#include "platform/text_case.h"
#include "settings/log.h"

namespace corvane::identity {
namespace {

// Bounds of one walk, whatever the directory holds.
constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxEntries = 100000;

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

// One walk through the tree and its bounds.
struct DirectoryWalk {
  IdentityState& state;
  platform::DirectorySession& session;
  const std::string& user;
  std::string wanted;  // user in lower case
  std::unordered_set<std::string> visited;  // containers, in lower case
  std::size_t entries = 0;
  std::string stopped;  // the limit that ended the walk
};

void walk_container(DirectoryWalk& walk, std::string_view container, int depth) {
  IdentityState& state = walk.state;
  // A container met again (an entry listing itself or an ancestor) is
  // passed over.
  if (!walk.visited.insert(platform::lower_text(container)).second) return;
  if (depth > kMaxDepth) {
    walk.stopped = "deeper than " + std::to_string(kMaxDepth) + " levels";
    return;
  }
  const platform::DirectoryListing listing = walk.session.children(container);
  walk.entries += listing.children.size();
  if (!listing.stopped.empty()) walk.stopped = listing.stopped;
  if (walk.entries > kMaxEntries) walk.stopped = "more than " + std::to_string(kMaxEntries) + " entries";
  if (!walk.stopped.empty()) return;
  for (const platform::DirectoryChild& child : listing.children) {
    if (!state.found_email.empty() || !walk.stopped.empty()) return;
    const std::string class_name = platform::lower_text(child.class_name);
    if (class_name == "user") {
      if (platform::lower_text(child.account_name) == walk.wanted && !child.proxy_addresses.empty())
        take_proxy_address(state, child.proxy_addresses, walk.user);
    } else if (class_name == "organizationalunit" || class_name == "container") {
      walk_container(walk, child.name, depth + 1);
    }
  }
  // An enumeration that broke off ends the walk, unless it already has ended.
  if (listing.failed && state.found_email.empty() && walk.stopped.empty())
    note_unreadable_container(state, walk.user);
}

}  // namespace

void search_directory_container(IdentityState& state, platform::DirectorySession& session,
                                std::string_view container, const std::string& user) {
  DirectoryWalk walk{state, session, user, platform::lower_text(user), {}, 0, {}};
  walk_container(walk, container, /*depth=*/0);
  if (walk.stopped.empty()) return;
  settings::log_line("directory walk for user " + user + " stopped: " + walk.stopped +
                     "; going on as if nothing was found");
  state.found_email.clear();
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
