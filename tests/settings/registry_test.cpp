// The settings store's redirection and fallback, with a machine hive this process may write and with one
// it really may not (a child that drops to an unprivileged user).
#include "settings/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "platform/hives.h"
#include "tests/settings/settings_test_support.h"

namespace corvane::settings {
namespace {

using test::on_fresh_thread;
using test::ScopedEnv;
using test::ScratchDir;

constexpr uid_t kNobody = 65534;
const std::string kMachineHive = test::reg_file(
    test::kMachineKey, "\"path\"=\"/machine/log\"\r\n\"signtext\"=\"M\"\r\n\"reason\"=\"machine reason\"\r\n"
                       "\"debug\"=dword:00000005\r\n\r\n");
const std::string kUserHive = test::reg_file(test::kUserKey, "\"path\"=\"\"\r\n\"signtext\"=\"U\"\r\n\r\n");
const std::string kProbeValue = "HKLM\\SOFTWARE\\Corvane\\ctest";

// Each row: what the store shows over the two hives above, with a writable and a read-only machine hive.
struct Row { const char* name; std::function<std::string()> observe; const char* writable; const char* read_only; };
const std::string m(kMachineBase), u(kUserBase);
const Row kRows[] = {
    {"read HKLM path", [] { return reg_read(m + "path"); }, "/machine/log", "/machine/log"},
    {"read HKLM signtext", [] { return reg_read(m + "signtext"); }, "M", "U"},
    {"read HKCU signtext", [] { return reg_read(u + "signtext"); }, "U", "U"},
    {"read HKCU reason", [] { return reg_read(u + "reason"); }, "", "machine reason"},
    {"read HKLM debug", [] { return reg_read(m + "debug"); }, "5", "5"},
    {"read HKLM missing", [] { return reg_read(m + "missing"); }, "", ""},
    {"write HKLM sign", [] { return std::string(reg_write_number(m + "sign", 1) ? "ok" : "no"); },
     "ok", "ok"},
    {"machine hive sign", [] { return platform::hive_read(m + "sign").value_or(""); }, "1", ""},
    {"user hive sign", [] { return platform::hive_read(u + "sign").value_or(""); }, "", "1"},
    {"machine probe value", [] { return platform::hive_read(kProbeValue).value_or(""); }, "1", ""},
};
std::string observe_all() {
  std::string out;
  for (const auto& row : kRows) out += std::string(row.name) + "=" + row.observe() + "\n";
  return out;
}
std::string expected(bool writable) {
  std::string out;
  for (const auto& row : kRows)
    out += std::string(row.name) + "=" + (writable ? row.writable : row.read_only) + "\n";
  return out;
}

TEST(Registry, MachineKeyWritable) {
  test::ScratchHives hives("registry");
  test::write_file(hives.machine, kMachineHive);
  test::write_file(hives.user, kUserHive);
  EXPECT_EQ(on_fresh_thread(observe_all), expected(true));
}

TEST(Registry, MachineKeyReadOnlyForUnprivilegedUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to drop to user id 65534";
  ScratchDir dir("registry-ro");
  const auto machine = dir / "machine.reg", user_dir = dir / "home", user = user_dir / "user.reg";
  test::write_file(machine, kMachineHive);
  std::filesystem::create_directory(user_dir);
  test::write_file(user, kUserHive);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755) | ::chmod(machine.c_str(), 0644), 0);
  ASSERT_EQ(::chown(user_dir.c_str(), kNobody, kNobody) | ::chown(user.c_str(), kNobody, kNobody), 0);

  ASSERT_TRUE(test::in_child([&] {
    ::setenv("CORVANE_HKLM", machine.c_str(), 1);
    ::setenv("CORVANE_HKCU", user.c_str(), 1);
    if (platform::hive_writable(platform::HiveRoot::kMachine)) return false;
    test::write_file(user_dir / "seen", on_fresh_thread(observe_all));
    return true;
  }, /*as_nobody=*/true)) << "the machine hive was writable as nobody";
  EXPECT_EQ(test::read_file(user_dir / "seen"), expected(false));
  EXPECT_EQ(test::read_file(machine), kMachineHive);
}

TEST(Registry, ProbeRunsOncePerThread) {
  ScratchDir dir("probe");
  test::write_file(dir / "blocker", "");
  ScopedEnv hkcu("CORVANE_HKCU", (dir / "user.reg").string());
  const std::string writable_machine = (dir / "machine.reg").string();
  const std::string sign = m + "sign";

  // The first probe meets a machine hive nobody can write: writes go to the user key after it became writable ...
  EXPECT_TRUE(on_fresh_thread([&] {
    ScopedEnv blocked("CORVANE_HKLM", (dir / "blocker" / "registry.reg").string());
    (void)reg_read(m + "path");
    ::setenv("CORVANE_HKLM", writable_machine.c_str(), 1);
    return reg_write_number(sign, 7);
  }));
  ScopedEnv hklm("CORVANE_HKLM", writable_machine);
  EXPECT_EQ(platform::hive_read(u + "sign"), "7");
  EXPECT_EQ(platform::hive_read(sign), std::nullopt);
  EXPECT_EQ(platform::hive_read(kProbeValue), std::nullopt);
  // ... and a new thread probes again.
  EXPECT_TRUE(on_fresh_thread([&] { return reg_write_number(sign, 8); }));
  EXPECT_EQ(platform::hive_read(sign), "8");
  EXPECT_EQ(platform::hive_read(kProbeValue), "1");
}

}  // namespace
}  // namespace corvane::settings
