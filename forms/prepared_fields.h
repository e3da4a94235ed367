// Preparing a document for its signers: empty signature fields added as
// one incremental update, so that every earlier signature keeps covering
// its revision.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/refusal.h"
#include "verify/signature_report.h"

namespace corvane::forms {

struct NewSignatureField {
  std::string name;  // the field's name (UTF-8): a top-level field, so no dot in it
  int page = 0;      // from 1
  // Two opposite corners (x1 y1 x2 y2) in the page's default user space;
  // all four equal (0 0 0 0) for an invisible field.
  std::array<double, 4> rect{};
  // The fields a signature of this field will lock (its /Lock): none, all,
  // or those listed (kInclude); kExclude is written as given too.
  verify::FieldLocks lock;
};

struct PrepareRequest {
  std::string input;
  std::string output;    // may name the input: it is replaced in one step
  std::string password;  // of an encrypted input ("" for none); the output keeps the encryption
  std::vector<NewSignatureField> fields;
};

struct PrepareResult {
  // Why nothing was written (the input's refusals as OriginalDocument::open
  // says, kChangedWhileSigning, kNotWritten with the file system's reason as
  // the cause); empty when the output was.
  platform::Refusal refusal;
  // Set when the input is signed and a new field is visible: a later
  // revision that shows something new is a change the earlier signatures
  // do not permit (an invisible empty field is one they do).
  std::string warning;
};

// Adds `fields` to `input`'s form, each a field merged with its widget on
// its page (with an empty appearance when visible, and its /Lock), as one
// incremental update written with the input to `output` (an unnamed file
// linked in at the end; a file replaced keeps its mode, owner and
// attributes). Refuses, writing nothing: no field, an empty or dotted name,
// a name the form or the request already has at its top level, a page out
// of range, a rectangle that is not finite or has area in one direction
// only, a document that cannot be read or whose certification allows no
// changes. Never throws.
[[nodiscard]] PrepareResult add_signature_fields(const PrepareRequest& request);

// The text of a number as PDF and people write it: "110.5", "-3", "0".
[[nodiscard]] std::string number_text(double number);

}  // namespace corvane::forms
