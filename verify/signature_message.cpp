#include "verify/signature_message.h"

#include <algorithm>
#include <cert.h>
#include <cms.h>
#include <prerror.h>
#include <secoid.h>

#include "verify/verification_store.h"

namespace corvane::verify {
namespace {

std::span<const std::uint8_t> bytes_of(const SECItem& item) { return {item.data, item.len}; }

std::optional<std::span<const std::uint8_t>> first_value(NSSCMSAttribute** attributes,
                                                         std::span<const std::uint8_t> oid) {
  for (NSSCMSAttribute** a = attributes; a && *a; ++a) {
    const std::span<const std::uint8_t> type = bytes_of((*a)->type);
    if (!std::equal(type.begin(), type.end(), oid.begin(), oid.end())) continue;
    if (!(*a)->values || !(*a)->values[0]) return std::nullopt;
    return bytes_of(*(*a)->values[0]);
  }
  return std::nullopt;
}

}  // namespace

std::string nss_error_text() {
  const PRErrorCode code = PR_GetError();
  const char* text = PR_ErrorToString(code, PR_LANGUAGE_I_DEFAULT);
  return text && *text ? text : "error " + std::to_string(code);
}

void SignatureMessage::Destroy::operator()(NSSCMSMessage* message) const { NSS_CMSMessage_Destroy(message); }

SignatureMessage::SignatureMessage(std::span<const std::uint8_t> der) {
  if (const VerificationStore& store = verification_store(); !store.ready) {
    problem_ = "signatures cannot be checked: " + store.problem;
    return;
  }
  SECItem item{siBuffer, const_cast<unsigned char*>(der.data()), static_cast<unsigned int>(der.size())};
  message_.reset(NSS_CMSMessage_CreateFromDER(&item, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!message_) {
    problem_ = "the signature is no CMS message: " + nss_error_text();
    return;
  }
  NSSCMSContentInfo* outer = NSS_CMSMessage_ContentLevel(message_.get(), 0);
  if (outer && NSS_CMSContentInfo_GetContentTypeTag(outer) == SEC_OID_PKCS7_SIGNED_DATA)
    signed_data_ = static_cast<NSSCMSSignedData*>(NSS_CMSContentInfo_GetContent(outer));
  if (!signed_data_) {
    problem_ = "the signature message holds no signed data";
    return;
  }
  content_info_ = NSS_CMSSignedData_GetContentInfo(signed_data_);
  if (content_info_) {
    const SECItem* content = NSS_CMSContentInfo_GetContentTypeTag(content_info_) == SEC_OID_PKCS7_DATA
                                 ? static_cast<const SECItem*>(NSS_CMSContentInfo_GetContent(content_info_))
                                 : content_info_->rawContent;
    if (content && content->len > 0) own_content_ = content;
  }
  const int signers = NSS_CMSSignedData_SignerInfoCount(signed_data_);
  if (signers > 0) signer_ = NSS_CMSSignedData_GetSignerInfo(signed_data_, 0);
  if (signers != 1) {
    problem_ = "the signature message has " + std::to_string(signers) + " signers instead of one";
    return;
  }
  CERTCertDBHandle* store = CERT_GetDefaultCertDB();
  (void)NSS_CMSSignedData_ImportCerts(signed_data_, store, certUsageEmailSigner, /*keepcerts=*/PR_FALSE);
  certificate_ = NSS_CMSSignerInfo_GetSigningCertificate(signer_, store);
}

std::vector<std::span<const std::uint8_t>> SignatureMessage::certificates() const {
  std::vector<std::span<const std::uint8_t>> certificates;
  for (SECItem** c = signed_data_ ? signed_data_->rawCerts : nullptr; c && *c; ++c) certificates.push_back(bytes_of(**c));
  return certificates;
}

std::optional<std::span<const std::uint8_t>> SignatureMessage::signed_attribute(
    std::span<const std::uint8_t> oid) const {
  return signer_ ? first_value(signer_->authAttr, oid) : std::nullopt;
}

std::optional<std::span<const std::uint8_t>> SignatureMessage::unsigned_attribute(
    std::span<const std::uint8_t> oid) const {
  return signer_ ? first_value(signer_->unAuthAttr, oid) : std::nullopt;
}

std::span<const std::uint8_t> SignatureMessage::signer_certificate_der() const {
  return certificate_ ? bytes_of(certificate_->derCert) : std::span<const std::uint8_t>{};
}

std::span<const std::uint8_t> SignatureMessage::digest_algorithm() const {
  return signer_ ? bytes_of(signer_->digestAlg.algorithm) : std::span<const std::uint8_t>{};
}

bool SignatureMessage::has_signed_attributes() const { return signer_ && signer_->authAttr && *signer_->authAttr; }

std::span<const std::uint8_t> SignatureMessage::signature_value() const {
  return signer_ ? bytes_of(signer_->encDigest) : std::span<const std::uint8_t>{};
}

}  // namespace corvane::verify
