// Isolates the identity tests from the machine: the LDAP client library sees only the test server (its
// configuration is read once per process, before any test) and no user's ldaprc.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>

#include "tests/identity/slapd_server.h"
#include "tests/support/test_support.h"

namespace corvane::test {
namespace {

class IdentityEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    home_ = std::make_unique<ScratchDir>("identity-home");
    ::setenv("HOME", home_->path().c_str(), 1);
    for (const char* name : {"LDAPBINDDN", "LDAPRC", "LDAPCONF", "LDAPNOINIT", "LDAPSASL_MECH", "LDAPBASE",
                             "CORVANE_LDAP_PASSWORD_FILE"})
      ::unsetenv(name);
    ::setenv("LDAPURI", SlapdServer::planned_uri().c_str(), 1);
  }
  void TearDown() override {
    SlapdServer::shut_down();
    home_.reset();
  }

 private:
  std::unique_ptr<ScratchDir> home_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new IdentityEnvironment);

}  // namespace
}  // namespace corvane::test
