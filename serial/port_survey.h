#pragma once
#include "serial/port_names.h"

#include <vector>

namespace serial {

// The serial devices present, as Qt SerialPort lists them, each with its stable name. On
// Windows a device is named as its port ("COM12").
std::vector<DeviceInfo> PresentDevices();

} // namespace serial
