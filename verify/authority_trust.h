// Whether the certificate store trusts the authority of a timestamp token:
// the certificate that signed the token must chain, signature by
// signature, to a certificate the store trusts as an authority of
// certificates (for any use).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvane::verify {

struct AuthorityTrust {
  bool checked = false;  // false without a certificate store
  bool trusted = false;
  std::string problem;   // why not trusted; "" when trusted or not checked
};

// Follows the chain of a token's signer through `certificates` (DER, as
// the token carries them, its signer's first; made known for this process
// only) and the store. Never throws; without a readable signer's
// certificate the authority is not trusted.
[[nodiscard]] AuthorityTrust check_authority_trust(const std::vector<std::vector<std::uint8_t>>& certificates);

}  // namespace corvane::verify
