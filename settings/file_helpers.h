// Writing the signed file and turning single-byte buffers into text.
#pragma once

#include <functional>
#include <string>

namespace corvane::settings {

// Replaces the file at `path` by exactly what `write_body` writes to the
// open descriptor. Never leaves a half-written file: the bytes go to a
// temporary file beside the target that is renamed over it. A replaced file
// keeps its mode, owner and group (where permitted), ACLs and extended
// attributes; a new one follows the umask. False when nothing was written
// (missing folder, denied, not a regular file, no space, `write_body`
// failed), with the reason in `why` when given.
bool write_file_with(const std::string& path, const std::function<bool(int fd)>& write_body,
                     std::string* why = nullptr);
// Deletes the file if it exists; reports nothing.
void delete_file(const std::string& path);

}  // namespace corvane::settings
