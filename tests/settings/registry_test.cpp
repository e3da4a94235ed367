// The settings store's redirection and fallback, with a machine hive this
// process may write and with one it really may not (a child that drops to an
// unprivileged user).
#include "settings/registry.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/hives.h"
#include "tests/support/test_support.h"

namespace corvane::settings {
namespace {

using test::ScopedEnv;
using test::ScratchDir;

constexpr uid_t kNobody = 65534;

// The store keeps its probe result per thread: a new thread starts afresh.
template <class Fn>
auto on_fresh_thread(Fn fn) {
  decltype(fn()) result;
  std::thread([&] { result = fn(); }).join();
  return result;
}

constexpr std::string_view kMachineHive =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\pdf]\r\n"
    "\"path\"=\"/machine/log\"\r\n"
    "\"signtext\"=\"M\"\r\n"
    "\"reason\"=\"machine reason\"\r\n"
    "\"debug\"=dword:00000005\r\n\r\n";
constexpr std::string_view kUserHive =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\pdf]\r\n"
    "\"path\"=\"\"\r\n"
    "\"signtext\"=\"U\"\r\n\r\n";

// What the store shows over the two hives above, one line per observation.
std::string observe() {
  const std::string m(kMachineBase), u(kUserBase);
  std::string out;
  auto note = [&out](std::string_view name, std::string_view value) {
    out.append(name).append("=").append(value).append("\n");
  };
  note("read HKLM path", reg_read(m + "path"));
  note("read HKLM signtext", reg_read(m + "signtext"));
  note("read HKCU signtext", reg_read(u + "signtext"));
  note("read HKCU reason", reg_read(u + "reason"));
  note("read HKLM debug", reg_read(m + "debug"));
  note("read HKLM missing", reg_read(m + "missing"));
  note("write HKLM sign", reg_write_number(m + "sign", 1) ? "ok" : "failed");
  note("machine hive sign", platform::hive_read(m + "sign").value_or(""));
  note("user hive sign", platform::hive_read(u + "sign").value_or(""));
  note("machine hive ctest", platform::hive_read("HKLM\\SOFTWARE\\Corvane\\ctest").value_or(""));
  return out;
}

std::string expected(bool machine_writable) {
  const struct {
    const char* name;
    const char* writable;
    const char* read_only;
  } rows[] = {
      {"read HKLM path", "/machine/log", "/machine/log"},  // empty user value falls back
      {"read HKLM signtext", "M", "U"},
      {"read HKCU signtext", "U", "U"},
      {"read HKCU reason", "", "machine reason"},
      {"read HKLM debug", "5", "5"},
      {"read HKLM missing", "", ""},
      {"write HKLM sign", "ok", "ok"},
      {"machine hive sign", "1", ""},
      {"user hive sign", "", "1"},
      {"machine hive ctest", "1", ""},
  };
  std::string out;
  for (const auto& row : rows)
    out.append(row.name).append("=").append(machine_writable ? row.writable : row.read_only).append("\n");
  return out;
}

TEST(Registry, MachineKeyWritable) {
  ScratchDir dir("registry");
  ScopedEnv hklm("CORVANE_HKLM", (dir / "machine.reg").string());
  ScopedEnv hkcu("CORVANE_HKCU", (dir / "user.reg").string());
  test::write_file(dir / "machine.reg", std::string(kMachineHive));
  test::write_file(dir / "user.reg", std::string(kUserHive));
  EXPECT_EQ(on_fresh_thread(observe), expected(/*machine_writable=*/true));
}

TEST(Registry, MachineKeyReadOnlyForUnprivilegedUser) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root: drops to user id 65534 to meet a machine hive it may not write";
  ScratchDir dir("registry-ro");
  const auto machine = dir / "machine.reg";
  const auto user_dir = dir / "home";
  test::write_file(machine, std::string(kMachineHive));
  std::filesystem::create_directory(user_dir);
  test::write_file(user_dir / "user.reg", std::string(kUserHive));
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(machine.c_str(), 0644), 0);
  ASSERT_EQ(::chown(user_dir.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chown((user_dir / "user.reg").c_str(), kNobody, kNobody), 0);

  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipe_fds[0]);
    ::setenv("CORVANE_HKLM", machine.c_str(), 1);
    ::setenv("CORVANE_HKCU", (user_dir / "user.reg").c_str(), 1);
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0)
      ::_exit(2);
    if (platform::hive_writable(platform::HiveRoot::kMachine)) ::_exit(3);
    const std::string seen = on_fresh_thread(observe);
    const bool sent = ::write(pipe_fds[1], seen.data(), seen.size()) == static_cast<ssize_t>(seen.size());
    ::_exit(sent ? 0 : 4);
  }
  ::close(pipe_fds[1]);
  std::string seen;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) seen.append(buffer, n);
  ::close(pipe_fds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << "2: cannot drop privileges, 3: machine hive writable";
  EXPECT_EQ(seen, expected(/*machine_writable=*/false));
  EXPECT_EQ(test::read_file(machine), kMachineHive) << "the machine hive is untouched";
}

TEST(Registry, ProbeRunsOncePerThread) {
  ScratchDir dir("probe");
  test::write_file(dir / "blocker", "");
  ScopedEnv hkcu("CORVANE_HKCU", (dir / "user.reg").string());
  const std::string writable_machine = (dir / "machine.reg").string();
  const std::string sign = std::string(kMachineBase) + "sign";

  const bool written = on_fresh_thread([&] {
    // The first probe meets a machine hive nobody can write ...
    ScopedEnv blocked("CORVANE_HKLM", (dir / "blocker" / "registry.reg").string());
    (void)reg_read(std::string(kMachineBase) + "path");
    // ... so writes keep going to the user key after it became writable.
    ::setenv("CORVANE_HKLM", writable_machine.c_str(), 1);
    return reg_write_number(sign, 7);
  });
  ScopedEnv hklm("CORVANE_HKLM", writable_machine);
  EXPECT_TRUE(written);
  EXPECT_EQ(platform::hive_read(std::string(kUserBase) + "sign"), "7");
  EXPECT_EQ(platform::hive_read(sign), std::nullopt);
  EXPECT_EQ(platform::hive_read("HKLM\\SOFTWARE\\Corvane\\ctest"), std::nullopt);

  // A new thread probes again and now finds the machine key writable.
  EXPECT_TRUE(on_fresh_thread([&] { return reg_write_number(sign, 8); }));
  EXPECT_EQ(platform::hive_read(sign), "8");
  EXPECT_EQ(platform::hive_read("HKLM\\SOFTWARE\\Corvane\\ctest"), "1");
}

TEST(Registry, CreateKeyAnswersFalseOnSuccess) {
  ScratchDir dir("create-key");
  test::write_file(dir / "blocker", "");
  ScopedEnv hkcu("CORVANE_HKCU", (dir / "user.reg").string());
  ScopedEnv hklm("CORVANE_HKLM", (dir / "blocker" / "registry.reg").string());
  EXPECT_FALSE(reg_create_key(kHkeyCurrentUser, "Software\\Corvane\\pdf"));
  EXPECT_FALSE(reg_create_key(kHkeyCurrentUser, "Software\\Corvane"));  // already there
  EXPECT_TRUE(reg_create_key(kHkeyLocalMachine, "Software\\Corvane"));  // hive not writable
  EXPECT_TRUE(reg_create_key(0x80000003, "Software\\Corvane"));        // a root we do not keep
  EXPECT_TRUE(platform::hive_list_values(platform::HiveRoot::kUser, "SOFTWARE\\CORVANE\\PDF"));
}

}  // namespace
}  // namespace corvane::settings
