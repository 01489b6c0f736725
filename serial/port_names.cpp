#include "serial/port_names.h"

#include <filesystem>
#include <system_error>

namespace serial {

std::string DeviceForPort(int portNumber)
{
    const std::string name = "COM" + std::to_string(portNumber);
#ifdef _WIN32
    return name;
#else
    std::error_code ec;
    const std::filesystem::path local(name);
    if (std::filesystem::exists(std::filesystem::symlink_status(local, ec)))
        return std::filesystem::absolute(local, ec).string();
    return "/dev/ttyS" + std::to_string(portNumber - 1);
#endif
}

} // namespace serial
