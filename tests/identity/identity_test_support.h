// What the identity tests share: a fresh identity state whose user.ini lives
// in a scratch folder, and directories that answer or not.
#pragma once

#include <memory>
#include <string>

#include "identity/identity_state.h"
#include "platform/ldap_directory.h"
#include "tests/identity/slapd_server.h"
#include "tests/settings/settings_test_support.h"

namespace corvane::test {

// The test server.
inline std::shared_ptr<platform::Directory> test_directory() {
  platform::LdapSettings settings;
  settings.uri = SlapdServer::instance().uri();
  return std::make_shared<platform::LdapDirectory>(settings);
}

// A server that is down: nothing listens on its port.
inline std::shared_ptr<platform::Directory> down_directory() {
  platform::LdapSettings settings;
  settings.uri = "ldap://127.0.0.1:" + std::to_string(free_loopback_port()) + "/";
  return std::make_shared<platform::LdapDirectory>(settings);
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
