// The objects an incremental update needs to add one signature field to a
// document: the field merged with its widget on the first page, the
// signature dictionary, the widget's appearance (the visible text), and new
// revisions of the first page (or its /Annots array) and of the catalog (or
// its /AcroForm) that list the field. Only the objects on the way are read.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "append/object_writer.h"
#include "append/original_document.h"
#include "append/update_writer.h"

namespace corvane::append {

// How a string holding code-page bytes is written in the signature
// dictionary (a literal, or encrypted for the dictionary's number).
using StringText = std::function<std::string(std::string_view codepage_bytes)>;

// An empty signature field of the document to sign instead of adding one:
// the field gets /V, its widget (the field itself when they are merged) the
// appearance; its name, widget, page and rectangle stay as they are.
struct PreparedField {
  ObjectId field;
  ObjectId widget;
};

// Catalog entries (name -> PDF text) the update adds or replaces, given the
// signature dictionary's object.
using CatalogEntries = std::function<std::map<std::string, std::string>(ObjectId dictionary)>;

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
  // The prepared field to sign (`name` and `rect` are then not used: the
  // appearance fits the widget's rectangle); nullopt adds a new field.
  std::optional<PreparedField> prepared;
  // Entries put at the end of the signature dictionary (its /Reference),
  // strings written with the StringText handed in; none when empty.
  std::function<std::string(const StringText& string_text)> dictionary_entries;
  // Entries for the catalog (its /Perms); none when empty.
  CatalogEntries catalog_entries;
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

// `wished`, or "wished (2)", "wished (3)", ... : the first not among the
// names of the form's top-level fields `fields` ("Signature" for an empty
// `wished`). Throws what qpdf throws.
[[nodiscard]] std::string unique_field_name(QPDFObjectHandle fields, std::string wished);

// Builds the objects into `revision`. Returns "" on success, else one line
// saying why the document is refused: a first page that is not an object of
// its own, a prepared field whose widget has no rectangle, or a document
// whose objects cannot be read. Whether the document's certification or
// locks allow the signature is the caller's to judge.
[[nodiscard]] std::string build_signature_revision(OriginalDocument& document,
                                                   const SignatureFieldRequest& request,
                                                   SignatureRevision& revision);

}  // namespace corvane::append
