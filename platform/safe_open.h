// Opening files in folders that other users can write to: never through a
// symbolic link of another user, never blocking on a FIFO or a device, and
// new files that a folder's group can share.
#pragma once

#include <optional>
#include <string>

namespace corvane::platform {

// What a user reads when a file operation failed with `error` (an errno
// value): "no permission", "no space left on the device", "read-only file
// system", "the folder does not exist", else the system's text.
[[nodiscard]] std::string failure_reason(int error);

// Whether none of the folders of `path` is a symbolic link of another user
// than the running one or root: its folder, and that folder's folders up to
// the first one the running user owns (or "/", or "." for a relative path).
// A link of another user there (a folder not made yet in a shared folder,
// planted as a link to a folder of the running user's) would lead every
// file made in it elsewhere.
[[nodiscard]] bool folders_trusted(const std::string& path);

// The file `path` stands for: a symbolic link owned by the running user or
// by root is followed (a chain of up to 8, each checked the same way, a
// relative target read from the link's folder); any other path comes back
// unchanged, and so does one of the process's own descriptors
// (names_own_descriptor). nullopt, with `why` set, when the chain meets a
// link of another user (the folders of each name included, as
// folders_trusted checks them) or is too long.
[[nodiscard]] std::optional<std::string> trusted_path(const std::string& path, std::string* why);

// Whether `path` names one of this process's open descriptors
// (/proc/self/fd/N, /dev/fd/N, /dev/stdin): opening it opens again the file
// or pipe the process holds there (an unnamed file included).
[[nodiscard]] bool names_own_descriptor(const std::string& path);

// The folder part of `path` ("." for a bare name, "/" for a file in the root).
[[nodiscard]] std::string folder_of(const std::string& path);

// Opens `path` with `flags` (O_CLOEXEC added) as trusted_path resolves it,
// without following a link at the resolved name, and only when it is a
// regular file: a FIFO or device is opened without blocking and refused.
// With O_CREAT, a file made by this call gets `mode` less the umask, and
// with `share_with_group` what share_new_file gives. The descriptor, or -1
// with `why` set ("not a regular file", "a link of another user", or
// failure_reason's text).
[[nodiscard]] int open_regular(const std::string& path, int flags, unsigned mode, std::string* why,
                               bool share_with_group = false);

// For a file just made in `folder`: when the folder is setgid, or writable
// by its group but not by others, the file takes the folder's group and
// becomes readable and writable by it, so that a group of users can share
// the folder (chmod 2775). Failures are ignored: the file stays as made.
void share_new_file(int fd, const std::string& folder);

}  // namespace corvane::platform
