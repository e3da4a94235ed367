#include "signing/ca_trust.h"

#include <cert.h>
#include <certdb.h>
#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <prerror.h>

#include "platform/codepage.h"
#include "signing/nss_certificate.h"
#include "signing/nss_database.h"
#include "signing/nss_handles.h"
#include "signing/token_login.h"

namespace corvane::signing {
namespace {

std::string nss_error_text() {
  const char* text = PR_ErrorToString(PR_GetError(), PR_LANGUAGE_I_DEFAULT);
  return text && *text ? text : "error " + std::to_string(PR_GetError());
}

std::optional<DerCertificate> der_of(X509* x509) {
  unsigned char* out = nullptr;
  const int length = x509 ? i2d_X509(x509, &out) : -1;
  if (length <= 0) return std::nullopt;
  DerCertificate der(out, out + length);
  OPENSSL_free(out);
  return der;
}

// A certificate of this process made from `der` (the store's own when it
// holds the same one); nullptr when the bytes are no certificate.
CertHandle temporary_certificate(const DerCertificate& der) {
  SECItem item{siBuffer, const_cast<unsigned char*>(der.data()), static_cast<unsigned int>(der.size())};
  return CertHandle(CERT_NewTempCertificate(CERT_GetDefaultCertDB(), &item, nullptr, PR_FALSE, PR_TRUE));
}

// A CA by its basic constraints (or an old self-signed root without them).
bool issues_certificates(CERTCertificate* cert) { return CERT_IsCACert(cert, nullptr) == PR_TRUE; }

CaFacts facts_of(CERTCertificate* cert) {
  const NssCertificate facts(CertHandle(CERT_DupCertificate(cert)), /*has_key=*/false);
  return {facts.SubjectName().value_or(""), facts.Sha256Fingerprint().value_or(""), facts.Nickname().value_or(""),
          issues_certificates(cert)};
}

// Opens the database for writing and logs in where a token needs it.
bool open_for_writing(std::string& error) {
  if (!ensure_writable_database(error)) return false;
  SlotHandle slot(PK11_GetInternalKeySlot());
  if (std::string problem = log_in_to_tokens(); !problem.empty() && slot && !PK11_IsLoggedIn(slot.get(), nullptr)) {
    error = problem;
    return false;
  }
  return true;
}

std::string plain_hex(std::string_view text) {
  std::string out;
  for (const char c : text)
    if (c != ':') out += c;
  return platform::ascii_lower(out);
}

}  // namespace

bool same_fingerprint(std::string_view a, std::string_view b) {
  return a.size() >= 64 && b.size() >= 64 && plain_hex(a) == plain_hex(b);
}

std::vector<DerCertificate> read_certificates(std::string_view file, std::string& error) {
  std::vector<DerCertificate> found;
  using BioHandle = std::unique_ptr<BIO, decltype(&BIO_free)>;
  BioHandle bio(BIO_new_mem_buf(file.data(), static_cast<int>(file.size())), &BIO_free);
  if (bio && file.find("-----BEGIN") != std::string_view::npos) {
    // PEM_read_bio_X509 passes over blocks of other kinds.
    while (X509* x509 = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
      if (auto der = der_of(x509)) found.push_back(std::move(*der));
      X509_free(x509);
    }
  } else if (bio) {
    const unsigned char* start = reinterpret_cast<const unsigned char*>(file.data());
    if (X509* x509 = d2i_X509(nullptr, &start, static_cast<long>(file.size()))) {
      if (auto der = der_of(x509)) found.push_back(std::move(*der));
      X509_free(x509);
    }
  }
  if (found.empty()) error = "holds no certificate (PEM or DER)";
  return found;
}

std::optional<CaFacts> certificate_facts(const DerCertificate& der) {
  CertHandle cert = temporary_certificate(der);
  if (!cert) return std::nullopt;
  return facts_of(cert.get());
}

std::string free_nickname(const std::string& base) {
  std::string name = base.empty() ? "Imported certificate" : base;
  for (int n = 2; n < 1000; ++n) {
    CertHandle taken(CERT_FindCertByNickname(CERT_GetDefaultCertDB(), name.c_str()));
    if (!taken) break;
    name = (base.empty() ? "Imported certificate" : base) + " (" + std::to_string(n) + ")";
  }
  return name;
}

std::optional<CaFacts> trust_ca(const DerCertificate& der, std::string& error) {
  if (!open_for_writing(error)) return std::nullopt;
  CertHandle cert = temporary_certificate(der);
  if (!cert) {
    error = "not a certificate: " + nss_error_text();
    return std::nullopt;
  }
  CaFacts facts = facts_of(cert.get());
  if (!facts.is_ca) {
    error = facts.subject + " is not a certification authority (its basic constraints do not let it issue "
                            "certificates): trust the authority that issued it instead";
    return std::nullopt;
  }
  CERTCertDBHandle* store = CERT_GetDefaultCertDB();
  if (!cert->isperm) {
    SlotHandle slot(PK11_GetInternalKeySlot());
    NssString common(CERT_GetCommonName(&cert->subject));
    const std::string nickname = free_nickname(common ? common.get() : "");
    if (!slot || PK11_ImportCert(slot.get(), cert.get(), CK_INVALID_HANDLE, nickname.c_str(), PR_FALSE) != SECSuccess) {
      error = "the certificate store refused the certificate: " + nss_error_text();
      return std::nullopt;
    }
    cert.reset(CERT_FindCertByDERCert(store, &cert->derCert));
    if (!cert) {
      error = "the certificate store lost the certificate it added";
      return std::nullopt;
    }
  }
  CERTCertTrust trust{};
  if (cert->trust) trust = *cert->trust;
  trust.emailFlags |= CERTDB_TRUSTED_CA | CERTDB_VALID_CA;
  if (CERT_ChangeCertTrust(store, cert.get(), &trust) != SECSuccess) {
    error = "the certificate store refused the trust: " + nss_error_text();
    return std::nullopt;
  }
  return facts_of(cert.get());
}

std::optional<DerCertificate> store_certificate_named(const std::string& name, std::string& error) {
  if (!open_for_writing(error)) return std::nullopt;
  CertListHandle list(PK11_ListCerts(PK11CertListAll, nullptr));
  for (CERTCertListNode* n = list ? CERT_LIST_HEAD(list.get()) : nullptr; n && !CERT_LIST_END(n, list.get());
       n = CERT_LIST_NEXT(n)) {
    const CaFacts facts = facts_of(n->cert);
    const std::string_view nickname = facts.nickname;
    const auto colon = nickname.find(':');
    if (nickname == name || (colon != std::string_view::npos && nickname.substr(colon + 1) == name) ||
        same_fingerprint(facts.fingerprint, name))
      return DerCertificate(n->cert->derCert.data, n->cert->derCert.data + n->cert->derCert.len);
  }
  error = "neither a file nor a certificate of the store: " + name;
  return std::nullopt;
}

}  // namespace corvane::signing
