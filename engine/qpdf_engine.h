// The PDF engine on qpdf: opens a document from a file, asks for its
// password, draws the visible signature text and writes the document with
// the signature's objects added (byte_image_writer.h).
//
// Every qpdf exception is caught here: a failing operation returns false,
// keeps its out-value and leaves its reason, like every qpdf warning, for
// TakeDiagnostics.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/encryption.h"
#include "engine/pdf_engine.h"
#include "engine/text_stamp.h"

class QPDF;

namespace corvane::engine {

class QpdfEngine final : public PdfEngine {
 public:
  QpdfEngine();
  ~QpdfEngine() override;
  QpdfEngine(const QpdfEngine&) = delete;
  QpdfEngine& operator=(const QpdfEngine&) = delete;

  // Answers 0 (and keeps the reason) for a file that is missing or not a
  // PDF; drops any document opened before either way. A file that needs a
  // password answers 1 and waits for SubmitPassword.
  bool OpenDocument(const std::string& path, std::int32_t& result) override;
  bool GetEncryption(std::int32_t& result) override;
  bool RemoveEncryption() override;
  // Opens the document again with `password` (UTF-8; also tried in the
  // older single-byte password encoding): 2 when it is the owner password,
  // 1 when it is the user password (or the document is not encrypted), 0
  // when refused, in which case the document stays as it was.
  bool SubmitPassword(const std::string& password, std::int32_t& result) override;
  bool GetPageWidth(double& result) override;
  bool GetPageHeight(double& result) override;
  // Only mode 0 (the first page) exists.
  bool SetWorkingMode(std::int32_t mode) override;
  // Writing empties the parsed document; it is read from its source again
  // when next needed, with the visible texts drawn so far drawn again. An
  // unencrypted file makes the document report itself unencrypted.
  bool WriteSignedDocument(const AddedObjectsFn& added, int fd, SignedLayout& layout) override;
  // Changes take effect at once; CommitChanges has nothing left to do.
  bool AddTextStamp(double x, double y, double width, double height, const std::string& text,
                    std::int32_t opacity) override;
  bool CommitChanges() override;
  bool GetEncryptionSettings(std::string& result) override;
  // Accepts only the description of the open document's own encryption,
  // the one encryption the engine has the key for.
  bool SetEncryptionSettings(const std::string& settings) override;
  bool EncryptString(std::int32_t number, const std::string& plain, std::string& result) override;
  std::vector<std::string> FieldNames() override;
  std::vector<std::string> TakeDiagnostics() override;

 private:
  // Runs `body`, which throws on failure; a thrown exception becomes false
  // and a diagnostic "operation: reason".
  template <class Body>
  bool guarded(const char* operation, Body&& body) noexcept;
  void note(std::string text) noexcept;
  void collect_warnings() noexcept;
  // A fresh qpdf object reading the document's file with `password`, which
  // is opened on the first call and kept open: a run that replaces the file
  // leaves the engine its document. Throws what qpdf throws.
  std::unique_ptr<QPDF> open_source(const std::string& password);
  // Makes `qpdf` the document and takes over its encryption.
  void adopt(std::unique_ptr<QPDF> qpdf, const std::string& password);
  // The open document, read from its source again (and the visible texts
  // drawn again) when needed; throws when there is none (or it awaits its
  // password).
  QPDF& document();
  // Forgets the document's file and what was drawn on it.
  void close_source() noexcept;
  // Destroys `qpdf` on a thread of its own (a parsed document is many small
  // blocks, whose release takes a while); the next reading of the source
  // and the engine's end wait for it.
  void let_go(std::unique_ptr<QPDF> qpdf) noexcept;

  struct Stamp {
    StampBox box;
    std::string text;
    std::int32_t opacity;
  };

  // The document's file, and its descriptor once opened (-1 before).
  std::string path_;
  int source_fd_ = -1;
  // The visible texts drawn on the document, in order.
  std::vector<Stamp> stamps_;
  // The parsed document; empty while it needs reading again.
  std::unique_ptr<QPDF> qpdf_;
  bool opened_ = false;
  bool awaiting_password_ = false;
  std::int32_t encryption_ = 0;
  std::string password_;
  std::optional<KeptEncryption> kept_;
  bool write_encrypted_ = false;
  std::vector<std::string> diagnostics_;
  std::thread releaser_;
};

}  // namespace corvane::engine
