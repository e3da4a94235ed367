// What a new signature may do in a document and what it writes besides its
// field: the one entry point of certification and prepared fields. A
// certification (/DocMDP /P 1) forbids every signature; only a document's
// first signature may certify it; a field an earlier signature locks
// (its field's /Lock or its FieldMDP reference) may not be signed. A
// certifying signature gets a /Reference with a DocMDP transform and is
// named by the catalog's /Perms /DocMDP; a signed prepared field that
// carries a /Lock gets the matching FieldMDP transform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "append/original_document.h"
#include "append/signature_revision.h"
#include "platform/refusal.h"

namespace corvane::certification {

struct SignatureRules {
  // 1, 2 or 3: a certification allowing no changes, form filling and
  // signing, or also annotations; 0: an approval signature.
  int certify_level = 0;
  // The full name ("form.sig") of the empty signature field to sign; ""
  // adds a new field named after request.name.
  std::string field_name;
  // When set, receives the names of the empty signature fields a new field
  // leaves empty (none when field_name names the one to sign), so that a
  // host can say how to sign a prepared field it passed by.
  std::vector<std::string>* left_empty = nullptr;
};

// Judges the signature `rules` ask for in `document` and completes
// `request` (its name, prepared field, /Reference and catalog entries).
// Returns no refusal when it may be made, else why not: kNotPermitted when
// the certification allows no changes, the document is signed already (for
// a certification) or an earlier signature locks the field; kBadOption for
// a certification level out of range, no empty signature field of that name
// (the line lists the empty ones), a field signed already or a name several
// fields carry. Never throws.
[[nodiscard]] platform::Refusal apply_signature_rules(append::OriginalDocument& document, const SignatureRules& rules,
                                                      append::SignatureFieldRequest& request);

// What a certification adds in the rebuild, which writes the document anew
// with its signature dictionary as object `dictionary_number`.
struct RebuiltCertification {
  // Why the document may not be certified (kNotPermitted: it holds a
  // signature already); empty when it may.
  platform::Refusal refusal;
  // The dictionary's /Reference entry with the DocMDP transform.
  std::string dictionary_entries;
  // The catalog's /Perms naming the dictionary; the engine's writer merges
  // it into an earlier /Perms, whose other entries (/UR3) stay.
  std::string perms;
};

// The rebuild's side of a certification at `level` (1 to 3) of the
// document at `path`, read with `password` as the rebuild reads it (a
// damaged cross-reference is repaired). Never throws.
[[nodiscard]] RebuiltCertification certify_rebuilt_document(int level, const std::string& path,
                                                            const std::string& password, std::int32_t dictionary_number);

}  // namespace corvane::certification
