#pragma once
#include "device/register_map.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The module's parameters, one row each: what a key means on the line, in the window and
// on the command line. The window, the command line, the parameter-set files and the
// simulator read these rows instead of repeating the numbers.
namespace device {

enum class Kind {
    Quantity,  // a number with `decimals`, written by the parameter block
    BaudRate,  // BaudRateCode: the rate itself outside, the code on the line
    Output,    // the output switch, written on its own
    Counter,   // read only
};

struct Parameter {
    const char *key;          // also the key of the parameter-set files
    Register first;           // first register
    int registers;            // 2: a 32-bit value, high word first
    int decimals;             // the register holds value × 10^decimals
    const char *unit;
    const char *low;          // the range the window's bounds let through unchanged
    const char *high;
    const char *start;        // the window's start value
    const char *control;      // the window control that shows it
    int typingLimit;          // characters the user may type; 0: no limit
    const char *empty;        // what the window's write puts into an empty field
    const char *belowLow;     // what a value below `low` becomes in the window's write
    Kind kind;
};

// key, register(s), decimals, unit, low, high, start, control, typing limit, empty, below low, kind
inline constexpr Parameter kParameters[] = {
    {"pwm_voltage", PwmVoltage, 1, 1, "V", "1", "24", "10", "Text3", 4, "10", "1", Kind::Quantity},
    {"pwm_frequency", PwmFrequencyHigh, 2, 0, "Hz", "1", "150000", "1000", "Text4", 6, "1000", "1", Kind::Quantity},
    {"pwm_duty", PwmDuty, 1, 1, "%", "0", "100", "50", "Text5", 4, "50", "0", Kind::Quantity},
    {"pulse_delay", PulseDelayTime, 1, 3, "s", "0", "60", "0", "Text6", 6, "0", "0", Kind::Quantity},
    {"pulse_high", PulseHighTime, 1, 3, "s", "0", "60", "0.01", "Text7", 6, "0.01", "0.01", Kind::Quantity},
    {"pulse_low", PulseLowTime, 1, 3, "s", "0", "60", "0.01", "Text8", 6, "0.01", "0.01", Kind::Quantity},
    {"pulse_number", PulseNumber, 1, 0, "pulses", "0", "60000", "50", "Text9", 6, "50", "0", Kind::Quantity},
    {"voltage_source", VoltageSource, 1, 2, "V", "2", "10", "5", "Text10", 6, "2", "2", Kind::Quantity},
    {"current_source", CurrentSource, 1, 2, "mA", "4", "20", "4", "Text11", 6, "4", "4", Kind::Quantity},
    {"sine_frequency", SineFrequency, 1, 0, "Hz", "0", "1005", "50", "Text13", 0, "50", "1", Kind::Quantity},
    {"work_mode", WorkMode, 1, 0, "", "0", "4", "1", "Text12", 1, "1", "1", Kind::Quantity},
    {"module_baud", BaudRateCode, 1, 0, "baud", "4800", "115200", "9600", "Combo6", 0, "", "", Kind::BaudRate},
    {"output", OutputState, 1, 0, "", "0", "1", "0", "Command5", 0, "", "", Kind::Output},
    {"pulse_count", PulseCount, 1, 0, "pulses", "0", "65535", "50", "Text14", 0, "", "", Kind::Counter},
};
constexpr std::size_t kParameterCount = std::size(kParameters);

// The row of `key`, or of the window control `control`; nullptr when there is none.
const Parameter *FindParameter(std::string_view key);
const Parameter *FindControl(std::string_view control);

// The read block's registers.
using Registers = std::array<uint16_t, kReadBlockCount>;

// The value of `p` in `registers` as the window shows it: the field's decimals (1.500,
// 5.12), the rate for module_baud ("unknown code 7" when there is none), "on"/"off" for the
// output ("unknown value 2" for any other value).
std::string ShownValue(const Parameter &p, const Registers &registers);

// `value` (a register value, or the 32-bit frequency) with `decimals` places: 15 and 1 give "1.5".
std::string ScaledText(uint32_t value, int decimals);

// The register value(s) of a number already rounded to the row's decimals ("1.500" gives 1500).
uint32_t UnscaledValue(const std::string &rounded);

// "1.0 to 24.0 V", "0 to 4", "4800, 9600, 19200, 38400, 57600 or 115200".
std::string RangeText(const Parameter &p);

// Puts `text` into the registers of `p` (a Quantity or BaudRate row): a plain decimal number,
// rounded to the row's decimals halves away from zero, inside the row's range; for module_baud
// one of the rates. Returns the rounded text that went in, or nullopt (registers untouched).
std::optional<std::string> ApplyValue(const Parameter &p, const std::string &text, Registers &registers);

// The one line that says why `text` does not fit `p`: "pwm_voltage=30: outside 1.0 to 24.0 V".
std::string ValueError(const Parameter &p, const std::string &text);

// The start values of a freshly set-up window, as register values; the output is off and
// the counter 0.
Registers StartRegisters(uint16_t baudRateCode);

} // namespace device
