#pragma once
#include <optional>
#include <string>

namespace app {

// Where the window would be shown: the platform Qt is told to use (QT_QPA_PLATFORM or
// -platform, empty when neither is given) and the display variables.
struct DisplayEnvironment {
    std::string platform;
    std::string x11Display;      // DISPLAY
    std::string waylandDisplay;  // WAYLAND_DISPLAY
};

// Why no window can be shown, as one sentence; nothing when the platform is one that
// needs no display variable (offscreen, vnc, ...) or its variable is set. Qt itself would
// abort the program instead.
std::optional<std::string> MissingDisplay(const DisplayEnvironment &environment);

} // namespace app
