// The signature fields of a document's form as a person filling or signing
// it sees them: each field's full name, page and rectangle, whether it is
// signed and by whom, the fields its /Lock locks, and the document's
// certification.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <qpdf/QPDF.hh>

#include "platform/refusal.h"
#include "verify/signature_report.h"

namespace corvane::forms {

struct SignatureField {
  std::string name;  // the full name ("form.Buyer", UTF-8); "" when the field has no /T
  // The field's object (number, generation): the field dictionary that
  // holds /FT and /V, which may be its widget too.
  int object_number = 0;
  int object_generation = 0;
  int page = 0;  // of its first widget, from 1; 0 when the widget is on no page
  // The first widget's /Rect as written (x1 y1 x2 y2); all 0 when it has none.
  std::array<double, 4> rect{};
  bool is_signed = false;    // its /V is a signature dictionary
  // The signature dictionary's /Name, else the common name of the signer's
  // certificate in its CMS message (read, not checked); "" when unknown.
  std::string signer;
  std::string signing_time;  // /M, else the CMS signing time, as "2026-12-04T14:05:07+01:00"; "" when unknown
  verify::FieldLocks lock;   // its /Lock and, once signed, its signature's FieldMDP reference
};

// The document's certification: the signature the catalog's /Perms /DocMDP
// names.
struct Certification {
  int level = 0;            // its /P (1, 2 or 3); 0 when the document is not certified
  std::string field;        // the full name of the field holding it; "" when no field holds it
  std::string signer;       // as SignatureField::signer
  std::string signing_time;  // as SignatureField::signing_time
};

struct FormFields {
  platform::Refusal refusal;  // why the document could not be read (as OriginalDocument::open says); empty when it was
  std::vector<SignatureField> fields;  // in the order of the form
  Certification certification;
};

// Reads the signature fields of the form (/AcroForm /Fields and their
// /Kids; a field's /FT may be inherited). Each object is visited once, so
// a cycle of /Kids ends and the work stays linear in the document's size;
// the page tree is read once for the page numbers. Never throws: a document
// whose objects cannot be read gives `refusal`.
[[nodiscard]] FormFields read_signature_fields(QPDF& pdf);

// Opens `path` (a regular file, not through another user's link; with
// `password` when encrypted) and reads its signature fields as above.
// Never throws.
[[nodiscard]] FormFields read_signature_fields(const std::string& path, const std::string& password);

}  // namespace corvane::forms
