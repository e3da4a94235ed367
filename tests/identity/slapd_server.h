// A private OpenLDAP server for the identity tests: started on a free
// loopback port with its own configuration, database folder and the test
// schema, seeded from testdata/directory.ldif, stopped at the end of the test
// program. It never talks to anything outside the machine.
#pragma once

#include <memory>
#include <string>

#include "tests/support/test_support.h"

namespace corvane::test {

inline constexpr char kTestSuffix[] = "dc=corvane,dc=test";

class SlapdServer {
 public:
  // The program's server, started on first use. Fails the calling test (and
  // returns a server with an empty uri) when slapd cannot be started.
  static SlapdServer& instance();
  // The URI the server is (or will be) reachable under.
  static std::string planned_uri();
  // Stops the program's server, if it was started.
  static void shut_down();

  const std::string& uri() const { return uri_; }

 private:
  bool start(int port);

  std::unique_ptr<ScratchDir> folder_;  // outlives the program using it
  std::unique_ptr<BackgroundProgram> program_;
  std::string uri_;
};

// A loopback TCP port on which nothing listens right now.
int free_loopback_port();
// "ldap://127.0.0.1:<port>/".
std::string loopback_ldap_uri(int port);

}  // namespace corvane::test
