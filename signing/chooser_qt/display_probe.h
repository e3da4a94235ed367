// Whether a display can be reached, asked before the toolkit starts: the
// toolkit ends the whole process when it cannot connect.
#pragma once

#include <string>

namespace corvane::signing::qt {

// True when the X display in DISPLAY accepts a connection, a Wayland socket
// named by WAYLAND_DISPLAY exists, or QT_QPA_PLATFORM names a platform that
// needs no display; otherwise false with `error` saying why.
[[nodiscard]] bool display_reachable(std::string& error);

}  // namespace corvane::signing::qt
