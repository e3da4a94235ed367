// What the identity tests share: a fresh identity state whose user.ini lives
// in a scratch folder, and directories that answer or not.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "identity/identity_state.h"
#include "platform/ldap_directory.h"
#include "settings/log.h"
#include "tests/identity/slapd_server.h"
#include "tests/support/test_support.h"

namespace corvane::test {

// The test server.
inline std::shared_ptr<platform::Directory> test_directory() {
  platform::LdapSettings settings;
  settings.uri = SlapdServer::instance().uri();
  return std::make_shared<platform::LdapDirectory>(settings);
}

// A server that is down: nothing listens on its port.
inline std::shared_ptr<platform::Directory> down_directory() {
  platform::LdapSettings settings;
  settings.uri = "ldap://127.0.0.1:" + std::to_string(free_loopback_port()) + "/";
  return std::make_shared<platform::LdapDirectory>(settings);
}

struct IdentityFixture {
  explicit IdentityFixture(std::shared_ptr<platform::Directory> directory) : dir("identity") {
    state.ini_path = (dir / "user.ini").string();
    state.directory = std::move(directory);
  }
  std::string ini() const { return read_file(state.ini_path); }
  void set_ini(const std::string& text) const { write_file(state.ini_path, text); }

  ScratchDir dir;
  identity::IdentityState state;
};

// A machine hive in `dir` whose setting `path` is `path` (and the diagnostic
// log on, if asked), named by CORVANE_HKLM for the life of the result.
inline ScopedEnv machine_setting_path(const ScratchDir& dir, const std::string& path, bool debug = false) {
  write_file(dir / "machine.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\pdf]\r\n" +
                                      std::string(debug ? "\"debug\"=dword:00000001\r\n" : "") +
                                      "\"path\"=\"" + path + "\"\r\n");
  return ScopedEnv("CORVANE_HKLM", (dir / "machine.reg").string());
}

// Runs `fn` on a fresh thread (the log and the settings keep their state per
// thread) with the diagnostic log on; the logged messages without time stamps.
inline std::vector<std::string> logged_messages(const std::function<void()>& fn) {
  ScratchDir logs("identity-log");
  const auto hive = machine_setting_path(logs, logs.path().string(), /*debug=*/true);
  std::thread([&] {
    settings::log_line("");  // the first call only switches the log on
    fn();
  }).join();
  std::vector<std::string> messages;
  const std::string text = read_file(logs / "pdf.log");
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    const auto colon = line.find(": ");
    messages.push_back(colon == std::string::npos ? line : line.substr(colon + 2));
  }
  return messages;
}

}  // namespace corvane::test
