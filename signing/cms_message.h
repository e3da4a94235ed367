// Detached CMS SignedData messages written directly as DER: SHA-256, one
// signer named by issuer and serial number, its certificates, and the CAdES
// signed attributes when asked. The message is written around a signature
// value it is given, so that its length is known before any key is used.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace corvane::signing {

using Bytes = std::vector<std::uint8_t>;
using Sha256 = std::array<std::uint8_t, 32>;

// What a signer's messages hold besides the content's digest and the
// signature value, all DER.
struct CmsSigner {
  // The certificates to carry (whole encodings), in any order.
  std::vector<Bytes> certificates;
  // The signing certificate's issuer (a Name) and the contents octets of
  // its serial number.
  Bytes issuer;
  Bytes serial;
  // The signature algorithm's AlgorithmIdentifier.
  Bytes signature_algorithm;
  // The signing-certificate-v2 value; with it, the signer info carries the
  // signed attributes content-type, message-digest and signing-certificate-v2.
  std::optional<Bytes> signing_certificate_v2;
};

// The signed attributes (a SET OF, as the key signs them) of a message over
// content whose SHA-256 is `digest`; empty for a signer without them.
[[nodiscard]] Bytes signed_attributes(const CmsSigner& signer, const Sha256& digest);

// The ContentInfo holding the SignedData, with `attributes` (from
// signed_attributes) and the signature value `signature`.
[[nodiscard]] Bytes cms_message(const CmsSigner& signer, std::span<const std::uint8_t> attributes,
                                std::span<const std::uint8_t> signature);

// The longest DER SEQUENCE of two INTEGERs below a group order of
// `order_bytes` bytes (an ECDSA or DSA signature value): each may need a
// leading zero byte.
[[nodiscard]] std::size_t longest_der_signature(std::size_t order_bytes);

}  // namespace corvane::signing
