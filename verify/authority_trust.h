// Whether the certificate store trusts the authority of a timestamp token:
// the certificate that signed the token must chain, signature by
// signature, to a certificate the store trusts as an authority of
// certificates (for any use).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace corvane::verify {

struct AuthorityTrust {
  bool checked = false;  // false without a certificate store
  bool trusted = false;
  std::string problem;   // why not trusted; "" when trusted or not checked
};

// Reads the signer's certificate of `token` (DER ContentInfo of
// SignedData) and its chain through the certificates the token carries
// and the store. Never throws; an unreadable token is not trusted.
[[nodiscard]] AuthorityTrust check_authority_trust(std::span<const std::uint8_t> token);

}  // namespace corvane::verify
