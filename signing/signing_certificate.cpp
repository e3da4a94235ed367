#include "signing/signing_certificate.h"

#include <openssl/ess.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace corvane::signing {

std::optional<std::vector<std::uint8_t>> signing_certificate_v2(std::span<const std::uint8_t> certificate_der) {
  const unsigned char* in = certificate_der.data();
  std::unique_ptr<X509, decltype(&X509_free)> cert(d2i_X509(nullptr, &in, static_cast<long>(certificate_der.size())),
                                                   &X509_free);
  if (!cert) return std::nullopt;
  std::unique_ptr<ESS_SIGNING_CERT_V2, decltype(&ESS_SIGNING_CERT_V2_free)> value(
      OSSL_ESS_signing_cert_v2_new_init(EVP_sha256(), cert.get(), nullptr, /*set_issuer_serial=*/1),
      &ESS_SIGNING_CERT_V2_free);
  if (!value) return std::nullopt;
  const int length = i2d_ESS_SIGNING_CERT_V2(value.get(), nullptr);
  if (length <= 0) return std::nullopt;
  std::vector<std::uint8_t> der(static_cast<std::size_t>(length));
  unsigned char* out = der.data();
  if (i2d_ESS_SIGNING_CERT_V2(value.get(), &out) != length) return std::nullopt;
  return der;
}

}  // namespace corvane::signing
