#include "verify/authority_trust.h"

#include <cert.h>
#include <certdb.h>

#include "signing/nss_handles.h"
#include "verify/trust_anchors.h"
#include "verify/verification_store.h"

namespace corvane::verify {
namespace {

// Longer chains than this are not authorities' chains.
constexpr int kMaxChain = 8;

bool trusted_as_authority(CERTCertificate* cert) {
  CERTCertTrust trust{};
  if (CERT_GetCertTrust(cert, &trust) != SECSuccess) return false;
  const unsigned int flags = trust.sslFlags | trust.emailFlags | trust.objectSigningFlags;
  return (flags & CERTDB_TRUSTED_CA) != 0;
}

AuthorityTrust untrusted(AuthorityTrust trust, const std::string& problem) {
  trust.problem = problem;
  return trust;
}

}  // namespace

AuthorityTrust check_authority_trust(const std::vector<std::vector<std::uint8_t>>& certificates) {
  AuthorityTrust trust;
  const VerificationStore& store_state = verification_store();
  if (!store_state.ready || !store_state.trust_anchors) return trust;
  trust.checked = true;
  CERTCertDBHandle* store = CERT_GetDefaultCertDB();
  // Authorities added for this run (verify --trust) count as the store's.
  const signing::CertListHandle added = added_anchor_list();
  // The token's certificates are known for this process only, while the
  // chain is followed.
  std::vector<signing::CertHandle> carried;
  for (const auto& der : certificates) {
    SECItem item{siBuffer, const_cast<unsigned char*>(der.data()), static_cast<unsigned int>(der.size())};
    carried.emplace_back(CERT_NewTempCertificate(store, &item, nullptr, PR_FALSE, PR_TRUE));
  }
  if (carried.empty() || !carried.front()) return untrusted(trust, "the authority's certificate is not in the token");
  signing::CertHandle cert(CERT_DupCertificate(carried.front().get()));
  for (int depth = 0; depth < kMaxChain; ++depth) {
    if (trusted_as_authority(cert.get()) || listed(added.get(), cert.get())) {
      trust.trusted = true;
      return trust;
    }
    signing::CertHandle issuer(CERT_FindCertIssuer(cert.get(), PR_Now(), certUsageAnyCA));
    if (!issuer || SECITEM_CompareItem(&issuer->derCert, &cert->derCert) == SECEqual)
      return untrusted(trust, "the authority's chain ends at " + std::string(cert->subjectName ? cert->subjectName : "an unnamed certificate") +
                                  ", which the store does not trust");
    if (CERT_VerifySignedDataWithPublicKeyInfo(&cert->signatureWrap, &issuer->subjectPublicKeyInfo, nullptr) !=
        SECSuccess)
      return untrusted(trust, "a certificate of the authority's chain is not signed by its issuer");
    cert = std::move(issuer);
  }
  return untrusted(trust, "the authority's chain is too long");
}

}  // namespace corvane::verify
