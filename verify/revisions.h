// What a file holds beyond a signed revision: the file is read as it was
// when the signature was made (its first bytes up to the end of the signed
// revision) and as it is, and every object the later revisions add, change
// or free is classified.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "verify/byte_source.h"
#include "verify/signature_report.h"

namespace corvane::verify {

struct LaterRevisions {
  LaterChanges changes = LaterChanges::kNone;
  // For kContentChanged, the first change found ("object 4 0 changed");
  // for a file that cannot be read as revisions, why.
  std::string detail;
};

// The offsets just after each revision's "%%EOF" line, in file order: the
// ends of the file's revisions (the last is usually the file's size).
[[nodiscard]] std::vector<std::uint64_t> revision_ends(const ByteSource& file);

// Classifies what follows the first `signed_end` bytes of `file` (opened
// with `password`). Both revisions are read into memory for the
// comparison. A revision that cannot be read counts as content changed,
// with `detail` saying why. Never throws.
[[nodiscard]] LaterRevisions classify_later_revisions(const ByteSource& file, const std::string& password,
                                                      std::uint64_t signed_end);

}  // namespace corvane::verify
