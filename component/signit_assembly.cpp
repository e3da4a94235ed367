// The signed file of the rebuild: the engine writes the document with the
// signature field and dictionary added and says where their slot is; the
// byte ranges around the slot are filled in here.
#include <limits>
#include <optional>
#include <span>

#include "certification/signature_rules.h"
#include "component/signit_steps.h"
#include "append/signature_slot.h"
#include "rebuild/byte_range_placeholder.h"
#include "rebuild/signature_rect.h"

namespace corvane::component {
namespace {

Refusal no_room(const SigningRun& run) {
  return {ErrorCode::kDocumentLayout,
          "the rebuilt document needs more than the " + std::to_string(spare_bytes(run)) + " spare bytes"};
}

// The field and the dictionary for the first free object number, as the
// engine places them; nullopt (and `refusal` says why) when the document
// cannot be certified.
std::optional<engine::AddedObjects> signature_objects(Edit& edit, SigningRun& run, std::int32_t first_number,
                                                      Refusal& refusal) {
  run.session.firstNewObject = first_number;
  // The field's name of an encrypted document is encrypted as the engine
  // encrypts the document's own strings.
  const rebuild::EncryptStringFn encrypt_string = [&edit](std::int32_t number, std::string_view plain) {
    std::string hex;
    return edit.engine->EncryptString(number, std::string(plain), hex) ? hex : std::string();
  };
  rebuild::SignatureObjects objects =
      rebuild::buildSignatureObjects(run.session, run.signer, run.kind(), encrypt_string);
  engine::AddedObjects added;
  // A certification: its reference after the slot and the placeholder (their
  // offsets stay), and the catalog's /Perms naming the dictionary.
  if (const int level = run.request.options.certify_level; level > 0) {
    certification::RebuiltCertification certified =
        certification::certify_rebuilt_document(level, run.request.document, run.request.password, first_number + 1);
    if (!certified.refusal.empty()) {
      refusal = std::move(certified.refusal);
      return std::nullopt;
    }
    objects.dictionary.insert(objects.dictionary.rfind(">>"), certified.dictionary_entries + "\n");
    added.catalog_entries.emplace_back("/Perms", std::move(certified.perms));
  }
  added.slot_at = objects.field.size() + objects.slot_at;
  added.slot_width = objects.slot_width;
  added.byte_range_at = objects.field.size() + objects.byte_range_at;
  added.objects.push_back(std::move(objects.field));
  added.objects.push_back(std::move(objects.dictionary));
  return added;
}

}  // namespace

Refusal lay_out_signed_file(Edit& edit, SigningRun& run) {
  engine::PdfEngine& engine = *edit.engine;
  (void)engine.CommitChanges();
  edit.reset_buffers();
  // The widget rectangle always matches the page of the file written next.
  read_page_size(engine, run.session);
  rebuild::computeSignatureRect(run.session);

  Refusal refusal;
  const engine::AddedObjectsFn added = [&](std::int32_t first_number) {
    return signature_objects(edit, run, first_number, refusal);
  };
  engine::SignedLayout layout;
  const bool written = engine.WriteSignedDocument(added, edit.documentBytes, layout);
  const std::string engine_said = edit.log_engine_diagnostics();
  if (!refusal.empty()) return refusal;
  if (!written) {
    return engine_said.empty() ? "the PDF engine wrote no document"
                               : "the PDF engine wrote no document (" + engine_said + ")";
  }

  // What the signature adds stays within the spare bytes, and every offset
  // of the file within 32 bits.
  const auto spare = static_cast<std::size_t>(spare_bytes(run));
  if (layout.size - layout.added > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - spare)
    return {ErrorCode::kDocumentLayout, "the document is too large to sign"};
  if (layout.added > spare) return no_room(run);
  if (layout.byte_range_at + rebuild::kByteRangePlaceholder.size() > layout.size ||
      layout.slot_at + layout.slot_width + 2 > layout.size)
    return "the PDF engine put the signature's slot outside the file";

  // Signed file = [0, contentsStart) "<" hex ">" [secondRangeStart, end).
  SignedRanges& ranges = run.ranges;
  ranges.contents_start = static_cast<std::int32_t>(layout.slot_at);
  ranges.second_start = static_cast<std::int32_t>(layout.slot_at + layout.slot_width + 2);
  ranges.second_length = static_cast<std::int32_t>(layout.size) - ranges.second_start;
  const std::span placeholder(edit.documentBytes.data() + layout.byte_range_at,
                              rebuild::kByteRangePlaceholder.size());
  if (Refusal refusal = append::fill_byte_range(placeholder, 0, ranges.contents_start, ranges.second_start,
                                                ranges.second_length, ranges.text);
      !refusal.empty())
    return refusal;

  // The two ranges are signed where they lie in the file: no copy of the
  // document is made for signing.
  ByteBuffer& file = edit.documentBytes;
  const std::span<const std::uint8_t> first(file.data(), static_cast<std::size_t>(ranges.contents_start));
  const std::span<const std::uint8_t> second(file.data() + ranges.second_start,
                                             static_cast<std::size_t>(ranges.second_length));
  run.revision.signed_bytes = [first, second](const ContentSink& sink) {
    sink(first);
    sink(second);
    return true;
  };
  run.revision.slot = std::span(reinterpret_cast<char*>(file.data()) + ranges.contents_start + 1, layout.slot_width);
  return {};
}

}  // namespace corvane::component
