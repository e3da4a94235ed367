// Append mode: the signature goes into an incremental update after the
// document's last byte, so that every earlier signature keeps covering
// exactly what it signed. The document is read through the incremental
// module (only the objects the update changes) and never rewritten; its
// bytes are hashed and copied where they lie, in blocks. The file is
// parsed once, by that module: the engine's document is not opened, and
// the first page's size and the encryption come from the same reading.
//
// The steps that do not depend on the byte layout are the rebuild's: the
// settings, the visible text's template, the widget's rectangle, the
// signer selected and the slot sized without its key, the /ByteRange
// placeholder filled in, the same signature dictionary entries and log
// lines, the one signature and the slot filled with it.
#include <unistd.h>

#include <cstring>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <span>
#include <string_view>
#include <system_error>

#include "certification/signature_rules.h"
#include "component/component_state.h"
#include "component/signit_steps.h"
#include "component/visible_text.h"
#include "engine/first_page.h"
#include "append/signature_revision.h"
#include "append/signature_slot.h"
#include "append/update_writer.h"
#include "rebuild/signature_rect.h"
#include "platform/atomic_file.h"
#include "settings/file_helpers.h"
#include "settings/log.h"

namespace corvane::component {
namespace {

// The visible text, when the setting switches it on; logs the box like the
// rebuild's drawing does.
std::string visible_text(SigningRun& run, bool stamp_enabled) {
  if (!stamp_enabled) return {};
  std::string text = filled_stamp_text(run);
  if (const auto box = stamp_box(run.session.signatureRect, run.rect_parts))
    settings::log_line(stamp_log_line(*box));
  return text;
}

// The document to append to, or nullptr with the refusal in `refusal`. The
// engine, which also reads damaged files, is asked only when the file
// cannot be appended to: a file it cannot read either, or whose password is
// missing or refused, is refused in the rebuild's words; any other reason is
// the update's own. An encrypted document wants its password, as the
// rebuild's opening does, even when the user password is empty.
std::unique_ptr<append::OriginalDocument> open_original(Edit& edit, SigningRun& run, Refusal& refusal) {
  Refusal why;
  auto document = append::OriginalDocument::open(run.request.document, run.request.password, why);
  if (!document) {
    if (!edit.pdfloaded) {
      edit.pdfloaded = edit.open_document();
      // The opening's finding on the encryption is the run's.
      run.session.documentEncrypted = component_state().session.documentEncrypted;
    }
    refusal = edit.pdfloaded ? std::move(why).as(ErrorCode::kDocumentLayout) : why_not_open(edit);
    return nullptr;
  }
  if (document->encryption() && run.request.password.empty()) {
    refusal = no_password_refusal();
    return nullptr;
  }
  return document;
}

// Runs `task` on a thread of its own, or at once on this one when no
// thread can be started.
std::future<bool> beside(const std::function<bool()>& task) {
  try {
    return std::async(std::launch::async, task);
  } catch (const std::system_error&) {
    std::promise<bool> done;
    done.set_value(task());
    return done.get_future();
  }
}

// The first page's size, in whole points; a page without a valid box
// keeps the size read before, as the engine's answer does.
void read_first_page_size(QPDF& qpdf, SigningSession& session) {
  try {
    const engine::ShownSize size = engine::first_page_shown_size(qpdf);
    session.pageWidth = whole_points(size.width);
    session.pageHeight = whole_points(size.height);
  } catch (const std::exception&) {
  }
}

// Everything after the document is open: the signature field and its
// dictionary written as an update into `update`, the slot filled with the
// signature over the file and the update around it.
Refusal make_signed_update(Edit& edit, SignerState& signer, SigningRun& run, append::OriginalDocument& document,
                           append::Update& update) {
  SigningSession& session = run.session;

  const bool stamp_enabled = read_visible_text_settings(edit).stamp_enabled;
  // The update's strings are encrypted with the document's key, so the
  // signature dictionary carries its texts in encrypted documents too.
  session.documentEncrypted = document.encryption().has_value();
  if (session.documentEncrypted && edit.dontencrypt != "0")
    settings::log_line("dontencrypt is ignored in append mode: the document keeps its encryption");
  read_first_page_size(document.qpdf(), session);
  rebuild::computeSignatureRect(session);

  if (Refusal refusal = select_signer(run, signer); !refusal.empty()) return refusal;

  append::SignatureFieldRequest request;
  request.name = run.signer.signerName;
  request.rect = session.signatureRect;
  request.dictionary = [&](const append::StringText& string_text) {
    return rebuild::signature_dictionary_body(session, run.signer, run.kind(), string_text);
  };
  // The certification and the fields' locks are judged before an authority
  // is asked; they choose the field and add what certifies or locks.
  if (Refusal refusal = certification::apply_signature_rules(
          document, {run.request.options.certify_level, run.request.field_name, &run.empty_fields_left}, request);
      !refusal.empty())
    return refusal;
  if (Refusal refusal = reserve_timestamp_room(run); !refusal.empty()) return refusal;
  request.appearance_text = visible_text(run, stamp_enabled);
  append::SignatureRevision revision;
  if (Refusal refusal = append::build_signature_revision(document, request, revision); !refusal.empty())
    return refusal;
  if (!revision.appearance_note.empty()) settings::log_line(revision.appearance_note);

  update = append::write_update(document.base(), revision.objects);
  const std::int64_t file_size = document.base().file_size;
  const std::size_t width = run.kind().slot_hex;
  append::SignatureSlot slot;
  if (Refusal refusal = append::find_signature_slot(update, append::SignatureRevision::kDictionaryIndex,
                                                         file_size, width, slot);
      !refusal.empty())
    return refusal;
  SignedRanges& ranges = run.ranges;
  ranges.contents_start = static_cast<std::int32_t>(slot.first_length);
  ranges.second_start = static_cast<std::int32_t>(slot.second_start);
  ranges.second_length = static_cast<std::int32_t>(slot.second_length);
  if (Refusal refusal = append::fill_byte_range(
          std::span(reinterpret_cast<std::uint8_t*>(update.bytes.data()), update.bytes.size()), slot.after_slot,
          ranges.contents_start, ranges.second_start, ranges.second_length, ranges.text);
      !refusal.empty())
    return refusal;

  // The file's bytes are hashed as they are read, block by block, then the
  // update around the slot.
  run.revision.signed_bytes = [&](const ContentSink& sink) {
    return append::feed_signed_bytes(document, update, slot, sink);
  };
  run.revision.slot_width = width;
  run.revision.write_slot = [&update, at = slot.slot + 1](std::string_view digits) {
    update.bytes.replace(at, digits.size(), digits);
    return true;
  };
  if (Refusal refusal = build_signature(run, signer); !refusal.empty()) return refusal;
  if (Refusal refusal = fill_slot(run); !refusal.empty()) return refusal;
  std::string dss;
  if (Refusal refusal = validation_data_after_update(run, document, update.bytes, dss); !refusal.empty())
    return refusal;

  settings::log_line("signature appended as an incremental update: field \"" + revision.field_name + "\", " +
                     std::to_string(update.bytes.size()) + " bytes after the document's " +
                     std::to_string(file_size));
  // The validation data's update follows the signature's, in the same write.
  update.bytes += dss;
  return {};
}

}  // namespace

Refusal append_signature(Edit& edit, SignerState& signer, SigningRun& run) {
  Refusal refusal;
  auto document = open_original(edit, run, refusal);
  if (!document) return refusal;

  // The signed file starts as a copy of the document, which a thread of
  // its own makes and sees to the disk while this one builds and signs the
  // update: the file's final sync then has little left to wait for. A
  // refused run's unfinished file is never put in place.
  append::Update update;
  bool made = false;
  const auto make = [&] {
    made = true;
    refusal = make_signed_update(edit, signer, run, *document, update);
    return refusal.empty();
  };
  // The parsed document, no longer needed once the update is signed and
  // the copy made, is let go of beside the file's final sync.
  std::future<bool> released;
  const auto write_signed_file = [&](int fd) {
    std::future<bool> copied = beside([&] { return document->copy_to(fd) && ::fdatasync(fd) == 0; });
    const bool signed_update = make();
    if (!copied.get() || !signed_update) return false;
    released = beside([&document] {
      document.reset();
      return true;
    });
    return platform::write_all(fd, update.bytes);
  };
  std::string write_why;
  const std::string& savepath = run.request.savepath;
  const bool written = !savepath.empty() && settings::write_file_with(savepath, write_signed_file, &write_why);
  // Without a file to write (or when it could not even be begun) the run
  // still signs, as the rebuild does.
  if (!made) make();
  if (released.valid()) released.get();
  if (!refusal.empty()) return refusal;
  // A file that cannot be written does not change the answer; the log and
  // the run's result say so, and why.
  if (!savepath.empty() && !written) note_unwritten_file(run, write_why);
  return {};
}

}  // namespace corvane::component
