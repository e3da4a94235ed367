// A private OpenLDAP server for the identity tests on a free loopback port, with its own configuration,
// database and the test schema, seeded from testdata/directory.ldif, stopped when the test program ends.
#pragma once

#include <memory>
#include <string>

#include "tests/support/test_support.h"

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

}  // namespace corvane::test
