// Finding the signing certificate and making a detached PKCS#7 signature.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/variant.h"
#include "platform/codepage.h"
#include "signing/signer_state.h"

namespace corvane::signing {

// The certificate a signing run signs with, looked up once per run.
struct SelectedSigner {
  // nullptr when none can sign; `problem` then says why: the refusal (also
  // in state.refusal), the store's error or the chooser's.
  std::shared_ptr<Certificate> certificate;
  std::string problem;
  // The signer's details as recorded in the state by this lookup.
  SignerDetails details;
};

// Looks the certificate up and records its details in `state`; its key is
// not used. `selection` is the caller's own choice (nickname, SHA-256
// fingerprint or unique container name): when it is not empty neither the
// settings nor the chooser are consulted and nothing is saved; an empty one
// uses state.containerName, learned from the settings or the chooser. The
// certificate's e-mail address is stored for `user_name` when none is
// (user.ini); both are normalised in place then.
//
// Only a certificate whose RSA or EC key matches the selection signs. When
// none matches, the problem (also in state.refusal) is "the selected
// certificate NAME is not in the store" (or the login problem of a token),
// unless the setting lastcertfallback is "1": then the store's last
// certificate is used and a log line says so. The certificate
// found is kept in `state` while the selection stays the same, so the store
// is opened and searched once.
[[nodiscard]] SelectedSigner select_signer(SignerState& state, const std::string& selection, std::string& user_name);
// The same for the user name last given on this thread (state.userName).
[[nodiscard]] inline SelectedSigner select_signer(SignerState& state, const std::string& selection = {}) {
  return select_signer(state, selection, state.userName);
}

// Hex digits of the longest signature `certificate` makes (`cades`: with
// the CAdES signed attributes), found without its key; 0 when the
// certificate cannot be read.
[[nodiscard]] std::size_t longest_signature_hex(const std::shared_ptr<Certificate>& certificate, bool cades);

// Signs what `feed` hands over with `certificate`'s key, used once: a
// detached CMS message (DER). nullopt with `why` when the content cannot be
// read or the key cannot sign; the certificate is then looked up afresh
// next time.
[[nodiscard]] std::optional<platform::ByteArray> sign_content(SignerState& state,
                                                              const std::shared_ptr<Certificate>& certificate,
                                                              const ContentFeed& feed, bool cades, std::string& why);

// select_signer for `selection`, then, unless `was` is empty, the signature
// of the UTF-16LE code units of `was` (UTF-8) as lower-case hex. Returns ""
// when nothing was signed or signing failed, or the problem of the
// selection (the refusal is also in state.refusal).
[[nodiscard]] std::string signContent(SignerState& state, std::string_view was, const std::string& selection = {});

// Whether `what` (as a user types it: upper or lower case, with or without
// colons) is the SHA-256 fingerprint `fingerprint`.
[[nodiscard]] bool names_fingerprint(const std::string& fingerprint, const std::string& what);

// Shows the certificate chooser modally; errors while loading it are
// returned as their description ("" when it showed and closed).
std::string show_chooser(SignerState& state);

// Registers the certificate-store classes ("CAPICOM.Utilities", Store,
// Signer, SignedData) in the object factory. Idempotent.
void register_signing_classes();

}  // namespace corvane::signing
