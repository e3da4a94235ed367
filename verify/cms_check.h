// Checking a detached CMS (PKCS#7) signature with NSS: the signature over
// the signed bytes, and whether the signer's certificate chains to a
// certificate the store trusts.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "verify/range_digests.h"

namespace corvane::verify {

// What the signature message says about its signer.
struct SignerDetails {
  std::string subject;           // the certificate's subject ("E=a@b.test,CN=Alex,O=Org"); "" when not found
  std::string common_name;       // the subject's common name ("Alex"); "" when it has none
  std::string email;             // the certificate's e-mail address; "" when it has none
  std::string issuer;            // the certificate's issuer ("CN=Example CA,O=Org"); "" when not found
  std::string signing_time;      // the signed signing-time attribute ("2026-12-05 16:10:15 UTC"); "" when absent
  std::string digest_algorithm;  // "SHA-256"; "" when the message names none we know
  // Trust is checked for e-mail signing (the usage of document signing
  // certificates, which carry the e-mail protection purpose): the chain must
  // end at a certificate the store trusts for e-mail, now.
  bool trusted = false;
  std::string trust_problem;     // why not trusted; "" when trusted or not checked
  std::string issuer_nickname;   // when not trusted: the issuer's nickname in the store, "" when it lacks it
  bool trust_checked = false;    // false without a certificate store to check against
};

class SignatureMessage;

struct CmsCheck {
  bool valid = false;       // the signature matches the signed bytes and the signer's certificate
  std::string problem;      // why not valid; "" when valid
  SignerDetails signer;
};

// Checks the decoded `message` (SignedData with exactly one signer and no
// content of its own): asks `digest` for the digest of the signed bytes
// with the signer's digest algorithm and verifies the signer's signature,
// with or without signed attributes, and whether the signer's chain (built
// with the certificates the message carries) ends at one the store trusts.
// Opens the certificate store if needed; without one, trust is not
// checked. Never throws; the neutral result has `valid` false and
// `problem` set, with the signer details that could be read.
[[nodiscard]] CmsCheck check_cms_signature(const SignatureMessage& message, const SignedDigest& digest);

}  // namespace corvane::verify
