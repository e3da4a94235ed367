#include "verify/cms_check.h"

#include <cert.h>
#include <cms.h>
#include <prerror.h>
#include <prtime.h>
#include <secoid.h>

#include <optional>
#include <vector>

#include "platform/iso_time.h"
#include "verify/signature_message.h"
#include "verify/trust_anchors.h"
#include "verify/verification_store.h"

namespace corvane::verify {
namespace {

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

CmsCheck check_cms_signature(const SignatureMessage& message, const SignedDigest& digest_of_content) {
  CmsCheck check;
  const VerificationStore& store_state = verification_store();
  if (!store_state.ready) return refuse(check, "signatures cannot be checked: " + store_state.problem);
  if (!message.problem().empty()) return refuse(check, message.problem());
  if (message.own_content())
    return refuse(check, "the signature message carries content of its own instead of signing the file");
  NSSCMSSignerInfo* signer = message.signer();

  // The signer's fields are public; NSS exports no accessor for this one.
  const SECOidTag digest_algorithm = SECOID_GetAlgorithmTag(&signer->digestAlg);
  if (digest_algorithm != SEC_OID_UNKNOWN) {
    if (const char* name = SECOID_FindOIDTagDescription(digest_algorithm)) check.signer.digest_algorithm = name;
  }
  if (PRTime when = 0; NSS_CMSSignerInfo_GetSigningTime(signer, &when) == SECSuccess)
    check.signer.signing_time = utc_text(when);

  CERTCertificate* certificate = message.signer_certificate();
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
  if (NSS_CMSSignerInfo_Verify(signer, &digest_item, &message.content_info()->contentType) != SECSuccess)
    return refuse(check, status_text(NSS_CMSSignerInfo_GetVerificationStatus(signer)));
  check.valid = true;
  return check;
}

}  // namespace corvane::verify
