// Certificates and private keys of the NSS database as automation objects.
#pragma once

#include "signing/store_objects.h"
#include "signing/nss_handles.h"

namespace corvane::signing {

class NssPrivateKey final : public PrivateKey {
 public:
  // `fallback_name` is the certificate's nickname, used when the key has none.
  NssPrivateKey(PrivateKeyHandle key, std::string fallback_name);

  [[nodiscard]] std::optional<std::string> ContainerName() const override;
  [[nodiscard]] std::optional<std::string> UniqueContainerName() const override;
  [[nodiscard]] std::optional<std::string> ProviderName() const override;
  [[nodiscard]] std::optional<int> ProviderType() const override;
  [[nodiscard]] std::optional<bool> IsAccessible() const override;
  [[nodiscard]] std::optional<bool> IsProtected() const override;
  [[nodiscard]] std::optional<bool> IsExportable() const override;
  [[nodiscard]] std::optional<bool> IsRemovable() const override;
  [[nodiscard]] std::optional<bool> IsMachineKeyset() const override;
  [[nodiscard]] std::optional<bool> IsHardwareDevice() const override;

 private:
  PrivateKeyHandle key_;
  std::string fallback_name_;
};

class NssCertificate final : public Certificate {
 public:
  // `has_key`: the database lists a private key for the certificate.
  NssCertificate(CertHandle cert, bool has_key);

  // The certificate itself, for the signing code; never null.
  [[nodiscard]] CERTCertificate* native() const { return cert_.get(); }

  [[nodiscard]] bool HasPrivateKey() const override { return has_key_; }
  [[nodiscard]] std::shared_ptr<signing::PrivateKey> PrivateKey() const override;
  [[nodiscard]] std::optional<std::string> GetInfo(CertInfo info) const override;
  [[nodiscard]] std::optional<double> ValidFromDate() const override;
  [[nodiscard]] std::optional<double> ValidToDate() const override;
  [[nodiscard]] std::optional<platform::ByteArray> Export(int encoding) const override;
  [[nodiscard]] std::optional<std::string> SubjectName() const override;
  [[nodiscard]] std::optional<std::string> IssuerName() const override;
  [[nodiscard]] std::optional<std::string> SerialNumber() const override;
  [[nodiscard]] std::optional<std::string> Sha256Fingerprint() const override;
  [[nodiscard]] std::optional<std::string> Nickname() const override;

 private:
  CertHandle cert_;
  bool has_key_;
};

}  // namespace corvane::signing
