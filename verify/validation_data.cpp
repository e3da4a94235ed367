#include "verify/validation_data.h"

#include <openssl/ocsp.h>
#include <openssl/x509.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "platform/openssl_handle.h"

namespace corvane::verify {
namespace {

using platform::OpensslHandle;

void free_certificates(STACK_OF(X509)* certs) { sk_X509_pop_free(certs, X509_free); }

// The decoded data of every stream of the array `entry` of `dss`.
std::vector<std::vector<std::uint8_t>> streams_of(QPDFObjectHandle dss, const char* entry) {
  std::vector<std::vector<std::uint8_t>> out;
  QPDFObjectHandle array = dss.getKey(entry);
  if (!array.isArray()) return out;
  for (int i = 0; i < array.getArrayNItems(); ++i) {
    QPDFObjectHandle stream = array.getArrayItem(i);
    if (!stream.isStream()) continue;
    const auto data = stream.getStreamData(qpdf_dl_generalized);
    out.emplace_back(data->getBuffer(), data->getBuffer() + data->getSize());
  }
  return out;
}

std::string subject_of(X509* cert) {
  OpensslHandle<BIO, BIO_free_all> out(BIO_new(BIO_s_mem()));
  if (!out) return {};
  X509_NAME_print_ex(out.get(), X509_get_subject_name(cert), 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
  char* text = nullptr;
  const long length = BIO_get_mem_data(out.get(), &text);
  return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

X509* issuer_in(STACK_OF(X509)* certs, X509* cert) {
  for (int i = 0; i < sk_X509_num(certs); ++i)
    if (X509_check_issued(sk_X509_value(certs, i), cert) == X509_V_OK) return sk_X509_value(certs, i);
  return nullptr;
}

// What the document's data says of `cert`.
enum class Status { kUnknown, kGood, kRevoked };

Status ocsp_status(const DocumentValidationData& data, X509* cert, X509* issuer) {
  OpensslHandle<OCSP_CERTID, OCSP_CERTID_free> id(OCSP_cert_to_id(nullptr, cert, issuer));
  if (!id) return Status::kUnknown;
  for (const auto& der : data.ocsp_responses) {
    const unsigned char* in = der.data();
    OpensslHandle<OCSP_RESPONSE, OCSP_RESPONSE_free> response(d2i_OCSP_RESPONSE(nullptr, &in, static_cast<long>(der.size())));
    if (!response || OCSP_response_status(response.get()) != OCSP_RESPONSE_STATUS_SUCCESSFUL) continue;
    OpensslHandle<OCSP_BASICRESP, OCSP_BASICRESP_free> basic(OCSP_response_get1_basic(response.get()));
    int status = -1, reason = 0;
    if (basic && OCSP_resp_find_status(basic.get(), id.get(), &status, &reason, nullptr, nullptr, nullptr) == 1)
      return status == V_OCSP_CERTSTATUS_REVOKED ? Status::kRevoked : Status::kGood;
  }
  return Status::kUnknown;
}

Status crl_status(const DocumentValidationData& data, X509* cert, X509* issuer) {
  EVP_PKEY* key = X509_get0_pubkey(issuer);
  for (const auto& der : data.crls) {
    const unsigned char* in = der.data();
    OpensslHandle<X509_CRL, X509_CRL_free> crl(d2i_X509_CRL(nullptr, &in, static_cast<long>(der.size())));
    if (crl && key && X509_NAME_cmp(X509_CRL_get_issuer(crl.get()), X509_get_subject_name(issuer)) == 0 &&
        X509_CRL_verify(crl.get(), key) == 1) {
      X509_REVOKED* entry = nullptr;
      return X509_CRL_get0_by_cert(crl.get(), &entry, cert) == 1 ? Status::kRevoked : Status::kGood;
    }
  }
  return Status::kUnknown;
}

}  // namespace

DocumentValidationData read_validation_data(QPDF& pdf) {
  DocumentValidationData data;
  try {
    QPDFObjectHandle dss = pdf.getRoot().getKey("/DSS");
    if (!dss.isDictionary()) return data;
    data.present = true;
    data.certificates = streams_of(dss, "/Certs");
    data.ocsp_responses = streams_of(dss, "/OCSPs");
    data.crls = streams_of(dss, "/CRLs");
  } catch (const std::exception&) {
    return DocumentValidationData{};
  }
  return data;
}

ChainCoverage check_chain_coverage(const std::vector<std::span<const std::uint8_t>>& certificates,
                                   const DocumentValidationData& data) {
  ChainCoverage coverage;
  if (certificates.empty() || !data.present) return coverage;
  OpensslHandle<STACK_OF(X509), free_certificates> certs(sk_X509_new_null());
  for (const auto& der : certificates) {
    const unsigned char* in = der.data();
    X509* cert = d2i_X509(nullptr, &in, static_cast<long>(der.size()));
    if (!cert || !certs || !sk_X509_push(certs.get(), cert)) {
      X509_free(cert);
      return coverage;
    }
  }
  for (int i = 0; i < sk_X509_num(certs.get()); ++i) {
    X509* cert = sk_X509_value(certs.get(), i);
    if (X509_check_issued(cert, cert) == X509_V_OK) continue;  // a root answers for itself
    X509* issuer = issuer_in(certs.get(), cert);
    Status status = issuer ? ocsp_status(data, cert, issuer) : Status::kUnknown;
    if (issuer && status == Status::kUnknown) status = crl_status(data, cert, issuer);
    if (status == Status::kRevoked && coverage.revoked.empty()) coverage.revoked = subject_of(cert);
    if (status == Status::kUnknown && coverage.missing.empty()) coverage.missing = subject_of(cert);
  }
  coverage.covered = coverage.missing.empty();
  return coverage;
}

}  // namespace corvane::verify
