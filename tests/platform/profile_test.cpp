#include "platform/profile.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace corvane::platform {
namespace {

using test::read_file;
using test::ScratchDir;
using test::write_file;

class Profile : public ::testing::Test {
 protected:
  ScratchDir dir_{"profile"};
  const std::string ini_ = (dir_ / "user.ini").string();
};

TEST_F(Profile, ReadsNamesWithoutRegardToCaseAndValuesWithoutBlanks) {
  write_file(ini_, "; signers\n[User]\n  JDoe =  jdoe@corvane.test  \r\nbroken line\n[email]\na@b=a\n");
  const struct { const char* section; const char* key; const char* want; } cases[] = {
      {"user", "jdoe", "jdoe@corvane.test"}, {"USER", "JDOE", "jdoe@corvane.test"},
      {" user ", " jdoe ", "jdoe@corvane.test"}, {"email", "A@B", "a"},
      {"user", "broken line", "fallback"},      {"user", "a@b", "fallback"},
      {"missing", "jdoe", "fallback"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(profile_read_string(ini_, c.section, c.key, "fallback"), c.want) << c.section << "/" << c.key;
  EXPECT_EQ(profile_read_string((dir_ / "absent.ini").string(), "user", "jdoe", "x"), "x");
}

TEST_F(Profile, ReadsASectionAsNulTerminatedEntriesCutAtTheBuffer) {
  write_file(ini_, "[user]\n; comment\nann = a@x\n\nbob=b@x\n[other]\nc=d\n");
  using namespace std::string_literals;
  EXPECT_EQ(profile_read_section(ini_, "USER"), "ann=a@x\0bob=b@x\0"s);
  // 16 characters and the closing NUL need 17: cut to 15 - 2 characters.
  EXPECT_EQ(profile_read_section(ini_, "user", 15), "ann=a@x\0bob=b"s);
  EXPECT_EQ(profile_read_section(ini_, "user", 17), "ann=a@x\0bob=b@x\0"s);
  EXPECT_EQ(profile_read_section(ini_, "none"), "");
  EXPECT_EQ(profile_read_string(ini_, "user", "ann", "", 4), "a@x");
  EXPECT_EQ(profile_read_string(ini_, "user", "ann", "", 3), "a@");
}

TEST_F(Profile, WritesUpdateAddAndRemoveWhileOtherLinesSurvive) {
  write_file(ini_, "; maintained by hand and by the component\n[user]\nAnn = a@x\n; bob left\nbob=b@x\n\n"
                   "[email]\na@x=ann\n");
  EXPECT_TRUE(profile_write_string(ini_, "USER", "ANN", "new@x"));
  EXPECT_TRUE(profile_write_string(ini_, "user", "carl", "c@x"));
  EXPECT_TRUE(profile_write_string(ini_, "user", "BOB", std::nullopt));
  EXPECT_TRUE(profile_write_string(ini_, "email", std::nullopt, std::nullopt));
  EXPECT_TRUE(profile_write_string(ini_, "added", "k", "v"));
  EXPECT_EQ(read_file(ini_), "; maintained by hand and by the component\n[user]\nAnn=new@x\n; bob left\ncarl=c@x\n\n"
                            "[added]\nk=v\n");
}

TEST_F(Profile, FirstWriteCreatesTheFileButNotItsFolder) {
  EXPECT_TRUE(profile_write_string(ini_, "user", "jdoe", "default"));
  EXPECT_EQ(read_file(ini_), "[user]\njdoe=default\n");
  EXPECT_FALSE(profile_write_string((dir_ / "missing" / "user.ini").string(), "user", "jdoe", "x"));
}

TEST_F(Profile, KeepsWindowsLineEndsAndStoresTextInTheCodePage) {
  write_file(ini_, "[user]\r\nm\xFCller=m@x\r\n\x8A=s\r\n");  // "müller", "Š" in Windows-1252
  EXPECT_EQ(profile_read_string(ini_, "user", "MÜLLER", ""), "m@x");
  EXPECT_EQ(profile_read_string(ini_, "user", "š", ""), "s");
  EXPECT_TRUE(profile_write_string(ini_, "user", "zoë", "z@x"));
  EXPECT_EQ(read_file(ini_), "[user]\r\nm\xFCller=m@x\r\n\x8A=s\r\nzo\xEB=z@x\r\n");
  using namespace std::string_literals;
  EXPECT_EQ(profile_read_section(ini_, "user"), "müller=m@x\0Š=s\0zoë=z@x\0"s);
}

TEST_F(Profile, RefusesNamesAndValuesThatWouldBreakTheFile) {
  write_file(ini_, "[user]\nann=a@x\n");
  const struct { std::string key; std::string value; } cases[] = {
      {"a=b", "v"}, {"[x", "v"}, {"x]", "v"}, {";x", "v"}, {"a\nb", "v"}, {std::string("a\0b", 3), "v"},
      {"ok", "line\nbreak"}, {"ok", "cr\rhere"}, {"ok", std::string("nul\0", 4)},
  };
  for (const auto& c : cases) EXPECT_FALSE(profile_write_string(ini_, "user", c.key, c.value)) << c.key;
  EXPECT_FALSE(profile_write_string(ini_, "us]er", "k", "v"));
  EXPECT_EQ(read_file(ini_), "[user]\nann=a@x\n");
  // Values may hold what keys may not.
  EXPECT_TRUE(profile_write_string(ini_, "user", "x400", "c=de;a= ;[p]"));
  EXPECT_EQ(profile_read_string(ini_, "user", "x400", ""), "c=de;a= ;[p]");
}

TEST_F(Profile, ConcurrentWritersInSeveralProcessesKeepEachOthersEntries) {
  constexpr int kWriters = 4, kEntriesEach = 10;
  const auto user = [](int w, int i) { return "w" + std::to_string(w) + "u" + std::to_string(i); };
  EXPECT_TRUE(test::in_children(kWriters, [&](int w) {
    bool ok = true;
    for (int i = 0; i < kEntriesEach; ++i) ok = profile_write_string(ini_, "user", user(w, i), user(w, i) + "@x") && ok;
    return ok;
  }));
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kEntriesEach; ++i)
      EXPECT_EQ(profile_read_string(ini_, "user", user(w, i), ""), user(w, i) + "@x");
}

}  // namespace
}  // namespace corvane::platform
