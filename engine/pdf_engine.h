// The operations the component needs of a PDF library. Any library can stand
// behind this interface; ours is built on qpdf (qpdf_engine.h).
//
// Every operation answers through its out-value and returns true when the
// call succeeded. A failing call returns false and leaves the out-value as it
// was; no exception leaves an engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/signed_layout.h"
#include "platform/automation.h"

namespace corvane::engine {

// Class identifier and ProgID under which the engine is created.
inline constexpr const char* kPdfEngineClassId = "{6C1E5A3B-9F42-4E8D-A1C7-3B0D2E4F5A61}";
inline constexpr const char* kPdfEngineProgId = "corvanepdf.engine";

class PdfEngine : public platform::AutomationObject {
 public:
  // 1 when the file is a PDF the engine can read (also when it needs a
  // password: GetEncryption then reports it encrypted).
  virtual bool OpenDocument(const std::string& path, std::int32_t& result) = 0;
  // 0 not encrypted, 1 standard security handler, another number otherwise.
  virtual bool GetEncryption(std::int32_t& result) = 0;
  // The next files are written unencrypted.
  virtual bool RemoveEncryption() = 0;
  // 1 opened with the user password, 2 with the owner password, 0 refused.
  virtual bool SubmitPassword(const std::string& password, std::int32_t& result) = 0;
  // The first page's size in points, as the page is shown.
  virtual bool GetPageWidth(double& result) = 0;
  virtual bool GetPageHeight(double& result) = 0;
  // 0: the first page is the page worked on.
  virtual bool SetWorkingMode(std::int32_t mode) = 0;
  // Writes the whole document as a PDF file with the signature's objects
  // added into the empty file `fd` (open for reading and writing; the file
  // is read back while it is written): `added` gives them for the first
  // free object number, the first page's /Annots and the form's /Fields
  // refer to the first of them, and `layout` says where their slot stands.
  // The engine's document stays as it was (the added objects are not part
  // of it). A failed call may leave part of a file in `fd`; when the file
  // itself could not be written, it sets only `layout.file_error`.
  virtual bool WriteSignedDocument(const AddedObjectsFn& added, int fd, SignedLayout& layout) = 0;
  // Draws code-page text (lines separated by CR LF) in the box whose
  // upper-left corner is (x, y); opacity in percent.
  virtual bool AddTextStamp(double x, double y, double width, double height,
                            const std::string& text, std::int32_t opacity) = 0;
  // Later written files include every change so far.
  virtual bool CommitChanges() = 0;
  // A description of the document's encryption (never a password or key).
  virtual bool GetEncryptionSettings(std::string& result) = 0;
  // The next files are encrypted as that description says.
  virtual bool SetEncryptionSettings(const std::string& settings) = 0;

  // `plain` (code-page text) encrypted as a string of object `number` with
  // the key the next files are encrypted with, as lower-case hex
  // digits. Fails when the files are written unencrypted.
  virtual bool EncryptString(std::int32_t number, const std::string& plain, std::string& result) {
    (void)number;
    (void)plain;
    (void)result;
    return false;
  }

  // The names (UTF-8) of the open document's top-level form fields, so that
  // a new field can take another one; none when it has no form or the
  // engine cannot tell.
  virtual std::vector<std::string> FieldNames() { return {}; }

  // Warnings of the PDF library and the reason of every failed operation
  // since the last call, oldest first; the component puts them in its log.
  virtual std::vector<std::string> TakeDiagnostics() { return {}; }
};

}  // namespace corvane::engine
