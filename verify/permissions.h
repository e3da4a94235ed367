// What a signature permits after itself: validation data always; signing
// unless a certification forbids it; form filling and annotations only
// when a certification (its /DocMDP /P) or the verifier's options allow
// them; never a change to a field the signature locks. The certification
// and the locks are read from the document as it is now.
#pragma once

#include <map>
#include <utility>

#include "verify/opened_revision.h"
#include "verify/signature_report.h"

namespace corvane::verify {

// Levels a verifier permits for documents that no signature certifies
// (`verify --permit`); by default only validation data and signing.
struct PermitOptions {
  bool form_filling = false;
  bool annotations = false;
};

struct DocumentPermissions {
  // The signature dictionary /Perms /DocMDP names (0 0 when none), and its
  // /P (1 no changes, 2 form filling and signing, 3 also annotations).
  int certification_number = 0;
  int certification_generation = 0;
  int certification_p = 0;
  // The locks of each signature, by its dictionary's object.
  std::map<std::pair<int, int>, FieldLocks> locks;
};

// Reads the certification and the locks of `last`. Never throws: what
// cannot be read is left out.
[[nodiscard]] DocumentPermissions read_permissions(const OpenedRevision& last);

// Sets after.permitted and after.refusal for a signature with `locks`, in a
// document certified with `certification_p` (0 when not certified).
void judge_permission(AfterSignature& after, int certification_p, const FieldLocks& locks, const PermitOptions& permit);

}  // namespace corvane::verify
