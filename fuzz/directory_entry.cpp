// The directory walk over a directory read from the input: each line is
// "container<TAB>child<TAB>class<TAB>account<TAB>proxy,proxy...", a
// container without lines has no children, and a line whose container ends
// in "!" makes that listing fail after its children. Whatever the tree
// (loops, entries listing themselves, depth), the walk ends, lists each
// container at most once, and finds "", "default" or one of the input's
// proxy addresses in lower case.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz/entries.h"
#include "fuzz/fuzz_support.h"
#include "identity/directory_email.h"
#include "identity/names.h"

namespace corvane::fuzz {
namespace {

std::vector<std::string> split(std::string_view text, char at) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const auto end = text.find(at, start);
    parts.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

class InputSession final : public platform::DirectorySession {
 public:
  explicit InputSession(std::map<std::string, platform::DirectoryListing> listings)
      : listings_(std::move(listings)) {}
  std::optional<std::string> naming_context() override { return "dc=root"; }
  bool entry_exists(std::string_view) override { return true; }
  platform::DirectoryListing children(std::string_view name) override {
    check(listed_.insert(std::string(name)).second, "a container was listed twice");
    const auto it = listings_.find(std::string(name));
    return it == listings_.end() ? platform::DirectoryListing{} : it->second;
  }

 private:
  std::map<std::string, platform::DirectoryListing> listings_;
  std::set<std::string> listed_;
};

}  // namespace

void directory_entry(std::string_view input) {
  std::map<std::string, platform::DirectoryListing> listings;
  std::set<std::string> addresses{"", "default"};
  while (!input.empty()) {
    const auto fields = split(take_line(input), '\t');
    if (fields.size() < 2) continue;
    std::string container = fields[0];
    const bool fails = !container.empty() && container.back() == '!';
    if (fails) container.pop_back();
    platform::DirectoryChild child;
    child.name = fields[1];
    if (fields.size() > 2) child.class_name = fields[2];
    if (fields.size() > 3) child.account_name = fields[3];
    if (fields.size() > 4) child.proxy_addresses = split(fields[4], ',');
    for (const std::string& proxy : child.proxy_addresses) {
      const auto colon = proxy.find(':');
      addresses.insert(identity::normalized_name(proxy));
      if (colon != std::string::npos) addresses.insert(identity::normalized_name(proxy.substr(colon + 1)));
    }
    platform::DirectoryListing& listing = listings[container];
    listing.children.push_back(std::move(child));
    listing.failed = listing.failed || fails;
  }
  identity::IdentityState state;
  InputSession session(std::move(listings));
  identity::search_directory_container(state, session, "dc=root", "jdoe");
  check(addresses.count(state.found_email) == 1, "the walk found an address the directory does not hold");
}

}  // namespace corvane::fuzz

CORVANE_FUZZ_TARGET(corvane::fuzz::directory_entry)
