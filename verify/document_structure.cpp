#include "verify/document_structure.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace corvane::verify {
namespace {

// Deeper trees than this are hostile input, not documents.
constexpr int kMaxDepth = 64;

class StructureWalk {
 public:
  // Without `places`, only the fields are taken: no object's place is
  // noted and no appearance is read.
  explicit StructureWalk(DocumentStructure& out, bool places = true) : out_(out), places_(places) {}

  void mark(QPDFObjectHandle object, Role role, std::size_t index = DocumentStructure::kNoField) {
    if (places_ && object.isIndirect()) out_.places[object.getObjGen()].push_back({role, index});
  }

  void walk_fields(QPDFObjectHandle list) {
    if (!list.isArray()) return;
    mark(list, Role::kFieldList);
    for (QPDFObjectHandle field : list.aitems()) walk_field(field, "", false, 0);
  }

  // Walks the pages `candidates` that the page tree under `root` holds, each
  // with its number, found by climbing /Parent: each node must list the
  // one below it in its /Kids, and the top must be `root`.
  void walk_some_pages(QPDFObjectHandle root, const std::vector<QPDFObjectHandle>& candidates) {
    for (QPDFObjectHandle page : candidates) {
      if (!page.isDictionary() || !page.isIndirect() || out_.has(page.getObjGen(), Role::kPage)) continue;
      const std::size_t number = number_in_tree(root, page);
      if (number == 0) continue;
      out_.pages.push_back(page);
      walk_page(page, number);
    }
  }

  void walk_pages(QPDFObjectHandle root) {
    std::vector<std::pair<QPDFObjectHandle, int>> pending{{root, 0}};
    while (!pending.empty()) {
      auto [node, depth] = pending.back();
      pending.pop_back();
      if (!node.isDictionary() || depth > kMaxDepth || !first_visit(node)) continue;
      QPDFObjectHandle kids = node.getKey("/Kids");
      if (kids.isArray()) {
        mark(node, Role::kPageNode);
        for (int i = kids.getArrayNItems(); i-- > 0;) pending.emplace_back(kids.getArrayItem(i), depth + 1);
        continue;
      }
      out_.pages.push_back(node);
      walk_page(node, out_.pages.size());
    }
  }

  void walk_validation_data(QPDFObjectHandle dss) {
    if (!dss.isDictionary()) return;
    mark(dss, Role::kValidationData);
    for (const char* key : {"/Certs", "/OCSPs", "/CRLs"}) mark(dss.getKey(key), Role::kValidationData);
    QPDFObjectHandle vri = dss.getKey("/VRI");
    if (!vri.isDictionary()) return;
    mark(vri, Role::kValidationData);
    for (auto [key, entry] : vri.ditems()) {
      mark(entry, Role::kValidationData);
      if (entry.isDictionary())
        for (const char* array : {"/Cert", "/OCSP", "/CRL"}) mark(entry.getKey(array), Role::kValidationData);
    }
  }

 private:
  // The number (1 = first) of `page` in the tree under `root`; 0 when it is
  // not in it.
  static std::size_t number_in_tree(QPDFObjectHandle root, QPDFObjectHandle page) {
    std::size_t before = 0;
    QPDFObjectHandle node = page;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
      if (node.isIndirect() && root.isIndirect() && node.getObjGen() == root.getObjGen()) return depth == 0 ? 0 : before + 1;
      QPDFObjectHandle parent = node.getKey("/Parent");
      QPDFObjectHandle kids = parent.getKey("/Kids");
      if (!parent.isDictionary() || !kids.isArray()) return 0;
      bool listed = false;
      for (QPDFObjectHandle kid : kids.aitems()) {
        if (kid.isIndirect() && kid.getObjGen() == node.getObjGen()) {
          listed = true;
          break;
        }
        QPDFObjectHandle count = kid.getKey("/Count");
        before += count.isInteger() && count.getIntValue() > 0 ? static_cast<std::size_t>(count.getIntValue()) : 1;
      }
      if (!listed) return 0;
      node = parent;
    }
    return 0;
  }

  // The top of a field's /Parent chain.
  static QPDFObjectHandle top_of(QPDFObjectHandle field) {
    if (!field.isDictionary()) return field;
    std::set<QPDFObjGen> seen;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
      QPDFObjectHandle parent = field.getKey("/Parent");
      if (!parent.isDictionary() || (parent.isIndirect() && !seen.insert(parent.getObjGen()).second)) break;
      field = parent;
    }
    return field;
  }

  bool first_visit(QPDFObjectHandle object) {
    return !object.isIndirect() || visited_.insert(object.getObjGen()).second;
  }

 public:
  // Walks the field trees of the form's `list` that hold a touched object:
  // each touched object that may be a field or widget leads to the top of
  // its /Parent chain, which is walked when the list names it.
  void walk_some_fields(QPDFObjectHandle list, QPDF& pdf, const std::set<QPDFObjGen>& touched) {
    if (!list.isArray()) return;
    mark(list, Role::kFieldList);
    std::set<QPDFObjGen> listed;
    for (QPDFObjectHandle item : list.aitems())
      if (item.isIndirect()) listed.insert(item.getObjGen());
    for (QPDFObjGen id : touched) {
      QPDFObjectHandle object = pdf.getObject(id);
      if (!object.isDictionary() || !(object.hasKey("/Parent") || object.hasKey("/T") || object.hasKey("/FT"))) continue;
      QPDFObjectHandle top = top_of(object);
      if (top.isIndirect() && listed.contains(top.getObjGen())) walk_field(top, "", false, 0);
    }
  }

 private:

  void walk_field(QPDFObjectHandle field, const std::string& parent_name, bool inherited_sig, int depth) {
    if (!field.isDictionary() || depth > kMaxDepth || !first_visit(field)) return;
    // Walked before, with its tree (by a walk of fewer fields).
    if (field.isIndirect() && out_.has(field.getObjGen(), Role::kField)) return;
    const std::size_t index = out_.fields.size();
    FieldInfo info;
    info.dictionary = field;
    QPDFObjectHandle type = field.getKey("/FT");
    info.signature = type.isName() ? type.getName() == "/Sig" : inherited_sig;
    info.name = parent_name;
    if (QPDFObjectHandle t = field.getKey("/T"); t.isString())
      info.name = parent_name.empty() ? t.getUTF8Value() : parent_name + "." + t.getUTF8Value();
    mark(field, Role::kField, index);
    if (field.getKey("/Subtype").isNameAndEquals("/Widget")) {
      info.widgets.push_back(field);
      mark(field, Role::kWidget, index);
      walk_appearance(field, index);
    }
    if (info.signature) {
      QPDFObjectHandle value = field.getKey("/V");
      if (value.isIndirect()) {
        mark(value, Role::kSignatureValue, index);
        ++out_.value_users[value.getObjGen()];
      }
      mark(field.getKey("/Lock"), Role::kLock, index);
    }
    QPDFObjectHandle kids = field.getKey("/Kids");
    std::vector<QPDFObjectHandle> child_fields;
    if (kids.isArray()) {
      mark(kids, Role::kKidList, index);
      for (QPDFObjectHandle kid : kids.aitems()) {
        if (!kid.isDictionary()) continue;
        if (kid.hasKey("/T") || !kid.getKey("/Subtype").isNameAndEquals("/Widget")) {
          child_fields.push_back(kid);
        } else if (first_visit(kid)) {
          info.widgets.push_back(kid);
          mark(kid, Role::kWidget, index);
          walk_appearance(kid, index);
        }
      }
    }
    const std::string name = info.name;
    const bool sig = info.signature;
    out_.fields.push_back(std::move(info));
    for (QPDFObjectHandle kid : child_fields) walk_field(kid, name, sig, depth + 1);
  }

  void walk_page(QPDFObjectHandle page, std::size_t number) {
    mark(page, Role::kPage, number);
    QPDFObjectHandle contents = page.getKey("/Contents");
    mark(contents, Role::kPageContent, number);
    if (contents.isArray())
      for (QPDFObjectHandle part : contents.aitems()) mark(part, Role::kPageContent, number);
    mark(page.getKey("/Resources"), Role::kPageResources, number);
    QPDFObjectHandle annots = page.getKey("/Annots");
    if (!annots.isArray()) return;
    mark(annots, Role::kAnnotList, number);
    for (QPDFObjectHandle annotation : annots.aitems()) {
      if (!annotation.isDictionary()) continue;
      mark(annotation, Role::kAnnotation, number);
      // A widget whose field the form does not list is a field all the
      // same, as readers show it: its tree is walked from the top.
      if (annotation.getKey("/Subtype").isNameAndEquals("/Widget") && annotation.isIndirect() &&
          out_.field_of(annotation.getObjGen()) == DocumentStructure::kNoField)
        walk_field(top_of(annotation), "", false, 0);
      // A widget's appearance is walked with its field.
      if (!annotation.getKey("/Subtype").isNameAndEquals("/Widget")) walk_appearance(annotation, DocumentStructure::kNoField);
    }
  }

  // The appearance dictionary of an annotation and its streams: /N, /D and
  // /R, each a stream or a dictionary of state streams.
  void walk_appearance(QPDFObjectHandle annotation, std::size_t field) {
    if (!places_) return;
    QPDFObjectHandle ap = annotation.getKey("/AP");
    if (!ap.isDictionary()) return;
    mark(ap, Role::kAppearance, field);
    for (const char* key : {"/N", "/D", "/R"}) {
      QPDFObjectHandle entry = ap.getKey(key);
      mark(entry, Role::kAppearance, field);
      if (entry.isDictionary() && !entry.isStream())
        for (const auto& [state, stream] : entry.ditems()) mark(stream, Role::kAppearance, field);
    }
  }

  DocumentStructure& out_;
  const bool places_;
  std::set<QPDFObjGen> visited_;
};

}  // namespace

bool DocumentStructure::has(QPDFObjGen id, Role role) const {
  const auto* list = places_of(id);
  return list != nullptr && std::any_of(list->begin(), list->end(), [role](const Place& p) { return p.role == role; });
}

std::size_t DocumentStructure::field_of(QPDFObjGen id) const {
  if (const auto* list = places_of(id))
    for (const Place& p : *list)
      if (p.role == Role::kWidget || p.role == Role::kField) return p.index;
  return kNoField;
}

std::size_t DocumentStructure::field_of_appearance(QPDFObjGen id) const {
  if (const auto* list = places_of(id))
    for (const Place& p : *list)
      if (p.role == Role::kAppearance && p.index != kNoField) return p.index;
  return kNoField;
}

std::size_t DocumentStructure::page_of(QPDFObjGen id) const {
  if (const auto* list = places_of(id))
    for (const Place& p : *list)
      if (p.role == Role::kAnnotation) return p.index;
  return 0;
}

namespace {

// The pages the touched objects may belong to: touched pages, and the /P
// of touched annotations and of the annotations in touched arrays.
std::vector<QPDFObjectHandle> touched_pages(QPDF& pdf, const std::set<QPDFObjGen>& touched) {
  std::vector<QPDFObjectHandle> pages;
  const auto consider = [&pages](QPDFObjectHandle object) {
    if (!object.isDictionary()) return;
    if (object.getKey("/Type").isNameAndEquals("/Page")) pages.push_back(object);
    else if (object.hasKey("/Subtype") && object.getKey("/P").isDictionary()) pages.push_back(object.getKey("/P"));
  };
  for (QPDFObjGen id : touched) {
    QPDFObjectHandle object = pdf.getObject(id);
    if (object.isArray()) {
      for (QPDFObjectHandle item : object.aitems()) consider(item);
    } else {
      consider(object);
    }
  }
  return pages;
}

}  // namespace

void read_all_fields(QPDF& pdf, DocumentStructure& structure) {
  if (structure.all_fields) return;
  structure.all_fields = true;
  StructureWalk walk(structure);
  walk.walk_fields(pdf.getRoot().getKey("/AcroForm").getKey("/Fields"));
}

std::vector<FieldInfo> read_field_tree(QPDF& pdf) {
  DocumentStructure structure;
  StructureWalk walk(structure, /*places=*/false);
  walk.walk_fields(pdf.getRoot().getKey("/AcroForm").getKey("/Fields"));
  return std::move(structure.fields);
}

void read_all_pages(QPDF& pdf, DocumentStructure& structure) {
  if (structure.all_pages) return;
  structure.all_pages = true;
  // Pages already walked are walked again in order; their places are kept.
  for (auto it = structure.places.begin(); it != structure.places.end();) {
    auto& list = it->second;
    std::erase_if(list, [](const DocumentStructure::Place& p) {
      return p.role == Role::kPage || p.role == Role::kPageNode || p.role == Role::kPageContent ||
             p.role == Role::kPageResources || p.role == Role::kAnnotList || p.role == Role::kAnnotation ||
             (p.role == Role::kAppearance && p.index == DocumentStructure::kNoField);
    });
    it = list.empty() ? structure.places.erase(it) : std::next(it);
  }
  structure.pages.clear();
  StructureWalk walk(structure);
  walk.walk_pages(pdf.getRoot().getKey("/Pages"));
}

DocumentStructure read_structure(QPDF& pdf, const std::set<QPDFObjGen>& touched) {
  DocumentStructure out;
  out.trailer = pdf.getTrailer();
  out.catalog = out.trailer.getKey("/Root");
  StructureWalk walk(out);
  walk.mark(out.catalog, Role::kCatalog);
  walk.mark(out.trailer.getKey("/Info"), Role::kInfo);
  walk.mark(out.catalog.getKey("/Metadata"), Role::kMetadata);
  QPDFObjectHandle form = out.catalog.getKey("/AcroForm");
  walk.mark(form, Role::kAcroForm);
  walk.walk_some_fields(form.getKey("/Fields"), pdf, touched);
  walk.walk_validation_data(out.catalog.getKey("/DSS"));
  walk.walk_some_pages(out.catalog.getKey("/Pages"), touched_pages(pdf, touched));
  return out;
}

}  // namespace corvane::verify
