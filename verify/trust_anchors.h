// Certification authorities trusted for one run besides those the store
// trusts (`verify --trust FILE`, `--trust-system`), and the check of a
// signer's chain against both.
//
// The added authorities are process-wide: they are added before the first
// verification (a mutex guards them) and only read after it.
#pragma once

#include <cert.h>

#include <string>

#include "signing/nss_handles.h"

namespace corvane::verify {

// Adds the certificates of the PEM bundle or DER file at `path` as trusted
// authorities for signatures. False, adding nothing, with `error` filled
// when the file cannot be read or holds no certificate.
[[nodiscard]] bool add_trust_anchors(const std::string& path, std::string& error);

// The added authorities as certificates of this process (an empty list
// when none was added). While the list lives, NSS finds them as issuers.
[[nodiscard]] signing::CertListHandle added_anchor_list();

// Whether `cert` is one of the certificates in `anchors`.
[[nodiscard]] bool listed(const CERTCertList* anchors, const CERTCertificate* cert);

// Whether any authority was added.
[[nodiscard]] bool has_added_anchors();

// Whether `signer` chains, now and for e-mail signing, to an authority the
// store trusts or to an added one; NSS's reason in `problem` otherwise.
// Revocation is not checked here (the document's validation data is).
[[nodiscard]] bool chains_to_trusted_authority(CERTCertificate* signer, std::string& problem);

// The nickname in the store of the authority that issued `signer`; ""
// when the store holds no such authority.
[[nodiscard]] std::string issuer_nickname(CERTCertificate* signer);

}  // namespace corvane::verify
