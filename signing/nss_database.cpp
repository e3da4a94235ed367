#include "signing/nss_database.h"

#include <nss.h>
#include <pk11pub.h>
#include <prerror.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "signing/nss_handles.h"

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

// The folder of a "sql:" or "dbm:" database name.
std::string database_folder(std::string name) {
  if (const auto colon = name.find(':'); colon != std::string::npos && colon < 6) name.erase(0, colon + 1);
  return name;
}

// Whether the folder of database `name` holds a certificate database (the
// SQL one, or the old Berkeley one).
bool database_exists(const std::string& name) {
  std::error_code ignored;
  const std::filesystem::path folder = database_folder(name);
  return std::filesystem::exists(folder / "cert9.db", ignored) || std::filesystem::exists(folder / "cert8.db", ignored);
}

// NSS never logs in by itself: every login goes through token_login, which
// tries a token once per process.
char* no_password(PK11SlotInfo*, PRBool, void*) { return nullptr; }

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
  const std::string dir = database_folder(database_name());
  const std::string home = home_dir();
  return home.empty() || dir.compare(0, home.size() + 1, home + "/") != 0;
}

namespace {

bool open_database(std::string& error, bool writable) {
  DatabaseState& state = database_state();
  std::call_once(state.once, [&state, writable] {
    PK11_SetPasswordFunc(no_password);
    if (NSS_IsInitialized()) {
      state.open = true;
      return;
    }
    const std::string name = database_name();
    if (writable) {
      // A missing store is made, readable by its owner only.
      std::error_code ignored;
      const std::filesystem::path folder = database_folder(name);
      if (!std::filesystem::exists(folder, ignored) && std::filesystem::create_directories(folder, ignored))
        ::chmod(folder.c_str(), 0700);
    }
    if (!writable && !database_exists(name)) {
      state.error = "There is no certificate store at " + database_folder(name) +
                    " yet: make one with `corvanepdf import FILE.p12 --select`";
      return;
    }
    if (NSS_Initialize(name.c_str(), "", "", SECMOD_DB, writable ? 0 : NSS_INIT_READONLY) == SECSuccess) {
      state.open = true;
    } else {
      state.error = "The certificate store " + name + " cannot be opened: " + nss_error_text();
    }
  });
  if (!state.open) error = state.error;
  return state.open;
}

}  // namespace

bool ensure_database(std::string& error) { return open_database(error, /*writable=*/false); }

bool ensure_writable_database(std::string& error) {
  if (!open_database(error, /*writable=*/true)) return false;
  // A new store gets an empty password, as certutil -N --empty-password.
  SlotHandle slot(PK11_GetInternalKeySlot());
  if (slot && PK11_NeedUserInit(slot.get())) {
    // Its empty password also opens it for the writing that follows.
    if (PK11_InitPin(slot.get(), "", "") != SECSuccess || PK11_CheckUserPassword(slot.get(), "") != SECSuccess) {
      error = "The new certificate store " + database_name() + " cannot be set up: " + nss_error_text();
      return false;
    }
  }
  return true;
}

}  // namespace corvane::signing
