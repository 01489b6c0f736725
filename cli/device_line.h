#pragma once
#include "cli/line.h"

namespace cli {

// The line on a serial device of this system: `name` as the user gave it, `device` what
// opens it ("/dev/ttyUSB0", "COM3"), `baud` the PC side's rate.
std::unique_ptr<Line> MakeDeviceLine(const std::string &name, const std::string &device, int baud);

} // namespace cli
