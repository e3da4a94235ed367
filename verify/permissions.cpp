#include "verify/permissions.h"

#include <algorithm>
#include <set>

namespace corvane::verify {
namespace {

// A transform's /P; 2 when absent, as a certification without it allows
// form filling and signing.
int docmdp_p(QPDFObjectHandle signature) {
  QPDFObjectHandle references = signature.getKey("/Reference");
  if (!references.isArray()) return 2;
  for (QPDFObjectHandle reference : references.aitems()) {
    if (!reference.getKey("/TransformMethod").isNameAndEquals("/DocMDP")) continue;
    QPDFObjectHandle p = reference.getKey("/TransformParams").getKey("/P");
    if (p.isInteger() && p.getIntValue() >= 1 && p.getIntValue() <= 3) return static_cast<int>(p.getIntValue());
    return 2;
  }
  return 2;
}

// A lock dictionary (/Action, /Fields), of a field's /Lock or a FieldMDP
// transform's parameters.
FieldLocks lock_dictionary(QPDFObjectHandle lock) {
  FieldLocks out;
  QPDFObjectHandle action = lock.getKey("/Action");
  if (action.isNameAndEquals("/All")) out.action = FieldLocks::Action::kAll;
  else if (action.isNameAndEquals("/Include")) out.action = FieldLocks::Action::kInclude;
  else if (action.isNameAndEquals("/Exclude")) out.action = FieldLocks::Action::kExclude;
  else return out;
  QPDFObjectHandle fields = lock.getKey("/Fields");
  if (fields.isArray())
    for (QPDFObjectHandle name : fields.aitems())
      if (name.isString()) out.fields.push_back(name.getUTF8Value());
  return out;
}

// The stricter of two locks: all fields over any list, else the first set.
FieldLocks stricter(FieldLocks a, const FieldLocks& b) {
  if (a.action == FieldLocks::Action::kAll || b.action == FieldLocks::Action::kNone) return a;
  if (b.action == FieldLocks::Action::kAll || a.action == FieldLocks::Action::kNone) return b;
  // A signed field's /Lock and its signature's FieldMDP usually name the
  // same fields: each name is kept once.
  if (a.action == FieldLocks::Action::kInclude && b.action == FieldLocks::Action::kInclude) {
    std::set<std::string> kept(a.fields.begin(), a.fields.end());
    for (const std::string& name : b.fields)
      if (kept.insert(name).second) a.fields.push_back(name);
  }
  return a;
}

const char* level_refusal(ChangeLevel level, int certification_p) {
  if (certification_p == 1) return "the certification allows no changes";
  if (certification_p == 2 && level == ChangeLevel::kAnnotations) return "the certification allows form filling and signing only";
  if (certification_p == 0) return "the document is not certified";
  return nullptr;
}

bool level_permitted(ChangeLevel level, int certification_p, const PermitOptions& permit) {
  switch (level) {
    case ChangeLevel::kNone:
    case ChangeLevel::kValidationData: return true;
    case ChangeLevel::kSigning: return certification_p != 1;
    case ChangeLevel::kFormFilling: return certification_p == 0 ? permit.form_filling : certification_p >= 2;
    case ChangeLevel::kAnnotations: return certification_p == 0 ? permit.annotations : certification_p == 3;
    case ChangeLevel::kOther: break;
  }
  return false;
}

}  // namespace

bool FieldLocks::locks(const std::string& field) const {
  const auto listed = [this, &field] {
    return std::any_of(fields.begin(), fields.end(), [&field](const std::string& name) {
      return field == name || field.starts_with(name + ".");
    });
  };
  switch (action) {
    case Action::kNone: return false;
    case Action::kAll: return true;
    case Action::kInclude: return listed();
    case Action::kExclude: return !listed();
  }
  return false;
}

const char* change_level_name(ChangeLevel level) {
  switch (level) {
    case ChangeLevel::kNone: return "nothing";
    case ChangeLevel::kValidationData: return "validation data";
    case ChangeLevel::kSigning: return "signing";
    case ChangeLevel::kFormFilling: return "form filling";
    case ChangeLevel::kAnnotations: return "annotations";
    case ChangeLevel::kOther: break;
  }
  return "other";
}

std::string certification_text(int p) {
  const char* allowed = p == 1   ? "no changes allowed"
                        : p == 3 ? "form filling, annotations and signing allowed"
                                 : "form filling and signing allowed";
  return "DocMDP P" + std::to_string(p) + " (" + allowed + ")";
}

int certification_of(QPDFObjectHandle catalog, QPDFObjectHandle value) {
  QPDFObjectHandle certification = catalog.getKey("/Perms").getKey("/DocMDP");
  if (!certification.isIndirect() || !value.isIndirect() || certification.getObjGen() != value.getObjGen()) return 0;
  return docmdp_p(value);
}

FieldLocks locks_of(QPDFObjectHandle field, QPDFObjectHandle value) {
  FieldLocks locks = lock_dictionary(field.getKey("/Lock"));
  QPDFObjectHandle references = value.getKey("/Reference");
  if (references.isArray())
    for (QPDFObjectHandle reference : references.aitems())
      if (reference.getKey("/TransformMethod").isNameAndEquals("/FieldMDP"))
        locks = stricter(locks, lock_dictionary(reference.getKey("/TransformParams")));
  return locks;
}

void judge_permission(AfterSignature& after, int certification_p, const FieldLocks& locks, const PermitOptions& permit) {
  after.permitted = true;
  after.refusal.clear();
  after.refused = AfterSignature::kNoChange;
  std::size_t i = 0;
  for (const LaterChange& change : after.changes) {
    if (level_permitted(change.level, certification_p, permit)) {
      ++i;
      continue;
    }
    after.permitted = false;
    after.refused = i;
    if (const char* why = level_refusal(change.level, certification_p)) after.refusal = why;
    return;
  }
  if (locks.action == FieldLocks::Action::kNone) return;
  for (const std::string& field : after.fields) {
    if (!locks.locks(field)) continue;
    after.permitted = false;
    after.refusal = "field \"" + field + "\" is locked by this signature";
    const std::string quoted = "\"" + field + "\"";
    i = 0;
    for (const LaterChange& change : after.changes) {
      if (change.what.ends_with(quoted)) after.refused = i;
      ++i;
    }
    return;
  }
}

}  // namespace corvane::verify
