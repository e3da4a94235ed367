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

}  // namespace
}  // namespace corvane::identity
