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

}  // namespace

void note_unwritten_file(Edit& edit, const std::string& why) {
  const std::string line = "the signed file could not be written to " + edit.savepath;
  settings::log_line(line);
  settings::log_line("why the signed file was not written: " + why);
  edit.set_last_error({ErrorCode::kNotWritten, why.empty() ? line : line + ": " + why, why});
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

const rebuild::SignContentFn& code_page_signer() {
  static const rebuild::SignContentFn sign = [](SignerState& s, std::string_view w) {
    return signing::signContent(s, w, platform::TextEncoding::kCodePage);
  };
  return sign;
}

bool Edit::signit() {
  ComponentState& state = component_state();
  const RunSelection selection(state.signer, containername);
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
  run.request = {pdfpath, pdfpasswd, savepath, read_signature_options(*this)};
  if (!run.request.options.problem.empty()) {
    log_refusal(*this, Refusal(run.request.options.problem).as(ErrorCode::kBadOption));
    return false;
  }

  if (append) {
    // The update is written by append_signature itself: the document's
    // bytes are copied from the file, never held here.
    if (Refusal refusal = append_signature(*this, state, run); !refusal.empty()) {
      log_refusal(*this, refusal);
      return false;
    }
    reset_buffers();
    return true;
  }

  state.session.fieldNames = engine->FieldNames();
  // The signer is known before the visible text names it; the authority's
  // first token sizes the slot before the file is laid out, which then has
  // room for it beyond the spare bytes.
  Refusal refusal = select_signer(run, state.signer);
  if (refusal.empty()) {
    apply_encryption_and_stamp(*this, state);
    refusal = reserve_timestamp_room(run);
  }
  if (refusal.empty()) refusal = sign_rebuilt_file(*this, state, run);
  if (!refusal.empty()) {
    log_refusal(*this, refusal);
    return false;
  }
  reset_buffers();
  return true;
}

}  // namespace corvane::component
