// The revocation data of one certificate: an OCSP response from the
// responder its authority-information-access extension names, else a CRL
// from its CRL distribution point, fetched over HTTP and checked against
// the certificate's issuer.
#pragma once

#include <openssl/x509.h>

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::ltv {

struct RevocationData {
  enum class Kind { kOcsp, kCrl };
  Kind kind = Kind::kOcsp;
  // The OCSPResponse or the CRL, DER, as the server sent it.
  std::vector<std::uint8_t> der;
  // One line naming the URL and why nothing usable came; "" on success.
  std::string refusal;
};

// Fetches and checks the data for `cert`, issued by `issuer`, waiting at
// most `timeout_seconds` for each answer. An OCSP response must be
// "successful", carry the request's nonce when it carries one, be signed by
// the issuer or by a responder the issuer made for OCSP signing, and hold a
// current good or revoked answer for the certificate; a CRL must be the
// issuer's, signed with its key and not out of date. A revoked certificate
// is data like any other (the log says so). Never throws; logs the URL and
// the HTTP status of every exchange.
[[nodiscard]] RevocationData fetch_revocation_data(X509* cert, X509* issuer, long timeout_seconds);

// The certificate's subject as "/CN=.../O=...", for the log and refusals.
[[nodiscard]] std::string name_of(X509* cert);

}  // namespace corvane::ltv
