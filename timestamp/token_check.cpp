#include "timestamp/token_check.h"

#include <openssl/err.h>
#include <openssl/ts.h>
#include <openssl/x509v3.h>

#include <memory>

#include "platform/iso_time.h"
#include "platform/openssl_handle.h"
#include "timestamp/token_store.h"

namespace corvane::timestamp {

using platform::OpensslHandle;

namespace internal {

X509_STORE* store_of_token_certificates(PKCS7* token) {
  X509_STORE* store = X509_STORE_new();
  if (!store) return nullptr;
  X509_STORE_set_flags(store, X509_V_FLAG_PARTIAL_CHAIN);
  STACK_OF(X509)* certs = PKCS7_type_is_signed(token) ? token->d.sign->cert : nullptr;
  for (int i = 0; certs && i < sk_X509_num(certs); ++i) X509_STORE_add_cert(store, sk_X509_value(certs, i));
  return store;
}

}  // namespace internal

namespace {


std::string bio_text(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

// "2026-12-05T21:50:12+00:00" from a GeneralizedTime.
std::string readable_time(const ASN1_GENERALIZEDTIME* time) {
  struct tm t {};
  if (!time || ASN1_TIME_to_tm(time, &t) != 1) return {};
  return platform::iso_8601({t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec}, 0);
}

std::string authority_of(TS_TST_INFO* info, PKCS7* token) {
  OpensslHandle<BIO, BIO_free_all> out(BIO_new(BIO_s_mem()));
  if (!out) return {};
  if (const GENERAL_NAME* name = TS_TST_INFO_get_tsa(info); name && name->type == GEN_DIRNAME) {
    X509_NAME_print_ex(out.get(), name->d.directoryName, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    return bio_text(out.get());
  }
  STACK_OF(X509)* signers = PKCS7_get0_signers(token, nullptr, 0);
  if (signers && sk_X509_num(signers) > 0)
    X509_NAME_print_ex(out.get(), X509_get_subject_name(sk_X509_value(signers, 0)), 0,
                       XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
  sk_X509_free(signers);
  return bio_text(out.get());
}

std::vector<std::uint8_t> der_of(X509* cert) {
  unsigned char* der = nullptr;
  const int length = i2d_X509(cert, &der);
  if (length <= 0) return {};
  std::vector<std::uint8_t> out(der, der + length);
  OPENSSL_free(der);
  return out;
}

// The signer's certificate first, then the others the token carries.
std::vector<std::vector<std::uint8_t>> certificates_of(PKCS7* token) {
  std::vector<std::vector<std::uint8_t>> out;
  STACK_OF(X509)* signers = PKCS7_get0_signers(token, nullptr, 0);
  X509* signer = signers && sk_X509_num(signers) == 1 ? sk_X509_value(signers, 0) : nullptr;
  if (signer) out.push_back(der_of(signer));
  STACK_OF(X509)* certs = PKCS7_type_is_signed(token) ? token->d.sign->cert : nullptr;
  for (int i = 0; signer && certs && i < sk_X509_num(certs); ++i)
    if (X509_cmp(sk_X509_value(certs, i), signer) != 0) out.push_back(der_of(sk_X509_value(certs, i)));
  sk_X509_free(signers);
  ERR_clear_error();
  return out;
}

std::string last_openssl_error() {
  char reason[256] = "";
  if (const unsigned long code = ERR_peek_last_error(); code != 0) ERR_error_string_n(code, reason, sizeof reason);
  return reason;
}

// Runs the checks of `flags` on the token; "" when they hold.
std::string verify(PKCS7* token, const Sha256& imprint, int flags) {
  OpensslHandle<TS_VERIFY_CTX, TS_VERIFY_CTX_free> context(TS_VERIFY_CTX_new());
  auto* imprint_copy = static_cast<unsigned char*>(OPENSSL_memdup(imprint.data(), imprint.size()));
  X509_STORE* store = internal::store_of_token_certificates(token);
  if (!context || !imprint_copy || !store) {
    OPENSSL_free(imprint_copy);
    X509_STORE_free(store);
    return "the token cannot be checked";
  }
  // The context owns what it is given.
  TS_VERIFY_CTX_set_imprint(context.get(), imprint_copy, static_cast<long>(imprint.size()));
  TS_VERIFY_CTX_set_store(context.get(), store);
  TS_VERIFY_CTX_set_flags(context.get(), flags);
  ERR_clear_error();
  if (TS_RESP_verify_token(context.get(), token) == 1) return {};
  const std::string reason = last_openssl_error();
  return reason.empty() ? "the token does not hold" : reason;
}

}  // namespace

TokenCheck check_token(std::span<const std::uint8_t> der, const Sha256& imprint) {
  TokenCheck check;
  const unsigned char* in = der.data();
  OpensslHandle<PKCS7, PKCS7_free> token(d2i_PKCS7(nullptr, &in, static_cast<long>(der.size())));
  OpensslHandle<TS_TST_INFO, TS_TST_INFO_free> info(
      token ? PKCS7_to_TS_TST_INFO(token.get()) : nullptr);
  if (!info) {
    check.problem = "the timestamp token cannot be read";
    return check;
  }
  check.readable = true;
  check.time = readable_time(TS_TST_INFO_get_time(info.get()));
  check.authority = authority_of(info.get(), token.get());
  check.certificates = certificates_of(token.get());
  const std::string signature = verify(token.get(), imprint, TS_VFY_SIGNATURE | TS_VFY_SIGNER);
  const std::string imprint_problem = verify(token.get(), imprint, TS_VFY_IMPRINT);
  check.signature_valid = signature.empty();
  check.imprint_matches = imprint_problem.empty();
  check.problem = !signature.empty() ? signature : imprint_problem;
  return check;
}

}  // namespace corvane::timestamp
