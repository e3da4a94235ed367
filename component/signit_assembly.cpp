// The signed file of the rebuild: the engine writes the document with the
// signature field and dictionary added straight into the file that will
// replace savepath, and says where their slot is; the byte ranges around
// the slot are filled in here, signed as they are read back from the file,
// and the signature goes into the slot with one positioned write. The
// document is never held whole in memory.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "certification/signature_rules.h"
#include "component/signit_steps.h"
#include "append/signature_slot.h"
#include "rebuild/byte_range_placeholder.h"
#include "rebuild/signature_rect.h"
#include "platform/atomic_file.h"
#include "platform/safe_open.h"
#include "settings/file_helpers.h"

namespace corvane::component {
namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 20;

// The signed file could not be written (or read back) for the reason
// `error` gives: the run still signs; nothing is written.
Refusal unwritten(int error) {
  std::string why = platform::failure_reason(error);
  return {ErrorCode::kNotWritten, "the signed file could not be written: " + why, why};
}

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

// Hands the bytes [from, to) of the file `fd` to `sink` in blocks read
// into `block`; false when they cannot be read.
bool feed_range(int fd, std::size_t from, std::size_t to, std::vector<std::uint8_t>& block, const ContentSink& sink) {
  while (from < to) {
    const std::span<std::uint8_t> part(block.data(), std::min(block.size(), to - from));
    if (!platform::read_all_at(fd, part, from)) return false;
    sink(part);
    from += part.size();
  }
  return true;
}

// Lays out, signs and completes the rebuilt file in `fd`, which must be
// empty and open for reading and writing.
Refusal sign_into(Edit& edit, SignerState& signer, SigningRun& run, int fd) {
  if (Refusal refusal = lay_out_signed_file(edit, run, fd); !refusal.empty()) return refusal;
  if (Refusal refusal = build_signature(run, signer); !refusal.empty()) return refusal;
  if (Refusal refusal = fill_slot(run); !refusal.empty()) return refusal;
  return append_validation_data(run, fd);
}

// sign_into through a file without a name in memory, which is then copied
// to `out` (from its current position) unless `out` is -1: for an output
// that cannot be read back, or none.
Refusal sign_through_scratch(Edit& edit, SignerState& signer, SigningRun& run, int out) {
  const int scratch = ::memfd_create("corvanepdf-rebuild", MFD_CLOEXEC);
  if (scratch < 0) return unwritten(errno);
  Refusal refusal = sign_into(edit, signer, run, scratch);
  if (refusal.empty() && out >= 0) {
    std::vector<std::uint8_t> block(kReadBlock);
    const ContentSink copy = [&](std::span<const std::uint8_t> part) {
      if (refusal.empty() && !platform::write_all(out, {reinterpret_cast<const char*>(part.data()), part.size()}))
        refusal = unwritten(errno);
    };
    const auto size = static_cast<std::size_t>(::lseek(scratch, 0, SEEK_END));
    if (!feed_range(scratch, 0, size, block, copy) && refusal.empty()) refusal = unwritten(errno);
  }
  ::close(scratch);
  return refusal;
}

bool readable(int fd) { return (::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDWR; }

}  // namespace

Refusal lay_out_signed_file(Edit& edit, SigningRun& run, int fd) {
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
  const bool written = engine.WriteSignedDocument(added, fd, layout);
  const std::string engine_said = edit.log_engine_diagnostics();
  if (!refusal.empty()) return refusal;
  if (!written && layout.file_error != 0) return unwritten(layout.file_error);
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
  std::vector<std::uint8_t> placeholder(rebuild::kByteRangePlaceholder.size());
  if (!platform::read_all_at(fd, placeholder, layout.byte_range_at)) return unwritten(errno);
  if (Refusal refusal = append::fill_byte_range(placeholder, 0, ranges.contents_start, ranges.second_start,
                                                ranges.second_length, ranges.text);
      !refusal.empty())
    return refusal;
  if (!platform::write_all_at(fd, {reinterpret_cast<const char*>(placeholder.data()), placeholder.size()},
                              layout.byte_range_at))
    return unwritten(errno);

  // The two ranges are signed as they are read back from the file, a block
  // at a time (the file was just written: the blocks come from the page
  // cache).
  run.revision.signed_bytes = [fd, first = layout.slot_at, second = layout.slot_at + layout.slot_width + 2,
                               end = layout.size](const ContentSink& sink) {
    std::vector<std::uint8_t> block(kReadBlock);
    return feed_range(fd, 0, first, block, sink) && feed_range(fd, second, end, block, sink);
  };
  run.revision.slot_width = layout.slot_width;
  run.revision.write_slot = [fd, at = layout.slot_at + 1](std::string_view digits) {
    return platform::write_all_at(fd, digits, at);
  };
  return {};
}

Refusal sign_rebuilt_file(Edit& edit, SignerState& signer, SigningRun& run) {
  // The file is written, signed and completed in the temporary file that
  // replaces savepath once it is complete; a refused run's file is never
  // put in place.
  Refusal refusal;
  bool made = false;
  const auto write_signed_file = [&](int fd) {
    made = true;
    refusal = readable(fd) ? sign_into(edit, signer, run, fd) : sign_through_scratch(edit, signer, run, fd);
    return refusal.empty();
  };
  std::string why;
  const std::string& savepath = run.request.savepath;
  const bool written = !savepath.empty() && settings::write_file_with(savepath, write_signed_file, &why);
  // A file that could not be written does not refuse the run: it signs in
  // memory instead (unless its signature is made already), and the run's
  // result says why nothing was written.
  if (refusal.code() == ErrorCode::kNotWritten) {
    why = refusal.cause();
    made = !run.signature.empty();
    refusal.clear();
  }
  if (!made) refusal = sign_through_scratch(edit, signer, run, /*out=*/-1);
  if (!refusal.empty()) return refusal;
  if (!savepath.empty() && !written) note_unwritten_file(run, why);
  return {};
}

}  // namespace corvane::component
