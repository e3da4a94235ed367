// The class `edit`: the component's one creatable class. Its published
// properties are the public fields below (texts UTF-8); beside them the
// instance's buffers and the offsets of its last run. A run itself is a
// value (signing_run.h); the thread keeps what runs leave for the next in
// component_state().
//
// Construction is the class's creation event: it fills `reason`, makes it the
// thread's signing reason and creates the PDF engine. Destruction resets the
// buffers and releases the engine. No member throws except GetUniversalTime.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "component/bytes.h"
#include "engine/pdf_engine.h"
#include "platform/refusal.h"

namespace corvane::component {

// Reason used when the setting `reason` is empty.
inline constexpr const char* kDefaultReason = "I am the author of this document";

class Edit {
 public:
  Edit();
  ~Edit();
  Edit(const Edit&) = delete;
  Edit& operator=(const Edit&) = delete;

  // --- Published properties ---------------------------------------------
  // True while the PDF engine object exists.
  bool pdfeditloaded = false;
  // The PDF to sign; cleared by signit when the engine cannot be created.
  std::string pdfpath;
  // The signed file; empty means nothing is written.
  std::string savepath;
  // True while a document is open; a host sets it to false to make the
  // next signit open `pdfpath` again.
  bool pdfloaded = false;
  std::string pdfpasswd;
  // Normalised in place by signit (lower case, no surrounding blanks).
  std::string username;
  std::string reason;
  // "1" or "0", replaced from the settings at every signit.
  std::string dontencrypt;
  // True: signit appends the signature as an incremental update after the
  // unchanged document (earlier signatures stay valid); false: it rebuilds
  // the document. Until a host sets it, the setting `appendmode` decides
  // (user key, then machine key: a whole number other than 0 appends).
  // An appending run reads pdfpath itself each time and leaves the engine's
  // document, and pdfloaded, as they are (the engine opens the file only
  // to say why it cannot be read).
  std::optional<bool> appendmode;
  [[nodiscard]] bool append_mode() const;
  // The certificate of this instance's runs (nickname, SHA-256 fingerprint
  // or unique container name); "" uses the saved choice. Never saved.
  std::string containername;
  // Read-only: the one-line reason of the last signit that failed, or whose
  // signed file could not be written (signit then still answers true);
  // cleared at the start of every signit.
  std::string lasterror;
  // Read-only: the kind of that failure (a CPDF_ERROR_* number to hosts);
  // ErrorCode::kNone when lasterror is "".
  platform::ErrorCode lasterrorcode = platform::ErrorCode::kNone;
  // The part of lasterror that quotes the layer below (the engine's reason
  // for not reading the document, the file system's for not writing the
  // signed file); "" when it quotes none.
  std::string lasterrorcause;
  // Read-only: the empty prepared signature fields the last append-mode
  // signit passed by, adding a field of its own; cleared at the start of
  // every signit.
  std::vector<std::string> emptyfieldsleft;
  // Sets lasterror, lasterrorcode and lasterrorcause from `refusal`
  // (clears them for an empty one).
  void set_last_error(const platform::Refusal& refusal);
  // The engine's first diagnostic line of the last open that failed
  // ("OpenDocument: ..."), for lasterror; "" otherwise.
  std::string open_problem;
  // "1" (or another whole number but 0) makes a PAdES signature, "0" the
  // PKCS#7 one; "" leaves it to the setting `pades`.
  std::string pades;
  // URL of the timestamp authority that timestamps the signature; "" leaves
  // it to the setting `tsaurl` (none when that is empty too).
  std::string tsaurl;
  // "1" (or another whole number but 0) adds the signature's validation
  // data (a /DSS in an update after it), "0" does not; "" leaves it to the
  // setting `ltv`.
  std::string ltv;
  // "1", "2" or "3" makes the signature certify the document (no changes,
  // form filling and signing, also annotations allowed), "0" an approval
  // signature; "" leaves it to the setting `certifylevel`.
  std::string certifylevel;
  // The full name of a prepared empty signature field to sign (always
  // appended: the field keeps its place); "" adds a new field.
  std::string fieldname;

  // --- Published methods --------------------------------------------------
  // The signing run. False when no document is open or the run fails.
  [[nodiscard]] bool signit();
  // One byte per character of the UTF-8 text in the code page ('?' for a
  // character it lacks); one zero byte for an empty text. Never fails.
  [[nodiscard]] ByteBuffer string2byte(const std::string& stringword) const;
  // The lower-case hex signature of `was` (UTF-8), "" when nothing was
  // signed, or the store's error text.
  [[nodiscard]] std::string sign(const std::string& was);
  // Shows the certificate chooser modally.
  void choose_certificate();
  // Throws std::runtime_error when the time text cannot be made; otherwise
  // the local time with its offset from UTC.
  [[nodiscard]] std::string GetUniversalTime();

  // --- Private operations of the signing run -------------------------------
  // Creates the engine (releasing one that exists); returns pdfeditloaded.
  bool load_engine();
  // Opens `pdfpath` with `pdfpasswd`; true when a document is open.
  bool open_document();
  // Releases the engine; true.
  bool unload_engine();
  // Hands the engine's pending diagnostics to the log; the first of them
  // ("" when there was none), for a refusal to name the cause.
  std::string log_engine_diagnostics();

  // --- Instance part of a run's working state ------------------------------
  std::shared_ptr<engine::PdfEngine> engine;
  // The engine's description of an encrypted document's encryption, taken
  // when it is opened with its password; empty otherwise.
  std::string encryptionSettings;
  // One zero byte: the signed file is written straight into the file that
  // replaces savepath and never held here whole (nothing outside the
  // component reads this buffer).
  ByteBuffer documentBytes = ByteBuffer(1, 0);
  // Whole-number parts of the widget rectangle's four numbers (last run's).
  std::array<std::string, 4> rectParts;
  // Offsets into the signed file (0-based) of the last run: the slot's "<",
  // the second range; set from the run when it ends.
  std::int32_t contentsStart = 0;
  std::int32_t secondRangeStart = 0;
  std::int32_t secondRangeLength = 0;
  std::string byteRangeText;

  // Resets the buffer to one zero byte.
  void reset_buffers();
};

}  // namespace corvane::component
