#include "platform/automation.h"

namespace corvane::platform {

DispId AutomationObject::dispatch_id(std::string_view) const { return kUnknownDispId; }

bool AutomationObject::invoke(DispId, InvokeKind, std::span<Variant>, Variant&, CallError& error) {
  error.kind = CallError::Kind::kNoSuchMember;
  error.description = "Object doesn't support this property or method";
  return false;
}

bool invoke_by_name(AutomationObject& object, std::string_view name, InvokeKind kind,
                    std::span<Variant> args, Variant& result, CallError& error) {
  const DispId id = object.dispatch_id(name);
  if (id == kUnknownDispId) {
    error.kind = CallError::Kind::kNoSuchMember;
    error.description = "Object doesn't support this property or method: " + std::string(name);
    return false;
  }
  try {
    return object.invoke(id, kind, args, result, error);
  } catch (const std::exception& e) {
    error.kind = CallError::Kind::kMemberFailed;
    error.description = e.what();
    return false;
  } catch (...) {
    error.kind = CallError::Kind::kMemberFailed;
    error.description = "the member raised an unknown error";
    return false;
  }
}

}  // namespace corvane::platform
