// Finding the signing certificate once per run, the length of its
// signatures without its key, and the one signature made with it.
#include "signing/sign_content.h"

#include <utility>

#include "identity/user_identity.h"
#include "platform/codepage.h"
#include "platform/hex.h"
#include "platform/object_factory.h"
#include "settings/log.h"
#include "settings/registry.h"
#include "settings/setting_values.h"
#include "signing/store_objects.h"

namespace corvane::signing {
namespace {

constexpr std::string_view kContainerValue = "UniqueContainerName";
constexpr std::string_view kFallbackValue = "lastcertfallback";

// The container name from the user's settings, else the machine's, else the
// chooser. Returns the chooser's error description, or "".
std::string learn_container_name(SignerState& state) {
  if (!state.containerName.empty()) return {};
  state.containerName = settings::read_setting(kContainerValue);
  if (!state.containerName.empty()) return {};
  return show_chooser(state);
}

// "AB:CD:..." or "abcd..." as lower-case hex without separators.
std::string plain_hex(std::string_view text) {
  std::string out;
  for (const char c : text)
    if (c != ':') out += c;
  return platform::ascii_lower(out);
}

// Whether `cert` is what a run's own choice names: its nickname (with or
// without the token's name before it) or its SHA-256 fingerprint.
bool named_by(const Certificate& cert, const std::string& what) {
  if (const auto nickname = cert.Nickname()) {
    if (*nickname == what) return true;
    if (const auto colon = nickname->find(':'); colon != std::string::npos && nickname->substr(colon + 1) == what)
      return true;
  }
  const auto fingerprint = cert.Sha256Fingerprint();
  return fingerprint && names_fingerprint(*fingerprint, what);
}

struct Search {
  std::shared_ptr<Certificate> match;  // nullptr when none matched
  std::shared_ptr<Certificate> last;   // the store's last certificate
};

// The first certificate, in store order, with a usable key whose unique
// container name is `name` (or, with `by_certificate`, which `name` names
// by nickname or fingerprint).
Search find_certificate(const Store& store, const std::string& name, bool by_certificate) {
  Search found;
  const std::int32_t count = store.Count();
  for (std::int32_t i = 1; i <= count; ++i) {
    auto cert = store.Item(i);
    if (!cert) continue;
    found.last = cert;
    if (name.empty() || !cert->HasPrivateKey()) continue;
    const auto key = cert->PrivateKey();
    if (!key || !signs_with_provider(key->ProviderType().value_or(kUnknownProvider))) continue;
    if (key->UniqueContainerName() == name || (by_certificate && named_by(*cert, name))) {
      found.match = std::move(cert);
      break;
    }
  }
  return found;
}

// Sites that rely on signing with the store's last certificate when the
// selected one is missing set lastcertfallback = "1".
bool last_certificate_fallback() {
  return settings::read_setting(kFallbackValue) == "1";
}

std::string fallback_line(const std::string& name, const Certificate& last) {
  return "the selected certificate " + name +
         " is not in the store; lastcertfallback: signing with the store's last certificate, " +
         last.GetInfo(CertInfo::kSubjectSimpleName).value_or("");
}

// Why nothing is signed when the selection matched no usable key.
platform::Refusal not_found(const Store& store, const std::string& name) {
  using platform::ErrorCode;
  if (std::string problem = store.LoginProblem(); !problem.empty()) return {ErrorCode::kTokenLogin, problem};
  if (name.empty()) return {ErrorCode::kCertificateNotFound, "no certificate is selected"};
  return {ErrorCode::kCertificateNotFound, "the selected certificate " + name + " is not in the store"};
}

// Records the certificate's details in `state` (and its e-mail address for
// `user_name`, when none is stored); a detail that cannot be read keeps its
// old value.
void record_details(SignerState& state, std::string& user_name, const Certificate& cert,
                    const Utilities* utilities) {
  if (auto name = cert.GetInfo(CertInfo::kSubjectSimpleName)) state.signerName = std::move(*name);
  if (auto email = cert.GetInfo(CertInfo::kEmailName)) state.signerEmail = std::move(*email);
  if (!state.signerEmail.empty() && !user_name.empty()) {
    const std::string stored = identity::read_user_email(user_name);
    if (stored.empty() || stored == "default") identity::store_user_email(user_name, state.signerEmail);
  }
  if (utilities) {
    if (auto der = cert.Export(kBinaryEncoding)) state.certificateHex = platform::ascii_lower(utilities->BinaryToHex(*der));
  }
  if (auto dns = cert.GetInfo(CertInfo::kDnsName)) state.signerDnsName = std::move(*dns);
}

// A signed-data object of the store for `cert`'s signatures; nullptr when
// the store's classes cannot be made.
struct SigningObjects {
  std::shared_ptr<Signer> signer;
  std::shared_ptr<SignedData> data;
};
SigningObjects signing_objects(std::shared_ptr<Certificate> cert, bool cades) {
  SigningObjects made{platform::create_as<Signer>(kSignerClassId), platform::create_as<SignedData>(kSignedDataClassId)};
  if (!made.signer || !made.data) return {};
  made.signer->SetCertificate(std::move(cert));
  made.signer->SetOptions(kIncludeWholeChain);
  made.data->SetCadesAttributes(cades);
  return made;
}

// The certificate to sign with: the one kept for this selection, else the
// store's search. Returns nullptr with `answer` set to the store's error or
// the refusal (also in state.refusal) when there is none.
std::shared_ptr<Certificate> certificate_in_hand(SignerState& state, const std::string& selection,
                                                 std::string& answer) {
  const bool by_certificate = !selection.empty();
  const std::string& name = by_certificate ? selection : state.containerName;
  const std::string kept_for = (by_certificate ? "run\n" : "key\n") + name;
  if (state.found && state.foundFor == kept_for) {
    if (state.foundByFallback) settings::log_line(fallback_line(name, *state.found));
    return state.found;
  }
  state.found.reset();
  state.foundFor.clear();
  state.foundByFallback = false;

  auto store = platform::create_as<Store>(kStoreClassId, &answer);
  if (!store) return nullptr;
  platform::CallError open_error;
  if (!store->Open(kCurrentUserStore, kMyStore, kStoreReadOnly, open_error)) {
    answer = open_error.description;
    return nullptr;
  }
  Search search = find_certificate(*store, name, by_certificate);
  const bool fallback = !search.match && search.last && last_certificate_fallback();
  if (search.match || fallback) {
    state.found = fallback ? search.last : search.match;
    state.foundFor = kept_for;
    state.foundByFallback = fallback;
    if (fallback) settings::log_line(fallback_line(name, *state.found));
    return state.found;
  }
  state.refusal = not_found(*store, name);
  answer = state.refusal.message();
  return nullptr;
}

}  // namespace

SelectedSigner select_signer(SignerState& state, const std::string& selection, std::string& user_name) {
  state.refusal.clear();
  SelectedSigner selected;
  if (selection.empty()) {
    if (std::string error = learn_container_name(state); !error.empty()) {
      selected.problem = std::move(error);
      return selected;
    }
  }
  selected.certificate = certificate_in_hand(state, selection, selected.problem);
  if (!selected.certificate) return selected;
  const auto utilities = platform::create_as<Utilities>(kUtilitiesClassId);
  record_details(state, user_name, *selected.certificate, utilities.get());
  selected.details = state;
  return selected;
}

std::size_t longest_signature_hex(const std::shared_ptr<Certificate>& certificate, bool cades) {
  const SigningObjects objects = signing_objects(certificate, cades);
  if (!objects.data) return 0;
  return 2 * objects.data->LongestMessage(*objects.signer).value_or(0);
}

std::optional<platform::ByteArray> sign_content(SignerState& state, const std::shared_ptr<Certificate>& certificate,
                                                const ContentFeed& feed, bool cades, std::string& why) {
  const SigningObjects objects = signing_objects(certificate, cades);
  std::optional<platform::ByteArray> signature;
  platform::CallError error;
  if (!objects.data) {
    why = "the store's signing objects cannot be made";
  } else if (!objects.data->SetContentFeed(feed)) {
    why = "the content to sign could not be read";
  } else if (!(signature = objects.data->Sign(*objects.signer, /*detached=*/true, kBinaryEncoding, error))) {
    why = error.description;
  }
  // A key that cannot sign (a card pulled out) is looked up afresh next time.
  if (!signature && state.found == certificate) state.found.reset();
  return signature;
}

std::string signContent(SignerState& state, std::string_view was, const std::string& selection) {
  const SelectedSigner selected = select_signer(state, selection);
  if (!selected.certificate) return selected.problem;
  if (was.empty()) return {};
  const SigningObjects objects = signing_objects(selected.certificate, /*cades=*/false);
  platform::CallError error;
  std::optional<platform::ByteArray> signature;
  if (objects.data && objects.data->SetContent(was, platform::TextEncoding::kUtf8))
    signature = objects.data->Sign(*objects.signer, /*detached=*/true, kBinaryEncoding, error);
  if (!signature) {
    if (state.found == selected.certificate) state.found.reset();
    return {};
  }
  return platform::lower_hex(*signature);
}

bool names_fingerprint(const std::string& fingerprint, const std::string& what) {
  return what.size() >= 64 && plain_hex(fingerprint) == plain_hex(what);
}

}  // namespace corvane::signing
