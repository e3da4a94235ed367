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
using test::ScratchDir;

// The settings store decides its redirection once per thread.
template <class Fn>
void on_fresh_thread(Fn fn) {
  std::thread(fn).join();
}

class SettingsCommand : public ::testing::Test {
 protected:
  ScratchDir dir_{"settings-cli"};
  std::string machine_ = (dir_ / "machine.reg").string();
  std::string user_ = (dir_ / "user.reg").string();
  ScopedEnv hklm_{"CORVANE_HKLM", machine_};
  ScopedEnv hkcu_{"CORVANE_HKCU", user_};
  std::ostringstream out_, err_;
};

TEST_F(SettingsCommand, SetGetAndListBothHives) {
  test::write_file(machine_,
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\pdf]\r\n"
                   "@=\"default\"\r\n"
                   "\"path\"=\"/var/log/corvane\"\r\n"
                   "\"UniqueContainerName\"=\"machine-container\"\r\n"
                   "\"blob\"=hex:00,01\r\n\r\n");
  on_fresh_thread([&] {
    EXPECT_EQ(settings_set("reason", "Approved", false, false, err_), 0);
    EXPECT_EQ(settings_set("signtext", "1", true, false, err_), 0);
    EXPECT_EQ(settings_set("debug", "0x2", true, true, err_), 0);
    EXPECT_EQ(err_.str(), "");

    const struct {
      const char* name;
      bool machine;
      int want_code;
      const char* want_out;
    } gets[] = {
        {"REASON", false, 0, "Approved\n"},
        {"path", false, 0, "/var/log/corvane\n"},  // read through the machine key
        {"debug", false, 0, "2\n"},
        {"UniqueContainerName", false, 0, "machine-container\n"},  // user key empty
        {"reason", true, 1, ""},
        {"blob", true, 1, ""},
    };
    for (const auto& g : gets) {
      std::ostringstream out, err;
      EXPECT_EQ(settings_get(g.name, g.machine, out, err), g.want_code) << g.name;
      EXPECT_EQ(out.str(), g.want_out) << g.name;
      EXPECT_EQ(err.str().empty(), g.want_code == 0) << g.name;
    }
  });
  EXPECT_EQ(settings_list(out_, err_), 0);
  EXPECT_EQ(out_.str(),
            "machine  (default) = default\n"
            "machine  path = /var/log/corvane\n"
            "machine  UniqueContainerName = machine-container\n"
            "machine  blob = (binary value)\n"
            "machine  debug = 2 (dword)\n"
            "user     reason = Approved\n"
            "user     signtext = 1 (dword)\n");
}

TEST_F(SettingsCommand, RejectsBadInputAndFailedWrites) {
  const std::string broken = "this is no registry file\n";
  test::write_file(user_, broken);
  const struct {
    const char* name;
    const char* value;
    bool dword;
    const char* want_err;
  } cases[] = {
      {"sign", "4294967296", true, "not a 32-bit number: 4294967296\n"},
      {"sign", "12abc", true, "not a 32-bit number: 12abc\n"},
      {"a\\b", "x", false, "not a value name: \"a\\b\"\n"},
      {"reason", "x", false, "cannot write reason to the user settings: "},
  };
  on_fresh_thread([&] {
    for (const auto& c : cases) {
      std::ostringstream err;
      EXPECT_EQ(settings_set(c.name, c.value, c.dword, false, err), 1) << c.name;
      EXPECT_TRUE(err.str().starts_with(c.want_err)) << err.str();
    }
  });
  EXPECT_EQ(test::read_file(user_), broken);
  EXPECT_EQ(settings_list(out_, err_), 1);
  EXPECT_EQ(err_.str(), "cannot read the user settings: " + user_ + "\n");
}

TEST_F(SettingsCommand, MachineWriteRedirectedWhenReadOnly) {
  test::write_file(dir_ / "blocker", "");
  ScopedEnv blocked("CORVANE_HKLM", (dir_ / "blocker" / "registry.reg").string());
  on_fresh_thread([&] { EXPECT_EQ(settings_set("sign", "1", true, true, err_), 0); });
  EXPECT_NE(err_.str().find("read-only"), std::string::npos) << err_.str();
  EXPECT_EQ(platform::hive_read("HKCU\\SOFTWARE\\Corvane\\pdf\\sign"), "1");
}

TEST_F(SettingsCommand, ParsesItsArguments) {
  on_fresh_thread([&] {
    CLI::App app("corvanepdf");
    add_settings_command(app);
    EXPECT_NO_THROW(app.parse("settings set sign 0x10 --dword --machine", false));
    EXPECT_EQ(platform::hive_read("HKLM\\SOFTWARE\\Corvane\\pdf\\sign"), "16");

    CLI::App missing("corvanepdf");
    add_settings_command(missing);
    EXPECT_THROW(missing.parse("settings set reason", false), CLI::ParseError);

    CLI::App unset("corvanepdf");
    add_settings_command(unset);
    try {
      unset.parse("settings get nothing-here", false);
      ADD_FAILURE() << "a missing value must fail";
    } catch (const CLI::RuntimeError& e) {
      EXPECT_EQ(e.get_exit_code(), 1);
    }
  });
}

}  // namespace
}  // namespace corvane::cli
