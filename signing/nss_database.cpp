#include "signing/nss_database.h"

#include <fcntl.h>
#include <nss.h>
#include <pk11pub.h>
#include <prerror.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>

namespace corvane::signing {
namespace {

std::string home_dir() {
  const char* home = std::getenv("HOME");
  return home ? home : "";
}

std::string nss_error_text() {
  const PRErrorCode code = PR_GetError();
  const char* text = PR_ErrorToString(code, PR_LANGUAGE_I_DEFAULT);
  return text && *text ? text : "error " + std::to_string(code);
}

// Clears a secret before its memory is given back.
void wipe(std::string& secret) {
  explicit_bzero(secret.data(), secret.size());
  secret.clear();
}

// The first line of the PIN file; false without one.
bool pin_from_file(std::string& pin) {
  const char* path = std::getenv("CORVANE_PIN_FILE");
  if (!path || !*path) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::getline(in, pin);
  if (!pin.empty() && pin.back() == '\r') pin.pop_back();
  return true;
}

// Asks on the controlling terminal with echo off; false without a terminal.
bool pin_from_terminal(const std::string& token, std::string& pin) {
  const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  const std::string prompt = "Password or PIN for \"" + token + "\": ";
  (void)!::write(fd, prompt.data(), prompt.size());
  termios old{};
  const bool have_termios = ::tcgetattr(fd, &old) == 0;
  if (have_termios) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  char c;
  bool got_line = false;
  while (::read(fd, &c, 1) == 1) {
    if (c == '\n' || c == '\r') {
      got_line = true;
      break;
    }
    pin += c;
  }
  c = 0;
  if (have_termios) ::tcsetattr(fd, TCSAFLUSH, &old);
  (void)!::write(fd, "\n", 1);
  ::close(fd);
  return got_line;
}

// NSS asks for a token's password here. A wrong PIN is not asked again: the
// login fails and so does the operation that needed it.
char* token_password(PK11SlotInfo* slot, PRBool retry, void*) {
  if (retry) return nullptr;
  std::string pin;
  const char* token = slot ? PK11_GetTokenName(slot) : "";
  if (!pin_from_file(pin) && !pin_from_terminal(token ? token : "", pin)) {
    wipe(pin);
    return nullptr;
  }
  char* copy = PORT_Strdup(pin.c_str());
  wipe(pin);
  return copy;
}

struct DatabaseState {
  std::once_flag once;
  bool open = false;
  std::string error;
};

DatabaseState& database_state() {
  static DatabaseState state;
  return state;
}

}  // namespace

std::string database_name() {
  if (const char* name = std::getenv("CORVANE_NSSDB"); name && *name) return name;
  return "sql:" + home_dir() + "/.pki/nssdb";
}

bool database_is_system_wide() {
  std::string dir = database_name();
  if (const auto colon = dir.find(':'); colon != std::string::npos && colon < 6) dir.erase(0, colon + 1);
  const std::string home = home_dir();
  return home.empty() || dir.compare(0, home.size() + 1, home + "/") != 0;
}

bool ensure_database(std::string& error) {
  DatabaseState& state = database_state();
  std::call_once(state.once, [&state] {
    PK11_SetPasswordFunc(token_password);
    if (NSS_IsInitialized()) {
      state.open = true;
      return;
    }
    const std::string name = database_name();
    if (NSS_Initialize(name.c_str(), "", "", SECMOD_DB, NSS_INIT_READONLY) == SECSuccess) {
      state.open = true;
    } else {
      state.error = "The certificate store " + name + " cannot be opened: " + nss_error_text();
    }
  });
  if (!state.open) error = state.error;
  return state.open;
}

}  // namespace corvane::signing
