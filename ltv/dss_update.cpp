#include "ltv/dss_update.h"

#include <openssl/cms.h>
#include <openssl/x509.h>

#include <map>
#include <set>
#include <vector>

#include "append/object_writer.h"
#include "append/update_writer.h"
#include "ltv/revocation_fetch.h"
#include "settings/log.h"
#include "platform/openssl_handle.h"

namespace corvane::ltv {
namespace {

using platform::ErrorCode;

using platform::OpensslHandle;

void free_certificates(STACK_OF(X509)* certs) { sk_X509_pop_free(certs, X509_free); }

// The DER data of the three /DSS arrays.
struct ValidationData {
  std::vector<std::string> certificates, ocsp_responses, crls;
};

std::string der_of(X509* cert) {
  unsigned char* der = nullptr;
  const int length = i2d_X509(cert, &der);
  std::string text = length > 0 ? std::string(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length)) : "";
  OPENSSL_free(der);
  return text;
}

// The certificate of `certs` (other than `cert`) that issued `cert`; null
// when none did.
X509* issuer_in(STACK_OF(X509)* certs, X509* cert) {
  for (int i = 0; i < sk_X509_num(certs); ++i) {
    X509* candidate = sk_X509_value(certs, i);
    if (candidate != cert && X509_check_issued(candidate, cert) == X509_V_OK) return candidate;
  }
  return nullptr;
}

// Collects the certificates of `signature` and the revocation data of each
// one that is not self-signed; the refusal, or an empty one.
platform::Refusal collect(std::span<const std::uint8_t> signature, const FetchPolicy& policy, ValidationData& data) {
  const unsigned char* in = signature.data();
  OpensslHandle<CMS_ContentInfo, CMS_ContentInfo_free> cms(
      d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(signature.size())));
  OpensslHandle<STACK_OF(X509), free_certificates> certs(cms ? CMS_get1_certs(cms.get()) : nullptr);
  if (!certs || sk_X509_num(certs.get()) == 0)
    return {ErrorCode::kValidationData, "the signature carries no certificates to fetch validation data for"};
  for (int i = 0; i < sk_X509_num(certs.get()); ++i) {
    X509* cert = sk_X509_value(certs.get(), i);
    data.certificates.push_back(der_of(cert));
    if (X509_check_issued(cert, cert) == X509_V_OK) continue;  // a root answers for itself
    X509* issuer = issuer_in(certs.get(), cert);
    if (!issuer)
      return {ErrorCode::kValidationData, "the issuer of " + name_of(cert) + " is not among the signature's certificates"};
    RevocationData fetched = fetch_revocation_data(cert, issuer, policy);
    if (!fetched.refusal.empty()) return {ErrorCode::kValidationData, fetched.refusal};
    // A signature whose own data says its certificate is revoked is no
    // signature: the run is refused rather than writing one.
    if (fetched.revoked)
      return {ErrorCode::kCertificateRevoked, "the certificate " + name_of(cert) + " is revoked (" +
             (fetched.kind == RevocationData::Kind::kOcsp ? "OCSP" : "CRL") + " from " + fetched.url + ")"};
    auto& list = fetched.kind == RevocationData::Kind::kOcsp ? data.ocsp_responses : data.crls;
    list.emplace_back(fetched.der.begin(), fetched.der.end());
  }
  return {};
}

std::string reference(std::int32_t number) { return std::to_string(number) + " 0 R"; }

// The data of the streams of `array` (decoded).
std::set<std::string> stream_data_of(QPDFObjectHandle array) {
  std::set<std::string> data;
  if (!array.isArray()) return data;
  for (QPDFObjectHandle item : array.aitems())
    if (item.isStream()) {
      const auto buffer = item.getStreamData(qpdf_dl_generalized);
      data.emplace(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
    }
  return data;
}

// The update's objects: one stream per item not in the document's /DSS
// yet (`already` counts the others), a new /DSS holding them after the
// items it has, and a new revision of the catalog that names it. Throws
// what qpdf throws.
std::vector<append::NewObject> dss_objects(append::OriginalDocument& document, const ValidationData& data,
                                                std::size_t& already) {
  using append::ObjectId;
  const append::ObjectWriter writer(document.encryption() ? &*document.encryption() : nullptr);
  std::vector<append::NewObject> objects;
  std::int32_t next = document.base().first_new_number;
  QPDFObjectHandle catalog = document.qpdf().getRoot();
  QPDFObjectHandle dss = catalog.getKey("/DSS");
  const ObjectId dss_id{next++, 0};

  std::map<std::string, std::string> entries{{"/Type", "/DSS"}};
  const auto add_array = [&](const char* key, const std::vector<std::string>& items) {
    std::string references;
    const std::set<std::string> present = stream_data_of(dss.getKey(key));
    for (const std::string& item : items) {
      if (present.count(item)) {
        ++already;
        continue;
      }
      const ObjectId id{next++, 0};
      objects.push_back({id.number, id.generation, writer.stream("", item, id)});
      references += (references.empty() ? "" : " ") + reference(id.number);
    }
    if (!items.empty() || dss.getKey(key).isArray()) entries[key] = writer.array_with(dss.getKey(key), dss_id, references);
  };
  add_array("/Certs", data.certificates);
  add_array("/OCSPs", data.ocsp_responses);
  add_array("/CRLs", data.crls);
  objects.push_back({dss_id.number, dss_id.generation, writer.dictionary_with(dss, dss_id, entries)});
  const ObjectId catalog_id = append::id_of(catalog);
  objects.push_back({catalog_id.number, catalog_id.generation,
                     writer.dictionary_with(catalog, catalog_id, {{"/DSS", reference(dss_id.number)}})});
  return objects;
}

std::string count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

DssUpdate make_dss_update(append::OriginalDocument& signed_file, std::span<const std::uint8_t> signature,
                          const FetchPolicy& policy) {
  DssUpdate update;
  ValidationData data;
  if (update.refusal = collect(signature, policy, data); !update.refusal.empty()) return update;
  std::size_t already = 0;
  try {
    update.bytes = append::write_update(signed_file.base(), dss_objects(signed_file, data, already)).bytes;
  } catch (const std::exception& error) {
    update.refusal = {ErrorCode::kValidationData, std::string("the validation data cannot be added: ") + error.what()};
    return update;
  }
  settings::log_line("validation data added as an incremental update: " +
                     count(data.certificates.size(), "certificate", "certificates") + ", " +
                     count(data.ocsp_responses.size(), "OCSP response", "OCSP responses") + ", " +
                     count(data.crls.size(), "CRL", "CRLs") +
                     (already > 0 ? " (" + std::to_string(already) + " of them already in the document)" : "") + ", " +
                     std::to_string(update.bytes.size()) + " bytes");
  return update;
}

}  // namespace corvane::ltv
