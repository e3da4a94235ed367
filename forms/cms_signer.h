// Who signed a CMS (PKCS#7) signature and when it says it did, read from
// the message without checking it: enough to show a form's signed fields.
// The verifier (verify/) is what judges a signature.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace corvane::forms {

struct CmsSigner {
  std::string common_name;   // of the first signer's certificate; "" when the message does not carry it
  std::string signing_time;  // its signed signing-time attribute, "2026-12-04T13:05:07+00:00"; "" when absent
};

// Decodes `der` (a DER ContentInfo holding SignedData); the neutral result
// (both empty) when it is not one or names no signer. Never throws.
[[nodiscard]] CmsSigner read_cms_signer(std::span<const std::uint8_t> der);

}  // namespace corvane::forms
