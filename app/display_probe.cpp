#include "app/display_probe.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#else
#include "app/display_check.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace app {

#ifdef _WIN32

std::optional<std::string> WhyNoWindow(int, char *[])
{
    return std::nullopt;
}

void UseStartingConsole()
{
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output && output != INVALID_HANDLE_VALUE && GetFileType(output) != FILE_TYPE_UNKNOWN)
        return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        [[maybe_unused]] FILE *out = std::freopen("CONOUT$", "w", stdout);
        [[maybe_unused]] FILE *err = std::freopen("CONOUT$", "w", stderr);
    }
}

#else

namespace {

std::string Environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

// The platform Qt is told to use: "-platform NAME" wins over QT_QPA_PLATFORM, as in Qt.
std::string Platform(int argc, char *argv[])
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return argv[i + 1];
    }
    return Environment("QT_QPA_PLATFORM");
}

// A local X display is reachable when its server takes a connection on its socket (the
// abstract one or the file in /tmp/.X11-unix). Other forms are left to Qt.
bool X11Reachable(const std::string &display)
{
    const int number = LocalX11DisplayNumber(display);
    if (number < 0)
        return true;
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    for (const bool abstract : {true, false}) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return true;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + (abstract ? 1 : 0), path.data(), path.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + (abstract ? 1 : 0));
        const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
        ::close(fd);
        if (connected)
            return true;
    }
    return false;
}

} // namespace

void UseStartingConsole()
{
}

std::optional<std::string> WhyNoWindow(int argc, char *argv[])
{
    const std::string x11Display = Environment("DISPLAY");
    return MissingDisplay({Platform(argc, argv), x11Display, Environment("WAYLAND_DISPLAY"), X11Reachable(x11Display)});
}

#endif

} // namespace app
