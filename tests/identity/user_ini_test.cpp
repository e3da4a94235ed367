#include "identity/user_ini.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/identity/identity_test_support.h"

namespace corvane::identity {
namespace {

TEST(UserIniPath, FolderOrFileFromTheSetting) {
  const struct {
    const char* setting;
    const char* want;
  } cases[] = {
      {"/srv/corvane", "/srv/corvane/user.ini"},
      {"/srv/corvane/", "/srv/corvane/user.ini"},
      {"/srv/corvane/signers.ini", "/srv/corvane/signers.ini"},
      {"/srv/corvane/SIGNERS.INI", "/srv/corvane/SIGNERS.INI/user.ini"},  // exact ".ini" only
      {"", "/opt/corvane/lib/user.ini"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(resolve_user_ini_path(c.setting, "/opt/corvane/lib"), c.want) << c.setting;
}

TEST(UserIniPath, OwnFolderIsWhereTheCodeIsLoadedFrom) {
  // Linked statically into this test program.
  EXPECT_EQ(std::filesystem::canonical(component_folder()),
            std::filesystem::canonical("/proc/self/exe").parent_path());
}

TEST(UserIniPath, ResolvedOnceFromTheMachineSetting) {
  test::ScratchDir dir("user-ini");
  test::ScopedEnv machine_hive("CORVANE_HKLM", (dir / "machine.reg").string());
  test::write_file(dir / "machine.reg",
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\pdf]\r\n"
                   "\"path\"=\"/srv/signers\"\r\n");
  IdentityState state;
  std::thread([&] {  // the settings keep their state per thread
    EXPECT_EQ(user_ini_path(state), "/srv/signers/user.ini");
    std::filesystem::remove(dir / "machine.reg");
    EXPECT_EQ(user_ini_path(state), "/srv/signers/user.ini");
  }).join();
}

TEST(IniSectionEntries, EndsWithOneEmptyText) {
  test::ScratchDir dir("user-ini");
  const std::string ini = (dir / "user.ini").string();
  test::write_file(ini, "[user]\njdoe=j@x\nann = a@x\n");
  EXPECT_EQ(ini_section_entries(ini, " user "), (std::vector<std::string>{"jdoe=j@x", "ann=a@x", ""}));
  EXPECT_EQ(ini_section_entries(ini, "email"), (std::vector<std::string>{""}));
}

TEST(IniWrite, EmptyValueRemovesTheKeyAndEmptyKeyTheSection) {
  test::ScratchDir dir("user-ini");
  const std::string ini = (dir / "user.ini").string();
  test::write_file(ini, "[user]\njdoe=j@x\nann=a@x\n[email]\nj@x=jdoe\n");
  ini_write(ini, "user", " jdoe ", "  ");
  ini_write(ini, "email", "", "ignored");
  EXPECT_EQ(test::read_file(ini), "[user]\nann=a@x\n");
  EXPECT_EQ(ini_read(ini, "user", "ann", "d"), "a@x");
  EXPECT_EQ(ini_read(ini, "user", "jdoe", " d "), "d");
}

}  // namespace
}  // namespace corvane::identity
