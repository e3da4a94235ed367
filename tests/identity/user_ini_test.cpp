#include "identity/user_ini.h"

#include <gtest/gtest.h>

#include "tests/identity/identity_test_support.h"

namespace corvane::identity {
namespace {

TEST(UserIniPath, FolderOrFileFromTheSetting) {
  const std::pair<const char*, const char*> cases[] = {
      {"/srv/corvane", "/srv/corvane/user.ini"},
      {"/srv/corvane/", "/srv/corvane/user.ini"},
      {"/srv/corvane/signers.ini", "/srv/corvane/signers.ini"},
      {"/srv/corvane/SIGNERS.INI", "/srv/corvane/SIGNERS.INI/user.ini"},  // exact ".ini" only
      {"", "/opt/corvane/lib/user.ini"},
  };
  for (const auto& [setting, want] : cases)
    EXPECT_EQ(resolve_user_ini_path(setting, "/opt/corvane/lib"), want) << setting;
  // Without a setting: the folder the code is loaded from (here, this program's), except the package's library folder.
  EXPECT_EQ(std::filesystem::canonical(component_folder()), std::filesystem::canonical("/proc/self/exe").parent_path());
  const std::pair<const char*, const char*> folders[] = {
      {"/usr/lib/x86_64-linux-gnu", "/var/lib/corvanepdf"},
      {"/usr/lib", "/var/lib/corvanepdf"},
      {"/usr/bin/../lib", "/var/lib/corvanepdf"},  // the command's run path to the library
      {"/usr/libexec", "/usr/libexec"},
      {"/usr/local/lib/x86_64-linux-gnu", "/usr/local/lib/x86_64-linux-gnu"},
      {"/work/build/component", "/work/build/component"},
  };
  for (const auto& [own, want] : folders) EXPECT_EQ(runtime_files_folder(own), want) << own;
}

TEST(UserIniPath, ResolvedOnceFromTheMachineSetting) {
  test::ScratchDir dir("user-ini");
  const auto hive = test::machine_setting_path(dir, "/srv/signers");
  IdentityState state;
  std::thread([&] {  // the settings keep their state per thread
    EXPECT_EQ(user_ini_path(state), "/srv/signers/user.ini");
    std::filesystem::remove(dir / "machine.reg");
    EXPECT_EQ(user_ini_path(state), "/srv/signers/user.ini");
  }).join();
}

TEST(UserIni, SectionEntriesAndRemovals) {
  test::ScratchDir dir("user-ini");
  const std::string ini = (dir / "user.ini").string();
  test::write_file(ini, "[user]\njdoe=j@x\nann = a@x\n[email]\nj@x=jdoe\n");
  EXPECT_EQ(ini_section_entries(ini, " user "), (std::vector<std::string>{"jdoe=j@x", "ann=a@x", ""}));
  EXPECT_EQ(ini_section_entries(ini, "other"), (std::vector<std::string>{""}));
  ini_write(ini, "user", " jdoe ", "  ");  // an empty value removes the key
  ini_write(ini, "email", "", "ignored");  // an empty key the section
  EXPECT_EQ(test::read_file(ini), "[user]\nann = a@x\n");  // other lines kept as they were
  EXPECT_EQ(ini_read(ini, "user", "jdoe", " d "), "d");
}

}  // namespace
}  // namespace corvane::identity
