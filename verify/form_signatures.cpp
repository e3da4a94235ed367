#include "verify/form_signatures.h"

#include <cstdint>
#include <limits>
#include <set>

#include <qpdf/QPDF.hh>

#include "engine/first_page.h"
#include "platform/byte_source.h"
#include "verify/pdf_input.h"

namespace corvane::verify {
namespace {

// Fields deeper than this are not looked at (a form is a shallow tree).
constexpr int kMaxDepth = 32;

// Counts the signed signature fields of `field`'s tree into `out` and
// lists its empty ones (full names; `parent` is the parent's).
void look_at(QPDFObjectHandle field, const std::string& parent, bool inherited_sig, int depth,
             std::set<QPDFObjGen>& seen, FormSignatures& out) {
  if (!field.isDictionary() || depth > kMaxDepth) return;
  if (field.isIndirect() && !seen.insert(field.getObjGen()).second) return;
  QPDFObjectHandle type = field.getKey("/FT");
  const bool sig = type.isName() ? type.getName() == "/Sig" : inherited_sig;
  std::string name = parent;
  if (QPDFObjectHandle partial = field.getKey("/T"); partial.isString())
    name = (name.empty() ? "" : name + ".") + partial.getUTF8Value();
  QPDFObjectHandle value = field.getKey("/V");
  QPDFObjectHandle kids = field.getKey("/Kids");
  bool parent_of_fields = false;
  if (kids.isArray())
    for (QPDFObjectHandle kid : kids.aitems()) {
      parent_of_fields = parent_of_fields || kid.hasKey("/T");
      look_at(kid, name, sig, depth + 1, seen, out);
    }
  if (sig && value.isDictionary() && value.getKey("/Contents").isString()) ++out.signed_fields;
  else if (sig && !value.isDictionary() && !parent_of_fields && field.hasKey("/T")) out.empty_fields.push_back(name);
}

// The first page as the signing run finds it; null for a document without
// one, whose fields are still counted.
QPDFObjectHandle first_page(QPDF& pdf) {
  try {
    return engine::find_first_page(pdf);
  } catch (const std::exception&) {
    return QPDFObjectHandle::newNull();
  }
}

}  // namespace

FormSignatures look_at_form_signatures(const std::string& path, const std::string& password) {
  FormSignatures out;
  try {
    // Never through another user's link, never waiting on a FIFO; read in
    // blocks (a file stream would cost an lseek and a read per object).
    const platform::FileByteSource file(path);
    // No PDF this large can be signed, and reading one whose end is not a
    // PDF's would scan it whole: the signing run refuses it from its size.
    if (!file.is_open() || file.size() > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
      return out;
    const OpenedPdf opened = open_pdf(file, file.size(), password);
    if (!opened.pdf) return out;
    QPDF& pdf = *opened.pdf;
    QPDFObjectHandle fields = pdf.getRoot().getKey("/AcroForm").getKey("/Fields");
    std::set<QPDFObjGen> seen;
    if (fields.isArray())
      for (QPDFObjectHandle field : fields.aitems()) look_at(field, "", false, 0, seen, out);
    // Some signers list their field only as a widget on the first page.
    QPDFObjectHandle annots = first_page(pdf).getKey("/Annots");
    if (annots.isArray())
      for (QPDFObjectHandle widget : annots.aitems()) look_at(widget, "", false, 0, seen, out);
    return out;
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace corvane::verify
