#include "serial/port_names.h"

#include "serial/port.h"

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

std::string FailureLine(int portNumber, const Port::Failure &failure, OpenResult result)
{
    std::string reason = failure.reason;
    if (reason.empty()) {
        switch (result) {
        case OpenResult::NotFound:
            reason = "no such device";
            break;
        case OpenResult::Busy:
            reason = "held by another program";
            break;
        case OpenResult::NoPermission:
            reason = kNoPermissionReason;
            break;
        case OpenResult::BadSettings:
            reason = "the port refuses the settings";
            break;
        default:
            reason = "the port cannot be used";
            break;
        }
    }
    std::string line = "COM" + std::to_string(portNumber);
    if (!failure.device.empty())
        line += " (" + failure.device + ")";
    return line + ": " + reason;
}

} // namespace serial
