// A certificate store with one signer whose signatures are made without
// cryptography: for the fuzz runs of the signing pipeline, which must be
// fast, and in which only the signature's length and hex form matter.
#pragma once

#include <cstddef>

namespace corvane::fuzz {

// The length in bytes of every signature the stand-in makes, as with one
// RSA-2048 key and its chain.
inline constexpr std::size_t kStandInSignatureBytes = 1187;

// Puts the stand-in store and signed data behind the signing classes for
// the rest of the process. The real classes are registered first, so that
// they never replace the stand-ins later. Idempotent.
void install_signing_stand_in();

}  // namespace corvane::fuzz
