#pragma once
#include "cli/line.h"

namespace cli {

// The line on a serial device of this system: `name` as messages show it, `device` what
// opens it ("/dev/ttyUSB0", "COM3"), `baud` the PC side's rate, `portNumber` n when the
// user named COMn, else 0.
std::unique_ptr<Line> MakeDeviceLine(const std::string &name, const std::string &device, int baud,
                                     int portNumber = 0);

} // namespace cli
