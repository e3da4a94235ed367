// Long-term validation data for a signature: the one entry point the
// signing pipeline calls once the signature is in the signed file's bytes
// and before the file is written.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "append/original_document.h"
#include "ltv/fetch_policy.h"
#include "platform/refusal.h"

namespace corvane::ltv {

struct DssUpdate {
  // The incremental update to write after the signed file's last byte.
  std::string bytes;
  // Why no update could be made (ErrorCode::kCertificateRevoked for a
  // revoked certificate, else kValidationData); empty on success.
  platform::Refusal refusal;
};

// For every certificate that `signature` (DER ContentInfo of SignedData;
// bytes after it are ignored) carries and that is not self-signed, fetches
// its revocation data (fetch_revocation_data, as `policy` says) and checks
// it against its issuer, which must be among those certificates too. Then writes the update that gives the catalog of
// `signed_file` a /DSS holding the certificates (/Certs), the OCSP responses
// (/OCSPs) and the CRLs (/CRLs), after those of a /DSS it already has,
// encrypted like the document. A refusal when the signature cannot be
// read, an issuer is missing, any fetch fails, or the data says a
// certificate is revoked: then nothing is to be written. Never throws.
[[nodiscard]] DssUpdate make_dss_update(append::OriginalDocument& signed_file,
                                        std::span<const std::uint8_t> signature, const FetchPolicy& policy);

}  // namespace corvane::ltv
