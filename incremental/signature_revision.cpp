#include "incremental/signature_revision.h"

#include <cstdlib>
#include <exception>
#include <set>
#include <sstream>

#include "engine/first_page.h"
#include "engine/text_stamp.h"
#include "incremental/form_listing.h"
#include "incremental/object_writer.h"

namespace corvane::incremental {
namespace {

constexpr std::string_view kDefaultFieldName = "Signature";
// Annotation flags Print (4) and Locked (128).
constexpr int kWidgetFlags = 132;
// SignaturesExist (1) and AppendOnly (2).
constexpr int kSigFlags = 3;
constexpr const char* kStampFont = "/CvStamp";

std::string reference(std::int32_t number) { return std::to_string(number) + " 0 R"; }

// True when a certification signature of the document forbids every change.
bool certified_without_changes(QPDFObjectHandle catalog) {
  QPDFObjectHandle signature = catalog.getKey("/Perms").getKey("/DocMDP");
  if (!signature.isDictionary()) return false;
  QPDFObjectHandle references = signature.getKey("/Reference");
  if (!references.isArray()) return false;
  for (QPDFObjectHandle item : references.aitems()) {
    if (!item.isDictionary() || !item.getKey("/TransformMethod").isNameAndEquals("/DocMDP")) continue;
    QPDFObjectHandle p = item.getKey("/TransformParams").getKey("/P");
    if (p.isInteger() && p.getIntValue() == 1) return true;
  }
  return false;
}

// `wished`, or "wished (2)", "wished (3)", ... : the first not among the
// form's top-level field names.
std::string unique_field_name(QPDFObjectHandle fields, std::string wished) {
  if (wished.empty()) wished = kDefaultFieldName;
  std::set<std::string> taken;
  if (fields.isArray())
    for (QPDFObjectHandle field : fields.aitems()) {
      QPDFObjectHandle name = field.isDictionary() ? field.getKey("/T") : QPDFObjectHandle::newNull();
      if (name.isString()) taken.insert(name.getUTF8Value());
    }
  std::string name = wished;
  for (int n = 2; taken.count(name); ++n) name = wished + " (" + std::to_string(n) + ")";
  return name;
}

struct Rect {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

bool parse_rect(const std::string& text, Rect& rect) {
  std::istringstream in(text);
  return static_cast<bool>(in >> rect.x1 >> rect.y1 >> rect.x2 >> rect.y2);
}

// The widget's appearance: a form XObject drawing `text` inside the
// rectangle's box; "" (and `note` set) when the text fits no font size.
std::string appearance_stream(const ObjectWriter& writer, const std::string& text, const Rect& rect,
                              ObjectId owner, std::string& note) {
  const double width = rect.x2 - rect.x1;
  const double height = rect.y1 - rect.y2;
  const std::vector<std::string> lines = engine::stamp_lines(text);
  const double size = engine::fitting_font_size(lines, width, height);
  if (size <= 0) {
    note = "the visible text does not fit the signature box; the widget has no appearance";
    return {};
  }
  const engine::StampBox box{0, height, width, height};
  const std::string content = engine::stamp_content(lines, box, size, kStampFont, "");
  std::ostringstream entries;
  entries << "/Type /XObject /Subtype /Form /BBox [0 0 " << width << " " << height
          << "] /Resources << /Font << " << kStampFont
          << " << /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >> >> >>";
  return writer.stream(entries.str(), content, owner);
}

// build_signature_revision without the check for damage.
std::string build_objects(OriginalDocument& document, const SignatureFieldRequest& request,
                          SignatureRevision& revision) {
  try {
    QPDF& qpdf = document.qpdf();
    const ObjectWriter writer(document.encryption() ? &*document.encryption() : nullptr);
    const std::int32_t first_new = document.base().first_new_number;
    const ObjectId field{first_new, 0};
    const ObjectId dictionary{first_new + 1, 0};
    const ObjectId appearance{first_new + 2, 0};

    QPDFObjectHandle catalog = qpdf.getRoot();
    if (certified_without_changes(catalog))
      return "a certification signature of the document allows no changes (/DocMDP /P 1)";
    QPDFObjectHandle page = engine::find_first_page(qpdf);
    if (!page.isIndirect() || page.getObjectID() >= first_new)
      return "the document's first page is not an object of its own";
    QPDFObjectHandle form = catalog.getKey("/AcroForm");
    revision.field_name = unique_field_name(form.getKey("/Fields"), request.name);

    Rect rect;
    if (!parse_rect(request.rect, rect)) return "the signature box \"" + request.rect + "\" is not four numbers";
    std::string appearance_body;
    if (!request.appearance_text.empty())
      appearance_body = appearance_stream(writer, request.appearance_text, rect, appearance, revision.appearance_note);

    std::string widget = "<< /Type /Annot /Subtype /Widget /FT /Sig /T " +
                         writer.string(QPDFObjectHandle::newUnicodeString(revision.field_name).getStringValue(), field) +
                         " /V " + reference(dictionary.number) + " /Rect [" + request.rect + "] /P " +
                         page.getObjGen().unparse(' ') + " R /F " + std::to_string(kWidgetFlags);
    if (!appearance_body.empty()) widget += " /AP << /N " + reference(appearance.number) + " >>";
    widget += " >>";

    const StringText in_dictionary = [&writer, dictionary](std::string_view bytes) {
      return writer.string(bytes, dictionary);
    };
    std::vector<NewObject>& objects = revision.objects;
    objects.clear();
    objects.push_back({field.number, 0, widget});
    objects.push_back({dictionary.number, 0, request.dictionary(in_dictionary)});
    if (!appearance_body.empty()) objects.push_back({appearance.number, 0, appearance_body});

    // The page lists the widget, the form the field.
    objects.push_back(page_listing(writer, page, reference(field.number)));
    objects.push_back(form_listing(writer, catalog, reference(field.number), {{"/SigFlags", std::to_string(kSigFlags)}}));
  } catch (const std::exception& error) {
    return std::string("the document's objects cannot be read: ") + error.what();
  }
  return {};
}

}  // namespace

std::string build_signature_revision(OriginalDocument& document, const SignatureFieldRequest& request,
                                     SignatureRevision& revision) {
  const std::string refusal = build_objects(document, request, revision);
  if (std::string damage = document.damage(); !damage.empty()) return damage;
  return refusal;
}

}  // namespace corvane::incremental
