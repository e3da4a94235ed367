// Reading and checking an RFC 3161 timestamp token (a CMS SignedData over a
// TSTInfo) on its own, as a verifier meets it inside a signature.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "timestamp/tsa_client.h"

namespace corvane::timestamp {

struct TokenCheck {
  bool readable = false;         // a token whose TSTInfo could be read
  std::string time;              // genTime, "2026-12-05 21:50:12 UTC"; "" when unreadable
  std::string authority;         // the TSA name in the token, else its signer's subject
  bool signature_valid = false;  // signed by the key of the certificate it carries, usable for timestamping
  bool imprint_matches = false;  // the token's imprint is the SHA-256 given
  std::string problem;           // the first thing that does not hold; "" when all hold
  // The DER of the certificates the token carries, its signer's first; for
  // a check of the authority's chain elsewhere without decoding the token again.
  std::vector<std::vector<std::uint8_t>> certificates;
};

// Checks `token` (DER) against `imprint`. Whether the authority is trusted
// is not decided here: the certificates the token carries serve as anchors.
// Never throws.
[[nodiscard]] TokenCheck check_token(std::span<const std::uint8_t> token, const Sha256& imprint);

}  // namespace corvane::timestamp
