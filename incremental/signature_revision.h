// The objects an incremental update needs to add one signature field to a
// document: the field merged with its widget on the first page, the
// signature dictionary, the widget's appearance (the visible text), and new
// revisions of the first page (or its /Annots array) and of the catalog (or
// its /AcroForm) that list the field. Only the objects on the way are read.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "incremental/original_document.h"
#include "incremental/update_writer.h"

namespace corvane::incremental {

// How a string holding code-page bytes is written in the signature
// dictionary (a literal, or encrypted for the dictionary's number).
using StringText = std::function<std::string(std::string_view codepage_bytes)>;

struct SignatureFieldRequest {
  // The field name wished for (UTF-8); "Signature" when empty. It is made
  // unique among the form's fields: "NAME", "NAME (2)", "NAME (3)", ...
  std::string name;
  // The widget's rectangle: four numbers "x1 y1 x2 y2" (y1 the upper edge).
  std::string rect;
  // The signature dictionary's body from "<<" to ">>"; every string in it
  // but /Contents is written with the StringText handed in.
  std::function<std::string(const StringText& string_text)> dictionary;
  // The visible text: code-page lines separated by CR LF, drawn in
  // Helvetica into the widget's appearance; empty for none.
  std::string appearance_text;
};

struct SignatureRevision {
  // The update's objects: the field, the signature dictionary, then the
  // appearance and the new revisions.
  std::vector<NewObject> objects;
  static constexpr std::size_t kDictionaryIndex = 1;
  // The field name given (UTF-8).
  std::string field_name;
  // Why a visible text was asked for but not drawn; empty otherwise.
  std::string appearance_note;
};

// Builds the objects into `revision`. Returns "" on success, else one line
// saying why the document is refused: a certification signature that
// forbids changes (/DocMDP with /P 1), a first page that is not an object of
// its own, or a document whose objects cannot be read.
[[nodiscard]] std::string build_signature_revision(OriginalDocument& document,
                                                   const SignatureFieldRequest& request,
                                                   SignatureRevision& revision);

}  // namespace corvane::incremental
