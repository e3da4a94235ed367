// The kind of signature a run makes beyond the default PKCS#7 one: CAdES
// signed attributes (PAdES) and a timestamp from an RFC 3161 authority.
// Read once per run from the `edit` properties and the settings.
#pragma once

#include <optional>
#include <string>

#include "ltv/fetch_policy.h"
#include "timestamp/tsa_client.h"

namespace corvane::component {

class Edit;

struct SignatureOptions {
  // CAdES signed attributes and /SubFilter /ETSI.CAdES.detached.
  bool pades = false;
  // The authority to timestamp the signature with; nullopt for none.
  std::optional<timestamp::TsaSettings> tsa;
  // Validation data (certificates, OCSP responses, CRLs) added in a /DSS
  // after the signature, fetched as `fetch` says.
  bool ltv = false;
  ltv::FetchPolicy fetch;
  // The certification's /DocMDP /P (1 to 3); 0 for an approval signature.
  int certify_level = 0;
  // Why the options cannot be used (an unreadable password file); "" when
  // they can.
  std::string problem;
};

// `pades`: the property when not empty, else the setting (user key, then
// machine key); on for "1" or any other whole number but 0; `ltv` the
// same way, with `tsatimeout` for each of its servers and `ltvmaxage`. The authority: the
// property `tsaurl` when not empty, else the settings, as
// timestamp::read_authority_settings reads them. `certifylevel` from the
// property when not empty, else the setting; a value other than 0 to 3 is
// a problem.
[[nodiscard]] SignatureOptions read_signature_options(const Edit& edit);

// True for "1" or any other whole number but 0 (surrounding blanks ignored).
[[nodiscard]] bool is_switched_on(const std::string& value);

}  // namespace corvane::component
