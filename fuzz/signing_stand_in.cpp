#include "fuzz/signing_stand_in.h"

#include <memory>

#include "component/register_classes.h"
#include "platform/object_factory.h"
#include "signing/store_objects.h"

namespace corvane::fuzz {
namespace {

using platform::ByteArray;

class StandInKey final : public signing::PrivateKey {
 public:
  std::optional<std::string> ContainerName() const override { return "Fuzz Signer"; }
  std::optional<std::string> UniqueContainerName() const override { return "NSS Certificate DB:f0"; }
  std::optional<std::string> ProviderName() const override { return "NSS Certificate DB"; }
  std::optional<int> ProviderType() const override { return signing::kProviderRsaFull; }
  std::optional<bool> IsAccessible() const override { return true; }
  std::optional<bool> IsProtected() const override { return false; }
  std::optional<bool> IsExportable() const override { return false; }
  std::optional<bool> IsRemovable() const override { return false; }
  std::optional<bool> IsMachineKeyset() const override { return false; }
  std::optional<bool> IsHardwareDevice() const override { return false; }
};

// Names with the characters that PDF strings must escape, and one letter
// outside ASCII.
class StandInCertificate final : public signing::Certificate {
 public:
  bool HasPrivateKey() const override { return true; }
  std::shared_ptr<signing::PrivateKey> PrivateKey() const override { return std::make_shared<StandInKey>(); }
  std::optional<std::string> GetInfo(signing::CertInfo info) const override {
    switch (info) {
      case signing::CertInfo::kSubjectSimpleName: return "Fuzz (Signer) \\ J\xC3\xBCrgen";
      case signing::CertInfo::kIssuerSimpleName: return "Fuzz CA";
      case signing::CertInfo::kEmailName: return "fuzz@example.test";
      case signing::CertInfo::kDnsName: return "";
    }
    return std::nullopt;
  }
  std::optional<double> ValidFromDate() const override { return 45000.0; }
  std::optional<double> ValidToDate() const override { return 47000.0; }
  std::optional<ByteArray> Export(int encoding) const override {
    if (encoding != signing::kBinaryEncoding) return std::nullopt;
    return ByteArray(64, 0x30);
  }
  std::optional<std::string> SubjectName() const override { return "CN=Fuzz (Signer)"; }
  std::optional<std::string> IssuerName() const override { return "CN=Fuzz CA"; }
  std::optional<std::string> SerialNumber() const override { return "01"; }
  std::optional<std::string> Sha256Fingerprint() const override { return "00:11"; }
};

class StandInStore final : public signing::Store {
 public:
  bool Open(int, std::string_view, int, platform::CallError&) override {
    open_ = true;
    return true;
  }
  std::int32_t Count() const override { return open_ ? 1 : 0; }
  std::shared_ptr<signing::Certificate> Item(std::int32_t index) const override {
    if (!open_ || index != 1) return nullptr;
    return std::make_shared<StandInCertificate>();
  }
  void Close() override { open_ = false; }

 private:
  bool open_ = false;
};

// Signs nothing at all: the "signature" is a fixed-length run of bytes that
// depends on the content's length, so that a signature over the wrong
// content still differs.
class StandInSignedData final : public signing::SignedData {
 public:
  bool SetContent(std::span<const std::uint8_t> bytes) override {
    length_ = bytes.size();
    has_content_ = true;
    return true;
  }
  bool SetContent(std::string_view text, platform::TextEncoding) override {
    length_ = text.size();
    has_content_ = true;
    return true;
  }
  std::optional<ByteArray> Sign(const signing::Signer& signer, bool detached, int encoding,
                                platform::CallError& error) override {
    if (!has_content_ || !signer.Certificate() || !detached || encoding != signing::kBinaryEncoding) {
      error.description = "nothing to sign";
      return std::nullopt;
    }
    ByteArray signature(kStandInSignatureBytes, 0x5a);
    for (std::size_t i = 0; i < sizeof length_; ++i)
      signature[i] = static_cast<std::uint8_t>(length_ >> (8 * i));
    return signature;
  }
  std::optional<std::size_t> LongestMessage(const signing::Signer&) const override { return kStandInSignatureBytes; }

 private:
  std::size_t length_ = 0;
  bool has_content_ = false;
};

}  // namespace

void install_signing_stand_in() {
  static const auto installed = [] {
    component::register_component_classes();
    auto& factory = platform::ObjectFactory::instance();
    return std::make_shared<std::pair<platform::ObjectFactory::Override, platform::ObjectFactory::Override>>(
        factory.override_class(signing::kStoreClassId, [] { return std::make_shared<StandInStore>(); }),
        factory.override_class(signing::kSignedDataClassId,
                               [] { return std::make_shared<StandInSignedData>(); }));
  }();
  (void)installed;
}

}  // namespace corvane::fuzz
