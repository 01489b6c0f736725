#include "serial/system_port.h"

#ifdef _WIN32
#include "serial/win32_port.h"
#else
#include "serial/qt_serial_port.h"
#endif

namespace serial {

std::unique_ptr<Port> MakeSystemPort()
{
#ifdef _WIN32
    return std::make_unique<Win32Port>();
#else
    return std::make_unique<QtSerialPort>();
#endif
}

} // namespace serial
