#include "signing/chooser_plugin.h"

#include <dlfcn.h>

#include <array>
#include <cstdlib>
#include <mutex>

#ifndef CORVANE_PLUGIN_SUBDIR
#define CORVANE_PLUGIN_SUBDIR "corvanepdf"
#endif

namespace corvane::signing {
namespace {

// The module's entry point once loaded; the module is never unloaded (a GUI
// toolkit cannot be torn down safely inside a running process).
CreateChooserViewFn load_entry(std::string& error) {
  static std::mutex mutex;
  static CreateChooserViewFn entry = nullptr;
  std::lock_guard lock(mutex);
  if (entry) return entry;
  std::string tried;
  for (const auto& dir : chooser_module_dirs()) {
    const auto file = dir / kChooserModuleName;
    std::error_code ignored;
    if (!std::filesystem::exists(file, ignored)) continue;
    void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      const char* why = ::dlerror();
      tried += std::string(tried.empty() ? "" : "; ") + (why ? why : file.string());
      continue;
    }
    entry = reinterpret_cast<CreateChooserViewFn>(::dlsym(module, kChooserViewEntry));
    if (entry) return entry;
    tried += (tried.empty() ? "" : "; ") + file.string() + " has no chooser entry point";
  }
  error = tried.empty() ? std::string("The chooser window module ") + kChooserModuleName + " is not installed"
                        : tried;
  return nullptr;
}

}  // namespace

std::vector<std::filesystem::path> chooser_module_dirs() {
  std::vector<std::filesystem::path> dirs;
  if (const char* dir = std::getenv("CORVANE_PLUGIN_DIR"); dir && *dir) dirs.emplace_back(dir);
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&chooser_module_dirs), &info) && info.dli_fname) {
    // Beside the library in the build tree; in its plugin folder once
    // installed, wherever the prefix is.
    const auto library_dir = std::filesystem::path(info.dli_fname).parent_path();
    dirs.push_back(library_dir);
    dirs.push_back(library_dir / CORVANE_PLUGIN_SUBDIR);
  }
  return dirs;
}

std::unique_ptr<ChooserView> load_window_view(std::string& error) {
  const CreateChooserViewFn entry = load_entry(error);
  if (!entry) return nullptr;
  std::array<char, 512> reason{};
  std::unique_ptr<ChooserView> view(entry(kChooserViewAbi, reason.data(), reason.size()));
  if (!view) error = reason.data();
  return view;
}

}  // namespace corvane::signing
