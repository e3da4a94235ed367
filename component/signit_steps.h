// The stages of a signing run (Edit::signit), each working on the run
// (signing_run.h), the instance's engine and buffers and, for the
// certificate's lookup, the thread's signer state. Internal to the component.
//
// A stage that cannot go on answers a Refusal: the kind of failure and one
// line saying why the run is refused. An empty Refusal means the run goes
// on. A refused run writes nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "component/edit.h"
#include "component/signing_run.h"
#include "append/original_document.h"
#include "rebuild/signature_objects.h"
#include "platform/refusal.h"

namespace corvane::component {

// Why a run is refused; empty while it may go on. A text converts to one of
// kind ErrorCode::kFailed.
using platform::ErrorCode;
using platform::Refusal;

// Selects the run's certificate (through the thread's saved choice and
// cache in `signer`, which also records the details) into run.certificate
// and run.signer, and sizes the signature without its key.
[[nodiscard]] Refusal select_signer(SigningRun& run, SignerState& signer);

// With a timestamp authority in the run's options, asks it for a token and
// reserves room for one (run.timestamp_hex); otherwise reserves none
// (signature_timestamp_step.cpp).
[[nodiscard]] Refusal reserve_timestamp_room(SigningRun& run);

// Signs the prepared revision with the certificate's key, once, and adds
// the authority's token when the options ask for one.
[[nodiscard]] Refusal build_signature(SigningRun& run, SignerState& signer);

// Writes the signature into the revision's slot as lower-case hex, padded
// with "0" (DER readers stop at the signature's own length).
[[nodiscard]] Refusal fill_slot(SigningRun& run);

// With a timestamp authority in the run's options, replaces the signature
// by the same signature with the authority's token added; otherwise leaves
// it (signature_timestamp_step.cpp).
[[nodiscard]] Refusal timestamp_signature(SigningRun& run);

// What the rebuild may add to the document: the grown page object, the two
// new objects and two new table entries.
inline constexpr std::int32_t kSpareBytes = 15000;
// The spare bytes of a run: kSpareBytes, and the room reserved in the slot
// for a timestamp token, which a chain the authority sends along can make
// larger than kSpareBytes alone.
[[nodiscard]] inline std::int32_t spare_bytes(const SigningRun& run) {
  return kSpareBytes + static_cast<std::int32_t>(run.timestamp_hex);
}

// The refusal of an encrypted document when pdfpasswd is empty.
inline constexpr std::string_view kNoPasswordRefusal = "the document is encrypted and no password was given";
[[nodiscard]] inline Refusal no_password_refusal() {
  return {ErrorCode::kPasswordMissing, std::string(kNoPasswordRefusal)};
}

// Why no document is open in the engine after the preparation: no engine,
// no pdfpath, a file that is no PDF the engine reads, or an encrypted one
// whose password is missing or refused. An engine still waiting for a
// password reports the document encrypted; the probe's own diagnostics
// (there is nothing to ask about when opening failed) are dropped.
[[nodiscard]] Refusal why_not_open(Edit& edit);

// Reads the first page's size into pageWidth and pageHeight, in whole
// points; a failing engine call keeps the size read before.
void read_page_size(engine::PdfEngine& engine, SigningSession& session);

// Reads the setting `dontencrypt` into the instance and answers whether
// the setting `signtext` switches the visible text on.
struct VisibleTextSettings {
  bool stamp_enabled = false;
};
[[nodiscard]] VisibleTextSettings read_visible_text_settings(Edit& edit);
// The visible text: the setting `signaturetext` (or the default template)
// filled in with the run's signer, as code-page text.
[[nodiscard]] std::string filled_stamp_text(const SigningRun& run);

// Reads `dontencrypt` and `signtext`, sets the run's documentEncrypted,
// removes or keeps the encryption and draws the visible text
// (visible_text.cpp).
void apply_encryption_and_stamp(Edit& edit, SigningRun& run);

// Has the engine write the document into the empty file `fd` (open for
// reading and writing) with the signature field and dictionary (the slot as
// the run sized it), sets the run's byte ranges around the slot, writes
// them over the /ByteRange placeholder and prepares the run's revision: the
// two ranges, read back from the file, and the slot between them
// (signit_assembly.cpp). Follows reserve_timestamp_room.
[[nodiscard]] Refusal lay_out_signed_file(Edit& edit, SigningRun& run, int fd);

// The rebuild's run after the visible text: lays the file out in a
// temporary file beside savepath, signs it, fills its slot, appends the
// validation data and puts it at savepath; when savepath is empty or its
// folder cannot take a file, in a file in memory: the run still signs, and
// note_unwritten_file says why nothing was written (signit_assembly.cpp).
[[nodiscard]] Refusal sign_rebuilt_file(Edit& edit, SignerState& signer, SigningRun& run);

// With `ltv` in the run's options, fetches the validation data of the
// run's signature in the signed file `fd` and appends to it the update
// that adds them; otherwise leaves the file (validation_data_step.cpp).
[[nodiscard]] Refusal append_validation_data(const SigningRun& run, int fd);

// With `ltv` in the run's options, the update (into `dss`) that adds the
// validation data of the run's signature to `document` followed by
// `update`, the signature's update not written yet; otherwise leaves `dss`
// empty (validation_data_step.cpp).
[[nodiscard]] Refusal validation_data_after_update(const SigningRun& run, const append::OriginalDocument& document,
                                                   std::string_view update, std::string& dss);

// The append mode's whole run after the document is open: the signature
// field, its widget and dictionary and the visible text go into an
// incremental update after the unchanged file, which is signed (and
// timestamped when the run's options ask for it) where it lies and written
// to savepath (append_signing.cpp).
[[nodiscard]] Refusal append_signature(Edit& edit, SignerState& signer, SigningRun& run);

// Records that the signed file could not be written to savepath (the run
// still signed): the log and the run's result (kNotWritten) say so, and
// `why` when known.
void note_unwritten_file(SigningRun& run, const std::string& why);

}  // namespace corvane::component
