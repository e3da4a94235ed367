// What changed in a document after a signature, judged by an allow-list:
// every difference between the signed revision and the file's last
// revision is found from the cross-reference entries the later revisions
// wrote (objects added, changed, freed or given a new generation) and is
// accepted only when a rule clears it at a level (validation data,
// signing, form filling, annotations; document information at every
// level). What no rule clears is an "other" change naming its object.
// Only the objects the later revisions touch and the document's form, page
// tree and validation data are read, so the cost follows the updates, not
// the document's content.
#pragma once

#include <qpdf/QPDFObjGen.hh>

#include <cstdint>
#include <map>

#include "verify/opened_revision.h"
#include "verify/signature_report.h"

namespace corvane::verify {

// A signature of the document as verified, for the rule on new signatures:
// one found in a later revision must be valid and cover its own revision.
struct KnownSignature {
  int object_number = 0;
  int object_generation = 0;
  bool valid = false;
  std::uint64_t signed_end = 0;
  bool document_timestamp = false;
};

// The document's signatures by their dictionary's object, gathered once for
// every comparison.
using KnownSignatures = std::map<QPDFObjGen, KnownSignature>;

// Compares `signed_revision` with a later revision `last` (both open, of
// the same file). Never throws: a revision that cannot be read is an
// "other" change saying why.
[[nodiscard]] StretchChanges analyse_changes(const OpenedRevision& signed_revision, const OpenedRevision& last,
                                             const KnownSignatures& signatures);

}  // namespace corvane::verify
