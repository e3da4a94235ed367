// The file an incremental update follows: opened read-only, its objects
// read on demand through qpdf (only those asked for), its bytes read in
// blocks for hashing and copying, never held whole in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "engine/encryption.h"
#include "append/update_writer.h"
#include "platform/refusal.h"

namespace corvane::append {

class OriginalDocument {
 public:
  // Opens `path` (a regular file; a symbolic link only when the running
  // user owns it, a FIFO never waited on) with `password` (tried as UTF-8,
  // then in the single-byte password encoding). nullptr with `why` set when
  // it cannot be read (kNoSuchFile for a missing file), the password is
  // missing or refused (kPasswordMissing, kPasswordRefused), or its
  // cross-reference is damaged (kDocumentLayout: an update must link to a
  // section that exists where the file says).
  static std::unique_ptr<OriginalDocument> open(const std::string& path, const std::string& password,
                                                platform::Refusal& why);
  // The document this one's file becomes with `update` (bytes not written
  // yet, which must outlive the result) appended: its objects are those of
  // the update's revision. nullptr with `why` as for open, in words.
  [[nodiscard]] std::unique_ptr<OriginalDocument> with_update(std::string_view update, const std::string& password,
                                                              std::string& why) const;
  // The document in the file open as `fd` (a descriptor the result keeps a
  // copy of; read, never written). nullptr with `why` as for open, in words.
  static std::unique_ptr<OriginalDocument> of_descriptor(int fd, const std::string& password, std::string& why);
  ~OriginalDocument();
  OriginalDocument(const OriginalDocument&) = delete;
  OriginalDocument& operator=(const OriginalDocument&) = delete;

  // The document, for reading objects. Throws what qpdf throws.
  [[nodiscard]] QPDF& qpdf() { return *qpdf_; }
  [[nodiscard]] const UpdateBase& base() const { return base_; }
  // "" while every object read since open() was where the cross-reference
  // section says; else the refusal of a damaged document (an object qpdf
  // cannot find reads as null, so a wrong offset would pass for a missing
  // page or form).
  [[nodiscard]] std::string damage();
  // The encryption (with its key) of an encrypted document; nullopt
  // otherwise.
  [[nodiscard]] const std::optional<engine::KeptEncryption>& encryption() const { return encryption_; }

  // Hands the file's bytes to `sink` in blocks, in order; false on a read
  // error, when the file no longer has the length it had when opened, or
  // for a document not opened by open().
  bool read_blocks(const std::function<void(std::span<const std::uint8_t>)>& sink) const;
  // Copies the whole file to the open descriptor `out` (in the kernel where
  // it can); false on an error or for a document not opened by open().
  bool copy_to(int out) const;

 private:
  using SourceMaker = std::function<std::shared_ptr<InputSource>()>;
  OriginalDocument() = default;
  // Reads the last section, the document (with the password) and its
  // trailer from the sources `make_source` makes; false with `why`.
  bool read(const std::string& password, const SourceMaker& make_source, platform::Refusal& why);

  int fd_ = -1;
  std::unique_ptr<QPDF> qpdf_;
  UpdateBase base_;
  std::optional<engine::KeptEncryption> encryption_;
};

}  // namespace corvane::append
