// Finding the signing certificate and making a detached PKCS#7 signature.
#pragma once

#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "signing/signer_state.h"

namespace corvane::signing {

// Looks the certificate up (settings, else the chooser), records its details
// in `state` and, unless `was` is empty, signs: state.contentPieces one
// after another when there are any (then emptied), else state.contentBytes
// when it holds 3 bytes or more (then reduced to one zero byte), else the
// UTF-16LE code units of `was` (in `encoding`). Returns the signature as lower-case
// hex, "" when nothing was signed or signing failed, or the error
// description when the store cannot be opened or the chooser failed.
[[nodiscard]] std::string signContent(SignerState& state, std::string_view was,
                                      platform::TextEncoding encoding = platform::TextEncoding::kUtf8);

// Shows the certificate chooser modally; errors while loading it are
// returned as their description ("" when it showed and closed).
std::string show_chooser(SignerState& state);

// Registers the certificate-store classes ("CAPICOM.Utilities", Store,
// Signer, SignedData) in the object factory. Idempotent.
void register_signing_classes();

}  // namespace corvane::signing
