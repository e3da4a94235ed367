#include "forms/signature_fields.h"

#include <exception>
#include <map>
#include <set>
#include <utility>

#include <qpdf/QPDFObjectHandle.hh>

#include "forms/cms_signer.h"
#include "append/original_document.h"
#include "verify/pdf_date.h"
#include "verify/permissions.h"

namespace corvane::forms {
namespace {

// The page number (from 1) of each page object, and, asked only for a
// widget without a usable /P, of each annotation the pages list.
class PageNumbers {
 public:
  explicit PageNumbers(QPDF& pdf) : pages_(pdf.getAllPages()) {
    for (std::size_t i = 0; i < pages_.size(); ++i) page_of_.emplace(pages_[i].getObjGen(), static_cast<int>(i + 1));
  }

  // 0 when the widget is on no page.
  int of_widget(QPDFObjectHandle widget) {
    QPDFObjectHandle page = widget.getKey("/P");
    if (page.isIndirect())
      if (const auto found = page_of_.find(page.getObjGen()); found != page_of_.end()) return found->second;
    if (!widget.isIndirect()) return 0;
    if (!annotations_read_) read_annotations();
    const auto found = annotation_page_.find(widget.getObjGen());
    return found == annotation_page_.end() ? 0 : found->second;
  }

 private:
  void read_annotations() {
    annotations_read_ = true;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
      QPDFObjectHandle annots = pages_[i].getKey("/Annots");
      if (!annots.isArray()) continue;
      for (QPDFObjectHandle annotation : annots.aitems())
        if (annotation.isIndirect()) annotation_page_.emplace(annotation.getObjGen(), static_cast<int>(i + 1));
    }
  }

  std::vector<QPDFObjectHandle> pages_;
  std::map<QPDFObjGen, int> page_of_;
  std::map<QPDFObjGen, int> annotation_page_;
  bool annotations_read_ = false;
};

// Who signed a signature dictionary and when: its /Name and /M as the
// signer wrote them, else what its CMS message says. A message is decoded
// only when one of them is missing, and once per object when several
// dictionaries share one /Contents object.
class SignerReader {
 public:
  void read(QPDFObjectHandle value, std::string& signer, std::string& signing_time) {
    QPDFObjectHandle name = value.getKey("/Name"), when = value.getKey("/M");
    signer = name.isString() ? name.getUTF8Value() : "";
    signing_time = when.isString() ? verify::readable_pdf_date(when.getUTF8Value()) : "";
    if (!signer.empty() && !signing_time.empty()) return;
    const CmsSigner cms = message_signer(value.getKey("/Contents"));
    if (signer.empty()) signer = cms.common_name;
    if (signing_time.empty()) signing_time = cms.signing_time;
  }

 private:
  CmsSigner message_signer(QPDFObjectHandle contents) {
    if (!contents.isString()) return {};
    if (contents.isIndirect())
      if (const auto found = decoded_.find(contents.getObjGen()); found != decoded_.end()) return found->second;
    const std::string der = contents.getStringValue();
    const CmsSigner cms = read_cms_signer(std::span(reinterpret_cast<const std::uint8_t*>(der.data()), der.size()));
    if (contents.isIndirect()) decoded_.emplace(contents.getObjGen(), cms);
    return cms;
  }

  std::map<QPDFObjGen, CmsSigner> decoded_;
};

std::array<double, 4> rect_of(QPDFObjectHandle widget) {
  std::array<double, 4> rect{};
  QPDFObjectHandle array = widget.getKey("/Rect");
  if (!array.isArray() || array.getArrayNItems() != 4) return rect;
  for (int i = 0; i < 4; ++i)
    if (QPDFObjectHandle item = array.getArrayItem(i); item.isNumber()) rect[static_cast<std::size_t>(i)] = item.getNumericValue();
  return rect;
}

// A field still to visit: its dictionary, the full name of its parent and
// the field type it inherits.
struct Pending {
  QPDFObjectHandle field;
  std::string parent_name;
  QPDFObjectHandle inherited_type;
};

// read_signature_fields without the trap. Throws what qpdf throws.
void read_fields(QPDF& pdf, FormFields& out) {
  QPDFObjectHandle catalog = pdf.getRoot();
  SignerReader signers;
  QPDFObjectHandle certification = catalog.getKey("/Perms").getKey("/DocMDP");
  if (certification.isDictionary()) {
    out.certification.level = verify::certification_of(catalog, certification);
    if (out.certification.level != 0)
      signers.read(certification, out.certification.signer, out.certification.signing_time);
  }
  QPDFObjectHandle top = catalog.getKey("/AcroForm").getKey("/Fields");
  if (!top.isArray()) return;
  PageNumbers pages(pdf);
  std::vector<Pending> pending;
  for (int i = top.getArrayNItems() - 1; i >= 0; --i) pending.push_back({top.getArrayItem(i), "", QPDFObjectHandle::newNull()});
  std::set<QPDFObjGen> visited;
  while (!pending.empty()) {
    Pending next = std::move(pending.back());
    pending.pop_back();
    QPDFObjectHandle field = next.field;
    if (!field.isDictionary() || (field.isIndirect() && !visited.insert(field.getObjGen()).second)) continue;
    std::string name = next.parent_name;
    if (QPDFObjectHandle partial = field.getKey("/T"); partial.isString())
      name = (name.empty() ? "" : name + ".") + partial.getUTF8Value();
    QPDFObjectHandle type = field.hasKey("/FT") ? field.getKey("/FT") : next.inherited_type;

    // Kids with a name are fields of their own; the others are widgets.
    std::vector<QPDFObjectHandle> children, widgets;
    if (QPDFObjectHandle kids = field.getKey("/Kids"); kids.isArray()) {
      for (QPDFObjectHandle kid : kids.aitems())
        if (kid.isDictionary()) (kid.hasKey("/T") ? children : widgets).push_back(kid);
    } else {
      widgets.push_back(field);
    }
    if (!children.empty()) {
      for (auto child = children.rbegin(); child != children.rend(); ++child) pending.push_back({*child, name, type});
      continue;
    }
    if (!type.isNameAndEquals("/Sig")) continue;

    SignatureField& out_field = out.fields.emplace_back();
    out_field.name = name;
    out_field.object_number = field.getObjectID();
    out_field.object_generation = field.getGeneration();
    if (!widgets.empty()) {
      out_field.page = pages.of_widget(widgets.front());
      out_field.rect = rect_of(widgets.front());
    }
    QPDFObjectHandle value = field.getKey("/V");
    out_field.is_signed = value.isDictionary();
    if (out_field.is_signed) signers.read(value, out_field.signer, out_field.signing_time);
    out_field.lock = verify::locks_of(field, value);
    if (out_field.is_signed && value.isIndirect() && certification.isIndirect() &&
        value.getObjGen() == certification.getObjGen())
      out.certification.field = name;
  }
}

}  // namespace

FormFields read_signature_fields(QPDF& pdf) {
  FormFields out;
  try {
    read_fields(pdf, out);
  } catch (const std::exception& error) {
    out = {};
    out.refusal = std::string("the document's objects cannot be read: ") + error.what();
  }
  return out;
}

FormFields read_signature_fields(const std::string& path, const std::string& password) {
  FormFields out;
  try {
    auto document = append::OriginalDocument::open(path, password, out.refusal);
    if (!document) return out;
    out = read_signature_fields(document->qpdf());
    if (std::string damage = document->damage(); !damage.empty()) {
      out = {};
      out.refusal = platform::Refusal(damage).as(platform::ErrorCode::kDocumentLayout);
    }
  } catch (const std::exception& error) {
    out = {};
    out.refusal = std::string("the document cannot be read: ") + error.what();
  }
  return out;
}

}  // namespace corvane::forms
