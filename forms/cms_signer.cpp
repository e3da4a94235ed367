#include "forms/cms_signer.h"

#include <openssl/asn1.h>
#include <openssl/cms.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <ctime>

#include "platform/iso_time.h"
#include "platform/openssl_handle.h"

namespace corvane::forms {
namespace {

using platform::OpensslHandle;

void free_certificates(STACK_OF(X509)* certs) { sk_X509_pop_free(certs, X509_free); }

// The first common name of `cert`'s subject as UTF-8; "" when it has none.
std::string common_name_of(X509* cert) {
  const X509_NAME* subject = X509_get_subject_name(cert);
  const int index = subject ? X509_NAME_get_index_by_NID(subject, NID_commonName, -1) : -1;
  if (index < 0) return {};
  unsigned char* utf8 = nullptr;
  const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index)));
  std::string name = length > 0 ? std::string(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(length)) : "";
  OPENSSL_free(utf8);
  return name;
}

// The signed signing-time attribute of `signer` in UTC; "" when absent.
std::string signing_time_of(CMS_SignerInfo* signer) {
  const int index = CMS_signed_get_attr_by_NID(signer, NID_pkcs9_signingTime, -1);
  X509_ATTRIBUTE* attribute = index >= 0 ? CMS_signed_get_attr(signer, index) : nullptr;
  ASN1_TYPE* value = attribute ? X509_ATTRIBUTE_get0_type(attribute, 0) : nullptr;
  if (!value || (value->type != V_ASN1_UTCTIME && value->type != V_ASN1_GENERALIZEDTIME)) return {};
  std::tm tm{};
  if (ASN1_TIME_to_tm(reinterpret_cast<ASN1_TIME*>(value->value.asn1_string), &tm) != 1) return {};
  return platform::iso_8601({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec},
                            /*offset_minutes=*/0);
}

}  // namespace

CmsSigner read_cms_signer(std::span<const std::uint8_t> der) {
  CmsSigner out;
  const unsigned char* in = der.data();
  const OpensslHandle<CMS_ContentInfo, CMS_ContentInfo_free> cms(
      d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(der.size())));
  STACK_OF(CMS_SignerInfo)* signers = cms ? CMS_get0_SignerInfos(cms.get()) : nullptr;
  CMS_SignerInfo* signer = sk_CMS_SignerInfo_num(signers) > 0 ? sk_CMS_SignerInfo_value(signers, 0) : nullptr;
  if (!signer) return out;
  out.signing_time = signing_time_of(signer);
  const OpensslHandle<STACK_OF(X509), free_certificates> certs(CMS_get1_certs(cms.get()));
  for (int i = 0; i < sk_X509_num(certs.get()); ++i)
    if (X509* cert = sk_X509_value(certs.get(), i); CMS_SignerInfo_cert_cmp(signer, cert) == 0) {
      out.common_name = common_name_of(cert);
      break;
    }
  return out;
}

}  // namespace corvane::forms
