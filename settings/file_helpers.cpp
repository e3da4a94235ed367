#include "settings/file_helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"

namespace corvane::settings {

bool write_file_with(const std::string& path, const std::function<bool(int fd)>& write_body, std::string* why) {
  return platform::replace_file_with(path, write_body, 0666, /*keep_existing_mode=*/true, why);
}

void delete_file(const std::string& path) {
  // Only full paths: a bare file name is left alone.
  if (path.find('/') == std::string::npos) return;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return;
  ::unlink(path.c_str());  // a read-only file goes too; failures are ignored
}

}  // namespace corvane::settings
