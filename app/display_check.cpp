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
    if ((wantsX11 && !environment.x11Display.empty()) || (wantsWayland && !environment.waylandDisplay.empty()))
        return std::nullopt;
    if (wantsX11 && !wantsWayland)
        return std::string("no X display to show the window on (DISPLAY is not set)");
    return std::string("no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)");
}

} // namespace app
