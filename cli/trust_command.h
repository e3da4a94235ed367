// `corvanepdf trust CA.pem|NICKNAME`, and the trusting that `import
// --trust-ca` shares with it.
#pragma once

#include <ostream>
#include <vector>

#include "signing/ca_trust.h"

namespace corvane::cli {

// Trusts each of `certificates` for signatures in the user's store, printing
// for each "trusted for signatures: SUBJECT" and its SHA-256 fingerprint to
// `out`, or why not to `err` (one that is not a CA is refused). True when
// every one was trusted.
[[nodiscard]] bool trust_for_signatures(const std::vector<signing::DerCertificate>& certificates, std::ostream& out,
                                        std::ostream& err);

}  // namespace corvane::cli
