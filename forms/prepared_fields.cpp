#include "forms/prepared_fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <map>
#include <set>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "forms/signature_fields.h"
#include "append/form_listing.h"
#include "append/object_writer.h"
#include "append/original_document.h"
#include "platform/atomic_file.h"
#include "platform/in_place_lock.h"
#include "settings/file_helpers.h"

namespace corvane::forms {
namespace {

using append::NewObject;
using append::ObjectId;
using append::ObjectWriter;

// Print (4): the field's widget is printed like the page.
constexpr int kWidgetFlags = 4;

std::string reference(std::int32_t number) { return std::to_string(number) + " 0 R"; }

bool visible(const std::array<double, 4>& r) { return r[0] != r[2] || r[1] != r[3]; }

// Why `field` cannot be added to a document of `pages` pages whose form has
// the top-level names `taken`; "" when it can.
std::string field_problem(const NewSignatureField& field, std::size_t pages, const std::set<std::string>& taken) {
  const std::string quoted = "\"" + field.name + "\"";
  if (field.name.empty()) return "a signature field needs a name";
  if (field.name.find('.') != std::string::npos)
    return "the field name " + quoted + " has a dot, which would make it a part of another field";
  if (taken.contains(field.name)) return "the form already has a field named " + quoted;
  if (field.page < 1 || static_cast<std::size_t>(field.page) > pages)
    return "the field " + quoted + " is on page " + std::to_string(field.page) + ", but the document has " +
           std::to_string(pages) + (pages == 1 ? " page" : " pages");
  const auto& r = field.rect;
  const bool finite = std::isfinite(r[0]) && std::isfinite(r[1]) && std::isfinite(r[2]) && std::isfinite(r[3]);
  if (!finite || (r[0] == r[2]) != (r[1] == r[3]))
    return "the rectangle of the field " + quoted +
           " must have a width and a height (or be 0,0,0,0 for an invisible field)";
  return {};
}

// The top-level field names of the form.
std::set<std::string> top_level_names(QPDFObjectHandle catalog) {
  std::set<std::string> names;
  QPDFObjectHandle fields = catalog.getKey("/AcroForm").getKey("/Fields");
  if (fields.isArray())
    for (QPDFObjectHandle field : fields.aitems())
      if (QPDFObjectHandle name = field.getKey("/T"); name.isString()) names.insert(name.getUTF8Value());
  return names;
}

std::string pdf_string(const ObjectWriter& writer, const std::string& utf8, ObjectId owner) {
  return writer.string(QPDFObjectHandle::newUnicodeString(utf8).getStringValue(), owner);
}

// The lock dictionary's body.
std::string lock_body(const ObjectWriter& writer, const verify::FieldLocks& lock, ObjectId owner) {
  using Action = verify::FieldLocks::Action;
  if (lock.action == Action::kAll) return "<< /Type /SigFieldLock /Action /All >>";
  std::string names;
  for (const std::string& name : lock.fields) names += " " + pdf_string(writer, name, owner);
  return std::string("<< /Type /SigFieldLock /Action ") + (lock.action == Action::kInclude ? "/Include" : "/Exclude") +
         " /Fields [" + names + " ] >>";
}

// The update's objects for `request`; refusal or "". Throws what qpdf throws.
platform::Refusal build_objects(append::OriginalDocument& document, const PrepareRequest& request,
                          std::vector<NewObject>& objects, bool& visible_after_signature) {
  QPDF& qpdf = document.qpdf();
  QPDFObjectHandle catalog = qpdf.getRoot();
  const FormFields form = read_signature_fields(qpdf);
  if (!form.refusal.empty()) return form.refusal;
  if (form.certification.level == 1) return "a certification signature of the document allows no changes (/DocMDP /P 1)";
  bool is_signed = false;
  for (const SignatureField& field : form.fields) is_signed = is_signed || field.is_signed;

  const std::vector<QPDFObjectHandle> pages = qpdf.getAllPages();
  std::set<std::string> taken = top_level_names(catalog);
  for (const NewSignatureField& field : request.fields) {
    if (std::string problem = field_problem(field, pages.size(), taken); !problem.empty()) return problem;
    taken.insert(field.name);
  }

  const ObjectWriter writer(document.encryption() ? &*document.encryption() : nullptr);
  std::int32_t next = document.base().first_new_number;
  std::map<int, std::string> widgets_of_page;
  std::string field_references;
  for (const NewSignatureField& field : request.fields) {
    const ObjectId widget{next++, 0};
    QPDFObjectHandle page = pages.at(static_cast<std::size_t>(field.page - 1));
    if (!page.isIndirect() || page.getObjectID() >= document.base().first_new_number)
      return "page " + std::to_string(field.page) + " of the document is not an object of its own";
    const auto& r = field.rect;
    const double x1 = std::min(r[0], r[2]), y1 = std::min(r[1], r[3]), x2 = std::max(r[0], r[2]),
                 y2 = std::max(r[1], r[3]);
    std::string body = "<< /Type /Annot /Subtype /Widget /FT /Sig /T " + pdf_string(writer, field.name, widget) +
                       " /Rect [" + number_text(x1) + " " + number_text(y1) + " " + number_text(x2) + " " +
                       number_text(y2) + "] /P " + page.getObjGen().unparse(' ') + " R /F " +
                       std::to_string(kWidgetFlags);
    std::vector<NewObject> own;
    if (field.lock.action != verify::FieldLocks::Action::kNone) {
      const ObjectId lock{next++, 0};
      body += " /Lock " + reference(lock.number);
      own.push_back({lock.number, 0, lock_body(writer, field.lock, lock)});
    }
    if (visible(r)) {
      visible_after_signature = visible_after_signature || is_signed;
      const ObjectId appearance{next++, 0};
      body += " /AP << /N " + reference(appearance.number) + " >>";
      own.push_back({appearance.number, 0,
                     writer.stream("/Type /XObject /Subtype /Form /BBox [0 0 " + number_text(x2 - x1) + " " +
                                       number_text(y2 - y1) + "]",
                                   "", appearance)});
    }
    objects.push_back({widget.number, 0, body + " >>"});
    objects.insert(objects.end(), own.begin(), own.end());
    widgets_of_page[field.page] += (widgets_of_page[field.page].empty() ? "" : " ") + reference(widget.number);
    field_references += (field_references.empty() ? "" : " ") + reference(widget.number);
  }

  // One new revision per page that gets widgets, and one of the form.
  std::set<std::int32_t> rewritten;
  for (const auto& [page, references] : widgets_of_page) {
    objects.push_back(append::page_listing(writer, pages.at(static_cast<std::size_t>(page - 1)), references));
    if (!rewritten.insert(objects.back().number).second)
      return "two pages of the document share one list of annotations";
  }
  objects.push_back(append::form_listing(writer, catalog, field_references));
  if (rewritten.contains(objects.back().number)) return "the document's form is a page's list of annotations";
  return {};
}

void prepare(const PrepareRequest& request, PrepareResult& result) {
  platform::Refusal& refusal = result.refusal;
  // Preparing a file into itself: held from reading the file to replacing it.
  const platform::InPlaceLock in_place(request.input, request.output);
  if (!in_place.problem().empty()) {
    refusal = {platform::ErrorCode::kChangedWhileSigning, "the document " + in_place.problem()};
    return;
  }
  auto document = append::OriginalDocument::open(request.input, request.password, refusal);
  if (!document) return;
  std::vector<NewObject> objects;
  bool visible_after_signature = false;
  refusal = build_objects(*document, request, objects, visible_after_signature);
  if (std::string damage = document->damage(); !damage.empty())
    refusal = platform::Refusal(damage).as(platform::ErrorCode::kDocumentLayout);
  if (!refusal.empty()) return;
  const append::Update update = append::write_update(document->base(), objects);
  std::string why;
  if (!settings::write_file_with(
          request.output, [&](int fd) { return document->copy_to(fd) && platform::write_all(fd, update.bytes); },
          &why)) {
    refusal = {platform::ErrorCode::kNotWritten,
               "the prepared file could not be written to " + request.output + (why.empty() ? "" : ": " + why), why};
    return;
  }
  if (visible_after_signature)
    result.warning =
        "a visible empty signature field after a signature is a change that signature does not permit; "
        "prepare visible fields before the first signature";
}

}  // namespace

std::string number_text(double number) {
  if (number == 0) number = 0;  // no "-0"
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, number, std::chars_format::fixed);
  return error == std::errc() ? std::string(text, end) : "0";
}

PrepareResult add_signature_fields(const PrepareRequest& request) {
  PrepareResult result;
  if (request.fields.empty()) {
    result.refusal = "no signature field to add";
    return result;
  }
  try {
    prepare(request, result);
  } catch (const std::exception& error) {
    result.refusal = std::string("the document's objects cannot be read: ") + error.what();
  }
  if (!result.refusal.empty()) result.warning.clear();
  return result;
}

}  // namespace corvane::forms
