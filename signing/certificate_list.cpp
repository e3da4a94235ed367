#include "signing/certificate_list.h"

#include "platform/object_factory.h"
#include "signing/store_objects.h"
#include "signing/ole_date.h"
#include "signing/priv_key_form.h"

namespace corvane::signing {
namespace {

std::string key_type_name(int provider_type) {
  switch (provider_type) {
    case kProviderRsaFull:
    case kProviderRsaSig: return "RSA";
    case kProviderEcdsa: return "EC";
    case kProviderDss: return "DSA";
    default: return std::string(provider_type_name(provider_type));
  }
}

}  // namespace

std::optional<std::vector<CertificateListing>> list_store(std::string& error, std::string& login_problem) {
  auto store = platform::create_as<Store>(kStoreClassId, &error);
  if (!store) return std::nullopt;
  platform::CallError open_error;
  if (!store->Open(kCurrentUserStore, kMyStore, kStoreReadOnly, open_error)) {
    error = open_error.description;
    return std::nullopt;
  }
  std::vector<CertificateListing> list;
  for (std::int32_t n = 1; n <= store->Count(); ++n) {
    const auto cert = store->Item(n);
    if (!cert) continue;
    CertificateListing entry;
    entry.issuer = cert->GetInfo(CertInfo::kIssuerSimpleName).value_or("");
    entry.subject = cert->GetInfo(CertInfo::kSubjectSimpleName).value_or("");
    if (auto from = cert->ValidFromDate()) {
      entry.valid_from = format_ole_date(*from);
      entry.valid_from_iso = format_local_ole_date_iso(*from);
    }
    if (auto to = cert->ValidToDate()) {
      entry.valid_to = format_ole_date(*to);
      entry.valid_to_iso = format_local_ole_date_iso(*to);
    }
    entry.subject_name = cert->SubjectName().value_or("");
    entry.issuer_name = cert->IssuerName().value_or("");
    entry.email = cert->GetInfo(CertInfo::kEmailName).value_or("");
    const auto key = cert->HasPrivateKey() ? cert->PrivateKey() : nullptr;
    entry.unique_container = key ? key->UniqueContainerName().value_or("-") : "-";
    const int type = key ? key->ProviderType().value_or(kUnknownProvider) : kUnknownProvider;
    entry.provider_type = key ? std::string(provider_type_name(type)) : "-";
    if (key) entry.key_type = key_type_name(type);
    entry.usable = key && signs_with_provider(type);
    entry.fingerprint = cert->Sha256Fingerprint().value_or("");
    entry.nickname = cert->Nickname().value_or("-");
    list.push_back(std::move(entry));
  }
  login_problem = store->LoginProblem();
  store->Close();
  return list;
}

}  // namespace corvane::signing
