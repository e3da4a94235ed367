// Showing the chooser: a window when there is a display, else a form on the
// controlling terminal, else an error.
#include "signing/sign_content.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "signing/chooser_plugin.h"
#include "signing/priv_key_form.h"
#include "signing/terminal_chooser.h"

namespace corvane::signing {
namespace {

constexpr const char* kNoChooser =
    "No display or terminal is available to choose a certificate; set UniqueContainerName with "
    "'corvanepdf settings set'";

bool has_display() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* value = std::getenv(name); value && *value) return true;
  return false;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The controlling terminal as a stream for reading and one for writing;
// both null without a terminal.
bool open_terminal(File& in, File& out) {
  const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  const int fd2 = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  in.reset(::fdopen(fd, "r"));
  if (!in) ::close(fd);
  out.reset(fd2 >= 0 ? ::fdopen(fd2, "w") : nullptr);
  if (!out && fd2 >= 0) ::close(fd2);
  return in && out;
}

}  // namespace

std::string show_chooser(SignerState& state) {
  if (has_display()) {
    std::string why;
    if (auto window = load_window_view(why)) return run_chooser(state, *window);
  }
  File in, out;
  if (open_terminal(in, out)) {
    TerminalChooserView terminal(in.get(), out.get());
    return run_chooser(state, terminal);
  }
  return kNoChooser;
}

}  // namespace corvane::signing
