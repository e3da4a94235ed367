// Replacing a file's content without ever leaving a half-written file, and
// advisory locks that serialise read-modify-write cycles between processes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvane::platform {

// Writes all of `bytes` to the open file `fd`, going on after interrupted
// and partial writes; false on an error.
bool write_all(int fd, std::string_view bytes);
// Writes all of `bytes` to `fd` at offset `at` (the descriptor's own
// position stays); false on an error.
bool write_all_at(int fd, std::string_view bytes, std::uint64_t at);
// Fills `into` from `fd` at offset `at`; false on an error or when the file
// ends before.
bool read_all_at(int fd, std::span<std::uint8_t> into, std::uint64_t at);

// Writes `bytes` to an unnamed temporary file in the folder of `path`
// (O_TMPFILE; a named one, removed on SIGINT, SIGTERM and SIGHUP, where the
// file system has none), fsyncs it, links it in and renames it over `path`
// (which also replaces a read-only file). A symbolic link at `path` owned by
// the running user or by root is followed and its target replaced; a link of
// another user is itself replaced. A new file gets `mode` less the umask
// (and, with `share_with_group`, what share_new_file gives); an existing one
// keeps its mode, extended attributes and ACLs and, where the process may,
// its owner and group when `keep_existing_mode`, else it is made anew like
// a new file. A file with several hard links is replaced under this one
// name only: the other names keep the old content. One of the process's own
// descriptors (names_own_descriptor: an unnamed file, say) has no name to
// replace: its file is truncated and written. False, with `why` set,
// nothing changed and no temporary file left, when the folder is missing or
// not writable, `path` names something other than a regular file, a write
// fails, or this thread holds an InPlaceLock for `path` and the name no
// longer names the locked file (kChangedWhileSigning).
bool replace_file_contents(const std::string& path, std::string_view bytes, unsigned mode = 0644,
                           bool keep_existing_mode = true, std::string* why = nullptr,
                           bool share_with_group = false);

// Writes a file's whole content to the open descriptor (empty, at its
// start; open for reading too, except for a descriptor of the process the
// process may only write); false on an error.
using FileWriter = std::function<bool(int fd)>;

// replace_file_contents for content that `write_body` writes itself (copied
// from another file, say, instead of held in memory).
bool replace_file_with(const std::string& path, const FileWriter& write_body, unsigned mode = 0644,
                       bool keep_existing_mode = true, std::string* why = nullptr, bool share_with_group = false);

// The whole file, or nullopt when it cannot be read (missing, denied, a
// link of another user, not a regular file: a FIFO does not block).
[[nodiscard]] std::optional<std::string> read_whole_file(const std::string& path);

// An exclusive advisory lock (flock) on "<path>.lock" beside the file, held
// for the object's life; blocks until it is granted. The lock file is opened
// as open_regular opens files (a new one shared with the folder's group). locked() is false when
// the lock file cannot be created (read-only folder): callers then go on
// without the lock, which only matters for writers, and writers fail there
// anyway.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  [[nodiscard]] bool locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace corvane::platform
