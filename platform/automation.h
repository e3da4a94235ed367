// Late-bound objects: member names, dispatch ids and invocation, in place of
// the operating system's automation interfaces.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/variant.h"

namespace corvane::platform {

using DispId = std::int32_t;
inline constexpr DispId kUnknownDispId = -1;

enum class InvokeKind { kMethod, kPropertyGet, kPropertyPut };

// The outcome of a late-bound call that failed: what went wrong and a
// description for the caller.
struct CallError {
  enum class Kind {
    kMemberFailed,      // the member ran and reported an error
    kNoSuchMember,      // unknown dispatch id, or the member has no such kind
    kBadArgumentCount,  // too few or too many arguments
    kTypeMismatch,      // an argument cannot be converted to the member's type
  };
  Kind kind = Kind::kMemberFailed;
  std::string description;
};

// Every object the component creates through the object factory derives from
// this class. Early-bound users cast to the concrete interface (PdfEngine,
// Store, ...); late-bound users go through dispatch_id and invoke.
class AutomationObject {
 public:
  virtual ~AutomationObject() = default;

  // Dispatch id of a member, compared without regard to case, or
  // kUnknownDispId when the object has no such member.
  [[nodiscard]] virtual DispId dispatch_id(std::string_view name) const;

  // Calls member `id`. `args` are passed by reference: a member whose
  // argument is by-reference may write back into it. For a property put the
  // new value is the last argument. Returns false and fills `error` when the
  // member fails or does not exist; `result` is then unchanged.
  virtual bool invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant& result,
                      CallError& error);
};

// Calls a member by name. Returns false with `error` filled when the object
// has no such member or the member fails.
bool invoke_by_name(AutomationObject& object, std::string_view name, InvokeKind kind,
                    std::span<Variant> args, Variant& result, CallError& error);

}  // namespace corvane::platform
