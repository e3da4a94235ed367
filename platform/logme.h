// The logging component "logging.logme": one member, `logge(path, line)`,
// that appends a line to a file. Created through the object factory, where
// it is registered whenever this library is linked.
#pragma once

#include <string_view>

#include "platform/automation.h"

namespace corvane::platform {

class ObjectFactory;

inline constexpr std::string_view kLogMeProgId = "logging.logme";
inline constexpr std::string_view kLogMeClassId = "{6C0A3E52-7B1D-4F29-9E64-C0A5E1D7F301}";

class LogMe : public AutomationObject {
 public:
  static constexpr DispId kLoggeId = 1;

  [[nodiscard]] DispId dispatch_id(std::string_view name) const override;
  // `logge(path, line)`: appends the line and "\n" to the file at `path` with
  // a single write on a descriptor opened for appending, so lines of several
  // processes never interleave. A missing file is made with mode 0600
  // (shared with the folder's group as share_new_file says); a missing
  // folder is not made and fails the call, as do a link of another user, a
  // file that is not a regular one (never waited on) and any other error.
  bool invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant& result,
              CallError& error) override;
};

// Adds "logging.logme" to the factory.
void register_logme(ObjectFactory& factory);

}  // namespace corvane::platform
