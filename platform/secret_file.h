// Reading what a user hands over in a file: a password or PIN (the files
// named by --password-file, CORVANE_PIN_FILE, CORVANE_TSA_PASSWORD_FILE and
// CORVANE_LDAP_PASSWORD_FILE) or a key file (.p12). Bounded in size, never
// through a link of another user, never waiting long for a FIFO nobody
// writes to.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace corvane::platform {

// The most a password or PIN file is read of.
inline constexpr std::size_t kSecretLimit = 4096;
// The most a key file (.p12) is read of.
inline constexpr std::size_t kKeyFileLimit = std::size_t{16} << 20;
// How long a pipe or FIFO may stay silent before it is given up.
inline constexpr int kWriterWaitSeconds = 3;

struct FileRead {
  std::optional<std::string> bytes;  // nullopt when the file was not read
  std::string problem;               // why not, e.g. "larger than 4 KiB (the limit)"
};

// The whole content of `path`, or of standard input for "-": a regular
// file, a pipe (`<(echo pw)`) or a FIFO. A symbolic link of the running
// user or of root is followed, one of another user is not; a device or
// folder is refused. A pipe or FIFO is read without blocking: when no byte
// and no end comes within kWriterWaitSeconds, it is given up. More than
// `limit` bytes are refused (the file is read no further). Never throws.
[[nodiscard]] FileRead read_bounded_file(const std::string& path, std::size_t limit);

// The first line of a password or PIN file, without its line end, as
// read_bounded_file reads it with kSecretLimit.
[[nodiscard]] FileRead read_secret_file(const std::string& path);

}  // namespace corvane::platform
