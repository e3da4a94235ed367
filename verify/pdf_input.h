// qpdf's view of a document held by a ByteSource: where that view ends, and
// the document opened through platform's block input.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <qpdf/QPDF.hh>

#include "platform/byte_source.h"

namespace corvane::verify {

// Where qpdf's view of `file` ends: the whole file when its last kilobyte
// names a cross-reference section ("startxref"), as a complete file does;
// otherwise just after its last "%%EOF" line (the last of `revision_ends`),
// because what follows belongs to no revision and qpdf, finding no
// "startxref" at the end, would search all of it for objects (gigabytes of
// zeros after a document, for instance). The whole file when there is no
// "%%EOF" at all.
[[nodiscard]] std::uint64_t readable_end(const platform::ByteSource& file, const std::vector<std::uint64_t>& revision_ends);

struct OpenedPdf {
  std::unique_ptr<QPDF> pdf;  // nullptr when the document could not be read
  std::string problem;        // why not: "the password is missing or wrong", qpdf's text; "" when read
};

// Opens the first `end` bytes of `file` (which must outlive the result)
// with `password` ("" for none); qpdf's warnings are not printed. Never
// throws.
[[nodiscard]] OpenedPdf open_pdf(const platform::ByteSource& file, std::uint64_t end, const std::string& password);

}  // namespace corvane::verify
