// The kind of signature a run makes beyond the default PKCS#7 one: CAdES
// signed attributes (PAdES) and a timestamp from an RFC 3161 authority.
// Read once per run from the `edit` properties and the settings.
#pragma once

#include <optional>
#include <string>

#include "timestamp/tsa_client.h"

namespace corvane::component {

class Edit;

struct SignatureOptions {
  // CAdES signed attributes and /SubFilter /ETSI.CAdES.detached.
  bool pades = false;
  // The authority to timestamp the signature with; nullopt for none.
  std::optional<timestamp::TsaSettings> tsa;
  // Validation data (certificates, OCSP responses, CRLs) added in a /DSS
  // after the signature, each server given `fetch_timeout_seconds`.
  bool ltv = false;
  long fetch_timeout_seconds = 10;
  // Why the options cannot be used (an unreadable password file); "" when
  // they can.
  std::string problem;
};

// Timeout of a timestamp authority when `tsatimeout` is not set.
inline constexpr long kDefaultTsaTimeoutSeconds = 10;
// Names the file that holds the timestamp authority's password.
inline constexpr const char* kTsaPasswordFileVariable = "CORVANE_TSA_PASSWORD_FILE";

// `pades`: the property when not empty, else the setting (user key, then
// machine key); on for "1" or any other whole number but 0; `ltv` the
// same way. `tsaurl`: the property when not empty, else the setting. `tsauser` and `tsatimeout`
// (whole seconds, 1 or more; else the default; also the time each server
// of the validation data has) come from the settings only,
// the password from the file named by CORVANE_TSA_PASSWORD_FILE.
[[nodiscard]] SignatureOptions read_signature_options(const Edit& edit);

// True for "1" or any other whole number but 0 (surrounding blanks ignored).
[[nodiscard]] bool is_switched_on(const std::string& value);

}  // namespace corvane::component
