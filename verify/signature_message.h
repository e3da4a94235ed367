// A signature's CMS message (DER ContentInfo of SignedData), decoded once
// for every check of the signature: the signature and trust check
// (cms_check), and the format, signed attributes, timestamp and validation
// data (cades_check) read what this decoding found.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

typedef struct NSSCMSMessageStr NSSCMSMessage;
typedef struct NSSCMSSignedDataStr NSSCMSSignedData;
typedef struct NSSCMSContentInfoStr NSSCMSContentInfo;
typedef struct NSSCMSSignerInfoStr NSSCMSSignerInfo;
typedef struct CERTCertificateStr CERTCertificate;
typedef struct SECItemStr SECItem;

namespace corvane::verify {

// A signed attribute's object identifier as the DER contents after tag and
// length; the ones the checks read.
inline constexpr std::uint8_t kMessageDigestOid[] = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x09, 0x04};
inline constexpr std::uint8_t kSigningCertificateV2Oid[] = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d,
                                                            0x01, 0x09, 0x10, 0x02, 0x2f};
inline constexpr std::uint8_t kTimestampTokenOid[] = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d,
                                                      0x01, 0x09, 0x10, 0x02, 0x0e};

// The text of NSS's last error on this thread.
[[nodiscard]] std::string nss_error_text();

class SignatureMessage {
 public:
  // Opens the certificate store if needed, decodes `der` with NSS and makes
  // the certificates the message carries known for this process only, so
  // that the signer and its chain are found; none is added to the store.
  // Never throws: a message that cannot be decoded has problem() set.
  explicit SignatureMessage(std::span<const std::uint8_t> der);

  // Why the message cannot be checked as one signer's signature; "" when
  // it is SignedData with exactly one signer.
  [[nodiscard]] const std::string& problem() const { return problem_; }
  // The first signer; nullptr when there is none (or the message is unreadable).
  [[nodiscard]] NSSCMSSignerInfo* signer() const { return signer_; }
  // The signer's certificate, from the message or the store; nullptr when neither has it.
  [[nodiscard]] CERTCertificate* signer_certificate() const { return certificate_; }
  // The DER of the signer's certificate; empty when it is not found.
  [[nodiscard]] std::span<const std::uint8_t> signer_certificate_der() const;
  // The signer's digest algorithm's object identifier (DER contents).
  [[nodiscard]] std::span<const std::uint8_t> digest_algorithm() const;
  // The content the message carries itself (eContent); nullptr when detached.
  [[nodiscard]] const SECItem* own_content() const { return own_content_; }
  [[nodiscard]] NSSCMSContentInfo* content_info() const { return content_info_; }
  // The DER of each certificate the message carries.
  [[nodiscard]] std::vector<std::span<const std::uint8_t>> certificates() const;
  // The first value of the signer's signed (`signed_attribute`) or
  // unsigned attribute `oid`; nullopt when absent. A message digest comes
  // as the digest's bytes; attributes NSS does not know, as their DER.
  [[nodiscard]] std::optional<std::span<const std::uint8_t>> signed_attribute(std::span<const std::uint8_t> oid) const;
  [[nodiscard]] std::optional<std::span<const std::uint8_t>> unsigned_attribute(
      std::span<const std::uint8_t> oid) const;
  [[nodiscard]] bool has_signed_attributes() const;
  // The signer's signature value.
  [[nodiscard]] std::span<const std::uint8_t> signature_value() const;

 private:
  struct Destroy {
    void operator()(NSSCMSMessage* message) const;
  };
  std::unique_ptr<NSSCMSMessage, Destroy> message_;
  NSSCMSSignedData* signed_data_ = nullptr;
  NSSCMSContentInfo* content_info_ = nullptr;
  NSSCMSSignerInfo* signer_ = nullptr;
  CERTCertificate* certificate_ = nullptr;  // owned by the signer info
  const SECItem* own_content_ = nullptr;
  std::string problem_;
};

}  // namespace corvane::verify
