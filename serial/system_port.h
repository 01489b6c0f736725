#pragma once
#include "serial/port.h"

#include <memory>

namespace serial {

// The window's port on this system: QSerialPort on Linux, the Win32 calls on Windows
// (serial/win32_port.h says why). Made and used on the window's thread.
std::unique_ptr<Port> MakeSystemPort();

} // namespace serial
