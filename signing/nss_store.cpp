#include "signing/nss_store.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "platform/codepage.h"
#include "signing/nss_certificate.h"
#include "signing/nss_database.h"
#include "signing/token_login.h"

namespace corvane::signing {
namespace {

bool same_der(const CERTCertificate* a, const CERTCertificate* b) {
  return SECITEM_ItemsAreEqual(&a->derCert, &b->derCert);
}

// Nickname, then DER: the documented store order.
bool store_order(const CERTCertificate* a, const CERTCertificate* b) {
  const int names = std::strcmp(a->nickname ? a->nickname : "", b->nickname ? b->nickname : "");
  if (names != 0) return names < 0;
  return std::lexicographical_compare(a->derCert.data, a->derCert.data + a->derCert.len, b->derCert.data,
                                      b->derCert.data + b->derCert.len);
}

}  // namespace

bool NssStore::Open(int location, std::string_view name, int mode, platform::CallError& error) {
  if (location != kCurrentUserStore || platform::ascii_lower(name) != "my" || mode != kStoreReadOnly) {
    error.description = "Only the current user's store \"My\" can be opened, read-only";
    return false;
  }
  if (!ensure_database(error.description)) return false;
  entries_.clear();
  login_problem_ = log_in_to_tokens();

  // Certificates with a private key (of the tokens logged in above).
  std::vector<CertHandle> user_certs;
  if (CertListHandle users{PK11_ListCerts(PK11CertListUserUnique, nullptr)}) {
    for (CERTCertListNode* n = CERT_LIST_HEAD(users.get()); !CERT_LIST_END(n, users.get()); n = CERT_LIST_NEXT(n))
      user_certs.emplace_back(CERT_DupCertificate(n->cert));
  }
  const auto has_key = [&user_certs](const CERTCertificate* cert) {
    return std::any_of(user_certs.begin(), user_certs.end(),
                       [cert](const CertHandle& u) { return same_der(u.get(), cert); });
  };

  CertListHandle all{PK11_ListCerts(PK11CertListUnique, nullptr)};
  if (!all) {
    error.description = "The certificates of " + database_name() + " cannot be listed";
    return false;
  }
  for (CERTCertListNode* n = CERT_LIST_HEAD(all.get()); !CERT_LIST_END(n, all.get()); n = CERT_LIST_NEXT(n)) {
    const bool key = has_key(n->cert);
    if (!key && CERT_IsCACert(n->cert, nullptr)) continue;
    entries_.push_back(Entry{CertHandle(CERT_DupCertificate(n->cert)), key});
  }
  // A certificate with a key that the full listing missed still belongs in.
  for (CertHandle& u : user_certs) {
    const bool listed = std::any_of(entries_.begin(), entries_.end(),
                                    [&u](const Entry& e) { return same_der(e.cert.get(), u.get()); });
    if (!listed) entries_.push_back(Entry{std::move(u), true});
  }
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const Entry& a, const Entry& b) { return store_order(a.cert.get(), b.cert.get()); });
  return true;
}

std::int32_t NssStore::Count() const {
  return static_cast<std::int32_t>(std::min<std::size_t>(entries_.size(), INT32_MAX));
}

std::shared_ptr<Certificate> NssStore::Item(std::int32_t index) const {
  if (index < 1 || index > Count()) return nullptr;
  const Entry& entry = entries_[static_cast<std::size_t>(index - 1)];
  return std::make_shared<NssCertificate>(CertHandle(CERT_DupCertificate(entry.cert.get())), entry.has_key);
}

void NssStore::Close() { entries_.clear(); }

}  // namespace corvane::signing
