#include "certification/signature_rules.h"

#include <exception>
#include <vector>

#include "append/object_writer.h"
#include "verify/document_structure.h"
#include "verify/form_signatures.h"
#include "verify/permissions.h"

namespace corvane::certification {
namespace {

using platform::ErrorCode;
using platform::Refusal;

using append::ObjectId;
using append::StringText;

constexpr const char* kSignedAlready = "the document is signed already: only its first signature may certify it";

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// The FieldMDP transform of a signed field's lock; "" for a field without
// one.
std::string field_mdp_reference(const verify::FieldLocks& lock, std::int32_t catalog, const StringText& string_text) {
  using Action = verify::FieldLocks::Action;
  if (lock.action == Action::kNone) return {};
  std::string params = "/Type /TransformParams /Action ";
  if (lock.action == Action::kAll) {
    params += "/All";
  } else {
    params += lock.action == Action::kInclude ? "/Include /Fields [" : "/Exclude /Fields [";
    for (const std::string& name : lock.fields)
      params += " " + string_text(QPDFObjectHandle::newUnicodeString(name).getStringValue());
    params += " ]";
  }
  return "<< /Type /SigRef /TransformMethod /FieldMDP /TransformParams << " + params + " /V /1.2 >> /Data " +
         std::to_string(catalog) + " 0 R >>";
}

std::string doc_mdp_reference(int level) {
  return "<< /Type /SigRef /TransformMethod /DocMDP /TransformParams << /Type /TransformParams /P " +
         std::to_string(level) + " /V /1.2 >> >>";
}

// The field's dictionary (a copy: qpdf reads through non-const handles).
QPDFObjectHandle dictionary_of(const verify::FieldInfo& field) { return field.dictionary; }

bool is_signed(const verify::FieldInfo& field) { return dictionary_of(field).getKey("/V").isDictionary(); }

// A signature field of its own: a node of the tree with a widget or a value
// (its parents, which only group names, are none).
bool is_signature_field(const verify::FieldInfo& field) {
  return field.signature && (!field.widgets.empty() || is_signed(field));
}

// The one empty field named `name`, or nullptr with `refusal` set.
const verify::FieldInfo* field_to_sign(const std::vector<verify::FieldInfo>& fields, const std::string& name,
                                       Refusal& refusal) {
  const verify::FieldInfo* found = nullptr;
  int matches = 0;
  std::string empty_ones;
  for (const verify::FieldInfo& field : fields) {
    if (!is_signature_field(field)) continue;
    if (!is_signed(field)) empty_ones += (empty_ones.empty() ? " " : ", ") + quoted(field.name);
    if (field.name != name) continue;
    found = &field;
    ++matches;
  }
  if (matches > 1) {
    refusal = "the name " + quoted(name) + " matches " + std::to_string(matches) + " signature fields";
  } else if (!found) {
    refusal = "the document has no signature field " + quoted(name) +
              (empty_ones.empty() ? "; it has no empty signature field" : "; its empty signature fields:" + empty_ones);
  } else if (is_signed(*found)) {
    refusal = "the signature field " + quoted(name) + " is signed already";
  } else if (found->widgets.empty() || !QPDFObjectHandle(found->widgets.front()).isIndirect() ||
             !dictionary_of(*found).isIndirect()) {
    refusal = {ErrorCode::kDocumentLayout, "the signature field " + quoted(name) + " has no widget of its own"};
    return nullptr;
  } else {
    return found;
  }
  refusal = std::move(refusal).as(ErrorCode::kBadOption);
  return nullptr;
}

// The form's fields are walked once, without the page tree or the
// signatures' messages: a large or much-signed document costs the rules
// no more than its form.
Refusal apply(append::OriginalDocument& document, const SignatureRules& rules,
              append::SignatureFieldRequest& request) {
  QPDF& qpdf = document.qpdf();
  QPDFObjectHandle catalog = qpdf.getRoot();
  if (verify::certification_of(catalog, catalog.getKey("/Perms").getKey("/DocMDP")) == 1)
    return {ErrorCode::kNotPermitted, "a certification signature of the document allows no changes (/DocMDP /P 1)"};
  const std::vector<verify::FieldInfo> fields = verify::read_field_tree(qpdf);
  bool signed_before = false;
  for (const verify::FieldInfo& field : fields) signed_before = signed_before || (field.signature && is_signed(field));
  if (rules.certify_level > 0 && signed_before) return {ErrorCode::kNotPermitted, kSignedAlready};

  const verify::FieldInfo* prepared = nullptr;
  if (!rules.field_name.empty()) {
    Refusal refusal;
    if (!(prepared = field_to_sign(fields, rules.field_name, refusal))) return refusal;
    request.name = prepared->name;
    request.prepared = append::PreparedField{append::id_of(dictionary_of(*prepared)),
                                                  append::id_of(prepared->widgets.front())};
  } else {
    request.name = append::unique_field_name(catalog.getKey("/AcroForm").getKey("/Fields"), request.name);
    if (rules.left_empty)
      for (const verify::FieldInfo& field : fields)
        if (is_signature_field(field) && !is_signed(field)) rules.left_empty->push_back(field.name);
  }
  for (const verify::FieldInfo& field : fields)
    if (field.signature && is_signed(field) &&
        verify::locks_of(dictionary_of(field), dictionary_of(field).getKey("/V")).locks(request.name))
      return {ErrorCode::kNotPermitted, "the signature in field " + quoted(field.name) + " locks field " + quoted(request.name)};

  const verify::FieldLocks lock =
      prepared ? verify::locks_of(dictionary_of(*prepared), QPDFObjectHandle::newDictionary()) : verify::FieldLocks{};
  const int level = rules.certify_level;
  const std::int32_t catalog_number = catalog.getObjectID();
  if (level > 0 || lock.action != verify::FieldLocks::Action::kNone)
    request.dictionary_entries = [level, lock, catalog_number](const StringText& string_text) {
      std::string references;
      if (level > 0) references += " " + doc_mdp_reference(level);
      if (std::string field_mdp = field_mdp_reference(lock, catalog_number, string_text); !field_mdp.empty())
        references += " " + field_mdp;
      return "/Reference [" + references + " ]";
    };
  if (level > 0)
    request.catalog_entries = [&document, catalog](ObjectId dictionary) mutable -> std::map<std::string, std::string> {
      const append::ObjectWriter writer(document.encryption() ? &*document.encryption() : nullptr);
      const std::string signature = std::to_string(dictionary.number) + " " + std::to_string(dictionary.generation) + " R";
      return {{"/Perms", writer.dictionary_with(catalog.getKey("/Perms"), append::id_of(catalog),
                                                {{"/DocMDP", signature}})}};
    };
  return {};
}

}  // namespace

Refusal apply_signature_rules(append::OriginalDocument& document, const SignatureRules& rules,
                              append::SignatureFieldRequest& request) {
  if (rules.certify_level < 0 || rules.certify_level > 3)
    return {ErrorCode::kBadOption, "the certification level " + std::to_string(rules.certify_level) + " is not 1, 2 or 3"};
  try {
    return apply(document, rules, request);
  } catch (const std::exception& error) {
    return {ErrorCode::kDocumentLayout, std::string("the document's objects cannot be read: ") + error.what()};
  }
}

RebuiltCertification certify_rebuilt_document(int level, const std::string& path, const std::string& password,
                                              std::int32_t dictionary_number) {
  RebuiltCertification out;
  if (level < 1 || level > 3) {
    out.refusal = {ErrorCode::kBadOption, "the certification level " + std::to_string(level) + " is not 1, 2 or 3"};
  } else if (verify::look_at_form_signatures(path, password).signed_fields > 0) {
    out.refusal = {ErrorCode::kNotPermitted, kSignedAlready};
  } else {
    out.dictionary_entries = "/Reference [ " + doc_mdp_reference(level) + " ]";
    out.perms = "<< /DocMDP " + std::to_string(dictionary_number) + " 0 R >>";
  }
  return out;
}

}  // namespace corvane::certification
