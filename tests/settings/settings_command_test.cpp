// `corvanepdf settings`: list, get and set over scratch hives.
#include "cli/settings_command.h"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "platform/hives.h"
#include "tests/support/test_support.h"

namespace corvane::cli {
namespace {

using test::ScopedEnv;

class SettingsCommand : public ::testing::Test {
 protected:
  // The settings store decides its redirection once per thread.
  template <class Fn>
  static void on_fresh_thread(Fn fn) {
    std::thread(fn).join();
  }

  test::ScratchDir dir_{"settings-cli"};
  std::string user_ = (dir_ / "user.reg").string();
  ScopedEnv hklm_{"CORVANE_HKLM", (dir_ / "machine.reg").string()};
  ScopedEnv hkcu_{"CORVANE_HKCU", user_};
  std::ostringstream out_, err_;
};

TEST_F(SettingsCommand, SetGetAndListBothHives) {
  test::write_file(dir_ / "machine.reg",
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\pdf]\r\n"
                   "\"path\"=\"/var/log/corvane\"\r\n"
                   "\"UniqueContainerName\"=\"machine-container\"\r\n"
                   "\"blob\"=hex:00,01\r\n\r\n");
  on_fresh_thread([&] {
    EXPECT_EQ(settings_set("reason", "Approved", false, false, err_), 0);
    EXPECT_EQ(settings_set("debug", "0x2", /*dword=*/true, /*machine=*/true, err_), 0);
    const struct {
      const char* name;
      const char* want;  // "" : not set, exit code 1
    } gets[] = {{"REASON", "Approved\n"},
                {"path", "/var/log/corvane\n"},  // read through the machine key
                {"UniqueContainerName", "machine-container\n"},  // user key empty
                {"blob", ""}};
    for (const auto& g : gets) {
      std::ostringstream out, err;
      EXPECT_EQ(settings_get(g.name, false, out, err), *g.want ? 0 : 1) << g.name;
      EXPECT_EQ(out.str(), g.want) << g.name;
    }
  });
  EXPECT_EQ(settings_list(out_, err_), 0);
  EXPECT_EQ(out_.str(),
            "machine  path = /var/log/corvane\n"
            "machine  UniqueContainerName = machine-container\n"
            "machine  blob = (binary value)\n"
            "machine  debug = 2 (dword)\n"
            "user     reason = Approved\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(SettingsCommand, RejectsBadInputAndFailedWrites) {
  const std::string broken = "this is no registry file\n";
  test::write_file(user_, broken);
  on_fresh_thread([&] {
    EXPECT_EQ(settings_set("sign", "4294967296", true, false, err_), 1);
    EXPECT_EQ(settings_set("a\\b", "x", false, false, err_), 1);
    EXPECT_EQ(settings_set("reason", "x", false, false, err_), 1);
  });
  EXPECT_EQ(err_.str(), "not a 32-bit number: 4294967296\nnot a value name: \"a\\b\"\n"
                        "cannot write reason to the user settings: " + user_ + "\n");
  EXPECT_EQ(test::read_file(user_), broken);
  EXPECT_EQ(settings_list(out_, err_), 1);
}

TEST_F(SettingsCommand, ArgumentsReachTheStoreWithRedirection) {
  test::write_file(dir_ / "blocker", "");
  ScopedEnv blocked("CORVANE_HKLM", (dir_ / "blocker" / "registry.reg").string());
  on_fresh_thread([] {
    CLI::App app("corvanepdf");
    add_settings_command(app);
    EXPECT_NO_THROW(app.parse("settings set sign 0x10 --dword --machine", false));
    EXPECT_THROW(app.parse("settings set reason", false), CLI::ParseError);
    try {
      app.parse("settings get nothing-here", false);
      ADD_FAILURE() << "a missing value must fail";
    } catch (const CLI::RuntimeError& e) {
      EXPECT_EQ(e.get_exit_code(), 1);
    }
  });
  EXPECT_EQ(platform::hive_read("HKCU\\SOFTWARE\\Corvane\\pdf\\sign"), "16");
}

}  // namespace
}  // namespace corvane::cli
