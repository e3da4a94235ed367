#include "signing/chooser_qt/display_probe.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string_view>

namespace corvane::signing::qt {
namespace {

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Connects to the X server through the X protocol library the toolkit's X
// platform uses anyway (loaded here so the module does not link it).
bool x_display_reachable(const std::string& display) {
  void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!xcb) return false;
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  const auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
  const auto has_error = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
  const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
  bool reachable = false;
  if (connect && has_error && disconnect) {
    void* connection = connect(display.c_str(), nullptr);
    reachable = connection && has_error(connection) == 0;
    if (connection) disconnect(connection);
  }
  ::dlclose(xcb);
  return reachable;
}

bool wayland_socket_exists(const std::string& name) {
  const std::string path = name.front() == '/' ? name : env("XDG_RUNTIME_DIR") + "/" + name;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

}  // namespace

bool display_reachable(std::string& error) {
  const std::string platform = env("QT_QPA_PLATFORM");
  if (platform == "offscreen" || platform == "minimal" || platform == "vnc") return true;
  const std::string wayland = env("WAYLAND_DISPLAY");
  if (!wayland.empty() && wayland_socket_exists(wayland)) return true;
  const std::string x = env("DISPLAY");
  if (!x.empty() && x_display_reachable(x)) return true;
  error = x.empty() && wayland.empty() ? "No display is set" : "The display " + (x.empty() ? wayland : x) +
                                                                  " cannot be reached";
  return false;
}

}  // namespace corvane::signing::qt
