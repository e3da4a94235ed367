// The ESS signing-certificate-v2 attribute, which binds a CAdES signature to
// the certificate that made it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace corvane::signing {

// Object identifier of the attribute (1.2.840.113549.1.9.16.2.47), DER
// contents octets without tag and length.
inline constexpr std::uint8_t kSigningCertificateV2Oid[] = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d,
                                                            0x01, 0x09, 0x10, 0x02, 0x2f};

// The attribute's value (a SigningCertificateV2 SEQUENCE, DER) for the
// certificate `certificate_der`: one ESSCertIDv2 with its SHA-256 hash (the
// default algorithm, so not written) and its issuer and serial number.
// nullopt when the certificate cannot be read.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> signing_certificate_v2(
    std::span<const std::uint8_t> certificate_der);

}  // namespace corvane::signing
