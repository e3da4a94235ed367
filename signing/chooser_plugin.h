// The chooser window lives in a module of its own (it needs Qt), loaded only
// when a window is to be shown. The module is looked up in the folder named
// by CORVANE_PLUGIN_DIR, then in the folder of the library this code is part
// of, then in that folder's plugin folder (lib/corvanepdf once installed).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "signing/chooser_view.h"

namespace corvane::signing {

inline constexpr const char* kChooserModuleName = "corvane_chooser_qt.so";

// The folders searched for the module, in order.
[[nodiscard]] std::vector<std::filesystem::path> chooser_module_dirs();

// A window view from the module; nullptr with `error` filled when the module
// is missing or cannot reach a display. The module stays loaded.
[[nodiscard]] std::unique_ptr<ChooserView> load_window_view(std::string& error);

}  // namespace corvane::signing
