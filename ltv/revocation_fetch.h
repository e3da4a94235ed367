// The revocation data of one certificate: an OCSP response from the
// responder its authority-information-access extension names, else a CRL
// from its CRL distribution point, fetched over HTTP and checked against
// the certificate's issuer.
#pragma once

#include <openssl/x509.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ltv/fetch_policy.h"

namespace corvane::ltv {

struct RevocationData {
  enum class Kind { kOcsp, kCrl };
  Kind kind = Kind::kOcsp;
  // The OCSPResponse or the CRL, DER, as the server sent it.
  std::vector<std::uint8_t> der;
  // One line naming the URL and why nothing usable came; "" on success.
  std::string refusal;
  // The data says the certificate is revoked.
  bool revoked = false;
  // Where the data came from.
  std::string url;
};

// Fetches and checks the data for `cert`, issued by `issuer`, waiting at
// most policy.timeout_seconds for each answer: an OCSP response from the
// responder the certificate names, and when there is none or its answer
// cannot be used, a CRL from the certificate's CRL distribution point. An
// OCSP response must be "successful", carry the request's nonce if it
// carries a nonce at all (a responder may send answers it signed in
// advance, without one), be signed by the issuer or by a responder the
// issuer made for OCSP signing, and hold a good or revoked answer for the
// certificate that is current and made at most policy.ocsp_max_age_days
// ago; a CRL must be the issuer's, signed with its key and not out of date.
// A refusal names every URL asked and why it failed. Never throws; logs the
// URL and the HTTP status of every exchange, and what it says of the
// certificate.
[[nodiscard]] RevocationData fetch_revocation_data(X509* cert, X509* issuer, const FetchPolicy& policy);

// The certificate's subject as "/CN=.../O=...", for the log and refusals.
[[nodiscard]] std::string name_of(X509* cert);

}  // namespace corvane::ltv
