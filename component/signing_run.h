// One signing run as a value: what it was asked, the certificate it signs
// with, the revision it prepared and what it made of it. The rebuild and
// append mode each prepare a revision; one builder makes the signature over
// it and one filler puts it into the revision's slot (signit_steps.h).
// Internal to the component.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "component/signature_options.h"
#include "rebuild/signature_objects.h"
#include "platform/variant.h"
#include "signing/signer_state.h"

namespace corvane::signing {
class Certificate;
}

namespace corvane::component {

// What a host asked for: the document, its password, the file to write and
// the kind of signature.
struct SigningRequest {
  std::string document;
  std::string password;
  std::string savepath;
  SignatureOptions options;
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

struct SigningRun {
  SigningRequest request;
  // The certificate, selected once per run.
  std::shared_ptr<signing::Certificate> certificate;
  // Hex digits of the longest signature the certificate makes, and of the
  // room a timestamp token needs beyond it (0 without an authority).
  std::size_t signature_hex = 0;
  std::size_t timestamp_hex = 0;
  PreparedRevision revision;
  // The CMS message (with the timestamp token, when asked for).
  platform::ByteArray signature;

  // The slot the new objects lay out, and the kind of signature.
  [[nodiscard]] rebuild::SignatureKind kind() const {
    return {signature_hex + timestamp_hex, request.options.pades};
  }
};

}  // namespace corvane::component
