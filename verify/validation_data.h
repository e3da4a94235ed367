// Long-term validation data in a document (its /DSS dictionary), and whether
// it covers the certificate chain of a signature: an OCSP response or a CRL
// for every certificate that is not self-signed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class QPDF;

namespace corvane::verify {

struct DocumentValidationData {
  bool present = false;  // the catalog has a /DSS dictionary
  std::vector<std::vector<std::uint8_t>> certificates, ocsp_responses, crls;  // DER, as stored
};

// The /DSS of the document `pdf`; an empty record when there is none or it
// cannot be read. Never throws.
[[nodiscard]] DocumentValidationData read_validation_data(QPDF& pdf);

struct ChainCoverage {
  bool covered = false;  // revocation data for every certificate of the chain that is not self-signed
  std::string missing;   // the subject of the first certificate without any; "" when covered
  std::string revoked;   // the subject of the first certificate the data says is revoked; "" when none
};

// Checks `certificates` (DER, those a signature message carries) against
// `data`. An OCSP response counts for a certificate when it
// has an answer for its certificate id; a CRL when its issuer is the
// certificate's issuer and its signature verifies with the issuer's key.
[[nodiscard]] ChainCoverage check_chain_coverage(const std::vector<std::span<const std::uint8_t>>& certificates,
                                                 const DocumentValidationData& data);

}  // namespace corvane::verify
