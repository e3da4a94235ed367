#include "verify/change_analysis.h"

#include <expat.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string_view>

#include "verify/document_structure.h"

namespace corvane::verify {
namespace {

using Xref = std::map<QPDFObjGen, QPDFXRefEntry>;
using Place = DocumentStructure::Place;

constexpr int kMaxDepth = 64;

// Annotations that mark up a page (comments, highlights, drawings, stamps),
// as opposed to links, widgets and multimedia.
constexpr std::array<std::string_view, 18> kMarkup = {
    "/Text",     "/FreeText",  "/Line",  "/Square", "/Circle", "/Polygon",   "/PolyLine", "/Highlight", "/Underline",
    "/Squiggly", "/StrikeOut", "/Caret", "/Ink",    "/Stamp",  "/Popup",     "/FileAttachment", "/Sound", "/Redact"};

std::string id_text(QPDFObjGen id) { return id.getObj() == 0 ? "" : id.unparse(' '); }

QPDFObjectHandle dict_of(QPDFObjectHandle object) { return object.isStream() ? object.getDict() : object; }

// Equal as written: references compare by object, direct values in full.
bool same(QPDFObjectHandle a, QPDFObjectHandle b) { return a.unparse() == b.unparse(); }

// The keys whose values differ between two dictionaries.
std::vector<std::string> changed_keys(QPDFObjectHandle before, QPDFObjectHandle after) {
  before = dict_of(before);
  after = dict_of(after);
  std::set<std::string> keys;
  if (before.isDictionary()) keys = before.getKeys();
  if (after.isDictionary())
    for (const std::string& key : after.getKeys()) keys.insert(key);
  std::vector<std::string> changed;
  for (const std::string& key : keys)
    if (!same(before.isDictionary() ? before.getKey(key) : QPDFObjectHandle::newNull(),
              after.isDictionary() ? after.getKey(key) : QPDFObjectHandle::newNull()))
      changed.push_back(key);
  return changed;
}

bool is_container(QPDFObjectHandle object) {
  if (!object.isStream()) return false;
  QPDFObjectHandle type = object.getDict().getKey("/Type");
  return type.isNameAndEquals("/XRef") || type.isNameAndEquals("/ObjStm");
}

bool is_markup(QPDFObjectHandle annotation) {
  QPDFObjectHandle subtype = annotation.getKey("/Subtype");
  return subtype.isName() && std::find(kMarkup.begin(), kMarkup.end(), subtype.getName()) != kMarkup.end();
}

// Claims to be a signature: a field type or a dictionary type of one.
bool poses_as_signature(QPDFObjectHandle annotation) {
  return annotation.getKey("/FT").isNameAndEquals("/Sig") || annotation.getKey("/Type").isNameAndEquals("/Sig") ||
         annotation.hasKey("/V");
}

// A widget nobody sees: a zero-area rectangle, or hidden or not viewed.
bool invisible(QPDFObjectHandle widget) {
  constexpr int kHidden = 2, kNoView = 32;
  QPDFObjectHandle flags = widget.getKey("/F");
  if (flags.isInteger() && (flags.getIntValue() & (kHidden | kNoView)) != 0) return true;
  QPDFObjectHandle rect = widget.getKey("/Rect");
  if (!rect.isRectangle()) return false;
  const QPDFObjectHandle::Rectangle r = rect.getArrayAsRectangle();
  return r.llx == r.urx || r.lly == r.ury;
}

bool well_formed_xml(const std::string& text) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (parser == nullptr) return false;
  const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), /*isFinal=*/1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return ok;
}

// qpdf's handles have no const accessors: a copy shares the object.
QPDFObjectHandle dictionary_of(const FieldInfo& field) { return field.dictionary; }

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

class Analysis {
 public:
  Analysis(QPDF& before, QPDF& after, const KnownSignatures& known)
      : before_(before), after_(after), xb_(before.getXRefTable()), xa_(after.getXRefTable()), known_(known) {}

  StretchChanges run() {
    if (!compare_entries() || touched_.empty()) return std::move(result_);
    before_structure();
    sa_ = read_structure(after_, touched_);
    if (!judge_trailer()) return std::move(result_);
    for (QPDFObjGen id : changed_)
      if (!judge_changed(id)) return std::move(result_);
    (void)(judge_signature_fields() && judge_new_annotations() && judge_claims() && judge_sole_paths());
    return std::move(result_);
  }

 private:
  // --- recording ---------------------------------------------------------
  void add(ChangeLevel level, QPDFObjGen id, const std::string& what) {
    for (const LaterChange& c : result_.changes)
      if (c.level == level && c.what == what) return;
    result_.changes.push_back({level, id_text(id), what});
    result_.level = std::max(result_.level, level);
  }
  // Records the change no rule clears; the analysis stops there.
  bool other(QPDFObjGen id, const std::string& what) {
    add(ChangeLevel::kOther, id, what);
    return false;
  }
  void field_touched(const std::string& name) {
    if (std::find(result_.fields.begin(), result_.fields.end(), name) == result_.fields.end())
      result_.fields.push_back(name);
  }
  void information(const std::string& key) {
    auto& keys = result_.document_information;
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
  }

  // --- the cross-reference entries -----------------------------------------
  bool unchanged_entry(QPDFObjGen id) const {
    const auto b = xb_.find(id);
    const auto a = xa_.find(id);
    return b != xb_.end() && a != xa_.end() && same_entry(b->second, a->second);
  }

  // Both entries place the object at the same bytes: the same offset, or
  // the same index of an object stream that did not change itself.
  bool same_entry(const QPDFXRefEntry& b, const QPDFXRefEntry& a) const {
    if (b.getType() != a.getType()) return false;
    if (a.getType() == 1) return b.getOffset() == a.getOffset();
    if (a.getType() != 2) return true;
    return b.getObjStreamNumber() == a.getObjStreamNumber() && b.getObjStreamIndex() == a.getObjStreamIndex() &&
           unchanged_entry(QPDFObjGen(a.getObjStreamNumber(), 0));
  }

  static bool in_use(const Xref& xref, QPDFObjGen id) {
    const auto found = xref.find(id);
    return found != xref.end() && found->second.getType() != 0;
  }

  // The highest generation of object `number` in use in the signed
  // revision; -1 when none is.
  int used_generation(int number) const {
    for (auto b = xb_.lower_bound(QPDFObjGen(number + 1, 0)); b != xb_.begin();) {
      --b;
      if (b->first.getObj() != number) break;
      if (b->second.getType() != 0) return b->first.getGen();
    }
    return -1;
  }

  // Sorts every object the later revisions wrote into changed (an object of
  // the signed revision with new content) and added; an object freed or
  // given a new generation is an other change at once. Both tables are
  // walked side by side, in the order of their keys.
  bool compare_entries() {
    QPDFObjectHandle size = before_.getTrailer().getKey("/Size");
    const long long before_size = size.isInteger() ? size.getIntValue() : 0;
    auto b = xb_.begin();
    for (const auto& [id, entry] : xa_) {
      while (b != xb_.end() && b->first < id) ++b;
      const bool in_before = b != xb_.end() && b->first == id;
      if (entry.getType() == 0 || (in_before && same_entry(b->second, entry))) continue;
      const int old = used_generation(id.getObj());
      if (old >= 0 && old != id.getGen())
        return other(id, "new generation of " + describe(before_structure(), QPDFObjGen(id.getObj(), old), before_));
      QPDFObjectHandle now = after_.getObject(id);
      if (in_before && b->second.getType() != 0) {
        if (is_container(now) && is_container(before_.getObject(id))) continue;
        changed_.push_back(id);
      } else {
        if (is_container(now)) continue;
        // An object of the signed revision may refer to a number it left
        // free or never wrote; defining it later would change that object.
        if (id.getObj() < before_size) return other(id, "added under a number below the signed revision's /Size");
        added_.insert(id);
      }
      touched_.insert(id);
    }
    auto a = xa_.begin();
    for (const auto& [id, entry] : xb_) {
      while (a != xa_.end() && a->first < id) ++a;
      const bool in_use_after = a != xa_.end() && a->first == id && a->second.getType() != 0;
      if (entry.getType() != 0 && !in_use_after && !is_container(before_.getObject(id)))
        return other(id, "freed: " + describe(before_structure(), id, before_));
    }
    return true;
  }

  // The signed revision's structure, read once, when first needed.
  DocumentStructure& before_structure() {
    if (!sb_read_) {
      sb_ = read_structure(before_, touched_);
      sb_read_ = true;
    }
    return sb_;
  }

  // --- descriptions --------------------------------------------------------
  std::string field_name(const DocumentStructure& s, std::size_t index) const {
    return index < s.fields.size() ? quoted(s.fields[index].name) : "\"\"";
  }

  // What `id` is to the document `s` was read from (`pdf`). An object the
  // structure does not place may be a page's content or resources: all
  // pages are read then, which only a change no rule clears costs.
  std::string describe(DocumentStructure& s, QPDFObjGen id, QPDF& pdf) {
    if (s.places_of(id) == nullptr) read_all_fields(pdf, s);
    if (s.places_of(id) == nullptr) read_all_pages(pdf, s);
    if (const auto* places = s.places_of(id)) {
      const Place& p = places->front();
      const std::string n = std::to_string(p.index);
      switch (p.role) {
        case Role::kCatalog: return "the catalog";
        case Role::kAcroForm: return "the form";
        case Role::kFieldList: return "the form's list of fields";
        case Role::kField: return "field " + field_name(s, p.index);
        case Role::kKidList: return "the kids of field " + field_name(s, p.index);
        case Role::kWidget: return "the widget of field " + field_name(s, p.index);
        case Role::kSignatureValue: return "the signature dictionary of field " + field_name(s, p.index);
        case Role::kLock: return "the lock of field " + field_name(s, p.index);
        case Role::kPageNode: return "the page tree";
        case Role::kPage: return "page " + n;
        case Role::kPageContent: return "the content of page " + n;
        case Role::kPageResources: return "the resources of page " + n;
        case Role::kAnnotList: return "the annotations of page " + n;
        case Role::kAnnotation: return "an annotation of page " + n;
        case Role::kAppearance: return "an appearance stream";
        case Role::kValidationData: return "the validation data";
        case Role::kInfo: return "the document information";
        case Role::kMetadata: return "the XMP metadata";
      }
    }
    QPDFObjectHandle object = pdf.getObject(id);
    QPDFObjectHandle type = dict_of(object).getKey("/Type");
    if (type.isName()) return std::string("a ") + type.getName() + (object.isStream() ? " stream" : " dictionary");
    return object.isStream() ? "a stream" : object.isDictionary() ? "a dictionary" : "an object";
  }

  // --- the trailer ---------------------------------------------------------
  bool judge_trailer() {
    QPDFObjectHandle b = sb_.trailer, a = sa_.trailer;
    if (!same(b.getKey("/Root"), a.getKey("/Root"))) return other({}, "the trailer's /Root");
    if (!same(b.getKey("/Encrypt"), a.getKey("/Encrypt"))) return other({}, "the trailer's /Encrypt");
    QPDFObjectHandle ib = b.getKey("/ID"), ia = a.getKey("/ID");
    if (ib.isArray() && (!ia.isArray() || !same(ib.getArrayItem(0), ia.getArrayItem(0))))
      return other({}, "the first part of the trailer's /ID");
    if (!same(b.getKey("/Info"), a.getKey("/Info"))) compare_information(b.getKey("/Info"), a.getKey("/Info"));
    return true;
  }

  // Names the keys of the document information that differ.
  void compare_information(QPDFObjectHandle before, QPDFObjectHandle after) {
    std::set<std::string> keys;
    if (before.isDictionary()) keys = before.getKeys();
    if (after.isDictionary())
      for (const std::string& key : after.getKeys()) keys.insert(key);
    for (const std::string& key : keys) {
      QPDFObjectHandle was = before.isDictionary() ? before.getKey(key) : QPDFObjectHandle::newNull();
      QPDFObjectHandle is = after.isDictionary() ? after.getKey(key) : QPDFObjectHandle::newNull();
      if (was.isScalar() && is.isScalar() ? was.unparseResolved() != is.unparseResolved() : !same(was, is))
        information(key);
    }
    if (!after.isDictionary() && before.isDictionary()) information("the whole dictionary removed");
  }

  // --- objects of the signed revision with new content ----------------------
  bool judge_changed(QPDFObjGen id) {
    if (sa_.places_of(id) == nullptr && sb_.places_of(id) == nullptr) {
      // Perhaps an appearance whose widget did not change: look at every field.
      read_all_fields(after_, sa_);
      read_all_fields(before_, sb_);
    }
    const auto* in_after = sa_.places_of(id);
    const auto* in_before = sb_.places_of(id);
    if (in_after == nullptr && in_before == nullptr) return other(id, describe(sb_, id, before_) + " changed");
    std::set<Role> roles;
    for (const auto* list : {in_after, in_before})
      if (list != nullptr)
        for (const Place& p : *list) roles.insert(p.role);
    QPDFObjectHandle was = before_.getObject(id), is = after_.getObject(id);
    for (Role role : roles) {
      bool ok = true;
      switch (role) {
        case Role::kCatalog: ok = judge_catalog(id, was, is); break;
        case Role::kAcroForm: ok = judge_form(id, was, is); break;
        case Role::kFieldList:
        case Role::kKidList: ok = judge_field_list(id, was, is, describe(sa_, id, after_)); break;
        case Role::kField:
        case Role::kWidget: ok = judge_field_keys(id, was, is); break;
        case Role::kPage: ok = judge_page(id, was, is); break;
        case Role::kAnnotList: ok = judge_annotation_list(id, was, is, sa_.has(id, Role::kAnnotList) ? page_number(id) : 0); break;
        case Role::kAnnotation: ok = judge_annotation(id, was, is); break;
        case Role::kAppearance: ok = judge_appearance(id); break;
        case Role::kValidationData: add(ChangeLevel::kValidationData, id, "the validation data (/DSS) updated"); break;
        case Role::kInfo: compare_information(was, is); break;
        case Role::kMetadata: ok = judge_metadata(id, is, /*in_place=*/true); break;
        default: ok = sb_.places_of(id) ? other(id, describe(sb_, id, before_) + " changed")
                                        : other(id, describe(sa_, id, after_) + " changed");
      }
      if (!ok) return false;
    }
    return true;
  }

  bool judge_annotation(QPDFObjGen id, QPDFObjectHandle was, QPDFObjectHandle is) {
    if (sa_.field_of(id) != DocumentStructure::kNoField) return true;  // a widget: judged with its field
    if (!is_markup(was) || !is_markup(is) || poses_as_signature(is) || is.hasKey("/A") || is.hasKey("/AA"))
      return other(id, describe(sb_, id, before_) + " changed");
    add(ChangeLevel::kAnnotations, id, "an annotation of page " + std::to_string(sa_.page_of(id)) + " changed");
    return true;
  }

  std::size_t page_number(QPDFObjGen annots) const {
    if (const auto* list = sa_.places_of(annots))
      for (const Place& p : *list)
        if (p.role == Role::kAnnotList) return p.index;
    return 0;
  }

  bool judge_catalog(QPDFObjGen id, QPDFObjectHandle was, QPDFObjectHandle is) {
    for (const std::string& key : changed_keys(was, is)) {
      if (key == "/AcroForm") {
        if (!judge_form(id, was.getKey(key), is.getKey(key))) return false;
      } else if (key == "/DSS" || key == "/Extensions") {
        add(ChangeLevel::kValidationData, id, "the validation data (/DSS) updated");
      } else if (key == "/Metadata") {
        if (!judge_metadata(is.getKey(key).getObjGen(), is.getKey(key), /*in_place=*/false)) return false;
      } else {
        return other(id, "the catalog's " + key);
      }
    }
    return true;
  }

  bool judge_form(QPDFObjGen id, QPDFObjectHandle was, QPDFObjectHandle is) {
    if (!is.isDictionary()) return other(id, "the form removed");
    for (const std::string& key : changed_keys(was, is)) {
      if (key == "/Fields") {
        if (!judge_field_list(id, was.getKey(key), is.getKey(key), "the form's list of fields")) return false;
      } else if (key == "/SigFlags") {
        add(ChangeLevel::kSigning, id, "the form's /SigFlags");
      } else if (key == "/NeedAppearances" || key == "/DR" || key == "/DA") {
        // How fields' appearances are made: part of filling the form.
        add(ChangeLevel::kFormFilling, id, "the form's " + key);
        claim(is.getKey(key));
      } else {
        return other(id, "the form's " + key);
      }
    }
    return true;
  }

  static std::vector<std::string> items(QPDFObjectHandle list) {
    std::vector<std::string> out;
    if (list.isArray())
      for (QPDFObjectHandle item : list.aitems()) out.push_back(item.unparse());
    return out;
  }

  // A list of fields may only grow, by fields the later revisions added
  // (each judged as a new field).
  bool judge_field_list(QPDFObjGen id, QPDFObjectHandle was, QPDFObjectHandle is, const std::string& what) {
    std::multiset<std::string> old_items;
    for (const std::string& item : items(was)) old_items.insert(item);
    if (!is.isArray()) return other(id, what + " removed");
    for (QPDFObjectHandle item : is.aitems()) {
      if (const auto kept = old_items.find(item.unparse()); kept != old_items.end()) {
        old_items.erase(kept);
      } else if (!item.isIndirect() || !added_.contains(item.getObjGen())) {
        return other(id, what + ": " + (item.isIndirect() ? "object " + id_text(item.getObjGen()) : "a direct entry") +
                             " put in it");
      }
    }
    if (!old_items.empty()) return other(id, what + ": an entry taken out");
    return true;
  }

  // Annotations may be added (each judged as new) and markup annotations
  // taken away.
  bool judge_annotation_list(QPDFObjGen id, QPDFObjectHandle was, QPDFObjectHandle is, std::size_t page) {
    std::multiset<std::string> new_items;
    for (const std::string& item : items(is)) new_items.insert(item);
    const std::string where = "page " + std::to_string(page);
    if (was.isArray())
      for (QPDFObjectHandle item : was.aitems()) {
        if (const auto kept = new_items.find(item.unparse()); kept != new_items.end()) {
          new_items.erase(kept);
        } else if (is_markup(item)) {
          add(ChangeLevel::kAnnotations, id, "an annotation removed from " + where);
        } else {
          return other(id, "an annotation taken out of " + where);
        }
      }
    for (const std::string& item : new_items) {
      bool is_new = false;
      if (is.isArray())
        for (QPDFObjectHandle a : is.aitems())
          if (a.unparse() == item && a.isIndirect() && added_.contains(a.getObjGen())) is_new = true;
      if (!is_new) return other(id, "an annotation put on " + where + " that the signed revision already had");
    }
    return true;
  }

  bool judge_page(QPDFObjGen id, QPDFObjectHandle was, QPDFObjectHandle is) {
    for (const std::string& key : changed_keys(was, is)) {
      if (key != "/Annots") return other(id, describe(sa_, id, after_) + ": " + key);
      if (!judge_annotation_list(id, was.getKey(key), is.getKey(key), sa_.page_of(id) ? sa_.page_of(id) : page_index(id)))
        return false;
    }
    return true;
  }

  std::size_t page_index(QPDFObjGen page) const {
    for (std::size_t i = 0; i < sa_.pages.size(); ++i)
      if (sa_.pages[i].getObjGen() == page) return i + 1;
    return 0;
  }

  // The value, widget and appearance of a field. A signature field signed
  // in the signed revision never changes; an empty one may get its value
  // and appearance when it is signed; other fields may be filled in.
  bool judge_field_keys(QPDFObjGen id, QPDFObjectHandle was, QPDFObjectHandle is) {
    const std::size_t index = sa_.field_of(id);
    if (index == DocumentStructure::kNoField) return other(id, describe(sb_, id, before_) + " changed");
    const FieldInfo& field = sa_.fields[index];
    const std::vector<std::string> keys = changed_keys(was, is);
    if (field.signature) {
      if (was_signed(field)) return other(id, "the signed field " + quoted(field.name) + " changed (" + keys.front() + ")");
      for (const std::string& key : keys)
        if (key != "/V" && key != "/AP") return other(id, "signature field " + quoted(field.name) + ": " + key);
      if (!dictionary_of(field).getKey("/V").isDictionary())
        return other(id, "a new appearance for the unsigned signature field " + quoted(field.name));
      claim(after_.getObject(id));  // the value is judged with the signature fields
      return true;
    }
    for (const std::string& key : keys)
      if (key != "/V" && key != "/AS" && key != "/AP") return other(id, "field " + quoted(field.name) + ": " + key);
    add(ChangeLevel::kFormFilling, id, "field " + quoted(field.name));
    field_touched(field.name);
    claim(after_.getObject(id));  // new appearance streams
    return true;
  }

  // The field as the signed revision had it had a value.
  bool was_signed(const FieldInfo& field) const {
    if (!dictionary_of(field).isIndirect()) return false;
    const QPDFObjGen id = dictionary_of(field).getObjGen();
    return in_use(xb_, id) && before_.getObject(id).getKey("/V").isDictionary();
  }

  bool judge_appearance(QPDFObjGen id) {
    const std::size_t index = sa_.field_of_appearance(id);
    if (index == DocumentStructure::kNoField) return other(id, "an appearance stream of an annotation changed");
    const FieldInfo& field = sa_.fields[index];
    if (field.signature && (was_signed(field) || !dictionary_of(field).getKey("/V").isDictionary()))
      return other(id, "a new appearance for the signed widget of field " + quoted(field.name));
    if (!field.signature) {
      add(ChangeLevel::kFormFilling, id, "field " + quoted(field.name));
      field_touched(field.name);
    }
    sole_paths_.insert(id);
    return true;
  }

  bool judge_metadata(QPDFObjGen id, QPDFObjectHandle stream, bool in_place) {
    if (!stream.isStream()) return other(id, "the XMP metadata is not a stream");
    try {
      const auto data = stream.getStreamData(qpdf_dl_generalized);
      if (!well_formed_xml(std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize())))
        return other(id, "the XMP metadata is not well-formed XML");
    } catch (const std::exception&) {
      return other(id, "the XMP metadata cannot be decoded");
    }
    information("XMP metadata");
    if (in_place) sole_paths_.insert(id);
    return true;
  }

  // --- signature fields ----------------------------------------------------
  // New signature fields, and empty ones that received their signature.
  bool judge_signature_fields() {
    for (const FieldInfo& field : sa_.fields) {
      if (!dictionary_of(field).isIndirect()) continue;
      const QPDFObjGen id = dictionary_of(field).getObjGen();
      if (added_.contains(id)) {
        if (!field.signature) return other(id, "a new form field " + quoted(field.name));
        if (!judge_new_signature_field(id, field)) return false;
      } else if (field.signature && !was_signed(field) && dictionary_of(field).getKey("/V").isDictionary()) {
        if (!judge_value(id, field)) return false;
      }
    }
    return true;
  }

  bool judge_new_signature_field(QPDFObjGen id, const FieldInfo& field) {
    if (field.widgets.empty()) return other(id, "the new signature field " + quoted(field.name) + " has no widget");
    for (QPDFObjectHandle widget : field.widgets) {
      if (!widget.isIndirect() || sa_.page_of(widget.getObjGen()) == 0)
        return other(id, "the widget of the new signature field " + quoted(field.name) + " is on no page");
      if (!added_.contains(widget.getObjGen()))
        return other(id, "the new signature field " + quoted(field.name) + " takes a widget the signed revision had");
    }
    claim(field.dictionary);
    if (dictionary_of(field).getKey("/V").isDictionary()) return judge_value(id, field);
    bool hidden = true, action = dictionary_of(field).hasKey("/A") || dictionary_of(field).hasKey("/AA");
    for (QPDFObjectHandle widget : field.widgets) {
      hidden = hidden && invisible(widget);
      action = action || widget.hasKey("/A") || widget.hasKey("/AA");
    }
    if (action) return other(id, "the new unsigned signature field " + quoted(field.name) + " has an action");
    if (!hidden) return other(id, "the new unsigned signature field " + quoted(field.name) + " is visible");
    add(ChangeLevel::kSigning, id, "empty signature field " + quoted(field.name));
    return true;
  }

  // A field's new value: a signature dictionary of its own, stored as an
  // object of the file (so its /Contents is where /ByteRange says), whose
  // signature is valid and covers the revision that added it.
  bool judge_value(QPDFObjGen field_id, const FieldInfo& field) {
    QPDFObjectHandle value = dictionary_of(field).getKey("/V");
    const std::string name = quoted(field.name);
    if (!value.isIndirect()) return other(field_id, "the signature of field " + name + " is not an object of its own");
    const QPDFObjGen id = value.getObjGen();
    const auto entry = xa_.find(id);
    if (entry == xa_.end() || entry->second.getType() != 1)
      return other(id, "the signature dictionary of field " + name + " is inside an object stream");
    if (const auto users = sa_.value_users.find(id); users != sa_.value_users.end() && users->second > 1) return other(id, "field " + name + " takes another field's signature dictionary");
    if (!added_.contains(id)) return other(id, "field " + name + " takes a signature dictionary of the signed revision");
    const auto known = known_.find(id);
    if (known == known_.end() || !known->second.valid)
      return other(id, "the signature of field " + name + " is not valid");
    if (static_cast<std::uint64_t>(entry->second.getOffset()) >= known->second.signed_end)
      return other(id, "the signature of field " + name + " does not cover its own revision");
    claim(field.dictionary);
    if (known->second.document_timestamp) {
      add(ChangeLevel::kValidationData, id, "document timestamp " + name);
    } else {
      add(ChangeLevel::kSigning, id, "signature field " + name);
      field_touched(field.name);
    }
    return true;
  }

  // --- new annotations -----------------------------------------------------
  bool judge_new_annotations() {
    for (std::size_t page = 0; page < sa_.pages.size(); ++page) {
      QPDFObjectHandle annots = sa_.pages[page].getKey("/Annots");
      if (!annots.isArray()) continue;
      const std::string where = "page " + std::to_string(page + 1);
      for (QPDFObjectHandle annotation : annots.aitems()) {
        if (!annotation.isIndirect()) continue;
        const QPDFObjGen id = annotation.getObjGen();
        if (!added_.contains(id) || claimed_.contains(id)) continue;
        QPDFObjectHandle subtype = annotation.getKey("/Subtype");
        const std::string kind = subtype.isName() ? subtype.getName() : "without /Subtype";
        if (subtype.isNameAndEquals("/Widget")) return other(id, "a widget of no new signature field on " + where);
        if (poses_as_signature(annotation)) return other(id, "a " + kind + " annotation posing as a signature on " + where);
        if (!is_markup(annotation) || annotation.hasKey("/A") || annotation.hasKey("/AA"))
          return other(id, "a new " + kind + " annotation on " + where);
        add(ChangeLevel::kAnnotations, id, "a " + kind + " annotation added on " + where);
        claim(annotation);
      }
    }
    return true;
  }

  // --- what reaches the added objects --------------------------------------
  // Marks the added objects reachable from `root` (a judged object, added
  // or not) through added objects.
  void claim(QPDFObjectHandle root) {
    std::vector<std::pair<QPDFObjectHandle, int>> pending{{root, 0}};
    while (!pending.empty()) {
      auto [object, depth] = pending.back();
      pending.pop_back();
      if (depth > kMaxDepth) continue;
      if (object.isIndirect()) {
        const QPDFObjGen id = object.getObjGen();
        const bool added = added_.contains(id);
        if ((depth > 0 && !added) || (added && !claimed_.insert(id).second)) continue;
      }
      if (object.isArray()) {
        for (QPDFObjectHandle item : object.aitems()) pending.emplace_back(item, depth + 1);
      } else if (object.isDictionary() || object.isStream()) {
        for (const auto& [key, value] : dict_of(object).ditems()) pending.emplace_back(value, depth + 1);
      }
    }
  }

  // Added objects are accepted where a rule reached them: new fields and
  // annotations (above), and what the validation data, the document
  // information, the metadata and the form's and pages' lists hold.
  bool judge_claims() {
    claim_added(sa_.catalog.getKey("/DSS"));
    claim_added(sa_.trailer.getKey("/Info"));
    claim_added(sa_.catalog.getKey("/Metadata"));
    for (const auto& [id, places] : sa_.places)
      for (const Place& p : places)
        if (p.role == Role::kAcroForm || p.role == Role::kFieldList || p.role == Role::kKidList ||
            p.role == Role::kAnnotList || p.role == Role::kValidationData)
          if (added_.contains(id)) claimed_.insert(id);
    // An added object no rule reached is harmless only when nothing uses
    // it (some writers leave such objects behind): the search for users
    // below decides.
    for (QPDFObjGen id : added_)
      if (!claimed_.contains(id)) orphans_.insert(id);
    return true;
  }

  void claim_added(QPDFObjectHandle root) {
    if (root.isIndirect() && added_.contains(root.getObjGen())) claim(root);
    else if (root.isDictionary()) claim(root);
  }

  // An object of the signed revision changed in place where a rule allows
  // it (an appearance stream, the metadata) must be reached only that way,
  // and an added object no rule reached not at all: the whole document is
  // searched for the objects using them, which only such changes cost.
  bool judge_sole_paths() {
    if (sole_paths_.empty() && orphans_.empty()) return true;
    std::set<QPDFObjGen> seen;
    std::vector<std::pair<QPDFObjectHandle, QPDFObjGen>> pending;  // object, the indirect object holding it
    pending.emplace_back(sa_.trailer, QPDFObjGen());
    while (!pending.empty()) {
      auto [object, holder] = pending.back();
      pending.pop_back();
      if (object.isIndirect()) {
        const QPDFObjGen id = object.getObjGen();
        if (sole_paths_.contains(id) && !allowed_holder(id, holder))
          return other(id, describe(sa_, id, after_) + " changed, and object " + id_text(holder) + " uses it too");
        if (orphans_.contains(id))
          return other(id, describe(sa_, id, after_) + " added, and " +
                               (holder.getObj() == 0 ? "the trailer" : "object " + id_text(holder)) +
                               " uses it where no rule allows");
        if (!seen.insert(id).second) continue;
        holder = id;
      }
      if (object.isArray()) {
        for (QPDFObjectHandle item : object.aitems()) pending.emplace_back(item, holder);
      } else if (object.isDictionary() || object.isStream()) {
        for (const auto& [key, value] : dict_of(object).ditems()) pending.emplace_back(value, holder);
      }
    }
    return true;
  }

  // Whether `holder` uses the changed object `id` along the way the rule
  // allowed: the catalog for the metadata, a widget or its appearance
  // dictionary for an appearance stream.
  bool allowed_holder(QPDFObjGen id, QPDFObjGen holder) const {
    if (sa_.has(id, Role::kMetadata)) return sa_.has(holder, Role::kCatalog);
    const std::size_t field = sa_.field_of_appearance(id);
    return field != DocumentStructure::kNoField &&
           ((sa_.has(holder, Role::kWidget) && sa_.field_of(holder) == field) ||
            (sa_.has(holder, Role::kAppearance) && sa_.field_of_appearance(holder) == field));
  }

  QPDF& before_;
  QPDF& after_;
  const Xref xb_, xa_;
  const KnownSignatures& known_;
  DocumentStructure sb_, sa_;
  bool sb_read_ = false;
  std::vector<QPDFObjGen> changed_;
  std::set<QPDFObjGen> added_, touched_, claimed_;
  std::set<QPDFObjGen> sole_paths_;
  std::set<QPDFObjGen> orphans_;  // added objects no rule reached: nothing may use them  // objects changed in place that only the rule's way may reach
  StretchChanges result_;
};

}  // namespace

StretchChanges analyse_changes(const OpenedRevision& signed_revision, const OpenedRevision& last,
                               const KnownSignatures& signatures) {
  StretchChanges result;
  if (!signed_revision.ok() || !last.ok()) {
    result.level = ChangeLevel::kOther;
    const std::string& why = signed_revision.ok() ? last.problem() : signed_revision.problem();
    result.changes.push_back({ChangeLevel::kOther, "", "the revisions cannot be compared: " + why});
    return result;
  }
  try {
    return Analysis(signed_revision.pdf(), last.pdf(), signatures).run();
  } catch (const std::exception& error) {
    result = {};
    result.level = ChangeLevel::kOther;
    result.changes.push_back({ChangeLevel::kOther, "", std::string("the revisions cannot be compared: ") + error.what()});
  }
  return result;
}

}  // namespace corvane::verify
