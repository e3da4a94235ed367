// The directory service that holds the signers' accounts: a tree of
// containers whose children are read one level at a time. The identity code
// walks it through these interfaces; ldap_directory.h has the real one.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

// One child entry as the walk needs it. Texts are UTF-8.
struct DirectoryChild {
  std::string name;         // distinguished name, to read its own children
  std::string class_name;   // the entry's class ("user", "organizationalUnit", ...)
  std::string account_name; // sAMAccountName, "" when it has none
  std::vector<std::string> proxy_addresses;  // proxyAddresses, in server order
};

// The immediate children of one container, in the order the server sent
// them. `failed` means the enumeration broke off with an error after the
// children listed (none when it failed at once).
struct DirectoryListing {
  std::vector<DirectoryChild> children;
  bool failed = false;
  // The limit that ended the listing (too many pages, too long), "" when
  // none did; `failed` is then set too.
  std::string stopped;
};

// A bound connection to the directory's root.
class DirectorySession {
 public:
  virtual ~DirectorySession() = default;
  // The naming context that holds the accounts; nullopt when the root entry
  // cannot be read or names none.
  [[nodiscard]] virtual std::optional<std::string> naming_context() = 0;
  // True when the entry `name` exists and can be read.
  [[nodiscard]] virtual bool entry_exists(std::string_view name) = 0;
  [[nodiscard]] virtual DirectoryListing children(std::string_view name) = 0;
};

class Directory {
 public:
  virtual ~Directory() = default;
  // Connects and binds to the configured server; nullptr when none is
  // configured, none answers, or the bind is refused.
  [[nodiscard]] virtual std::unique_ptr<DirectorySession> open_root() = 0;
};

}  // namespace corvane::platform
