// `corvanepdf settings`: list, get and set over scratch hives.
#include "cli/settings_command.h"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <sstream>

#include "cli/commands.h"
#include "tests/settings/settings_test_support.h"

namespace corvane::cli {
namespace {

using test::on_fresh_thread;

class SettingsCommand : public ::testing::Test {
 protected:
  test::ScratchHives hives_{"settings-cli"};
  std::ostringstream out_, err_;
};

TEST_F(SettingsCommand, SetGetAndListBothHives) {
  test::write_file(hives_.machine, test::reg_file(test::kMachineKey, "\"path\"=\"/var/log/corvane\"\r\n"
                                                                    "\"UniqueContainerName\"=\"machine-container\"\r\n"
                                                                    "\"blob\"=hex:00,01\r\n\r\n"));
  on_fresh_thread([&] {
    EXPECT_EQ(settings_set("reason", "Approved", false, false, err_), 0);
    CLI::App app("corvanepdf");
    add_settings_command(app);
    EXPECT_NO_THROW(app.parse("settings set debug 0x2 --dword --machine", false));
    EXPECT_THROW(app.parse("settings set reason", false), CLI::ParseError);
    const std::pair<const char*, const char*> gets[] = {
        {"REASON", "Approved\n"},
        {"path", "/var/log/corvane\n"},  // read through the machine key
        {"UniqueContainerName", "machine-container\n"},
        {"blob", ""}};  // not a text: exit code 1
    for (const auto& [name, want] : gets) {
      std::ostringstream out, err;
      EXPECT_EQ(settings_get(name, false, out, err), *want ? 0 : 1) << name;
      EXPECT_EQ(out.str(), want) << name;
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
  test::write_file(hives_.user, broken);
  on_fresh_thread([&] {
    EXPECT_EQ(settings_set("sign", "4294967296", true, false, err_), 1);
    EXPECT_EQ(settings_set("a\\b", "x", false, false, err_), 1);
    EXPECT_EQ(settings_set("reason", "x", false, false, err_), 1);
  });
  EXPECT_EQ(err_.str(), "not a 32-bit number: 4294967296\nnot a value name: \"a\\b\"\n"
                        "cannot write reason to the user settings: " + hives_.user + "\n");
  EXPECT_EQ(test::read_file(hives_.user), broken);
  EXPECT_EQ(settings_list(out_, err_), 1);
}

}  // namespace
}  // namespace corvane::cli
