#include "identity/user_identity.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
  EXPECT_EQ(ensure_user_entry(f.state, user), 0);
  EXPECT_EQ(user, "jdoe");
  EXPECT_EQ(f.ini(), "[user]\njdoe=default\n");
  // The next name tries the directory again and is appended.
  std::string other = "Ann";
  EXPECT_EQ(ensure_user_entry(f.state, other), 1);
  EXPECT_EQ(f.state.known_users, (std::vector<std::string>{"jdoe", "ann"}));
}

TEST(EnsureUserEntry, KnownNamesAreNeitherSearchedNorRewritten) {
  IdentityFixture f(test_directory());
  const std::string before = "[user]\nAnn = A@X\n  JDoe = Custom@Example.Test\n";
  write_file(f.state.ini_path, before);
  std::string user = "JDOE";
  EXPECT_EQ(ensure_user_entry(f.state, user), 1);
  EXPECT_EQ(f.ini(), before);
  EXPECT_EQ(f.state.cached_user, "");  // no directory search
  // New names go after the loaded ones.
  std::string kim = "kim";
  EXPECT_EQ(ensure_user_entry(f.state, kim), 2);
  EXPECT_EQ(f.state.known_users, (std::vector<std::string>{"ann", "jdoe", "kim"}));
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
  for (const char* name : {"a=b", "[admin]", "eve\nmallory"}) {
    std::string user = name;
    ensure_user_entry(f.state, user);
    EXPECT_EQ(user, name);
    EXPECT_FALSE(std::filesystem::exists(f.state.ini_path)) << name;
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

}  // namespace
}  // namespace corvane::identity
