#include "identity/user_identity.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "identity/identity_state.h"
#include "tests/identity/identity_test_support.h"

namespace corvane::identity {
namespace {

using test::down_directory;
using test::IdentityFixture;
using test::read_file;
using test::test_directory;
using test::write_file;

// Compares with a file in testdata/; CORVANE_UPDATE_GOLDEN=1 rewrites it.
void expect_golden(const std::string& actual, const std::string& name) {
  const auto path = std::filesystem::path(CORVANE_SOURCE_DIR) / "tests/identity/testdata" / name;
  if (std::getenv("CORVANE_UPDATE_GOLDEN")) write_file(path, actual);
  EXPECT_EQ(actual, read_file(path)) << "golden file " << path;
}

TEST(EnsureUserEntry, NormalisesTheNameAndWritesDefaultWithoutDirectory) {
  IdentityFixture f(down_directory());
  std::string user = "  JDoe\t";
  std::string other = "Ann";
  const auto messages = test::logged_messages([&] {
    EXPECT_EQ(ensure_user_entry(f.state, user), 0);
    // The next new name tries the directory again and is appended.
    EXPECT_EQ(ensure_user_entry(f.state, other), 1);
  });
  EXPECT_EQ(user, "jdoe");
  EXPECT_EQ(f.ini(), "[user]\njdoe=default\nann=default\n");
  EXPECT_EQ(f.state.known_users, (std::vector<std::string>{"jdoe", "ann"}));
  EXPECT_EQ(messages, std::vector<std::string>(2, "No active directory found - please edit user.ini manual"));
}

TEST(EnsureUserEntry, KnownNamesAreNeitherSearchedNorRewritten) {
  IdentityFixture f(test_directory());
  const std::string before = "[user]\nAnn = A@X\n  JDoe = Custom@Example.Test\n";
  write_file(f.state.ini_path, before);
  std::string user = "JDOE";
  std::string kim = "kim";
  const auto messages = test::logged_messages([&] {
    EXPECT_EQ(ensure_user_entry(f.state, user), 1);
    EXPECT_EQ(f.ini(), before);
    // New names go after the loaded ones.
    EXPECT_EQ(ensure_user_entry(f.state, kim), 2);
  });
  EXPECT_EQ(f.state.known_users, (std::vector<std::string>{"ann", "jdoe", "kim"}));
  EXPECT_EQ(messages, (std::vector<std::string>{"found sales@corvane.test of user kim in Active Directory"}));
}

TEST(EnsureUserEntry, AnEntryWrittenMeanwhileWinsOverTheDirectory) {
  IdentityFixture f(test_directory());
  write_file(f.state.ini_path, "[user]\nann=a@x\n");
  std::string ann = "ann";
  ensure_user_entry(f.state, ann);
  // Another process adds jdoe after this one loaded its list.
  write_file(f.state.ini_path, "[user]\nann=a@x\njdoe= Other@Example.Test \n");
  std::string jdoe = "jdoe";
  ensure_user_entry(f.state, jdoe);
  EXPECT_EQ(f.ini(), "[user]\nann=a@x\njdoe=other@example.test\n");
}

TEST(EnsureUserEntry, ANameThatWouldBreakTheFileIsNotWritten) {
  IdentityFixture f(down_directory());
  const struct {
    const char* name;
    const char* message;
  } cases[] = {
      {"a=b", "not written to user.ini: name \"a=b\" holds \"=\""},
      {"[admin]", "not written to user.ini: name \"[admin]\" holds \"[\""},
      {"eve\nmallory", "not written to user.ini: name \"eve?mallory\" holds a line break"},
  };
  for (const auto& c : cases) {
    std::string user = c.name;
    const auto messages = test::logged_messages([&] { ensure_user_entry(f.state, user); });
    EXPECT_EQ(user, c.name);
    EXPECT_FALSE(std::filesystem::exists(f.state.ini_path)) << c.name;
    EXPECT_EQ(messages.back(), c.message);
  }
}

TEST(StoreUserEmail, RecordsThePairInBothSectionsOnce) {
  IdentityFixture f(down_directory());
  std::string user = " JDoe ";
  std::string email = " JDoe@Corvane.TEST ";
  store_user_email(f.state, user, email);
  EXPECT_EQ(user, "jdoe");
  EXPECT_EQ(email, "jdoe@corvane.test");
  EXPECT_EQ(f.ini(), "[user]\njdoe=jdoe@corvane.test\n[email]\njdoe@corvane.test=jdoe\n");

  // The same pair again writes nothing, not even over a changed file.
  write_file(f.state.ini_path, "");
  store_user_email(f.state, user, email);
  EXPECT_EQ(f.ini(), "");

  const struct {
    const char* user;
    const char* email;
  } ignored[] = {{"ann", "no-at-sign"}, {"", "a@x"}, {"ann", "  "}};
  for (const auto& c : ignored) {
    std::string u = c.user;
    std::string e = c.email;
    store_user_email(f.state, u, e);
    EXPECT_EQ(f.ini(), "") << c.user << " / " << c.email;
  }
}

TEST(ReadUserEmail, ReturnsTheStoredValueOrEmpty) {
  IdentityFixture f(down_directory());
  write_file(f.state.ini_path, "[user]\njdoe = jdoe@corvane.test\nann=default\n");
  const struct {
    const char* user;
    const char* want;
    const char* user_after;
  } cases[] = {
      {"  JDoe ", "jdoe@corvane.test", "JDoe"},
      {"ann", "default", "ann"},
      {"nobody", "", "nobody"},
      {"   ", "", ""},
  };
  for (const auto& c : cases) {
    std::string user = c.user;
    EXPECT_EQ(read_user_email(f.state, user), c.want) << c.user;
    EXPECT_EQ(user, c.user_after);
  }
}

TEST(UserIdentity, RoundTripThroughUserIni) {
  IdentityFixture f(test_directory());
  write_file(f.state.ini_path, "; signers of this machine\n[user]\nann=ann@corvane.test\n\n[email]\nann@corvane.test=ann\n");
  for (const char* name : {"JDoe", "nora", "Xavier"}) {
    std::string user = name;
    ensure_user_entry(f.state, user);
  }
  std::string nora = "nora";
  EXPECT_EQ(read_user_email(f.state, nora), "default");
  // The certificate's address replaces the marker.
  std::string email = "Nora@Corvane.Test";
  store_user_email(f.state, nora, email);
  EXPECT_EQ(read_user_email(f.state, nora), "nora@corvane.test");
  expect_golden(f.ini(), "user_ini_roundtrip.ini");
}

TEST(UserIdentity, PublishedOperationsUseTheSettingAndTheConfiguredDirectory) {
  test::SlapdServer::instance();  // the server LDAPURI names
  test::ScratchDir dir("identity");
  test::ScopedEnv machine_hive("CORVANE_HKLM", (dir / "machine.reg").string());
  write_file(dir / "machine.reg",
             "Windows Registry Editor Version 5.00\r\n\r\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\pdf]\r\n"
             "\"path\"=\"" + dir.path().string() + "/\"\r\n");
  std::thread([] {  // a thread of its own: fresh identity and settings state
    std::string user = " JDoe ";
    ensure_user_entry(user);
    EXPECT_EQ(user, "jdoe");
    EXPECT_EQ(read_user_email(user), "jdoe@corvane.test");
    std::string kim = "kim";
    std::string email = "Kim@Example.Test";
    store_user_email(kim, email);
  }).join();
  EXPECT_EQ(read_file(dir / "user.ini"),
            "[user]\njdoe=jdoe@corvane.test\nkim=kim@example.test\n[email]\nkim@example.test=kim\n");
}

}  // namespace
}  // namespace corvane::identity
