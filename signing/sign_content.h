// Finding the signing certificate and making a detached PKCS#7 signature.
#pragma once

#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "signing/signer_state.h"

namespace corvane::signing {

// Looks the certificate up (state.runSelection, else containerName from the
// settings or the chooser), records its details in `state` and, unless `was`
// is empty, signs: state.contentPieces one after another when there are any
// (then emptied), else state.contentBytes when it holds 3 bytes or more
// (then reduced to one zero byte), else the UTF-16LE code units of `was` (in
// `encoding`). Returns the signature as lower-case hex, "" when nothing was
// signed or signing failed, or the error description when the store cannot
// be opened or the chooser failed.
//
// Only a certificate whose RSA or EC key matches the selection signs. When
// none matches, nothing is signed and the answer (also in state.refusal) is
// "the selected certificate NAME is not in the store" (or the login problem
// of a token), unless the setting lastcertfallback is "1": then the store's
// last certificate is used and a log line says so (once while
// state.fallbackLogged stays false, which a run resets). The certificate found is
// kept in `state` while the selection stays the same, so the store is opened
// and searched once. signatureHexLength includes the room a later, longer
// signature of an EC or DSA key may need (the hex text itself is not
// padded).
[[nodiscard]] std::string signContent(SignerState& state, std::string_view was,
                                      platform::TextEncoding encoding = platform::TextEncoding::kUtf8);

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
