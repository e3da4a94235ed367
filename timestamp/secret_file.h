// Reading a short secret (a password) from a file named by the environment.
#pragma once

#include <optional>
#include <string>

namespace corvane::timestamp {

// The first line of the regular file at `path` (without its line end), read
// without blocking: nullopt when it is missing or unreadable, a FIFO or
// device, larger than 4 KiB, or a symbolic link the running user does not
// own.
[[nodiscard]] std::optional<std::string> read_secret_file(const std::string& path);

}  // namespace corvane::timestamp
