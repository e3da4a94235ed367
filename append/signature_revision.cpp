#include "append/signature_revision.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <set>
#include <sstream>

#include "engine/first_page.h"
#include "engine/text_stamp.h"
#include "append/form_listing.h"
#include "append/object_writer.h"

namespace corvane::append {
namespace {

constexpr std::string_view kDefaultFieldName = "Signature";
// Annotation flags Print (4) and Locked (128).
constexpr int kWidgetFlags = 132;
// SignaturesExist (1) and AppendOnly (2).
constexpr int kSigFlags = 3;
constexpr const char* kStampFont = "/CvStamp";

std::string reference(std::int32_t number) { return std::to_string(number) + " 0 R"; }

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

// The widget's /Rect as "x1 y1 x2 y2" with y1 the upper edge, as the
// appearance wants it; "" when it is not four numbers.
std::string widget_rect(QPDFObjectHandle widget) {
  QPDFObjectHandle rect = widget.getKey("/Rect");
  if (!rect.isArray() || rect.getArrayNItems() != 4) return {};
  double v[4];
  for (int i = 0; i < 4; ++i) {
    QPDFObjectHandle item = rect.getArrayItem(i);
    if (!item.isNumber()) return {};
    v[i] = item.getNumericValue();
  }
  std::ostringstream out;
  out << std::min(v[0], v[2]) << ' ' << std::max(v[1], v[3]) << ' ' << std::max(v[0], v[2]) << ' '
      << std::min(v[1], v[3]);
  return out.str();
}

// The signature dictionary's text with the request's extra entries before
// its closing ">>".
std::string dictionary_text(const SignatureFieldRequest& request, const StringText& string_text) {
  std::string text = request.dictionary(string_text);
  if (!request.dictionary_entries) return text;
  const std::size_t close = text.rfind(">>");
  if (close != std::string::npos) text.insert(close, request.dictionary_entries(string_text) + "\n");
  return text;
}

// build_signature_revision without the check for damage.
std::string build_objects(OriginalDocument& document, const SignatureFieldRequest& request,
                          SignatureRevision& revision) {
  try {
    QPDF& qpdf = document.qpdf();
    const ObjectWriter writer(document.encryption() ? &*document.encryption() : nullptr);
    const std::optional<PreparedField>& prepared = request.prepared;
    // A new field takes the first new number; the dictionary and the
    // appearance follow it.
    const std::int32_t first_new = document.base().first_new_number;
    const ObjectId field = prepared ? prepared->field : ObjectId{first_new, 0};
    const ObjectId dictionary{prepared ? first_new : first_new + 1, 0};
    const ObjectId appearance{dictionary.number + 1, 0};

    QPDFObjectHandle catalog = qpdf.getRoot();
    QPDFObjectHandle form = catalog.getKey("/AcroForm");
    QPDFObjectHandle page, old_field, widget;
    std::string rect_text = request.rect;
    if (prepared) {
      old_field = qpdf.getObject(field.number, field.generation);
      widget = qpdf.getObject(prepared->widget.number, prepared->widget.generation);
      revision.field_name = request.name;
      rect_text = widget_rect(widget);
      if (rect_text.empty()) return "the widget of the signature field \"" + request.name + "\" has no rectangle";
    } else {
      page = engine::find_first_page(qpdf);
      if (!page.isIndirect() || page.getObjectID() >= first_new)
        return "the document's first page is not an object of its own";
      revision.field_name = unique_field_name(form.getKey("/Fields"), request.name);
    }

    Rect rect;
    if (!parse_rect(rect_text, rect)) return "the signature box \"" + rect_text + "\" is not four numbers";
    std::string appearance_body;
    if (!request.appearance_text.empty())
      appearance_body = appearance_stream(writer, request.appearance_text, rect, appearance, revision.appearance_note);
    const std::string appearance_entry =
        appearance_body.empty() ? "" : "<< /N " + reference(appearance.number) + " >>";

    const StringText in_dictionary = [&writer, dictionary](std::string_view bytes) {
      return writer.string(bytes, dictionary);
    };
    std::vector<NewObject>& objects = revision.objects;
    objects.clear();
    std::map<std::string, std::string> catalog_entries;
    if (request.catalog_entries) catalog_entries = request.catalog_entries(dictionary);

    if (prepared) {
      // The field takes the value, its widget the appearance; nothing else
      // of the form changes but /SigFlags.
      const bool merged = prepared->widget.number == field.number && prepared->widget.generation == field.generation;
      std::map<std::string, std::string> field_entries{{"/V", reference(dictionary.number)}};
      if (merged && !appearance_entry.empty()) field_entries["/AP"] = appearance_entry;
      objects.push_back({field.number, field.generation, writer.dictionary_with(old_field, field, field_entries)});
      objects.push_back({dictionary.number, 0, dictionary_text(request, in_dictionary)});
      if (!appearance_body.empty()) objects.push_back({appearance.number, 0, appearance_body});
      if (!merged && !appearance_entry.empty())
        objects.push_back({prepared->widget.number, prepared->widget.generation,
                           writer.dictionary_with(widget, prepared->widget, {{"/AP", appearance_entry}})});
    } else {
      std::string widget_text =
          "<< /Type /Annot /Subtype /Widget /FT /Sig /T " +
          writer.string(QPDFObjectHandle::newUnicodeString(revision.field_name).getStringValue(), field) + " /V " +
          reference(dictionary.number) + " /Rect [" + request.rect + "] /P " + page.getObjGen().unparse(' ') +
          " R /F " + std::to_string(kWidgetFlags);
      if (!appearance_entry.empty()) widget_text += " /AP " + appearance_entry;
      widget_text += " >>";
      objects.push_back({field.number, 0, widget_text});
      objects.push_back({dictionary.number, 0, dictionary_text(request, in_dictionary)});
      if (!appearance_body.empty()) objects.push_back({appearance.number, 0, appearance_body});

      // The page lists the widget.
      objects.push_back(page_listing(writer, page, reference(field.number)));
    }

    // The form lists a new field and says that the document is signed: in a
    // new revision of an indirect /AcroForm, else of the catalog.
    const auto form_entries = [&](ObjectId owner) {
      std::map<std::string, std::string> entries;
      if (!prepared) entries["/Fields"] = writer.array_with(form.getKey("/Fields"), owner, reference(field.number));
      QPDFObjectHandle flags = form.getKey("/SigFlags");
      if (!prepared || !flags.isInteger() || flags.getIntValue() != kSigFlags)
        entries["/SigFlags"] = std::to_string(kSigFlags);
      return entries;
    };
    const ObjectId catalog_id = id_of(catalog);
    if (form.isIndirect() && form.isDictionary()) {
      const ObjectId id = id_of(form);
      if (auto entries = form_entries(id); !entries.empty())
        objects.push_back({id.number, id.generation, writer.dictionary_with(form, id, entries)});
    } else if (auto entries = form_entries(catalog_id); !entries.empty()) {
      catalog_entries["/AcroForm"] = writer.dictionary_with(form, catalog_id, entries);
    }
    if (!catalog_entries.empty())
      objects.push_back({catalog_id.number, catalog_id.generation, writer.dictionary_with(catalog, catalog_id, catalog_entries)});
  } catch (const std::exception& error) {
    return std::string("the document's objects cannot be read: ") + error.what();
  }
  return {};
}

}  // namespace

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

std::string build_signature_revision(OriginalDocument& document, const SignatureFieldRequest& request,
                                     SignatureRevision& revision) {
  const std::string refusal = build_objects(document, request, revision);
  if (std::string damage = document.damage(); !damage.empty()) return damage;
  return refusal;
}

}  // namespace corvane::append
