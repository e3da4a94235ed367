#include "verify/trust_anchors.h"

#include <prerror.h>

#include <mutex>
#include <vector>

#include "platform/secret_file.h"
#include "signing/ca_trust.h"
#include "signing/nss_handles.h"

namespace corvane::verify {
namespace {

struct AddedAnchors {
  std::mutex mutex;
  std::vector<signing::DerCertificate> certificates;
};

AddedAnchors& added_anchors() {
  static AddedAnchors anchors;
  return anchors;
}

std::string nss_error_text() {
  const char* text = PR_ErrorToString(PR_GetError(), PR_LANGUAGE_I_DEFAULT);
  return text && *text ? text : "error " + std::to_string(PR_GetError());
}

}  // namespace

signing::CertListHandle added_anchor_list() {
  AddedAnchors& anchors = added_anchors();
  const std::lock_guard lock(anchors.mutex);
  signing::CertListHandle list(CERT_NewCertList());
  for (auto& der : anchors.certificates) {
    SECItem item{siBuffer, der.data(), static_cast<unsigned int>(der.size())};
    if (CERTCertificate* cert = CERT_NewTempCertificate(CERT_GetDefaultCertDB(), &item, nullptr, PR_FALSE, PR_TRUE))
      if (CERT_AddCertToListTail(list.get(), cert) != SECSuccess) CERT_DestroyCertificate(cert);
  }
  return list;
}

bool listed(const CERTCertList* anchors, const CERTCertificate* cert) {
  for (CERTCertListNode* node = CERT_LIST_HEAD(anchors); !CERT_LIST_END(node, anchors); node = CERT_LIST_NEXT(node))
    if (SECITEM_CompareItem(&node->cert->derCert, &cert->derCert) == SECEqual) return true;
  return false;
}

bool add_trust_anchors(const std::string& path, std::string& error) {
  const platform::FileRead read = platform::read_bounded_file(path, platform::kKeyFileLimit);
  if (!read.bytes) {
    error = "cannot read " + path + ": " + read.problem;
    return false;
  }
  auto certificates = signing::read_certificates(*read.bytes, error);
  if (certificates.empty()) {
    error = path + " " + error;
    return false;
  }
  AddedAnchors& anchors = added_anchors();
  const std::lock_guard lock(anchors.mutex);
  for (auto& der : certificates) anchors.certificates.push_back(std::move(der));
  return true;
}

bool has_added_anchors() {
  AddedAnchors& anchors = added_anchors();
  const std::lock_guard lock(anchors.mutex);
  return !anchors.certificates.empty();
}

bool chains_to_trusted_authority(CERTCertificate* signer, std::string& problem) {
  if (!has_added_anchors()) {
    if (CERT_VerifyCertificateNow(CERT_GetDefaultCertDB(), signer, /*checkSig=*/PR_TRUE, certificateUsageEmailSigner,
                                  nullptr, nullptr) == SECSuccess)
      return true;
    problem = nss_error_text();
    return false;
  }
  const signing::CertListHandle anchors = added_anchor_list();
  // No revocation method is asked, as in the check without added authorities.
  PRUint64 no_method[2] = {CERT_REV_M_DO_NOT_TEST_USING_THIS_METHOD, CERT_REV_M_DO_NOT_TEST_USING_THIS_METHOD};
  CERTRevocationFlags revocation{};
  for (CERTRevocationTests* tests : {&revocation.leafTests, &revocation.chainTests}) {
    tests->number_of_defined_methods = 2;
    tests->cert_rev_flags_per_method = no_method;
    tests->cert_rev_method_independent_flags = CERT_REV_MI_NO_OVERALL_INFO_REQUIREMENT;
  }
  CERTValInParam in[4];
  in[0].type = cert_pi_trustAnchors;
  in[0].value.pointer.chain = anchors.get();
  in[1].type = cert_pi_useOnlyTrustAnchors;
  in[1].value.scalar.b = PR_FALSE;  // the store's authorities count too
  in[2].type = cert_pi_revocationFlags;
  in[2].value.pointer.revocation = &revocation;
  in[3].type = cert_pi_end;
  CERTValOutParam out[1];
  out[0].type = cert_po_end;
  if (CERT_PKIXVerifyCert(signer, certificateUsageEmailSigner, in, out, nullptr) == SECSuccess) return true;
  problem = nss_error_text();
  return false;
}

std::string issuer_nickname(CERTCertificate* signer) {
  signing::CertHandle issuer(CERT_FindCertByName(CERT_GetDefaultCertDB(), &signer->derIssuer));
  const bool authority = issuer && CERT_IsCACert(issuer.get(), nullptr) == PR_TRUE;
  return authority && issuer->isperm && issuer->nickname ? issuer->nickname : "";
}

}  // namespace corvane::verify
