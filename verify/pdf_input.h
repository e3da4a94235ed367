// qpdf's view of a PDF held by a ByteSource: its first `end` bytes, read in
// blocks kept in memory. qpdf reads a token at a time and asks for the
// position before nearly every one; through a file stream each of those
// would be a system call (an lseek and a read per object), here they are a
// number and a copy out of the current block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>

#include "verify/byte_source.h"

namespace corvane::verify {

class ByteSourceInput final : public InputSource {
 public:
  // Reads the first `end` bytes of `file` (all of it when `end` is larger),
  // which must outlive this object; `name` names it in qpdf's messages.
  ByteSourceInput(const ByteSource& file, std::uint64_t end, std::string name);

  qpdf_offset_t findAndSkipNextEOL() override;
  std::string const& getName() const override { return name_; }
  qpdf_offset_t tell() override { return position_; }
  // Throws std::runtime_error for a position before the start.
  void seek(qpdf_offset_t offset, int whence) override;
  void rewind() override { position_ = 0; }
  // Throws std::runtime_error when the file cannot be read.
  size_t read(char* buffer, size_t length) override;
  void unreadCh(char ch) override;

 private:
  struct Block {
    std::vector<char> bytes;
    qpdf_offset_t start = -1;
    std::uint64_t last_use = 0;
  };
  // The block holding `offset`, which must be before end_: one of the
  // cached blocks, or the least recently used one refilled. Throws
  // std::runtime_error when the file cannot be read.
  const Block& load(qpdf_offset_t offset);

  const ByteSource& file_;
  const qpdf_offset_t end_;
  const std::string name_;
  qpdf_offset_t position_ = 0;
  // A few blocks, because reading a page goes back and forth between the
  // page's object, its annotations and the form's fields, which lie in
  // different parts of the file.
  std::vector<Block> blocks_;
  std::uint64_t uses_ = 0;
};

// Where qpdf's view of `file` ends: the whole file when its last kilobyte
// names a cross-reference section ("startxref"), as a complete file does;
// otherwise just after its last "%%EOF" line (the last of `revision_ends`),
// because what follows belongs to no revision and qpdf, finding no
// "startxref" at the end, would search all of it for objects (gigabytes of
// zeros after a document, for instance). The whole file when there is no
// "%%EOF" at all.
[[nodiscard]] std::uint64_t readable_end(const ByteSource& file, const std::vector<std::uint64_t>& revision_ends);

struct OpenedPdf {
  std::unique_ptr<QPDF> pdf;  // nullptr when the document could not be read
  std::string problem;        // why not: "the password is missing or wrong", qpdf's text; "" when read
};

// Opens the first `end` bytes of `file` (which must outlive the result)
// with `password` ("" for none); qpdf's warnings are not printed. Never
// throws.
[[nodiscard]] OpenedPdf open_pdf(const ByteSource& file, std::uint64_t end, const std::string& password);

}  // namespace corvane::verify
