#include "certification/signature_rules.h"

#include <exception>
#include <vector>

#include "incremental/object_writer.h"
#include "verify/document_structure.h"
#include "verify/permissions.h"

namespace corvane::certification {
namespace {

using incremental::ObjectId;
using incremental::StringText;

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// The field's dictionary (a copy: qpdf reads through non-const handles).
QPDFObjectHandle dictionary_of(const verify::FieldInfo& field) { return field.dictionary; }

bool is_signed(const verify::FieldInfo& field) { return dictionary_of(field).getKey("/V").isDictionary(); }

// A signature field of its own: a node of the tree with a widget or a value
// (its parents, which only group names, are none).
bool is_signature_field(const verify::FieldInfo& field) {
  return field.signature && (!field.widgets.empty() || is_signed(field));
}

// The FieldMDP transform matching a field's /Lock; "" for a lock without a
// known /Action.
std::string field_mdp_reference(QPDFObjectHandle lock, QPDFObjectHandle catalog, const StringText& string_text) {
  QPDFObjectHandle action = lock.getKey("/Action");
  if (!action.isName()) return {};
  const std::string name = action.getName();
  if (name != "/All" && name != "/Include" && name != "/Exclude") return {};
  std::string params = "/Type /TransformParams /Action " + name;
  if (name != "/All") {
    params += " /Fields [";
    QPDFObjectHandle fields = lock.getKey("/Fields");
    if (fields.isArray())
      for (QPDFObjectHandle field : fields.aitems())
        if (field.isString()) params += " " + string_text(field.getStringValue());
    params += " ]";
  }
  return "<< /Type /SigRef /TransformMethod /FieldMDP /TransformParams << " + params + " /V /1.2 >> /Data " +
         catalog.getObjGen().unparse(' ') + " R >>";
}

std::string doc_mdp_reference(int level) {
  return "<< /Type /SigRef /TransformMethod /DocMDP /TransformParams << /Type /TransformParams /P " +
         std::to_string(level) + " /V /1.2 >> >>";
}

// The one field of `fields` named `name`, or nullptr with `refusal` set.
const verify::FieldInfo* field_to_sign(const std::vector<verify::FieldInfo>& fields, const std::string& name,
                                       std::string& refusal) {
  const verify::FieldInfo* found = nullptr;
  int matches = 0;
  bool other_kind = false;
  std::string empty_ones;
  for (const verify::FieldInfo& field : fields) {
    if (field.name == name && !field.signature) other_kind = true;
    if (!is_signature_field(field)) continue;
    if (!is_signed(field)) empty_ones += (empty_ones.empty() ? " " : ", ") + quoted(field.name);
    if (field.name != name) continue;
    found = &field;
    ++matches;
  }
  if (matches > 1) {
    refusal = "the name " + quoted(name) + " matches " + std::to_string(matches) + " signature fields";
  } else if (!found) {
    refusal = (other_kind ? "the field " + quoted(name) + " is not a signature field"
                          : "the document has no signature field " + quoted(name)) +
              (empty_ones.empty() ? "; it has no empty signature field" : "; its empty signature fields:" + empty_ones);
  } else if (is_signed(*found)) {
    refusal = "the signature field " + quoted(name) + " is signed already";
  } else if (found->widgets.empty() || !QPDFObjectHandle(found->widgets.front()).isIndirect() ||
             !dictionary_of(*found).isIndirect()) {
    refusal = "the signature field " + quoted(name) + " has no widget of its own";
  } else {
    return found;
  }
  return nullptr;
}

std::string apply(incremental::OriginalDocument& document, const SignatureRules& rules,
                  incremental::SignatureFieldRequest& request) {
  QPDF& qpdf = document.qpdf();
  QPDFObjectHandle catalog = qpdf.getRoot();
  if (verify::certification_of(catalog, catalog.getKey("/Perms").getKey("/DocMDP")) == 1)
    return "a certification signature of the document allows no changes (/DocMDP /P 1)";
  verify::DocumentStructure structure;
  verify::read_all_fields(qpdf, structure);
  const std::vector<verify::FieldInfo>& fields = structure.fields;
  bool signed_before = false;
  for (const verify::FieldInfo& field : fields) signed_before = signed_before || (field.signature && is_signed(field));
  if (rules.certify_level > 0 && signed_before)
    return "the document is signed already: only its first signature may certify it";

  const verify::FieldInfo* prepared = nullptr;
  if (!rules.field_name.empty()) {
    std::string refusal;
    if (!(prepared = field_to_sign(fields, rules.field_name, refusal))) return refusal;
    request.name = prepared->name;
    request.prepared = incremental::PreparedField{incremental::id_of(dictionary_of(*prepared)),
                                                  incremental::id_of(prepared->widgets.front())};
  } else {
    request.name = incremental::unique_field_name(catalog.getKey("/AcroForm").getKey("/Fields"), request.name);
  }
  for (const verify::FieldInfo& field : fields) {
    if (!field.signature || !is_signed(field)) continue;
    if (verify::locks_of(dictionary_of(field), dictionary_of(field).getKey("/V")).locks(request.name))
      return "the signature in field " + quoted(field.name) + " locks field " + quoted(request.name);
  }

  QPDFObjectHandle lock = prepared ? dictionary_of(*prepared).getKey("/Lock") : QPDFObjectHandle::newNull();
  const int level = rules.certify_level;
  if (level > 0 || lock.isDictionary())
    request.dictionary_entries = [level, lock, catalog](const StringText& string_text) mutable {
      std::string references;
      if (level > 0) references += " " + doc_mdp_reference(level);
      if (lock.isDictionary())
        if (std::string field_mdp = field_mdp_reference(lock, catalog, string_text); !field_mdp.empty())
          references += " " + field_mdp;
      return references.empty() ? std::string() : "/Reference [" + references + " ]";
    };
  if (level > 0)
    request.catalog_entries = [&document, catalog](ObjectId dictionary) mutable -> std::map<std::string, std::string> {
      const incremental::ObjectWriter writer(document.encryption() ? &*document.encryption() : nullptr);
      const std::string signature = std::to_string(dictionary.number) + " " + std::to_string(dictionary.generation) + " R";
      return {{"/Perms", writer.dictionary_with(catalog.getKey("/Perms"), incremental::id_of(catalog),
                                                {{"/DocMDP", signature}})}};
    };
  return {};
}

}  // namespace

std::string apply_signature_rules(incremental::OriginalDocument& document, const SignatureRules& rules,
                                  incremental::SignatureFieldRequest& request) {
  if (rules.certify_level < 0 || rules.certify_level > 3)
    return "the certification level " + std::to_string(rules.certify_level) + " is not 1, 2 or 3";
  try {
    return apply(document, rules, request);
  } catch (const std::exception& error) {
    return std::string("the document's objects cannot be read: ") + error.what();
  }
}

}  // namespace corvane::certification
