#include "component/edit_object.h"

#include <strings.h>

#include <exception>
#include <string>

#include "corvanepdf/abi.h"

namespace corvane::component {
namespace {

using platform::CallError;
using platform::DispId;
using platform::InvokeKind;
using platform::Variant;

enum class MemberKind { kBoolProperty, kTextProperty, kReadOnlyTextProperty, kReadOnlyCodeProperty, kMethod };

struct Member {
  const char* name;
  DispId id;
  MemberKind kind;
  std::size_t arg_count;  // of a method
};

// The interface `_edit`, in its fixed order.
constexpr Member kMembers[] = {
    {"pdfeditloaded", CPDF_DISPID_PDFEDITLOADED, MemberKind::kBoolProperty, 0},
    {"pdfpath", CPDF_DISPID_PDFPATH, MemberKind::kTextProperty, 0},
    {"savepath", CPDF_DISPID_SAVEPATH, MemberKind::kTextProperty, 0},
    {"pdfloaded", CPDF_DISPID_PDFLOADED, MemberKind::kBoolProperty, 0},
    {"pdfpasswd", CPDF_DISPID_PDFPASSWD, MemberKind::kTextProperty, 0},
    {"username", CPDF_DISPID_USERNAME, MemberKind::kTextProperty, 0},
    {"reason", CPDF_DISPID_REASON, MemberKind::kTextProperty, 0},
    {"dontencrypt", CPDF_DISPID_DONTENCRYPT, MemberKind::kTextProperty, 0},
    {"signit", CPDF_DISPID_SIGNIT, MemberKind::kMethod, 0},
    {"string2byte", CPDF_DISPID_STRING2BYTE, MemberKind::kMethod, 1},
    {"sign", CPDF_DISPID_SIGN, MemberKind::kMethod, 1},
    {"choose_certificate", CPDF_DISPID_CHOOSE_CERTIFICATE, MemberKind::kMethod, 0},
    {"GetUniversalTime", CPDF_DISPID_GETUNIVERSALTIME, MemberKind::kMethod, 0},
    {"lasterror", CPDF_DISPID_LASTERROR, MemberKind::kReadOnlyTextProperty, 0},
    {"appendmode", CPDF_DISPID_APPENDMODE, MemberKind::kBoolProperty, 0},
    {"containername", CPDF_DISPID_CONTAINERNAME, MemberKind::kTextProperty, 0},
    {"pades", CPDF_DISPID_PADES, MemberKind::kTextProperty, 0},
    {"tsaurl", CPDF_DISPID_TSAURL, MemberKind::kTextProperty, 0},
    {"ltv", CPDF_DISPID_LTV, MemberKind::kTextProperty, 0},
    {"certifylevel", CPDF_DISPID_CERTIFYLEVEL, MemberKind::kTextProperty, 0},
    {"fieldname", CPDF_DISPID_FIELDNAME, MemberKind::kTextProperty, 0},
    {"lasterrorcode", CPDF_DISPID_LASTERRORCODE, MemberKind::kReadOnlyCodeProperty, 0},
};

// The published numbers are the component's own, kind by kind.
#define CORVANE_ERROR_CODE(name, c_name, number) \
  static_assert(CPDF_ERROR_##c_name == number && static_cast<int>(platform::ErrorCode::name) == number);
CORVANE_ERROR_CODES(CORVANE_ERROR_CODE)
#undef CORVANE_ERROR_CODE

const Member* find_member(DispId id) {
  for (const Member& m : kMembers)
    if (m.id == id) return &m;
  return nullptr;
}

bool fail(CallError& error, CallError::Kind kind, std::string description) {
  error.kind = kind;
  error.description = std::move(description);
  return false;
}

}  // namespace

DispId EditObject::dispatch_id(std::string_view name) const {
  for (const Member& m : kMembers) {
    const std::string_view member = m.name;
    if (member.size() == name.size() && strncasecmp(member.data(), name.data(), name.size()) == 0)
      return m.id;
  }
  return platform::kUnknownDispId;
}

bool EditObject::invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant& result,
                        CallError& error) {
  const Member* member = find_member(id);
  if (member == nullptr) return fail(error, CallError::Kind::kNoSuchMember, "Unknown member");
  const std::string name = member->name;

  if (member->kind == MemberKind::kReadOnlyCodeProperty) {
    if (kind == InvokeKind::kPropertyPut) return fail(error, CallError::Kind::kNoSuchMember, name + " is read-only");
    if (!args.empty()) return fail(error, CallError::Kind::kBadArgumentCount, name + " takes no arguments");
    result = Variant(static_cast<std::int32_t>(edit_.lasterrorcode));
    return true;
  }
  if (member->kind != MemberKind::kMethod) {
    // appendmode reads the setting until a host sets it.
    bool append = id == CPDF_DISPID_APPENDMODE && edit_.append_mode();
    bool* flag = nullptr;
    std::string* text = nullptr;
    switch (id) {
      case CPDF_DISPID_PDFEDITLOADED: flag = &edit_.pdfeditloaded; break;
      case CPDF_DISPID_PDFLOADED: flag = &edit_.pdfloaded; break;
      case CPDF_DISPID_APPENDMODE: flag = &append; break;
      case CPDF_DISPID_PDFPATH: text = &edit_.pdfpath; break;
      case CPDF_DISPID_SAVEPATH: text = &edit_.savepath; break;
      case CPDF_DISPID_PDFPASSWD: text = &edit_.pdfpasswd; break;
      case CPDF_DISPID_USERNAME: text = &edit_.username; break;
      case CPDF_DISPID_REASON: text = &edit_.reason; break;
      case CPDF_DISPID_LASTERROR: text = &edit_.lasterror; break;
      case CPDF_DISPID_CONTAINERNAME: text = &edit_.containername; break;
      case CPDF_DISPID_PADES: text = &edit_.pades; break;
      case CPDF_DISPID_TSAURL: text = &edit_.tsaurl; break;
      case CPDF_DISPID_LTV: text = &edit_.ltv; break;
      case CPDF_DISPID_CERTIFYLEVEL: text = &edit_.certifylevel; break;
      case CPDF_DISPID_FIELDNAME: text = &edit_.fieldname; break;
      default: text = &edit_.dontencrypt; break;
    }
    if (kind == InvokeKind::kPropertyPut) {
      if (member->kind == MemberKind::kReadOnlyTextProperty)
        return fail(error, CallError::Kind::kNoSuchMember, name + " is read-only");
      if (args.size() != 1)
        return fail(error, CallError::Kind::kBadArgumentCount, name + " takes one value");
      if (flag) {
        const auto value = args[0].to_bool();
        if (!value) return fail(error, CallError::Kind::kTypeMismatch, name + " is a Boolean");
        *flag = *value;
        if (id == CPDF_DISPID_APPENDMODE) edit_.appendmode = *value;
      } else {
        auto value = args[0].to_text();
        if (!value) return fail(error, CallError::Kind::kTypeMismatch, name + " is a text");
        *text = std::move(*value);
      }
      result = Variant();
      return true;
    }
    if (!args.empty())
      return fail(error, CallError::Kind::kBadArgumentCount, name + " takes no arguments");
    result = flag ? Variant::boolean(*flag) : Variant(*text);
    return true;
  }

  if (kind == InvokeKind::kPropertyPut)
    return fail(error, CallError::Kind::kNoSuchMember, name + " is a method");
  if (args.size() != member->arg_count)
    return fail(error, CallError::Kind::kBadArgumentCount,
                name + " takes " + std::to_string(member->arg_count) + " argument(s)");
  std::string argument;
  if (member->arg_count == 1) {
    auto value = args[0].to_text();
    if (!value) return fail(error, CallError::Kind::kTypeMismatch, name + " takes a text");
    argument = std::move(*value);
  }

  switch (id) {
    case CPDF_DISPID_SIGNIT: result = Variant::boolean(edit_.signit()); return true;
    case CPDF_DISPID_STRING2BYTE: result = Variant(edit_.string2byte(argument)); return true;
    case CPDF_DISPID_SIGN: result = Variant(edit_.sign(argument)); return true;
    case CPDF_DISPID_CHOOSE_CERTIFICATE:
      edit_.choose_certificate();
      result = Variant();
      return true;
    default:
      // GetUniversalTime is the one member whose failure reaches the host.
      try {
        result = Variant(edit_.GetUniversalTime());
        return true;
      } catch (const std::exception& e) {
        return fail(error, CallError::Kind::kMemberFailed, e.what());
      }
  }
}

}  // namespace corvane::component
