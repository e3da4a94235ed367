// One signing run as a value: what it was asked, the certificate it signs
// with and its signer's details, the texts and numbers of its new objects,
// the revision it prepared, what it made of it and how it ended. The
// rebuild and append mode each prepare a revision; one builder makes the
// signature over it and one filler puts it into the revision's slot
// (signit_steps.h). The steps read and write the run only; the thread's
// state and the instance's offsets are updated from it when it ends.
// Internal to the component.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "component/signature_options.h"
#include "rebuild/signature_objects.h"
#include "rebuild/signing_session.h"
#include "platform/refusal.h"
#include "platform/variant.h"
#include "signing/signer_state.h"

namespace corvane::signing {
class Certificate;
}

namespace corvane::component {

// What a host asked for: the document, its password, the file to write, the
// certificate and the kind of signature.
struct SigningRequest {
  std::string document;
  std::string password;
  std::string savepath;
  // The certificate of this run (nickname, SHA-256 fingerprint or unique
  // container name); "" signs with the saved choice.
  std::string selection;
  SignatureOptions options;
  // The signer's user name, whose e-mail address the run stores when none
  // is (normalised then); "" for none.
  std::string user_name;
  // The full name of a prepared empty field to sign; "" adds a new field.
  std::string field_name;
};

// A document laid out with its signature slot, not signed yet.
struct PreparedRevision {
  // Hands over the bytes the signature covers (everything but the slot) in
  // order, read where they lie.
  ContentFeed signed_bytes;
  // The slot's width in hex digits (between "<" and ">"), and what writes
  // that many digits where the slot lies (in a file, or in an update held
  // in memory); false when they cannot be written.
  std::size_t slot_width = 0;
  std::function<bool(std::string_view digits)> write_slot;
};

// Where the slot lies in the signed file: the offset of its "<" (the first
// range's length), where the second range starts and how long it is, and
// the /ByteRange text written over the placeholder.
struct SignedRanges {
  std::int32_t contents_start = 0;
  std::int32_t second_start = 0;
  std::int32_t second_length = 0;
  std::string text;
};

struct SigningRun {
  SigningRequest request;
  // The certificate, selected once per run, and what the signature shows
  // of it.
  std::shared_ptr<signing::Certificate> certificate;
  SignerDetails signer;
  // Hex digits of the longest signature the certificate makes, and of the
  // room a timestamp token needs beyond it (0 without an authority).
  std::size_t signature_hex = 0;
  std::size_t timestamp_hex = 0;
  // The new objects' texts and numbers: the thread's when the run starts
  // (a reason or page size kept from before), the run's own from then on.
  SigningSession session;
  // Whole-number parts of the widget rectangle's four numbers, as the
  // visible text's box took them.
  std::array<std::string, 4> rect_parts;
  // The empty prepared signature fields the run passed by, adding a field
  // of its own (append mode).
  std::vector<std::string> empty_fields_left;
  PreparedRevision revision;
  SignedRanges ranges;
  // The CMS message (with the timestamp token, when asked for).
  platform::ByteArray signature;
  // How the run ended: empty when the file was signed and written; a
  // refusal (nothing signed), or kNotWritten when the signed file could not
  // be written.
  platform::Refusal result;

  // The slot the new objects lay out, and the kind of signature.
  [[nodiscard]] rebuild::SignatureKind kind() const {
    return {signature_hex + timestamp_hex, request.options.pades};
  }
};

}  // namespace corvane::component
