#include "app/display_check.h"

namespace app {

std::optional<std::string> MissingDisplay(const DisplayEnvironment &environment)
{
    // "xcb:...", "wayland;xcb": a list of platforms to try, each with its options.
    const std::string first = environment.platform.substr(0, environment.platform.find_first_of(":;"));
    const bool wantsX11 = first.empty() || first == "xcb";
    const bool wantsWayland = first.empty() || first.rfind("wayland", 0) == 0;
    if (!wantsX11 && !wantsWayland)
        return std::nullopt;
    if (wantsWayland && !environment.waylandDisplay.empty())
        return std::nullopt;
    if (wantsX11 && !environment.x11Display.empty()) {
        if (environment.x11Reachable)
            return std::nullopt;
        return "no X server answers on display " + environment.x11Display;
    }
    if (wantsX11 && !wantsWayland)
        return std::string("no X display to show the window on (DISPLAY is not set)");
    return std::string("no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)");
}

int LocalX11DisplayNumber(const std::string &display)
{
    std::size_t i = display.rfind("unix:", 0) == 0 ? 5 : (display.rfind(':', 0) == 0 ? 1 : std::string::npos);
    if (i == std::string::npos || i >= display.size())
        return -1;
    int number = 0;
    for (; i < display.size() && display[i] >= '0' && display[i] <= '9' && number < 100000; ++i)
        number = number * 10 + (display[i] - '0');
    if (i < display.size() && display[i] != '.')
        return -1;
    return number;
}

} // namespace app
