// One revision of a PDF read by qpdf straight from the file: the file's
// first `end` bytes, as a reader saw the document when that revision was
// the last. Bytes are read in blocks as qpdf asks for them
// (platform::BlockInput), so opening a revision reads its cross-reference
// sections, and objects are read only when something looks at them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/byte_source.h"

class QPDF;

namespace corvane::verify {

class OpenedRevision {
 public:
  // Opens the first `end` bytes of `file` (which must outlive this object)
  // with `password`. Never throws: a revision that cannot be read gives
  // ok() false and problem() saying why. With `earlier`, an earlier
  // revision of the same file still open, qpdf takes the cross-reference
  // sections up to it from its table instead of parsing them again, when
  // that gives exactly what a plain opening gives (else it opens plainly).
  OpenedRevision(const platform::ByteSource& file, std::uint64_t end, const std::string& password,
                 const OpenedRevision* earlier = nullptr);
  ~OpenedRevision();
  OpenedRevision(const OpenedRevision&) = delete;
  OpenedRevision& operator=(const OpenedRevision&) = delete;

  [[nodiscard]] bool ok() const { return pdf_ != nullptr; }
  [[nodiscard]] const std::string& problem() const { return problem_; }
  [[nodiscard]] std::uint64_t end() const { return end_; }
  // Whether the sections up to `earlier` came from its table.
  [[nodiscard]] bool took_earlier_table() const { return took_earlier_table_; }
  // The document; only when ok(). Reading its objects may throw qpdf's
  // exceptions, which the caller traps.
  [[nodiscard]] QPDF& pdf() const { return *pdf_; }

 private:
  std::unique_ptr<QPDF> pdf_;
  std::uint64_t end_ = 0;
  bool took_earlier_table_ = false;
  std::string problem_;
};

// Where the last "startxref" of the file's first `end` bytes (all of them
// by default) says the last cross-reference section is, read as qpdf reads
// it; -1 when their last kilobyte names none.
[[nodiscard]] long long last_section_offset(const platform::ByteSource& file, std::uint64_t end = UINT64_MAX);

}  // namespace corvane::verify
