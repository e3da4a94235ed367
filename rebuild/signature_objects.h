// The signature field with its widget, the signature dictionary and the page
// object's reference to the field.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "rebuild/signing_session.h"
#include "signing/signer_state.h"

namespace corvane::rebuild {

// The signature a run makes: the hex digits its /Contents slot holds (the
// longest signature and the room for what is added to it later, a
// timestamp token), and whether it is a CAdES one.
struct SignatureKind {
  std::size_t slot_hex = 0;
  bool cades = false;
};

// `plain` (code-page text) encrypted as a string of object `number` with the
// document's key, as hex digits; "" when it cannot be. The component passes
// its engine's encryption.
using EncryptStringFn = std::function<std::string(std::int32_t number, std::string_view plain)>;

// Fills signatureRect from the page size and the settings px1..py2.
void computeSignatureRect(SigningSession& session);
// The signature field (object firstNewObject, with its widget) and the
// signature dictionary (the next object), each from "N 0 obj" through
// "endobj" LF, and where the dictionary's slot "<" and /ByteRange
// placeholder stand in its text.
struct SignatureObjects {
  std::string field;
  std::string dictionary;
  std::size_t slot_at = 0;
  std::size_t slot_width = 0;
  std::size_t byte_range_at = 0;
};
// Builds the two new objects of `signer`'s signature for
// session.firstNewObject, the slot kind.slot_hex wide. In an encrypted
// document the field's name is encrypted with `encrypt_string` when given.
[[nodiscard]] SignatureObjects buildSignatureObjects(SigningSession& session, SignerDetails& signer,
                                                     const SignatureKind& kind,
                                                     const EncryptStringFn& encrypt_string = {});
// The signature dictionary from "<<" to ">>" (no line end after it) as an
// incremental update writes it: the same entries, the /Contents slot as wide
// as kind.slot_hex, and the optional texts (/M, /Location, /Name,
// /ContactInfo, /Reason) always present, each string written by
// `string_text` from its code-page bytes (which encrypts it in an encrypted
// document). Sets the defaults of signerDnsName and signingReason like
// buildSignatureObjects.
[[nodiscard]] std::string signature_dictionary_body(
    SigningSession& session, SignerDetails& signer, const SignatureKind& kind,
    const std::function<std::string(std::string_view codepage_bytes)>& string_text);

}  // namespace corvane::rebuild
