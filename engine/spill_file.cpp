#include "engine/spill_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/atomic_file.h"

namespace corvane::engine {

namespace {

constexpr std::size_t kChunk = 1 << 20;

std::string temporary_folder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

// A new file in `folder` that has no name: O_TMPFILE where the file system
// knows it, otherwise a named file removed at once. -1 when neither works.
int unnamed_file(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string pattern = folder + "/corvanepdf-image-XXXXXX";
  fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(pattern.c_str());
  return fd;
}

}  // namespace

std::shared_ptr<const SpillFile> SpillFile::write(const Bytes& bytes) {
  const int fd = unnamed_file(temporary_folder());
  if (fd < 0) return nullptr;
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!platform::write_all(fd, view)) {
    ::close(fd);
    return nullptr;
  }
  return std::shared_ptr<const SpillFile>(new SpillFile(fd, bytes.size()));
}

SpillFile::~SpillFile() { ::close(fd_); }

bool SpillFile::holds(const Bytes& bytes) const {
  if (bytes.size() != size_) return false;
  std::vector<std::uint8_t> chunk(std::min(kChunk, size_));
  std::size_t done = 0;
  while (done < size_) {
    const ssize_t got = ::pread(fd_, chunk.data(), std::min(kChunk, size_ - done),
                                static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    if (std::memcmp(chunk.data(), bytes.data() + done, static_cast<std::size_t>(got)) != 0) {
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace corvane::engine
