// The certificate-store objects of the automation layer: store, certificate,
// private key, signer, signed data and utilities. Each is created through
// platform::ObjectFactory by its class identifier (the utilities also by the
// ProgID "CAPICOM.Utilities"), so a test can replace any of them. The real
// implementations work on the user's NSS database (see nss_database.h).
//
// Members that can fail return nullopt, false or nullptr; where they take a
// platform::CallError they also fill its description.
//
// Dates are OLE dates (a `double`: days since 1899-12-30 00:00, the fraction
// being the time of day) in local wall-clock time unless a member says
// otherwise. Late-bound callers pass and receive them as Variant doubles.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation.h"
#include "platform/codepage.h"
#include "platform/variant.h"
#include "signing/signer_state.h"

namespace corvane::signing {

inline constexpr std::string_view kStoreClassId = "{91D221C4-0CD4-461C-A728-01D509321556}";
inline constexpr std::string_view kSignerClassId = "{60A9863A-11FD-4080-850E-A8E184FC3A3C}";
inline constexpr std::string_view kSignedDataClassId = "{94AFFFCC-6C05-4814-B123-A941105AA77F}";
inline constexpr std::string_view kUtilitiesClassId = "{22A85CE1-F011-4231-B9E4-7E7A0438F71B}";
inline constexpr std::string_view kUtilitiesProgId = "CAPICOM.Utilities";

// Store location, name and open mode of the user's personal store.
inline constexpr int kCurrentUserStore = 2;
inline constexpr std::string_view kMyStore = "My";
inline constexpr int kStoreReadOnly = 0;

// What Certificate::GetInfo returns.
enum class CertInfo {
  kSubjectSimpleName = 0,  // subject common name
  kIssuerSimpleName = 1,   // issuer common name
  kEmailName = 2,          // subject e-mail attribute, else first e-mail of the alt. names
  kDnsName = 6,            // first DNS name of the subject alternative names
};

// Key provider types. Keys other than RSA, DSA and EC report
// kUnknownProvider.
inline constexpr int kUnknownProvider = 0;
inline constexpr int kProviderRsaFull = 1;
inline constexpr int kProviderRsaSig = 2;
inline constexpr int kProviderDss = 3;
inline constexpr int kProviderFortezza = 4;
inline constexpr int kProviderEcdsa = 5;

// Keys the component signs with: RSA and EC.
[[nodiscard]] constexpr bool signs_with_provider(int type) {
  return type == kProviderRsaFull || type == kProviderRsaSig || type == kProviderEcdsa;
}

// Signer option: include the whole chain up to and including the root.
inline constexpr int kIncludeWholeChain = 1;
// Output encoding of SignedData::Sign and Certificate::Export: binary DER.
inline constexpr int kBinaryEncoding = 1;

// Facts of a certificate's private key.
class PrivateKey : public platform::AutomationObject {
 public:
  // The key's nickname, else the certificate's.
  [[nodiscard]] virtual std::optional<std::string> ContainerName() const = 0;
  // Token name, ":" and the key's id in lower-case hex: stable and unique.
  [[nodiscard]] virtual std::optional<std::string> UniqueContainerName() const = 0;
  // The token's name.
  [[nodiscard]] virtual std::optional<std::string> ProviderName() const = 0;
  [[nodiscard]] virtual std::optional<int> ProviderType() const = 0;
  [[nodiscard]] virtual std::optional<bool> IsAccessible() const = 0;
  [[nodiscard]] virtual std::optional<bool> IsProtected() const = 0;
  [[nodiscard]] virtual std::optional<bool> IsExportable() const = 0;
  [[nodiscard]] virtual std::optional<bool> IsRemovable() const = 0;
  [[nodiscard]] virtual std::optional<bool> IsMachineKeyset() const = 0;
  [[nodiscard]] virtual std::optional<bool> IsHardwareDevice() const = 0;
};

class Certificate : public platform::AutomationObject {
 public:
  [[nodiscard]] virtual bool HasPrivateKey() const = 0;
  // nullptr when there is no key or it cannot be reached (token absent,
  // login refused).
  [[nodiscard]] virtual std::shared_ptr<signing::PrivateKey> PrivateKey() const = 0;
  // nullopt for an unknown `info`; "" when the certificate lacks the item.
  [[nodiscard]] virtual std::optional<std::string> GetInfo(CertInfo info) const = 0;
  [[nodiscard]] virtual std::optional<double> ValidFromDate() const = 0;
  [[nodiscard]] virtual std::optional<double> ValidToDate() const = 0;
  // The DER bytes; nullopt for an encoding other than kBinaryEncoding.
  [[nodiscard]] virtual std::optional<platform::ByteArray> Export(int encoding) const = 0;
  // What the certificate dialog shows: full subject and issuer names,
  // serial number and SHA-256 fingerprint as colon-separated upper-case hex.
  [[nodiscard]] virtual std::optional<std::string> SubjectName() const = 0;
  [[nodiscard]] virtual std::optional<std::string> IssuerName() const = 0;
  [[nodiscard]] virtual std::optional<std::string> SerialNumber() const = 0;
  [[nodiscard]] virtual std::optional<std::string> Sha256Fingerprint() const = 0;
  // The certificate's nickname in the store; nullopt when it has none.
  [[nodiscard]] virtual std::optional<std::string> Nickname() const { return std::nullopt; }
};

// The user's certificate store. Its order is fixed while the database is
// unchanged (see NssStore for which order).
class Store : public platform::AutomationObject {
 public:
  // Opens `name` at `location` in `mode`. False with `error` filled when the
  // database cannot be opened or the arguments name another store.
  virtual bool Open(int location, std::string_view name, int mode, platform::CallError& error) = 0;
  // 0 while not open.
  [[nodiscard]] virtual std::int32_t Count() const = 0;
  // Certificate `index` (1-based); nullptr outside 1..Count().
  [[nodiscard]] virtual std::shared_ptr<Certificate> Item(std::int32_t index) const = 0;
  virtual void Close() = 0;
  // Why the keys of a token are missing from the store (its login failed:
  // "wrong PIN for token NAME", ...); "" when every token could be read.
  [[nodiscard]] virtual std::string LoginProblem() const { return {}; }
};

// Who signs: a certificate with its private key, and the chain option.
class Signer : public platform::AutomationObject {
 public:
  virtual void SetCertificate(std::shared_ptr<signing::Certificate> certificate) {
    certificate_ = std::move(certificate);
  }
  [[nodiscard]] const std::shared_ptr<signing::Certificate>& Certificate() const {
    return certificate_;
  }
  virtual void SetOptions(int options) { options_ = options; }
  [[nodiscard]] int Options() const { return options_; }

 private:
  std::shared_ptr<signing::Certificate> certificate_;
  int options_ = 0;
};

// A CMS SignedData message over a content. Setting the content reads it at
// once and keeps only its SHA-256 digest, so a large content is never copied.
class SignedData : public platform::AutomationObject {
 public:
  // The content is exactly `bytes`.
  virtual bool SetContent(std::span<const std::uint8_t> bytes) = 0;
  // The content is the UTF-16LE code units of `text` (no terminator).
  virtual bool SetContent(std::string_view text, platform::TextEncoding encoding) = 0;
  // The content is `pieces`, one after another. This default joins them and
  // sets the joined bytes; a store that can read pieces directly overrides it.
  virtual bool SetContentPieces(std::span<const std::span<const std::uint8_t>> pieces) {
    std::vector<std::uint8_t> joined;
    for (const auto piece : pieces) joined.insert(joined.end(), piece.begin(), piece.end());
    return SetContent(joined);
  }
  // The content is what `feed` hands over. This default joins the pieces;
  // a store that can hash them as they come overrides it. False when the
  // feed fails.
  virtual bool SetContentFeed(const ContentFeed& feed) {
    std::vector<std::uint8_t> joined;
    if (!feed([&joined](std::span<const std::uint8_t> piece) { joined.insert(joined.end(), piece.begin(), piece.end()); }))
      return false;
    return SetContent(joined);
  }
  // Signs the content with `signer`'s certificate. Only detached signatures
  // in kBinaryEncoding are made: SHA-256, DER, no signed attributes unless
  // SetCadesAttributes(true) was called. Returns nullopt with `error` filled
  // when there is no content, no usable key, or signing fails.
  [[nodiscard]] virtual std::optional<platform::ByteArray> Sign(const Signer& signer, bool detached,
                                                                int encoding,
                                                                platform::CallError& error) = 0;
  // The length of the longest message Sign makes with `signer`'s
  // certificate (and the signed attributes as set), found without using its
  // key: an RSA signature is as long as the key's modulus, an EC or DSA one
  // at most the longest DER value below its group order. nullopt when the
  // certificate cannot be read.
  [[nodiscard]] virtual std::optional<std::size_t> LongestMessage(const Signer& signer) const = 0;
  // When true, the signer info carries the signed attributes of a CAdES
  // signature: content-type, message-digest and signing-certificate-v2 (no
  // signing time). A store that cannot make them fails Sign.
  void SetCadesAttributes(bool on) { cades_attributes_ = on; }
  [[nodiscard]] bool CadesAttributes() const { return cades_attributes_; }

 private:
  bool cades_attributes_ = false;
};

// Conversions. Late-bound members (by name): "BinaryToHex" (a byte array ->
// text) and "LocalTimeToUTCTime" (an OLE date in local wall-clock time, a
// Variant double; a whole number of days as an Int32 also works -> the same
// moment as an OLE date in UTC wall-clock time, a Variant double).
class Utilities : public platform::AutomationObject {
 public:
  // Two lower-case hex digits per byte, nothing between them.
  [[nodiscard]] virtual std::string BinaryToHex(std::span<const std::uint8_t> bytes) const;
  // nullopt when the date is outside the years 100..9999 or the local time
  // cannot be converted.
  [[nodiscard]] virtual std::optional<double> LocalTimeToUTCTime(double local) const;

  [[nodiscard]] platform::DispId dispatch_id(std::string_view name) const override;
  bool invoke(platform::DispId id, platform::InvokeKind kind, std::span<platform::Variant> args,
              platform::Variant& result, platform::CallError& error) override;
};

}  // namespace corvane::signing
