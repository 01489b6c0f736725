#include "cli/line.h"

#include "cli/device_line.h"
#include "cli/modbus_tcp_line.h"
#include "cli/tcp_line.h"
#include "serial/port_names.h"

#include <algorithm>

namespace cli {

std::unique_ptr<Line> MakeLine(const std::string &portText, int baud)
{
    if (const auto address = serial::ParseModbusTcpAddress(portText))
        return std::make_unique<ModbusTcpLine>(portText, *address);
    if (const auto address = serial::ParseTcpAddress(portText))
        return std::make_unique<TcpLine>(portText, *address);
    // "COM3" (any case) is found exactly as the window finds its port 3
    if (portText.size() > 3 && (portText.compare(0, 3, "COM") == 0 || portText.compare(0, 3, "com") == 0)
        && std::all_of(portText.begin() + 3, portText.end(), [](char c) { return c >= '0' && c <= '9'; })
        && portText.size() <= 6) {
        // messages name the device COMn stood for: "COM1 (/dev/ttyS0)"
        const int number = std::stoi(portText.substr(3));
        const std::string device = serial::ResolvePortName(number).device;  // Windows' COMn is itself
        return MakeDeviceLine(device == portText ? portText : portText + " (" + device + ")",
                              serial::DeviceForPort(number), baud, number);
    }
    return MakeDeviceLine(portText, portText, baud);
}

} // namespace cli
