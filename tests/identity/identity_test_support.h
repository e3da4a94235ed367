// A fresh identity state whose user.ini lives in a scratch folder, and directories that answer or not.
#pragma once

#include <memory>
#include <string>

#include "identity/identity_state.h"
#include "platform/ldap_directory.h"
#include "tests/identity/slapd_server.h"
#include "tests/settings/settings_test_support.h"

namespace corvane::test {

// The server at `uri`, read for at most `max_pages` pages per session.
inline std::shared_ptr<platform::Directory> directory_at(const std::string& uri, int max_pages = 1000) {
  platform::LdapSettings settings{uri};
  settings.max_pages = max_pages;
  return std::make_shared<platform::LdapDirectory>(settings);
}
// The test server, and a server that is down (nothing listens on its port).
inline std::shared_ptr<platform::Directory> test_directory() { return directory_at(SlapdServer::instance().uri()); }
inline std::shared_ptr<platform::Directory> down_directory() {
  return directory_at(loopback_ldap_uri(free_loopback_port()));
}

struct IdentityFixture {
  explicit IdentityFixture(std::shared_ptr<platform::Directory> directory) : dir("identity") {
    state.ini_path = (dir / "user.ini").string();
    state.directory = std::move(directory);
  }
  std::string ini() const { return read_file(state.ini_path); }
  void set_ini(const std::string& text) const { write_file(state.ini_path, text); }

  ScratchDir dir;
  identity::IdentityState state;
};

}  // namespace corvane::test
