// The class `edit` as a late-bound object: its member table (names and
// dispatch ids of the interface `_edit`) over an Edit instance. This is what
// the object factory creates for "corvanepdf.edit" and what the in-process
// server hands to its hosts.
#pragma once

#include <span>
#include <string_view>

#include "component/edit.h"
#include "platform/automation.h"

namespace corvane::component {

class EditObject : public platform::AutomationObject {
 public:
  EditObject() = default;

  // The member's id from the fixed table, names compared without regard to
  // case; kUnknownDispId for another name.
  [[nodiscard]] platform::DispId dispatch_id(std::string_view name) const override;
  // Properties answer a get (also asked as a method without arguments) and a
  // put with one value; methods answer a call (also asked as a get). Fails
  // with kNoSuchMember, kBadArgumentCount or kTypeMismatch as the names say,
  // and with kMemberFailed when GetUniversalTime cannot make its text.
  bool invoke(platform::DispId id, platform::InvokeKind kind, std::span<platform::Variant> args,
              platform::Variant& result, platform::CallError& error) override;

  Edit& edit() { return edit_; }

 private:
  Edit edit_;
};

}  // namespace corvane::component
