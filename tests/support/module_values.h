#pragma once
#include "device/parameter_table.h"

#include <cstdint>
#include <vector>

// The module's register values the tests share; no Qt, for the simulator's test too.

// The module as it starts, and as the simulator starts: every settable number at its row's
// start value, the rate code of the module-baud row's start rate, the output off and the
// counter 0.
inline const device::Registers kModuleStart =
    device::StartRegisters(*device::BaudRateCodeFor(device::FindParameter("module_baud")->start));

// The read block of an example module, set to other values than at start: 24.0 V,
// 100000 Hz, 50.0 %, 0.000 s, 1.000 s, 1.000 s, 50 pulses, 6.00 V, 8.00 mA, 50 Hz, mode 1,
// 9600 baud, output ON, pulse count 7; any register after 0x000F holds 0.
inline const std::vector<uint16_t> kExample = [] {
    std::vector<uint16_t> values{0x00F0, 0x0001, 0x86A0, 0x01F4, 0x0000, 0x03E8, 0x03E8, 0x0032,
                                 0x0258, 0x0320, 0x0032, 0x0001, 0x0001, 0x0001, 0x0000, 0x0007};
    values.resize(device::kReadBlockCount);
    return values;
}();
