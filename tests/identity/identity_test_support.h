// The identity tests' world: a private OpenLDAP server on a free loopback port, seeded from
// testdata/directory.ldif and the only server the LDAP client library sees; directories that answer or
// not; a fresh identity state whose user.ini lives in a scratch folder.
#pragma once

#include <memory>
#include <string>

#include "identity/identity_state.h"
#include "platform/ldap_directory.h"
#include "tests/settings/settings_test_support.h"

namespace corvane::test {

inline constexpr char kTestSuffix[] = "dc=corvane,dc=test";

class SlapdServer {
 public:
  // The program's server, started on first use; fails the test (empty uri) when slapd cannot start.
  static SlapdServer& instance();
  static std::string planned_uri();  // where the server is (or will be) reachable
  static void shut_down();

  const std::string& uri() const { return uri_; }

 private:
  bool start(int port);

  std::unique_ptr<ScratchDir> folder_;  // outlives the program using it
  std::unique_ptr<BackgroundProgram> program_;
  std::string uri_;
};

int free_loopback_port();  // a loopback TCP port on which nothing listens right now
std::string loopback_ldap_uri(int port);  // "ldap://127.0.0.1:<port>/"

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
