#include "cli/device_line.h"

#ifdef _WIN32
#include "cli/win32_line.h"
#else
#include "cli/serial_line.h"
#endif

namespace cli {

std::unique_ptr<Line> MakeDeviceLine(const std::string &name, const std::string &device, int baud, int portNumber)
{
#ifdef _WIN32
    // QSerialPort's reads wait for a receive event that Wine never raises on a pty; the
    // Win32 calls with read timeouts work on both.
    (void)portNumber;
    return std::make_unique<Win32Line>(name, device, baud);
#else
    return std::make_unique<SerialLine>(name, device, baud, portNumber);
#endif
}

} // namespace cli
