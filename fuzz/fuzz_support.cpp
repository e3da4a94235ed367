#include "fuzz/fuzz_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/entries.h"
#include "platform/codepage.h"

namespace corvane::fuzz {

void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

std::string_view take_line(std::string_view& input) {
  const auto lf = input.find('\n');
  const std::string_view line = input.substr(0, lf);
  input.remove_prefix(lf == std::string_view::npos ? input.size() : lf + 1);
  return line;
}

bool valid_utf8(std::string_view text) {
  char32_t code_point = 0;
  for (std::size_t i = 0, n = 0; i < text.size(); i += n)
    if ((n = platform::decode_utf8(text, i, code_point)) == 0) return false;
  return true;
}

namespace {

std::string make_scratch_dir() {
  struct stat st {};
  std::string base = "/tmp";
  if (const char* named = std::getenv("CORVANE_FUZZ_SCRATCH"); named && *named)
    base = named;
  else if (::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && ::access("/dev/shm", W_OK) == 0)
    base = "/dev/shm";
  else if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
    base = tmp;
  std::string pattern = base + "/corvane-fuzz-XXXXXX";
  if (!::mkdtemp(pattern.data())) fail("cannot make a scratch folder");
  return pattern;
}

void remove_scratch_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(scratch_dir(), ignored);
}

}  // namespace

const std::string& scratch_dir() {
  static const std::string dir = make_scratch_dir();
  // Registered after `dir` is complete, so the removal runs before `dir`
  // is destroyed.
  static const bool cleanup_registered = std::atexit(remove_scratch_dir) == 0;
  (void)cleanup_registered;
  return dir;
}

void write_scratch_file(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) fail("cannot write a scratch file");
}

std::string read_scratch_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace corvane::fuzz
