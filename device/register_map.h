#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The module's holding registers as the tool uses them. Every other file takes
// addresses, scales and codes from here.
namespace device {

enum Register : uint16_t {
    PwmVoltage = 0x0000,        // 0.1 V
    PwmFrequencyHigh = 0x0001,  // Hz, high 16 bits
    PwmFrequencyLow = 0x0002,   // Hz, low 16 bits
    PwmDuty = 0x0003,           // 0.1 %
    PulseDelayTime = 0x0004,    // ms
    PulseHighTime = 0x0005,     // ms
    PulseLowTime = 0x0006,      // ms
    PulseNumber = 0x0007,       // pulses
    VoltageSource = 0x0008,     // 10 mV
    CurrentSource = 0x0009,     // 0.01 mA
    SineFrequency = 0x000A,     // Hz
    WorkMode = 0x000B,          // mode number
    BaudRateCode = 0x000C,      // code, kBaudRates
    OutputState = 0x000D,       // 1 = ON
    Unshown0E = 0x000E,         // read with the block, shown nowhere
    PulseCount = 0x000F,        // pulses, read only
#ifdef VELQOR_TEST_ROW
    RampTime = 0x0010,          // ms; a parameter the test build adds, written on its own
#endif
    PollMarker = 0x0012,        // the module has it; the tool never writes it
};

// The module's new slave address travels in register 0x0000 of a broadcast write.
constexpr uint16_t kSlaveAddressRegister = 0x0000;

// What each register means (scale, range, caption, how it is written) is in
// parameter_table.h, one row each; the parameter block and the read block follow from the rows.

// The module's baud rates; the code is the position (the window's list of module rates holds them in this order).
constexpr std::array<const char *, 6> kBaudRates{"4800", "9600", "19200", "38400", "57600", "115200"};

// Exact match of a rate text against kBaudRates; nullopt for any other text.
std::optional<uint16_t> BaudRateCodeFor(const std::string &rateText);

// kBaudRates in one text: `between` between two rates, `last` before the last one
// ("4800, 9600, 19200, 38400, 57600 or 115200" from ", " and " or ").
std::string BaudRatesText(const char *between, const char *last);

} // namespace device
