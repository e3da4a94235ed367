// The store a token is checked with: the token's own certificates.
#pragma once

#include <openssl/pkcs7.h>
#include <openssl/x509.h>

namespace corvane::timestamp::internal {

// A new store that takes the token's own certificates as anchors (partial
// chains allowed): checking a token with it proves the token's signature,
// its ESS binding to the signer's certificate, the certificate's validity
// and its timestamping usage, not trust in the authority. nullptr when it
// cannot be made; the caller owns it.
X509_STORE* store_of_token_certificates(PKCS7* token);

}  // namespace corvane::timestamp::internal
