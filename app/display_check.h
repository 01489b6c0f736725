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
    bool x11Reachable = true;    // false when DISPLAY names a local server that is not there
};

// Why no window can be shown, as one sentence; nothing when the platform is one that
// needs no display variable (offscreen, vnc, ...) or its display is there. Qt itself would
// abort the program instead.
std::optional<std::string> MissingDisplay(const DisplayEnvironment &environment);

// The number of a local X display (":0", ":1.0", "unix:2"), or -1 for any other form.
int LocalX11DisplayNumber(const std::string &display);

} // namespace app
