#include "platform/ldap_directory.h"

#include <gtest/gtest.h>

#include "tests/identity/identity_test_support.h"

namespace corvane::platform {
namespace {

using test::SlapdServer;

// The naming context, the configured server (LDAPURI) and the server's order reach the directory lookup's and
// the published operations' tests; here a missing entry, and a long listing read page by page.
TEST(LdapDirectory, ReadsLongListingsPageByPage) {
  LdapSettings settings{SlapdServer::instance().uri()};
  settings.page_size = 2;
  const auto root = LdapDirectory(settings).open_root();
  ASSERT_TRUE(root);
  EXPECT_FALSE(root->entry_exists("ou=Missing,dc=corvane,dc=test"));
  const DirectoryListing missing = root->children("ou=Missing,dc=corvane,dc=test");
  EXPECT_TRUE(missing.failed && missing.children.empty());
  const DirectoryListing crowd = root->children("cn=Crowd,dc=corvane,dc=test");
  EXPECT_FALSE(crowd.failed);
  std::vector<std::string> names;
  for (const auto& child : crowd.children) names.push_back(child.name.substr(0, child.name.find(',')));
  EXPECT_EQ(names, (std::vector<std::string>{"cn=m5", "cn=m3", "cn=m1", "cn=m4", "cn=m2"}));
}

TEST(LdapDirectory, BindsWithTheConfiguredDnAndPasswordFile) {
  const std::string uri = SlapdServer::instance().uri();
  test::ScratchDir scratch("ldap-bind");
  for (const auto& [password, bound] : {std::pair{"reader-secret\n", true}, std::pair{"wrong", false}}) {
    test::write_file(scratch / "password", password);
    test::ScopedEnv dn("LDAPBINDDN", "cn=reader,dc=corvane,dc=test");
    test::ScopedEnv file("CORVANE_LDAP_PASSWORD_FILE", (scratch / "password").string());
    EXPECT_EQ(LdapDirectory(LdapSettings{uri}).open_root() != nullptr, bound) << password;
  }
}

TEST(LdapDirectory, TakesTheBindDnFromTheEnvironmentElseTheUsersLdaprc) {
  const std::string home = std::getenv("HOME");
  test::write_file(home + "/ldaprc", "# bind as\nBINDDN cn=first,dc=x\n");
  test::write_file(home + "/.ldaprc", "URI ldap://ignored\nbinddn   cn=second,dc=x  \n");
  EXPECT_EQ(configured_bind_dn(), "cn=second,dc=x");
  {
    test::ScopedEnv dn("LDAPBINDDN", "cn=env,dc=x");
    EXPECT_EQ(configured_bind_dn(), "cn=env,dc=x");
  }
  std::filesystem::remove(home + "/ldaprc");
  std::filesystem::remove(home + "/.ldaprc");
  EXPECT_EQ(configured_bind_dn(), "");
}

// A server that accepts connections but never answers: time-outs end the wait (a down one: the lookup's tests).
TEST(LdapDirectory, ASilentServerGivesNoRoot) {
  const test::BackgroundProgram silent({"python3", "-c",
                                        "import socket, sys; s = socket.create_server(('127.0.0.1', 0)); "
                                        "print(s.getsockname()[1], flush=True); sys.stdin.read()"});
  const LdapSettings settings{test::loopback_ldap_uri(std::stoi(silent.first_line())), 1, 1};
  EXPECT_EQ(LdapDirectory(settings).open_root(), nullptr);
}

}  // namespace
}  // namespace corvane::platform
