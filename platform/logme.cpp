#include "platform/logme.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/object_factory.h"
#include "platform/safe_open.h"

namespace corvane::platform {

DispId LogMe::dispatch_id(std::string_view name) const {
  if (name.size() == 5 && strncasecmp(name.data(), "logge", 5) == 0) return kLoggeId;
  return kUnknownDispId;
}

bool LogMe::invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant& result,
                   CallError& error) {
  if (id != kLoggeId || kind != InvokeKind::kMethod)
    return AutomationObject::invoke(id, kind, args, result, error);
  if (args.size() != 2) {
    error.description = "Wrong number of arguments";
    return false;
  }
  const auto path = args[0].to_text();
  const auto line = args[1].to_text();
  if (!path || !line || path->empty()) {
    error.description = "Type mismatch";
    return false;
  }
  std::string why;
  const int fd = open_regular(*path, O_WRONLY | O_APPEND | O_CREAT, 0600, &why, /*share_with_group=*/true);
  if (fd < 0) {
    error.description = "cannot open " + *path + ": " + why;
    return false;
  }
  const std::string record = *line + "\n";
  ssize_t written;
  do {
    written = ::write(fd, record.data(), record.size());
  } while (written < 0 && errno == EINTR);
  const int write_errno = errno;
  const bool closed = ::close(fd) == 0;
  if (written != static_cast<ssize_t>(record.size()) || !closed) {
    error.description = "cannot write " + *path + ": " +
                        (written < 0 ? failure_reason(write_errno) : "short write");
    return false;
  }
  result = Variant();
  return true;
}

void register_logme(ObjectFactory& factory) {
  factory.register_class(std::string(kLogMeProgId), std::string(kLogMeClassId),
                         [] { return std::make_shared<LogMe>(); });
}

}  // namespace corvane::platform
