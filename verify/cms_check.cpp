#include "verify/cms_check.h"

#include <cert.h>
#include <cms.h>
#include <prerror.h>
#include <prtime.h>
#include <secoid.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/iso_time.h"
#include "signing/nss_handles.h"
#include "verify/trust_anchors.h"
#include "verify/verification_store.h"

namespace corvane::verify {
namespace {

std::string nss_error_text() {
  const PRErrorCode code = PR_GetError();
  const char* text = PR_ErrorToString(code, PR_LANGUAGE_I_DEFAULT);
  return text && *text ? text : "error " + std::to_string(code);
}

std::string utc_text(PRTime time) {
  PRExplodedTime t{};
  PR_ExplodeTime(time, PR_GMTParameters, &t);
  return platform::iso_8601({t.tm_year, t.tm_month + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec}, 0);
}

std::string status_text(NSSCMSVerificationStatus status) {
  switch (status) {
    case NSSCMSVS_BadSignature:
      return "the signature does not match the signed bytes";
    case NSSCMSVS_DigestMismatch:
      return "the signed bytes have changed since they were signed";
    case NSSCMSVS_SigningCertNotFound:
      return "the signer's certificate is neither in the signature nor in the store";
    case NSSCMSVS_SignatureAlgorithmUnknown:
    case NSSCMSVS_SignatureAlgorithmUnsupported:
      return "the signature algorithm is not supported";
    case NSSCMSVS_MalformedSignature:
      return "the signature is malformed";
    default:
      return "the signature cannot be verified: " + nss_error_text();
  }
}

CmsCheck refuse(CmsCheck check, std::string problem) {
  check.valid = false;
  check.problem = std::move(problem);
  return check;
}

}  // namespace

CmsCheck check_cms_signature(std::span<const std::uint8_t> message, const SignedDigest& digest_of_content) {
  CmsCheck check;
  const VerificationStore& store_state = verification_store();
  if (!store_state.ready) return refuse(check, "signatures cannot be checked: " + store_state.problem);

  SECItem der{siBuffer, const_cast<unsigned char*>(message.data()), static_cast<unsigned int>(message.size())};
  signing::CmsMessageHandle cms(
      NSS_CMSMessage_CreateFromDER(&der, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!cms) return refuse(check, "the signature is no CMS message: " + nss_error_text());
  NSSCMSContentInfo* outer = NSS_CMSMessage_ContentLevel(cms.get(), 0);
  if (!outer || NSS_CMSContentInfo_GetContentTypeTag(outer) != SEC_OID_PKCS7_SIGNED_DATA)
    return refuse(check, "the signature message holds no signed data");
  auto* signed_data = static_cast<NSSCMSSignedData*>(NSS_CMSContentInfo_GetContent(outer));
  if (!signed_data) return refuse(check, "the signature message holds no signed data");
  const int signers = NSS_CMSSignedData_SignerInfoCount(signed_data);
  if (signers != 1)
    return refuse(check, "the signature message has " + std::to_string(signers) + " signers instead of one");
  NSSCMSContentInfo* inner = NSS_CMSSignedData_GetContentInfo(signed_data);
  const auto* own_content = NSS_CMSContentInfo_GetContentTypeTag(inner) == SEC_OID_PKCS7_DATA
                               ? static_cast<const SECItem*>(NSS_CMSContentInfo_GetContent(inner))
                               : nullptr;
  if (own_content && own_content->len > 0)
    return refuse(check, "the signature message carries content of its own instead of signing the file");

  CERTCertDBHandle* store = CERT_GetDefaultCertDB();
  // Makes the message's certificates known for this process only, so that
  // the signer and its chain are found.
  (void)NSS_CMSSignedData_ImportCerts(signed_data, store, certUsageEmailSigner, /*keepcerts=*/PR_FALSE);
  NSSCMSSignerInfo* signer = NSS_CMSSignedData_GetSignerInfo(signed_data, 0);

  // The signer's fields are public; NSS exports no accessor for this one.
  const SECOidTag digest_algorithm = SECOID_GetAlgorithmTag(&signer->digestAlg);
  if (digest_algorithm != SEC_OID_UNKNOWN) {
    if (const char* name = SECOID_FindOIDTagDescription(digest_algorithm)) check.signer.digest_algorithm = name;
  }
  if (PRTime when = 0; NSS_CMSSignerInfo_GetSigningTime(signer, &when) == SECSuccess)
    check.signer.signing_time = utc_text(when);

  CERTCertificate* certificate = NSS_CMSSignerInfo_GetSigningCertificate(signer, store);
  if (!certificate) return refuse(check, status_text(NSSCMSVS_SigningCertNotFound));
  check.signer.subject = certificate->subjectName ? certificate->subjectName : "";
  if (char* common_name = CERT_GetCommonName(&certificate->subject)) {
    check.signer.common_name = common_name;
    PORT_Free(common_name);
  }
  check.signer.email = certificate->emailAddr ? certificate->emailAddr : "";
  check.signer.issuer = certificate->issuerName ? certificate->issuerName : "";
  // Only a chain to a certificate the store trusts counts: a certificate
  // that merely repeats a trusted signer's name and address is its own
  // root, trusted by nobody.
  check.signer.trust_checked = store_state.trust_anchors;
  if (check.signer.trust_checked) {
    check.signer.trusted = chains_to_trusted_authority(certificate, check.signer.trust_problem);
    if (!check.signer.trusted) check.signer.issuer_nickname = issuer_nickname(certificate);
  }

  const SECItem& oid = signer->digestAlg.algorithm;
  std::optional<std::vector<std::uint8_t>> digest = digest_of_content(std::span<const std::uint8_t>(oid.data, oid.len));
  if (!digest) return refuse(check, "the signed bytes cannot be read");
  if (digest->empty()) return refuse(check, "the digest algorithm is not supported");
  SECItem digest_item{siBuffer, digest->data(), static_cast<unsigned int>(digest->size())};
  if (NSS_CMSSignerInfo_Verify(signer, &digest_item, &inner->contentType) != SECSuccess)
    return refuse(check, status_text(NSS_CMSSignerInfo_GetVerificationStatus(signer)));
  check.valid = true;
  return check;
}

}  // namespace corvane::verify
