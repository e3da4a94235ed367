// signContent: find the signing certificate, record its details, sign.
#include "signing/sign_content.h"

#include <utility>

#include "identity/user_identity.h"
#include "platform/codepage.h"
#include "platform/object_factory.h"
#include "settings/registry.h"
#include "signing/store_objects.h"

namespace corvane::signing {
namespace {

constexpr std::string_view kContainerValue = "UniqueContainerName";
// contentBytes supplies the content from this many bytes on; below that the
// text argument is signed.
constexpr std::size_t kMinContentBytes = 3;

std::string setting(std::string_view base, std::string_view name) {
  std::string path(base);
  path += name;
  return settings::reg_read(path);
}

// The container name from the user's settings, else the machine's, else the
// chooser. Returns the chooser's error description, or "".
std::string learn_container_name(SignerState& state) {
  if (!state.containerName.empty()) return {};
  state.containerName = setting(settings::kUserBase, kContainerValue);
  if (state.containerName.empty()) state.containerName = setting(settings::kMachineBase, kContainerValue);
  if (!state.containerName.empty()) return {};
  return show_chooser(state);
}

// The certificate whose RSA key has the unique container name `name`; when
// none matches, the last certificate of the store (nullptr when it is empty).
std::shared_ptr<Certificate> find_certificate(const Store& store, const std::string& name) {
  std::shared_ptr<Certificate> in_hand;
  const std::int32_t count = store.Count();
  for (std::int32_t i = 1; i <= count; ++i) {
    if (auto cert = store.Item(i)) in_hand = std::move(cert);
    else continue;
    if (!in_hand->HasPrivateKey()) continue;
    const auto key = in_hand->PrivateKey();
    if (!key) continue;
    const int type = key->ProviderType().value_or(kUnknownProvider);
    if (type != kProviderRsaFull && type != kProviderRsaSig) continue;
    if (key->UniqueContainerName() == name) break;
  }
  return in_hand;
}

// Records the certificate's details in `state`; a detail that cannot be read
// keeps its old value.
void record_details(SignerState& state, const Certificate& cert, const Utilities* utilities) {
  if (auto name = cert.GetInfo(CertInfo::kSubjectSimpleName)) state.signerName = std::move(*name);
  if (auto email = cert.GetInfo(CertInfo::kEmailName)) state.signerEmail = std::move(*email);
  if (!state.signerEmail.empty() && !state.userName.empty()) {
    const std::string stored = identity::read_user_email(state.userName);
    if (stored.empty() || stored == "default") identity::store_user_email(state.userName, state.signerEmail);
  }
  if (utilities) {
    if (auto der = cert.Export(kBinaryEncoding)) state.certificateHex = platform::ascii_lower(utilities->BinaryToHex(*der));
  }
  if (auto dns = cert.GetInfo(CertInfo::kDnsName)) state.signerDnsName = std::move(*dns);
}

// Signs with `cert`; the content is contentPieces when there are any (then
// emptied), else contentFeed when set (then cleared), else contentBytes when it holds enough bytes (then reduced to one
// zero byte), else `was`. Returns the signature or
// nullopt.
std::optional<platform::ByteArray> sign_with(SignerState& state, std::shared_ptr<Certificate> cert,
                                             std::string_view was, platform::TextEncoding encoding) {
  auto signer = platform::create_as<Signer>(kSignerClassId);
  auto signed_data = platform::create_as<SignedData>(kSignedDataClassId);
  if (signer) signer->SetCertificate(std::move(cert));
  if (signed_data) {
    if (!state.contentPieces.empty()) {
      signed_data->SetContentPieces(state.contentPieces);
      state.contentPieces.clear();
    } else if (state.contentFeed) {
      const ContentFeed feed = std::exchange(state.contentFeed, nullptr);
      if (!signed_data->SetContentFeed(feed)) return std::nullopt;
    } else if (state.contentBytes && state.contentBytes->size() >= kMinContentBytes) {
      signed_data->SetContent(*state.contentBytes);
      state.contentBytes = std::vector<std::uint8_t>{0};
    } else {
      signed_data->SetContent(was, encoding);
    }
  }
  if (!signer || !signed_data) return std::nullopt;
  signer->SetOptions(kIncludeWholeChain);
  platform::CallError error;
  return signed_data->Sign(*signer, /*detached=*/true, kBinaryEncoding, error);
}

}  // namespace

std::string signContent(SignerState& state, std::string_view was, platform::TextEncoding encoding) {
  std::string error = learn_container_name(state);

  std::string create_error;
  auto store = platform::create_as<Store>(kStoreClassId, &create_error);
  if (!store) {
    error = create_error;
  } else {
    platform::CallError open_error;
    if (!store->Open(kCurrentUserStore, kMyStore, kStoreReadOnly, open_error)) error = open_error.description;
  }
  if (!error.empty()) return error;

  const auto cert = find_certificate(*store, state.containerName);
  const auto utilities = platform::create_as<Utilities>(kUtilitiesClassId);
  if (cert) record_details(state, *cert, utilities.get());
  if (was.empty()) return {};

  std::string result;
  if (auto signature = sign_with(state, cert, was, encoding); signature && utilities)
    result = platform::ascii_lower(utilities->BinaryToHex(*signature));
  state.signatureHexLength = static_cast<std::int32_t>(result.size());
  return result;
}

}  // namespace corvane::signing
