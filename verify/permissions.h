// What a signature permits after itself: validation data always; signing
// unless a certification forbids it; form filling and annotations only
// when a certification (its /DocMDP /P) or the verifier's options allow
// them; never a change to a field the signature locks. The certification
// and the locks are read from the document as it is now, with its
// signatures.
#pragma once

#include <qpdf/QPDFObjectHandle.hh>

#include "verify/signature_report.h"

namespace corvane::verify {

// Levels a verifier permits for documents that no signature certifies
// (`verify --permit`); by default only validation data and signing.
struct PermitOptions {
  bool form_filling = false;
  bool annotations = false;
};

// The /P of the certification `value` makes (1 no changes, 2 form filling
// and signing, 3 also annotations) when the catalog's /Perms /DocMDP names
// it; 0 when it certifies nothing. May throw qpdf's exceptions.
[[nodiscard]] int certification_of(QPDFObjectHandle catalog, QPDFObjectHandle value);

// The fields a signature field `field` with the value `value` locks: its
// /Lock and its value's FieldMDP reference, the stricter of both. May throw
// qpdf's exceptions.
[[nodiscard]] FieldLocks locks_of(QPDFObjectHandle field, QPDFObjectHandle value);

// Sets after.permitted and after.refusal for a signature with `locks`, in a
// document certified with `certification_p` (0 when not certified).
void judge_permission(AfterSignature& after, int certification_p, const FieldLocks& locks, const PermitOptions& permit);

}  // namespace corvane::verify
