#include "identity/directory_email.h"

#include <gtest/gtest.h>

#include <functional>

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

// Its log line: the user identity tests.
TEST(DirectoryEmail, NoDirectoryLeavesTheCacheAlone) {
  IdentityFixture f(down_directory());
  f.state.cached_user = "jdoe";
  f.state.cached_email = "jdoe@corvane.test";
  EXPECT_EQ(directory_email(f.state, "kim"), "");
  EXPECT_EQ(directory_email(f.state, "jdoe"), "jdoe@corvane.test");
}

using platform::DirectoryListing;
using ListingFn = std::function<DirectoryListing(std::string_view)>;

// A directory whose listings a function gives, to make containers fail, loop or nest without end.
class ScriptedSession final : public platform::DirectorySession {
 public:
  explicit ScriptedSession(ListingFn children) : children_(std::move(children)) {}
  std::optional<std::string> naming_context() override { return "dc=t"; }
  bool entry_exists(std::string_view) override { return true; }
  DirectoryListing children(std::string_view name) override { return children_(name); }

 private:
  ListingFn children_;
};

platform::DirectoryChild unit(std::string_view name) { return {std::string(name), "organizationalUnit", "", {}}; }

// A container that cannot be listed ends the walk with "default"; one met again is passed over; a walk
// deeper than its limit ends as if nothing was found.
TEST(SearchDirectoryContainer, FailuresLoopsAndDepthEndTheWalk) {
  const platform::DirectoryChild jdoe{"cn=jdoe,dc=t", "user", "jdoe", {"SMTP:jdoe@t"}};
  const auto root_only = [](DirectoryListing root) {
    return [root](std::string_view name) { return name == "dc=t" ? root : DirectoryListing{{}, true, {}}; };
  };
  const struct { const char* label; ListingFn children; const char *want, *logged; } cases[] = {
      {"a sub-container fails before the user", root_only({{unit("ou=broken,dc=t"), jdoe}, false, {}}), "default",
       "user container for user jdoe empty"},
      {"the user comes before the failure", root_only({{jdoe, unit("ou=broken,dc=t")}, true, {}}), "jdoe@t", ""},
      {"containers list themselves and their parent", [&](std::string_view name) {
         return name == "dc=t" ? DirectoryListing{{unit("dc=t"), unit("ou=a,dc=t"), jdoe}, false, {}}
                               : DirectoryListing{{unit(name), unit("dc=t")}, false, {}};
       },
       "jdoe@t", ""},
      {"containers nest without end",
       [](std::string_view name) { return DirectoryListing{{unit("ou=d," + std::string(name))}, false, {}}; }, "",
       "directory walk for user jdoe stopped: deeper than 64 levels; going on as if nothing was found"},
  };
  for (const auto& c : cases) {
    IdentityFixture f(nullptr);
    ScriptedSession session(c.children);
    const auto messages = test::logged_messages([&] { search_directory_container(f.state, session, "dc=t", "jdoe"); });
    EXPECT_EQ(f.state.found_email, c.want) << c.label;
    EXPECT_EQ(messages, *c.logged ? std::vector<std::string>{c.logged} : std::vector<std::string>{}) << c.label;
  }
}

// The session's page limit (here one page) ends the walk on the real server as if nothing was found.
TEST(DirectoryEmail, APageLimitEndsTheWalkAsIfNothingWasFound) {
  IdentityFixture f(test::directory_at(test::SlapdServer::instance().uri(), /*max_pages=*/1));
  std::string found = "before";
  const auto messages = test::logged_messages([&] { found = directory_email(f.state, "jdoe"); });
  EXPECT_EQ(found, "");
  EXPECT_EQ(messages, (std::vector<std::string>{"directory walk for user jdoe stopped: more than 1 pages; going on "
                                                "as if nothing was found",
                                                "found  of user jdoe in Active Directory"}));
}

}  // namespace
}  // namespace corvane::identity
