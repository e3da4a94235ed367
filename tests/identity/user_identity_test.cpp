#include "identity/user_identity.h"

#include <gtest/gtest.h>

#include "tests/identity/identity_test_support.h"

namespace corvane::identity {
namespace {

using test::down_directory;
using test::IdentityFixture;
using test::test_directory;
using Lines = std::vector<std::string>;

constexpr char kNoDirectory[] = "No active directory found - please edit user.ini manual";

TEST(EnsureUserEntry, NormalisesTheNameAndWritesDefaultWithoutDirectory) {
  IdentityFixture f(down_directory());
  std::string user = "  JDoe\t", other = "Ann";
  const auto messages = test::logged_messages([&] {
    EXPECT_EQ(ensure_user_entry(f.state, user), 0);
    EXPECT_EQ(ensure_user_entry(f.state, other), 1);  // tries the directory again, appends
  });
  EXPECT_EQ(user, "jdoe");
  EXPECT_EQ(f.ini(), "[user]\njdoe=default\nann=default\n");
  EXPECT_EQ(messages, Lines(2, kNoDirectory));
}

TEST(EnsureUserEntry, KnownNamesAreNeitherSearchedNorRewritten) {
  IdentityFixture f(test_directory());
  const std::string before = "[user]\nAnn = A@X\n  JDoe = Custom@Example.Test\n";
  f.set_ini(before);
  std::string user = "JDOE", kim = "kim";
  const auto messages = test::logged_messages([&] {
    EXPECT_EQ(ensure_user_entry(f.state, user), 1);
    EXPECT_EQ(f.ini(), before);
    EXPECT_EQ(ensure_user_entry(f.state, kim), 2);  // after the loaded names
  });
  EXPECT_EQ(f.state.known_users, (Lines{"ann", "jdoe", "kim"}));
  EXPECT_EQ(messages, Lines{"found sales@corvane.test of user kim in Active Directory"});
}

TEST(EnsureUserEntry, AnEntryWrittenMeanwhileWinsOverTheDirectory) {
  IdentityFixture f(test_directory());
  f.set_ini("[user]\nann=a@x\n");
  std::string ann = "ann", jdoe = "jdoe";
  ensure_user_entry(f.state, ann);
  f.set_ini("[user]\nann=a@x\njdoe= Other@Example.Test \n");  // another process added jdoe
  ensure_user_entry(f.state, jdoe);
  EXPECT_EQ(f.ini(), "[user]\nann=a@x\njdoe=other@example.test\n");
}

TEST(EnsureUserEntry, ANameThatWouldBreakTheFileIsNotWritten) {
  IdentityFixture f(down_directory());
  for (const auto& [name, why] : {std::pair{"a=b", "holds \"=\""}, std::pair{"[admin]", "holds \"[\""},
                                  std::pair{"eve\nmallory", "holds a line break"}}) {
    std::string user = name;
    const auto messages = test::logged_messages([&] { ensure_user_entry(f.state, user); });
    EXPECT_FALSE(std::filesystem::exists(f.state.ini_path)) << name;
    std::string shown = name;
    std::replace(shown.begin(), shown.end(), '\n', '?');
    EXPECT_EQ(messages.back(), "not written to user.ini: name \"" + shown + "\" " + why);
  }
}

TEST(StoreUserEmail, RecordsThePairInBothSectionsOnce) {
  IdentityFixture f(down_directory());
  std::string user = " JDoe ", email = " JDoe@Corvane.TEST ";
  store_user_email(f.state, user, email);
  EXPECT_EQ(user + " " + email, "jdoe jdoe@corvane.test");
  EXPECT_EQ(f.ini(), "[user]\njdoe=jdoe@corvane.test\n[email]\njdoe@corvane.test=jdoe\n");

  // The same pair again writes nothing, not even over a changed file; nor does a pair without a name or an address.
  f.set_ini("");
  store_user_email(f.state, user, email);
  for (const auto& [u, e] : {std::pair{"ann", "no-at-sign"}, std::pair{"", "a@x"}, std::pair{"ann", "  "}}) {
    std::string u2 = u, e2 = e;
    store_user_email(f.state, u2, e2);
  }
  EXPECT_EQ(f.ini(), "");
}

TEST(ReadUserEmail, ReturnsTheStoredValueOrEmpty) {
  IdentityFixture f(down_directory());
  f.set_ini("[user]\njdoe = jdoe@corvane.test\nann=default\n");
  const struct { const char *user, *want, *user_after; } cases[] = {
      {"  JDoe ", "jdoe@corvane.test", "JDoe"}, {"ann", "default", "ann"}, {"nobody", "", "nobody"}, {"   ", "", ""}};
  for (const auto& c : cases) {
    std::string user = c.user;
    EXPECT_EQ(read_user_email(f.state, user), c.want) << c.user;
    EXPECT_EQ(user, c.user_after);
  }
}

TEST(UserIdentity, PublishedOperationsUseTheSettingAndTheConfiguredDirectory) {
  test::SlapdServer::instance();  // the server LDAPURI names
  test::ScratchDir dir("identity");
  const auto hive = test::machine_setting_path(dir, dir.path().string() + "/");
  std::thread([&dir] {  // fresh identity and settings state
    std::string user = " JDoe ", kim = "kim", email = "Kim@Example.Test";
    ensure_user_entry(user);
    std::filesystem::remove(dir / "machine.reg");  // the file's path was resolved once
    EXPECT_EQ(read_user_email(user), "jdoe@corvane.test");
    store_user_email(kim, email);
  }).join();
  EXPECT_EQ(test::read_file(dir / "user.ini"),
            "[user]\njdoe=jdoe@corvane.test\nkim=kim@example.test\n[email]\nkim@example.test=kim\n");
}

}  // namespace
}  // namespace corvane::identity
