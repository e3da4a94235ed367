// What a file holds beyond a signed revision: the file is read as it was
// when the signature was made (its first bytes up to the end of the signed
// revision) and as it is, and every object the later revisions add, change
// or free is classified.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::verify {

enum class LaterChanges {
  kNone,             // the signature covers the whole file
  kSignaturesAdded,  // only signature fields, their widgets and appearances,
                     // /Fields, /Annots and /SigFlags growing, /DSS, and new
                     // cross-reference sections
  kContentChanged,   // anything else: contents, resources, other objects
                     // changed or freed
};

struct LaterRevisions {
  LaterChanges changes = LaterChanges::kNone;
  // For kContentChanged, the first change found ("object 4 0 changed");
  // for a file that cannot be read as revisions, why.
  std::string detail;
};

// The offsets just after each revision's "%%EOF" line, in file order: the
// ends of the file's revisions (the last is usually the file's size).
[[nodiscard]] std::vector<std::uint64_t> revision_ends(const std::string& path);

// Classifies what follows the first `signed_end` bytes of the file at
// `path` (opened with `password`). A revision that cannot be read counts as
// content changed, with `detail` saying why. Never throws.
[[nodiscard]] LaterRevisions classify_later_revisions(const std::string& path, const std::string& password,
                                                      std::uint64_t signed_end);

}  // namespace corvane::verify
