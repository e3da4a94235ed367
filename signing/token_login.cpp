#include "signing/token_login.h"

#include <fcntl.h>
#include <pk11pub.h>
#include <secoid.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

#include "platform/secret_file.h"
#include "settings/log.h"

namespace corvane::signing {
namespace {

struct SlotListDeleter {
  void operator()(PK11SlotList* p) const { PK11_FreeSlotList(p); }
};
using SlotListHandle = std::unique_ptr<PK11SlotList, SlotListDeleter>;

using TokenKey = std::pair<SECMODModuleID, CK_SLOT_ID>;
using PinDigest = std::array<unsigned char, 32>;

struct Logins {
  std::mutex mutex;
  // Drawn once per process, so that the digests below tell nothing about a
  // PIN outside it.
  std::array<unsigned char, 16> salt{};
  bool salted = false;
  // The salted SHA-256 of each PIN a token refused.
  std::map<TokenKey, std::set<PinDigest>> refused_pins;
};

Logins& logins() {
  static Logins state;
  return state;
}

// Clears a secret before its memory is given back.
void wipe(std::string& secret) {
  explicit_bzero(secret.data(), secret.size());
  secret.clear();
}

// SHA-256 of the process's salt followed by `pin`; nullopt when NSS cannot
// draw the salt or hash (the PIN is then sent as if new).
std::optional<PinDigest> pin_digest(Logins& state, const std::string& pin) {
  if (!state.salted)
    state.salted = PK11_GenerateRandom(state.salt.data(), static_cast<int>(state.salt.size())) == SECSuccess;
  if (!state.salted) return std::nullopt;
  // Reserved at once, so that no copy of the PIN is left in a buffer given up.
  std::string salted;
  salted.reserve(state.salt.size() + pin.size());
  salted.append(reinterpret_cast<const char*>(state.salt.data()), state.salt.size());
  salted += pin;
  PinDigest digest{};
  const SECStatus status = PK11_HashBuf(SEC_OID_SHA256, digest.data(),
                                        reinterpret_cast<const unsigned char*>(salted.data()),
                                        static_cast<PRInt32>(salted.size()));
  wipe(salted);
  if (status != SECSuccess) return std::nullopt;
  return digest;
}

// The first line of the PIN file; false without one (the log says why a
// file that is named cannot be read).
bool pin_from_file(std::string& pin) {
  const char* path = std::getenv("CORVANE_PIN_FILE");
  if (!path || !*path) return false;
  platform::FileRead read = platform::read_secret_file(path);
  if (!read.bytes) {
    settings::log_line("the PIN file named by CORVANE_PIN_FILE cannot be read: " + read.problem);
    return false;
  }
  pin = std::move(*read.bytes);
  return true;
}

// Asks on the controlling terminal with echo off; false without a terminal.
// The prompt starts by clearing the line, so that it stands on a line of its
// own above a progress line that is redrawn after it.
bool pin_from_terminal(const std::string& prompt, std::string& pin) {
  const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  // Echo goes off (dropping keys typed before the question) before the
  // prompt is shown, so that an answer typed right after the prompt is kept.
  termios old{};
  const bool have_termios = ::tcgetattr(fd, &old) == 0;
  if (have_termios) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  const std::string text = "\r\033[K" + prompt;
  (void)!::write(fd, text.data(), text.size());
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
  if (have_termios) ::tcsetattr(fd, TCSANOW, &old);
  (void)!::write(fd, "\n", 1);
  ::close(fd);
  return got_line;
}

// The token's own warnings about earlier wrong PINs, or "".
std::string pin_warning(PK11SlotInfo* slot, const std::string& token) {
  CK_TOKEN_INFO info{};
  if (PK11_GetTokenInfo(slot, &info) != SECSuccess) return {};
  if (info.flags & CKF_USER_PIN_FINAL_TRY) return "token " + token + ": one try left before the PIN locks";
  if (info.flags & CKF_USER_PIN_COUNT_LOW) return "token " + token + ": a wrong PIN was entered before";
  return {};
}

bool pin_locked(PK11SlotInfo* slot) {
  CK_TOKEN_INFO info{};
  return PK11_GetTokenInfo(slot, &info) == SECSuccess && (info.flags & CKF_USER_PIN_LOCKED);
}

bool needs_login(PK11SlotInfo* slot) {
  return PK11_IsPresent(slot) && PK11_NeedLogin(slot) && !PK11_NeedUserInit(slot) &&
         !PK11_IsLoggedIn(slot, nullptr);
}

// One login attempt at most, none with a PIN in `refused`, to which a PIN
// the token refuses is added; "" when logged in, else why not.
std::string log_in(PK11SlotInfo* slot, Logins& state, std::set<PinDigest>& refused) {
  const std::string token = PK11_GetTokenName(slot);
  if (pin_locked(slot)) return "the PIN of token " + token + " is locked";
  const std::string warning = pin_warning(slot, token);
  if (!warning.empty()) settings::log_warning(warning);
  std::string pin;
  const std::string prompt =
      (warning.empty() ? "" : warning + "\n") + "PIN for token \"" + token + "\": ";
  if (!pin_from_file(pin) && !pin_from_terminal(prompt, pin)) {
    wipe(pin);
    return "no PIN: set CORVANE_PIN_FILE or run on a terminal";
  }
  const std::optional<PinDigest> digest = pin_digest(state, pin);
  if (digest && refused.count(*digest)) {
    wipe(pin);
    settings::log_line("the PIN for token " + token + " is not sent: the token refused it before");
    return "wrong PIN for token " + token;
  }
  const SECStatus status = PK11_CheckUserPassword(slot, pin.c_str());
  wipe(pin);
  if (status == SECSuccess) return {};
  if (digest) refused.insert(*digest);
  return pin_locked(slot) ? "the PIN of token " + token + " is locked" : "wrong PIN for token " + token;
}

}  // namespace

std::string log_in_to_tokens() {
  SlotListHandle slots(PK11_GetAllTokens(CKM_INVALID_MECHANISM, PR_FALSE, PR_FALSE, nullptr));
  if (!slots) return {};
  Logins& state = logins();
  const std::lock_guard lock(state.mutex);
  std::string first_problem;
  for (PK11SlotListElement* e = PK11_GetFirstSafe(slots.get()); e; e = PK11_GetNextSafe(slots.get(), e, PR_FALSE)) {
    PK11SlotInfo* slot = e->slot;
    if (!needs_login(slot)) continue;
    const TokenKey key{PK11_GetModuleID(slot), PK11_GetSlotID(slot)};
    const std::string problem = log_in(slot, state, state.refused_pins[key]);
    if (!problem.empty()) settings::log_line(problem);
    if (first_problem.empty()) first_problem = problem;
  }
  return first_problem;
}

bool ask_secret_on_terminal(const std::string& prompt, std::string& secret) {
  return pin_from_terminal(prompt, secret);
}

}  // namespace corvane::signing
