#include "verify/cades_check.h"

#include <openssl/ess.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <algorithm>
#include <memory>

#include "platform/openssl_handle.h"
#include "timestamp/token_check.h"
#include "verify/signature_message.h"

namespace corvane::verify {
namespace {

using platform::OpensslHandle;

std::optional<bool> digest_matches(const SignatureMessage& message, const SignedDigest& digest) {
  const auto value = message.signed_attribute(kMessageDigestOid);
  if (!value) return std::nullopt;
  const auto computed = digest(message.digest_algorithm());
  if (!computed || computed->empty()) return false;
  return std::equal(computed->begin(), computed->end(), value->begin(), value->end());
}

// The attribute and the signer's certificate are handed to OpenSSL as DER,
// each on its own, for its check of the certificate's identifier.
std::optional<bool> certificate_matches(const SignatureMessage& message) {
  const auto value = message.signed_attribute(kSigningCertificateV2Oid);
  if (!value) return std::nullopt;
  const unsigned char* in = value->data();
  OpensslHandle<ESS_SIGNING_CERT_V2, ESS_SIGNING_CERT_V2_free> v2(
      d2i_ESS_SIGNING_CERT_V2(nullptr, &in, static_cast<long>(value->size())));
  const std::span<const std::uint8_t> signer = message.signer_certificate_der();
  if (!v2 || signer.empty()) return false;
  const unsigned char* der = signer.data();
  OpensslHandle<X509, X509_free> cert(d2i_X509(nullptr, &der, static_cast<long>(signer.size())));
  if (!cert) return false;
  STACK_OF(X509)* chain = sk_X509_new_null();
  if (!chain || !sk_X509_push(chain, cert.get())) {
    sk_X509_free(chain);
    return false;
  }
  const int result = OSSL_ESS_check_signing_certs(nullptr, v2.get(), chain, /*require_signing_cert=*/1);
  sk_X509_free(chain);
  return result > 0;
}

TimestampFacts facts_of(const timestamp::TokenCheck& check) {
  TimestampFacts facts;
  facts.time = check.time;
  facts.authority = check.authority;
  facts.valid = check.signature_valid;
  facts.imprint_matches = check.imprint_matches;
  facts.problem = check.problem;
  return facts;
}

std::optional<TimestampFacts> timestamp_of(const SignatureMessage& message) {
  const auto token = message.unsigned_attribute(kTimestampTokenOid);
  if (!token) return std::nullopt;
  const std::span<const std::uint8_t> signature = message.signature_value();
  timestamp::Sha256 imprint{};
  unsigned int length = 0;
  if (signature.empty() ||
      EVP_Digest(signature.data(), signature.size(), imprint.data(), &length, EVP_sha256(), nullptr) != 1) {
    TimestampFacts facts;
    facts.problem = "the timestamp token cannot be read";
    return facts;
  }
  return facts_of(timestamp::check_token(*token, imprint));
}

}  // namespace

FormatFacts read_format_facts(const SignatureMessage& message, const SignedDigest& digest,
                              const DocumentValidationData& dss) {
  FormatFacts facts;
  if (!message.signer()) return facts;
  facts.encapsulated_content = message.own_content() != nullptr;
  facts.signed_attributes = message.has_signed_attributes();
  facts.message_digest_matches = digest_matches(message, digest);
  facts.signing_certificate_matches = certificate_matches(message);
  facts.timestamp = timestamp_of(message);
  facts.validation_data = check_chain_coverage(message.certificates(), dss);
  return facts;
}

DocumentTimestamp read_document_timestamp(std::span<const std::uint8_t> token, const SignedDigest& digest) {
  const auto computed = digest(kSha256Oid);
  timestamp::Sha256 imprint{};
  DocumentTimestamp read;
  if (!computed || computed->size() != imprint.size()) {
    read.facts.problem = "the signed bytes cannot be read";
    read.authority = check_authority_trust({});
    return read;
  }
  std::copy(computed->begin(), computed->end(), imprint.begin());
  const timestamp::TokenCheck check = timestamp::check_token(token, imprint);
  read.facts = facts_of(check);
  read.authority = check_authority_trust(check.certificates);
  return read;
}

std::string format_name(const std::string& sub_filter, const FormatFacts& facts) {
  if (sub_filter == "ETSI.CAdES.detached") {
    if (!facts.timestamp) return "PAdES B-B";
    return facts.validation_data.covered ? "PAdES B-LT" : "PAdES B-T";
  }
  return facts.timestamp ? "PKCS#7 with a timestamp" : "PKCS#7";
}

}  // namespace corvane::verify
