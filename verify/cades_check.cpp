#include "verify/cades_check.h"

#include <openssl/cms.h>
#include <openssl/ess.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <algorithm>
#include <memory>

#include "platform/openssl_handle.h"
#include "timestamp/token_check.h"

namespace corvane::verify {
namespace {

using platform::OpensslHandle;
using ContentInfo = OpensslHandle<CMS_ContentInfo, CMS_ContentInfo_free>;

// The one value of signed attribute `nid` as its ASN1_TYPE; nullptr when absent.
const ASN1_TYPE* signed_value(CMS_SignerInfo* signer, int nid) {
  const int at = CMS_signed_get_attr_by_NID(signer, nid, -1);
  return at < 0 ? nullptr : X509_ATTRIBUTE_get0_type(CMS_signed_get_attr(signer, at), 0);
}

std::optional<bool> digest_matches(CMS_SignerInfo* signer, const SignedDigest& digest) {
  const ASN1_TYPE* value = signed_value(signer, NID_pkcs9_messageDigest);
  if (!value) return std::nullopt;
  if (value->type != V_ASN1_OCTET_STRING) return false;
  X509_ALGOR* algorithm = nullptr;
  CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &algorithm, nullptr);
  const ASN1_OBJECT* oid = nullptr;
  if (algorithm) X509_ALGOR_get0(&oid, nullptr, nullptr, algorithm);
  if (!oid) return false;
  const auto computed = digest(std::span(OBJ_get0_data(oid), OBJ_length(oid)));
  if (!computed || computed->empty()) return false;
  const ASN1_OCTET_STRING* want = value->value.octet_string;
  return static_cast<std::size_t>(ASN1_STRING_length(want)) == computed->size() &&
         std::equal(computed->begin(), computed->end(), ASN1_STRING_get0_data(want));
}

std::optional<bool> certificate_matches(CMS_ContentInfo* cms, CMS_SignerInfo* signer) {
  const ASN1_TYPE* value = signed_value(signer, NID_id_smime_aa_signingCertificateV2);
  if (!value) return std::nullopt;
  if (value->type != V_ASN1_SEQUENCE) return false;
  const unsigned char* in = ASN1_STRING_get0_data(value->value.sequence);
  OpensslHandle<ESS_SIGNING_CERT_V2, ESS_SIGNING_CERT_V2_free> v2(
      d2i_ESS_SIGNING_CERT_V2(nullptr, &in, ASN1_STRING_length(value->value.sequence)));
  // Finds the signer's certificate among those the message carries.
  CMS_set1_signers_certs(cms, nullptr, 0);
  X509* cert = nullptr;
  CMS_SignerInfo_get0_algs(signer, nullptr, &cert, nullptr, nullptr);
  if (!v2 || !cert) return false;
  STACK_OF(X509)* chain = sk_X509_new_null();
  if (!chain || !sk_X509_push(chain, cert)) {
    sk_X509_free(chain);
    return false;
  }
  const int result = OSSL_ESS_check_signing_certs(nullptr, v2.get(), chain, /*require_signing_cert=*/1);
  sk_X509_free(chain);
  return result > 0;
}

TimestampFacts facts_of(std::span<const std::uint8_t> token, const timestamp::Sha256& imprint) {
  const timestamp::TokenCheck check = timestamp::check_token(token, imprint);
  TimestampFacts facts;
  facts.time = check.time;
  facts.authority = check.authority;
  facts.valid = check.signature_valid;
  facts.imprint_matches = check.imprint_matches;
  facts.problem = check.problem;
  return facts;
}

std::optional<TimestampFacts> timestamp_of(CMS_SignerInfo* signer) {
  const int at = CMS_unsigned_get_attr_by_NID(signer, NID_id_smime_aa_timeStampToken, -1);
  if (at < 0) return std::nullopt;
  const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(CMS_unsigned_get_attr(signer, at), 0);
  const ASN1_OCTET_STRING* signature = CMS_SignerInfo_get0_signature(signer);
  timestamp::Sha256 imprint{};
  unsigned int length = 0;
  if (!value || value->type != V_ASN1_SEQUENCE || !signature ||
      EVP_Digest(ASN1_STRING_get0_data(signature), static_cast<std::size_t>(ASN1_STRING_length(signature)),
                 imprint.data(), &length, EVP_sha256(), nullptr) != 1) {
    TimestampFacts facts;
    facts.problem = "the timestamp token cannot be read";
    return facts;
  }
  const ASN1_STRING* token = value->value.sequence;
  return facts_of(std::span(ASN1_STRING_get0_data(token), static_cast<std::size_t>(ASN1_STRING_length(token))),
                  imprint);
}

}  // namespace

FormatFacts read_format_facts(std::span<const std::uint8_t> message, const SignedDigest& digest,
                              const DocumentValidationData& dss) {
  FormatFacts facts;
  const unsigned char* in = message.data();
  const ContentInfo cms(d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(message.size())));
  STACK_OF(CMS_SignerInfo)* signers = cms ? CMS_get0_SignerInfos(cms.get()) : nullptr;
  CMS_SignerInfo* signer = signers && sk_CMS_SignerInfo_num(signers) > 0 ? sk_CMS_SignerInfo_value(signers, 0) : nullptr;
  if (!signer) return facts;
  facts.encapsulated_content = CMS_is_detached(cms.get()) != 1;
  facts.signed_attributes = CMS_signed_get_attr_count(signer) > 0;
  facts.message_digest_matches = digest_matches(signer, digest);
  facts.signing_certificate_matches = certificate_matches(cms.get(), signer);
  facts.timestamp = timestamp_of(signer);
  facts.validation_data = check_chain_coverage(cms.get(), dss);
  return facts;
}

TimestampFacts read_document_timestamp(std::span<const std::uint8_t> token, const SignedDigest& digest) {
  const auto computed = digest(kSha256Oid);
  timestamp::Sha256 imprint{};
  if (!computed || computed->size() != imprint.size()) {
    TimestampFacts facts;
    facts.problem = "the signed bytes cannot be read";
    return facts;
  }
  std::copy(computed->begin(), computed->end(), imprint.begin());
  return facts_of(token, imprint);
}

std::string format_name(const std::string& sub_filter, const FormatFacts& facts) {
  if (sub_filter == "ETSI.CAdES.detached") {
    if (!facts.timestamp) return "PAdES B-B";
    return facts.validation_data.covered ? "PAdES B-LT" : "PAdES B-T";
  }
  return facts.timestamp ? "PKCS#7 with a timestamp" : "PKCS#7";
}

}  // namespace corvane::verify
