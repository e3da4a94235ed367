// Which timestamp authority a run asks, and how: read from the settings of
// the pdf key and the environment, for signature timestamps and document
// timestamps alike.
#pragma once

#include <optional>
#include <string>

#include "timestamp/tsa_client.h"

namespace corvane::timestamp {

// Timeout of an authority when `tsatimeout` is not set.
inline constexpr long kDefaultTsaTimeoutSeconds = 10;
// Names the file that holds the authority's password.
inline constexpr const char* kTsaPasswordFileVariable = "CORVANE_TSA_PASSWORD_FILE";

struct AuthorityChoice {
  // The authority to ask; nullopt when no URL is given or set.
  std::optional<TsaSettings> tsa;
  // Why it cannot be asked (an unreadable password file); "" when it can.
  std::string problem;
};

// The URL `url` when not empty (a property or a command-line flag), else the
// setting `tsaurl` (user key, then machine key); `tsauser` and `tsatimeout`
// (whole seconds, 1 or more; else the default) from the settings only, the
// password from the first line of the file named by
// CORVANE_TSA_PASSWORD_FILE. Never throws.
[[nodiscard]] AuthorityChoice read_authority_settings(const std::string& url);

}  // namespace corvane::timestamp
