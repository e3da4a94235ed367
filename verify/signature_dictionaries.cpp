#include "verify/signature_dictionaries.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <exception>
#include <map>
#include <set>
#include <vector>

#include "verify/permissions.h"

namespace corvane::verify {
namespace {

// Deeper field trees than this are hostile input, not forms.
constexpr int kMaxDepth = 64;

class SignatureCollector {
 public:
  SignatureCollector(std::map<QPDFObjGen, QPDFXRefEntry> xref, QPDFObjectHandle catalog)
      : xref_(std::move(xref)), catalog_(catalog) {}

  std::vector<SignatureDictionary> signatures;

  // Visits `field` and every field below it. `ft` and `name` are what the
  // field inherits from its parents.
  void visit(QPDFObjectHandle field, const std::string& ft, const std::string& name, int depth) {
    if (depth > kMaxDepth || !field.isDictionary()) return;
    if (field.isIndirect() && !visited_fields_.insert(field.getObjGen()).second) return;

    const std::string own_ft = field.getKey("/FT").isName() ? field.getKey("/FT").getName() : ft;
    std::string own_name = name;
    if (QPDFObjectHandle t = field.getKey("/T"); t.isString()) {
      own_name = name.empty() ? t.getUTF8Value() : name + "." + t.getUTF8Value();
    }
    if (own_ft == "/Sig") record(field, own_name);

    QPDFObjectHandle kids = field.getKey("/Kids");
    if (!kids.isArray()) return;
    for (int i = 0; i < kids.getArrayNItems(); ++i) visit(kids.getArrayItem(i), own_ft, own_name, depth + 1);
  }

  // Visits the whole field tree a widget annotation belongs to, starting at
  // its top-most parent, so that names and /FT are inherited correctly.
  void visit_widget(QPDFObjectHandle annotation) {
    // A widget that is itself a field of the form was seen with the form.
    if (annotation.isIndirect() && visited_fields_.count(annotation.getObjGen())) return;
    if (!annotation.isDictionary() || !annotation.getKey("/Subtype").isNameAndEquals("/Widget")) return;
    QPDFObjectHandle top = annotation;
    std::set<QPDFObjGen> seen;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
      QPDFObjectHandle parent = top.getKey("/Parent");
      if (!parent.isDictionary() || (parent.isIndirect() && !seen.insert(parent.getObjGen()).second)) break;
      top = parent;
    }
    visit(top, "", "", 0);
  }

 private:
  void record(QPDFObjectHandle field, const std::string& name) {
    QPDFObjectHandle value = field.getKey("/V");
    if (!value.isDictionary()) return;
    // A direct /V is known by its field, an indirect one by itself.
    const QPDFObjGen key = value.isIndirect() ? value.getObjGen() : field.getObjGen();
    if ((value.isIndirect() || field.isIndirect()) && !recorded_.insert(key).second) return;

    SignatureDictionary signature;
    signature.field_name = name;
    if (value.isIndirect()) {
      signature.object_number = value.getObjGen().getObj();
      signature.object_generation = value.getObjGen().getGen();
    }
    const auto entry = xref_.find(key);
    signature.in_object_stream = entry != xref_.end() && entry->second.getType() == 2;
    signature.certification = certification_of(catalog_, value);
    signature.locks = locks_of(field, value);
    QPDFObjectHandle range = value.getKey("/ByteRange");
    if (range.isArray()) {
      for (int i = 0; i < range.getArrayNItems(); ++i) {
        QPDFObjectHandle n = range.getArrayItem(i);
        if (!n.isInteger()) {
          signature.byte_range.clear();
          break;
        }
        signature.byte_range.push_back(n.getIntValue());
      }
    }
    if (QPDFObjectHandle contents = value.getKey("/Contents"); contents.isString()) {
      signature.contents_offset = contents.getParsedOffset();
      if (signature.contents_offset < 0) signature.contents = contents.getStringValue();
    }
    if (QPDFObjectHandle m = value.getKey("/M"); m.isString()) signature.signing_time = m.getUTF8Value();
    if (QPDFObjectHandle sub = value.getKey("/SubFilter"); sub.isName()) signature.sub_filter = sub.getName().substr(1);
    signatures.push_back(std::move(signature));
  }

  const std::map<QPDFObjGen, QPDFXRefEntry> xref_;
  QPDFObjectHandle catalog_;
  std::set<QPDFObjGen> visited_fields_;
  std::set<QPDFObjGen> recorded_;
};

// qpdf keeps every object it has read for the life of the document: a
// page or annotation that has been looked at is replaced by null, so that
// a document of many pages is never held whole.
void let_go(QPDF& pdf, const QPDFObjectHandle& object) {
  if (object.isIndirect()) pdf.replaceObject(object.getObjGen(), QPDFObjectHandle::newNull());
}

// Calls `visit` with each page object of the page tree under `root`, in
// document order, each once: a /Kids entry leading back to a node already
// seen (a loop to the root, a page listed twice) is skipped. Walked without
// recursion; each node and its /Kids are let go of once read, each page
// once `visit` has returned.
template <class Visit>
void for_each_page(QPDF& pdf, QPDFObjectHandle root, const Visit& visit) {
  std::set<QPDFObjGen> seen;
  std::vector<QPDFObjectHandle> pending{root};
  while (!pending.empty()) {
    QPDFObjectHandle node = pending.back();
    pending.pop_back();
    if (!node.isDictionary() || (node.isIndirect() && !seen.insert(node.getObjGen()).second)) continue;
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (kids.isArray()) {
      for (int i = kids.getArrayNItems(); i-- > 0;) pending.push_back(kids.getArrayItem(i));
      let_go(pdf, kids);
    } else {
      visit(node);
    }
    let_go(pdf, node);
  }
}

}  // namespace

SignatureScan find_signatures(QPDF& pdf) {
  SignatureScan scan;
  try {
    SignatureCollector collector(pdf.getXRefTable(), pdf.getRoot());
    QPDFObjectHandle fields = pdf.getRoot().getKey("/AcroForm").getKey("/Fields");
    if (fields.isArray()) {
      for (int i = 0; i < fields.getArrayNItems(); ++i) collector.visit(fields.getArrayItem(i), "", "", 0);
    }
    for_each_page(pdf, pdf.getRoot().getKey("/Pages"), [&pdf, &collector](QPDFObjectHandle page) {
      QPDFObjectHandle annots = page.getKey("/Annots");
      if (!annots.isArray()) return;
      for (int i = 0; i < annots.getArrayNItems(); ++i) {
        QPDFObjectHandle annotation = annots.getArrayItem(i);
        collector.visit_widget(annotation);
        let_go(pdf, annotation);
      }
      let_go(pdf, annots);
    });
    scan.signatures = std::move(collector.signatures);
    scan.opened = true;
  } catch (const QPDFExc& e) {
    scan.error = e.getMessageDetail();
  } catch (const std::exception& e) {
    scan.error = e.what();
  }
  return scan;
}

}  // namespace corvane::verify
