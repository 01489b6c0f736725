#include "cli/line.h"

#include "cli/device_line.h"
#include "cli/modbus_tcp_line.h"
#include "cli/tcp_line.h"
#include "serial/port_names.h"


namespace cli {

std::unique_ptr<Line> MakeLine(const std::string &portText, int baud, std::chrono::milliseconds connectTimeout)
{
    if (const auto address = serial::ParseModbusTcpAddress(portText))
        return std::make_unique<ModbusTcpLine>(portText, *address, connectTimeout);
    if (const auto address = serial::ParseTcpAddress(portText))
        return std::make_unique<TcpLine>(portText, *address, connectTimeout);
    // "COM3" (any letter case) is found exactly as the window finds its port 3
    if (const std::optional<int> number = serial::ParsePortName(portText)) {
        // messages name the device COMn stood for: "COM1 (/dev/ttyS0)"
        const std::string name = "COM" + std::to_string(*number);
        const std::string device = serial::ResolvePortName(*number).device;  // Windows' COMn is itself
        return MakeDeviceLine(device == name ? name : name + " (" + device + ")", serial::DeviceForPort(*number),
                              baud, *number);
    }
    return MakeDeviceLine(portText, portText, baud);
}

} // namespace cli
