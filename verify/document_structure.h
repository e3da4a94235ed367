// The parts of a document that carry meaning for the rules on later
// changes, found by walking from the trailer: the catalog, the form's field
// tree with the fields' widgets and values, the validation data, the
// document information, the metadata, and the pages that the changes touch
// with their annotations, content and resources. A document's other pages
// and fields, its content, fonts and images are not read.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace corvane::verify {

// What an object is to the document; an object can be several things.
enum class Role {
  kCatalog,
  kAcroForm,
  kFieldList,      // the form's /Fields array
  kField,          // a field dictionary (a widget merged with its field is also kWidget)
  kKidList,        // a field's /Kids array
  kWidget,
  kSignatureValue, // a signature field's /V
  kLock,           // a signature field's /Lock
  kPageNode,       // an inner node of the page tree
  kPage,
  kPageContent,
  kPageResources,
  kAnnotList,      // a page's /Annots array
  kAnnotation,
  kAppearance,     // a widget's or annotation's appearance stream, or a dictionary of them
  kValidationData, // the /DSS dictionary, its arrays and /VRI entries
  kInfo,
  kMetadata,
};

struct FieldInfo {
  QPDFObjectHandle dictionary;
  std::string name;        // the full name ("form.sig")
  bool signature = false;  // its own or inherited /FT is /Sig
  std::vector<QPDFObjectHandle> widgets;  // itself when merged with its widget, else its widget kids
};

struct DocumentStructure {
  QPDFObjectHandle trailer;
  QPDFObjectHandle catalog;
  std::vector<FieldInfo> fields;  // every node of the field tree, parents before kids
  std::vector<QPDFObjectHandle> pages;
  // Indirect objects and what they are; for kField, kWidget, kSignatureValue,
  // kLock and kAppearance of a widget, the field's index in `fields`
  // (kNoField when none), for kPage, kAnnotation and kPageContent the page's.
  struct Place {
    Role role;
    std::size_t index;
  };
  static constexpr std::size_t kNoField = static_cast<std::size_t>(-1);
  std::map<QPDFObjGen, std::vector<Place>> places;
  // How many fields name each indirect signature value.
  std::map<QPDFObjGen, int> value_users;
  bool all_pages = false;   // every page was walked, not only the touched ones
  bool all_fields = false;  // every field was walked, not only the touched ones' trees

  [[nodiscard]] const std::vector<Place>* places_of(QPDFObjGen id) const {
    const auto found = places.find(id);
    return found == places.end() ? nullptr : &found->second;
  }
  [[nodiscard]] bool has(QPDFObjGen id, Role role) const;
  // The field whose widget or merged dictionary `id` is; kNoField when none.
  [[nodiscard]] std::size_t field_of(QPDFObjGen id) const;
  // The field whose widget's appearance `id` is; kNoField when none.
  [[nodiscard]] std::size_t field_of_appearance(QPDFObjGen id) const;
  // The number (1 = first) of the page that lists annotation `id`; 0 when none.
  [[nodiscard]] std::size_t page_of(QPDFObjGen id) const;
};

// Walks `pdf` from its trailer. Of the form, only the field trees that
// hold a touched object are taken; of the page tree, only the pages among
// `touched` objects, or named by the /P of touched annotations or of the
// annotations in touched arrays, are taken, each once it is found to be
// in the tree. Cycles and over-deep trees are cut, each object is visited
// once. May throw qpdf's exceptions.
[[nodiscard]] DocumentStructure read_structure(QPDF& pdf, const std::set<QPDFObjGen>& touched);

// Adds every field of the form to `structure` (read from `pdf`); a no-op
// the second time. May throw qpdf's exceptions.
void read_all_fields(QPDF& pdf, DocumentStructure& structure);

// The form's fields as read_all_fields finds them, without the places of
// their objects or their appearances: only the field dictionaries and
// their widget kids are read. May throw qpdf's exceptions.
[[nodiscard]] std::vector<FieldInfo> read_field_tree(QPDF& pdf);

// Adds every page of the page tree to `structure` (read from `pdf`), for
// naming what an object is; a no-op the second time. May throw qpdf's
// exceptions.
void read_all_pages(QPDF& pdf, DocumentStructure& structure);

}  // namespace corvane::verify
