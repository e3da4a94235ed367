// The signing run: prepares the document (reason, user entry, engine, open
// document), removes or keeps its encryption and draws the visible text,
// has the engine write it out with a signature field and a signature
// dictionary, signs the bytes around the signature slot and writes the
// signed file.
//
// A run that cannot put its result into the reserved space (a signature
// longer than its slot, byte ranges longer than their placeholder, a
// rebuild beyond the spare bytes) is refused: signit answers false, writes
// nothing, and one log line says why.
#include <sys/stat.h>

#include <limits>
#include <utility>

#include <filesystem>

#include "component/component_state.h"
#include "component/edit.h"
#include "component/signit_steps.h"
#include "identity/user_identity.h"
#include "platform/in_place_lock.h"
#include "settings/log.h"
#include "signing/sign_content.h"

namespace corvane::component {
namespace {

// A refusal is logged and kept for the host as the edit's lasterror.
void log_refusal(Edit& edit, const Refusal& refusal) {
  settings::log_line("signing refused: " + refusal.message());
  edit.set_last_error(refusal);
}

// The rebuilt file is never smaller than the bytes the rebuild must hold, so
// a file beyond that is refused from its size, before the engine reads it.
Refusal size_refusal(const std::string& path) {
  struct stat status {};
  constexpr auto kLargest = std::numeric_limits<std::int32_t>::max() - kSpareBytes;
  if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > kLargest)
    return {ErrorCode::kDocumentLayout, "the document is too large to sign"};
  return {};
}

// A run into its own input goes on with the file another run put there
// while this one waited, when it appends to it; a rebuild would undo that
// run's signature, so it is refused.
Refusal in_place_refusal(const platform::InPlaceLock& lock, bool append) {
  if (!lock.problem().empty()) return {ErrorCode::kChangedWhileSigning, "the document " + lock.problem()};
  if (lock.replaced_while_waiting() && !append)
    return {ErrorCode::kChangedWhileSigning, "the document " + std::string(platform::kChangedWhileSigning)};
  return {};
}

// The rebuild's run after the document is open: the signer is known before
// the visible text names it; the authority's first token sizes the slot
// before the file is laid out, which then has room for it beyond the spare
// bytes. A signed file that cannot be written does not refuse the run:
// the run's result says so, and why.
Refusal rebuild_signed_file(Edit& edit, SignerState& signer, SigningRun& run) {
  Refusal refusal = select_signer(run, signer);
  if (refusal.empty()) {
    apply_encryption_and_stamp(edit, run);
    refusal = reserve_timestamp_room(run);
  }
  if (refusal.empty()) refusal = sign_rebuilt_file(edit, signer, run);
  return refusal;
}

// The end of every run that began: the thread keeps the texts and numbers,
// the signer's details and the user name the run ended with (the next run
// and `sign` start from them), the instance its offsets, and lasterror the
// run's result. A refused run writes nothing and answers false; a signed
// one resets the buffers and answers true, written or not.
bool finish_run(Edit& edit, ComponentState& state, const SigningRun& run) {
  state.session = run.session;
  state.signer.userName = run.request.user_name;
  if (run.certificate) static_cast<SignerDetails&>(state.signer) = run.signer;
  edit.contentsStart = run.ranges.contents_start;
  edit.secondRangeStart = run.ranges.second_start;
  edit.secondRangeLength = run.ranges.second_length;
  edit.byteRangeText = run.ranges.text;
  edit.rectParts = run.rect_parts;
  edit.emptyfieldsleft = run.empty_fields_left;
  if (!run.result.empty() && run.result.code() != ErrorCode::kNotWritten) {
    log_refusal(edit, run.result);
    return false;
  }
  edit.set_last_error(run.result);
  edit.reset_buffers();
  return true;
}

}  // namespace

void note_unwritten_file(SigningRun& run, const std::string& why) {
  const std::string line = "the signed file could not be written to " + run.request.savepath;
  settings::log_line(line);
  settings::log_line("why the signed file was not written: " + why);
  run.result = {ErrorCode::kNotWritten, why.empty() ? line : line + ": " + why, why};
}

// As precise as the command line's message: a missing file, or what the
// engine said of the one it could not read.
Refusal open_refusal(const std::string& path, const std::string& engine_problem) {
  std::error_code ignored;
  if (!std::filesystem::exists(path, ignored))
    return {ErrorCode::kNoSuchFile, "the document could not be opened: no such file: " + path};
  const std::string_view prefix = "OpenDocument: ";
  std::string reason = engine_problem.starts_with(prefix) ? engine_problem.substr(prefix.size()) : engine_problem;
  return {ErrorCode::kNotPdf,
          "the document could not be opened: not a PDF the engine can read" + (reason.empty() ? "" : " (" + reason + ")"),
          std::move(reason)};
}

Refusal why_not_open(Edit& edit) {
  if (!edit.pdfeditloaded || !edit.engine) return {ErrorCode::kEngineUnavailable, "the PDF engine is not available"};
  if (edit.pdfpath.empty()) return {ErrorCode::kNoSuchFile, "no document to sign (pdfpath is empty)"};
  std::int32_t encryption = 0;
  (void)edit.engine->GetEncryption(encryption);
  (void)edit.engine->TakeDiagnostics();
  if (encryption == 0) return open_refusal(edit.pdfpath, edit.open_problem);
  return edit.pdfpasswd.empty()
             ? no_password_refusal()
             : Refusal(ErrorCode::kPasswordRefused, "the document is encrypted and the password was refused");
}

bool Edit::signit() {
  ComponentState& state = component_state();
  set_last_error({});
  emptyfieldsleft.clear();

  if (!reason.empty()) state.session.signingReason = reason;
  if (!username.empty()) {
    state.signer.userName = username;
    (void)identity::ensure_user_entry(username);
  } else {
    state.signer.userName.clear();
  }

  if (!pdfeditloaded) {
    pdfeditloaded = load_engine();
    if (!pdfeditloaded) pdfpath.clear();
  }
  // A prepared field is signed where it is, in an update after the file.
  const bool append = append_mode() || !fieldname.empty();
  // Signing a file into itself: held from reading the file to replacing it.
  const platform::InPlaceLock in_place(pdfpath, savepath);
  if (Refusal refusal = in_place_refusal(in_place, append); !refusal.empty()) {
    log_refusal(*this, refusal);
    return false;
  }
  if (pdfeditloaded && !pdfloaded) {
    if (Refusal refusal = size_refusal(pdfpath); !refusal.empty()) {
      log_refusal(*this, refusal);
      return false;
    }
    // Append mode reads the file itself at every run; the engine's
    // document is left as it is.
    if (!append) pdfloaded = pdfpath.empty() ? false : open_document();
  }
  if (append ? !pdfeditloaded || !engine || pdfpath.empty() : !pdfloaded || !engine) {
    log_refusal(*this, why_not_open(*this));
    return false;
  }

  SigningRun run;
  run.request = {pdfpath, pdfpasswd, savepath, containername, read_signature_options(*this),
                 state.signer.userName, fieldname};
  if (!run.request.options.problem.empty()) {
    log_refusal(*this, Refusal(run.request.options.problem).as(ErrorCode::kBadOption));
    return false;
  }
  run.session = state.session;
  run.ranges = {contentsStart, secondRangeStart, secondRangeLength, byteRangeText};
  run.rect_parts = rectParts;
  Refusal refusal;
  if (append) {
    // The update is written by append_signature itself: the document's
    // bytes are copied from the file, never held here.
    refusal = append_signature(*this, state.signer, run);
  } else {
    run.session.fieldNames = engine->FieldNames();
    refusal = rebuild_signed_file(*this, state.signer, run);
  }
  if (!refusal.empty()) run.result = std::move(refusal);
  return finish_run(*this, state, run);
}

}  // namespace corvane::component
