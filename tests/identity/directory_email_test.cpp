#include "identity/directory_email.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/identity/identity_test_support.h"

namespace corvane::identity {
namespace {

using test::down_directory;
using test::IdentityFixture;
using test::test_directory;

TEST(DirectoryEmail, FindsTheAddressOfTheMatchingAccount) {
  const std::pair<const char*, const char*> cases[] = {
      {"erin", "erin@deep.corvane.test"},  // depth first, in server order
      {"jdoe", "jdoe@corvane.test"},       // the later address holding the name
      {"kim", "sales@corvane.test"},       // else the first entry, without prefix
      {"xavier", "x400:c=de;a= ;p=corvane;o=exchange;s=xavier;"},  // kept whole
      {"henry", "henry@corvane.test"},     // the computer account is no user
      {"nora", ""},                        // no proxy addresses
      {"ivan", ""},                        // below an entry that is no container
      {"nobody", ""},
  };
  const auto directory = test_directory();
  for (const auto& [user, want] : cases) {
    IdentityFixture f(directory);
    EXPECT_EQ(directory_email(f.state, user), want) << user;
    EXPECT_EQ(f.state.found_email, "") << user;
  }
}

TEST(DirectoryEmail, LogsEachSearchAndAnswersRepeatsFromTheCache) {
  IdentityFixture f(test_directory());
  const auto messages = test::logged_messages([&] {
    EXPECT_EQ(directory_email(f.state, "jdoe"), "jdoe@corvane.test");
    EXPECT_EQ(directory_email(f.state, "jdoe"), "jdoe@corvane.test");
    // Nothing found is not cached: the second call searches again.
    EXPECT_EQ(directory_email(f.state, "nora"), "");
    EXPECT_EQ(directory_email(f.state, "nora"), "");
  });
  EXPECT_EQ(messages, (std::vector<std::string>{"found jdoe@corvane.test of user jdoe in Active Directory",
                                                "took jdoe@corvane.test from email cache",
                                                "found  of user nora in Active Directory",
                                                "found  of user nora in Active Directory"}));
}

TEST(DirectoryEmail, NoDirectoryIsLoggedAndLeavesTheCacheAlone) {
  IdentityFixture f(down_directory());
  f.state.cached_user = "jdoe";
  f.state.cached_email = "jdoe@corvane.test";
  const auto messages = test::logged_messages([&] {
    EXPECT_EQ(directory_email(f.state, "kim"), "");
    EXPECT_EQ(directory_email(f.state, "jdoe"), "jdoe@corvane.test");
  });
  EXPECT_EQ(messages, (std::vector<std::string>{"No active directory found - please edit user.ini manual",
                                                "took jdoe@corvane.test from email cache"}));
  EXPECT_EQ(f.state.cached_user, "jdoe");
}

// A directory whose listings are scripted, to make containers fail.
class ScriptedSession final : public platform::DirectorySession {
 public:
  explicit ScriptedSession(std::map<std::string, platform::DirectoryListing> listings)
      : listings_(std::move(listings)) {}
  std::optional<std::string> naming_context() override { return "dc=t"; }
  bool entry_exists(std::string_view) override { return true; }
  platform::DirectoryListing children(std::string_view name) override {
    const auto it = listings_.find(std::string(name));  // unknown containers fail
    return it == listings_.end() ? platform::DirectoryListing{{}, true, {}} : it->second;
  }

 private:
  std::map<std::string, platform::DirectoryListing> listings_;
};

TEST(SearchDirectoryContainer, AContainerThatCannotBeListedEndsTheWalkWithDefault) {
  const platform::DirectoryChild jdoe{"cn=jdoe,dc=t", "user", "jdoe", {"smtp:jdoe@t"}};
  const platform::DirectoryChild broken_ou{"ou=broken,dc=t", "organizationalUnit", "", {}};
  const struct { const char* label; platform::DirectoryListing root; const char* want; } cases[] = {
      {"root fails at once", {{}, true, {}}, "default"},
      {"a sub-container fails before the user", {{broken_ou, jdoe}, false, {}}, "default"},
      {"the user comes before the failure", {{jdoe, broken_ou}, true, {}}, "jdoe@t"},
      {"nothing fails", {{jdoe}, false, {}}, "jdoe@t"},
  };
  for (const auto& c : cases) {
    IdentityFixture f(nullptr);
    ScriptedSession session({{"dc=t", c.root}});
    const auto messages =
        test::logged_messages([&] { search_directory_container(f.state, session, "dc=t", "jdoe"); });
    EXPECT_EQ(f.state.found_email, c.want) << c.label;
    const bool logged = messages == std::vector<std::string>{"user container for user jdoe empty"};
    EXPECT_EQ(logged, std::string(c.want) == "default") << c.label;
  }
}

TEST(DirectoryEmail, AMisbehavingDirectoryEndsTheWalkAsIfNothingWasFound) {
  const struct {
    const char* mode;
    const char* want;
    const char* stopped;  // the log line's reason, "" when no limit is hit
  } cases[] = {
      {"loops", "jdoe@loop.test", ""},  // containers seen before are passed over
      {"deep", "", "deeper than 64 levels"},
      {"pages", "", "more than 100 pages"},
  };
  const std::string script = std::string(CORVANE_SOURCE_DIR) + "/tests/identity/fake_ldap_server.py";
  for (const auto& c : cases) {
    const test::BackgroundProgram server({"python3", script, c.mode});  // prints its port
    IdentityFixture f(test::directory_at("ldap://127.0.0.1:" + server.first_line() + "/", /*max_pages=*/100));
    std::string found;
    const auto messages = test::logged_messages([&] { found = directory_email(f.state, "jdoe"); });
    EXPECT_EQ(found, c.want) << c.mode;
    std::vector<std::string> want_lines;
    if (*c.stopped)
      want_lines.push_back(std::string("directory walk for user jdoe stopped: ") + c.stopped +
                           "; going on as if nothing was found");
    want_lines.push_back(std::string("found ") + c.want + " of user jdoe in Active Directory");
    EXPECT_EQ(messages, want_lines) << c.mode;
  }
}

}  // namespace
}  // namespace corvane::identity
