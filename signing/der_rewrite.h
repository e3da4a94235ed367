// DER for CMS SignedData messages. NSS's encoder writes BER (indefinite
// lengths); a signature in a PDF must be DER, byte for byte what a DER
// re-encoding of the same message gives.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace corvane::signing {

using Bytes = std::vector<std::uint8_t>;
// Maps a signer's signature value to the value to write in its place.
using SignatureFix = std::function<Bytes(std::span<const std::uint8_t>)>;

// Rewrites a ContentInfo that holds a SignedData into DER: minimal definite
// lengths, constructed strings joined into one, and the members of every SET
// OF sorted by their encodings (digest algorithms, certificates, CRLs,
// signer infos, attributes). Certificates and CRLs are copied unchanged when
// they use definite lengths (their bytes are what their issuers signed).
// `fix`, when given, rewrites each signer's signature value. Returns nullopt
// when the input is not such a message or is malformed.
[[nodiscard]] std::optional<Bytes> signed_data_to_der(std::span<const std::uint8_t> ber,
                                                      const SignatureFix& fix = {});

// True when `value` is exactly a DER SEQUENCE of two INTEGERs (the DER form
// of a DSA or ECDSA signature).
[[nodiscard]] bool is_der_dsa_signature(std::span<const std::uint8_t> value);

}  // namespace corvane::signing
