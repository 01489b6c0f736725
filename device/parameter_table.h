#pragma once
#include "device/register_map.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Marks a caption for Qt's translation tools without a Qt header; the window shows it
// through QCoreApplication::translate(kCaptionContext, caption). Same definition as Qt's.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

// The module's parameters, one row each: everything the line, the window, the command
// line, the parameter-set files and the simulator know of one parameter. Each of them
// loops over the rows; adding a parameter is one row here and its register's name.
namespace device {

inline constexpr const char *kCaptionContext = "Parameters";

// How a parameter reaches the module.
enum class Written {
    InBlock,   // in the parameter block, the one function-16 write of every in-block row
    OnItsOwn,  // by a write of its own registers
    ReadOnly,
};

// What the register value stands for.
enum class Coding {
    Number,    // a number with `decimals` places
    RateCode,  // the position of a rate in kBaudRates; the rate itself outside
    OnOff,     // 1 on, anything else off; switched by the output command, never set from a file
};

struct Parameter {
    const char *key;          // also the key of the parameter-set files and of velqorctl
    uint16_t first;           // first register
    int registers;            // 2: a 32-bit value, high word first
    int decimals;             // the register holds value × 10^decimals
    const char *unit;
    const char *low;          // the range the window's bounds let through unchanged
    const char *high;
    const char *start;        // the window's start value
    const char *caption;      // beside the window's box, translated in kCaptionContext
    int typingLimit;          // characters the user may type; 0: no limit
    const char *empty;        // what the window's write puts into an empty field
    const char *belowLow;     // what a value below `low` becomes in the window's write
    bool keepsText;           // the window's write leaves the text as typed, rounding only the value sent
    Written written;
    Coding coding;
    // Where the window shows it: a cell (column, row) of the preset group's grid. A row
    // without a cell takes the first free one, column by column.
    int gridColumn = -1;
    int gridRow = -1;
    bool digitsOnly = false;      // its box takes only digits and points
    bool opensVendorPage = false; // a click on its caption opens the vendor's page
};

// key, register(s), decimals, unit, low, high, start, caption, typing limit, empty, below low,
// keeps text, written, coding, and where the window shows it: column, row, digits only,
// opens the vendor's page
inline constexpr Parameter kParameters[] = {
    {"pwm_voltage", PwmVoltage, 1, 1, "V", "1", "24", "10",
     QT_TRANSLATE_NOOP("Parameters", "PWM Volt(1.0-24.0V):"), 4, "10", "1", false, Written::InBlock, Coding::Number, 0, 0, true},
    {"pwm_frequency", PwmFrequencyHigh, 2, 0, "Hz", "1", "150000", "1000",
     QT_TRANSLATE_NOOP("Parameters", "PWM Freq(1-150000HZ):"), 6, "1000", "1", false, Written::InBlock, Coding::Number, 0, 1, true},
    {"pwm_duty", PwmDuty, 1, 1, "%", "0", "100", "50",
     QT_TRANSLATE_NOOP("Parameters", "PWM Duty(0-100%):"), 4, "50", "0", false, Written::InBlock, Coding::Number, 0, 2, true},
    {"pulse_delay", PulseDelayTime, 1, 3, "s", "0", "60", "0",
     QT_TRANSLATE_NOOP("Parameters", "Pulse DT(0-60.000S):"), 6, "0", "0", false, Written::InBlock, Coding::Number, 1, 0},
    {"pulse_high", PulseHighTime, 1, 3, "s", "0", "60", "0.01",
     QT_TRANSLATE_NOOP("Parameters", "Pulse HT(0.001-60.000S):"), 6, "0.01", "0.01", false, Written::InBlock, Coding::Number, 1, 1},
    {"pulse_low", PulseLowTime, 1, 3, "s", "0", "60", "0.01",
     QT_TRANSLATE_NOOP("Parameters", "Pulse LT(0.001-60.000S):"), 6, "0.01", "0.01", false, Written::InBlock, Coding::Number, 1, 2},
    {"pulse_number", PulseNumber, 1, 0, "pulses", "0", "60000", "50",
     QT_TRANSLATE_NOOP("Parameters", "Pulse NUM(1-60000):"), 6, "50", "0", false, Written::InBlock, Coding::Number, 1, 3},
    {"voltage_source", VoltageSource, 1, 2, "V", "2", "10", "5",
     QT_TRANSLATE_NOOP("Parameters", "电压源(2.00-10.00V):"), 6, "2", "2", false, Written::InBlock, Coding::Number, 0, 3},
    {"current_source", CurrentSource, 1, 2, "mA", "4", "20", "4",
     QT_TRANSLATE_NOOP("Parameters", "电流源(4.00-20.00mA):"), 6, "4", "4", false, Written::InBlock, Coding::Number, 0, 4},
    {"sine_frequency", SineFrequency, 1, 0, "Hz", "0", "1005", "50",
     QT_TRANSLATE_NOOP("Parameters", "正弦波频率(1-1005HZ):"), 0, "50", "1", true, Written::InBlock, Coding::Number, 0, 5},
    {"work_mode", WorkMode, 1, 0, "", "0", "4", "1",
     QT_TRANSLATE_NOOP("Parameters", "工作模式:"), 1, "1", "1", false, Written::InBlock, Coding::Number, 2, 0, false, true},
    {"module_baud", BaudRateCode, 1, 0, "baud", "4800", "115200", "9600",
     QT_TRANSLATE_NOOP("Parameters", "修改波特率:"), 0, "", "", false, Written::InBlock, Coding::RateCode, 2, 1},
    {"output", OutputState, 1, 0, "", "0", "1", "0",
     QT_TRANSLATE_NOOP("Parameters", "输出状态:"), 0, "", "", false, Written::OnItsOwn, Coding::OnOff, 2, 2},
    {"pulse_count", PulseCount, 1, 0, "pulses", "0", "65535", "50",
     QT_TRANSLATE_NOOP("Parameters", "Pulse Count:"), 0, "", "", false, Written::ReadOnly, Coding::Number, 1, 4},
#ifdef VELQOR_TEST_ROW
    {"ramp_time", RampTime, 1, 3, "s", "0", "60", "2.5",
     QT_TRANSLATE_NOOP("Parameters", "Ramp T(0-60.000S):"), 6, "0", "0", false, Written::OnItsOwn, Coding::Number},
#endif
};
constexpr std::size_t kParameterCount = std::size(kParameters);

namespace detail {
constexpr uint16_t BlockFirst()
{
    uint16_t first = 0xFFFF;
    for (const Parameter &p : kParameters)
        first = p.written == Written::InBlock && p.first < first ? p.first : first;
    return first;
}
constexpr uint16_t BlockEnd(bool inBlockOnly)
{
    uint16_t end = 0;
    for (const Parameter &p : kParameters) {
        const auto rowEnd = static_cast<uint16_t>(p.first + p.registers);
        end = (!inBlockOnly || p.written == Written::InBlock) && rowEnd > end ? rowEnd : end;
    }
    return end;
}
constexpr int InBlockRegisters()
{
    int n = 0;
    for (const Parameter &p : kParameters)
        n += p.written == Written::InBlock ? p.registers : 0;
    return n;
}
} // namespace detail

// The parameter block: the in-block rows' registers, written together by one function 16.
constexpr uint16_t kParameterBlockFirst = detail::BlockFirst();
constexpr uint16_t kParameterBlockCount = detail::BlockEnd(true) - kParameterBlockFirst;
static_assert(detail::InBlockRegisters() == kParameterBlockCount,
              "the in-block rows must fill their registers without a gap or an overlap");
// The read block: from register 0 to the last register of any row, read together.
constexpr uint16_t kReadBlockFirst = 0x0000;
constexpr uint16_t kReadBlockCount = detail::BlockEnd(false);

// The row of `key`; nullptr when there is none.
const Parameter *FindParameter(std::string_view key);
// The position of `p` in kParameters.
std::size_t RowIndex(const Parameter &p);
// A value that the parameter-set files and `velqorctl write` may set.
bool IsSettable(const Parameter &p);

// The read block's registers.
using Registers = std::array<uint16_t, kReadBlockCount>;

// The value of `p` in `registers` as the window shows it: the field's decimals (1.500,
// 5.12), the rate for a rate code ("unknown code 7" when there is none), "on"/"off" for a
// switch ("unknown value 2" for any other value).
std::string ShownValue(const Parameter &p, const Registers &registers);

// `value` (a register value, or the 32-bit frequency) with `decimals` places: 15 and 1 give "1.5".
std::string ScaledText(uint32_t value, int decimals);

// The register value(s) of a number already rounded to the row's decimals ("1.500" gives 1500).
uint32_t UnscaledValue(const std::string &rounded);

// Puts `value` into the registers of `p`, the high word first for a two-register row.
void PutValue(const Parameter &p, uint32_t value, Registers &registers);

// "1.0 to 24.0 V", "0 to 4", "4800, 9600, 19200, 38400, 57600 or 115200".
std::string RangeText(const Parameter &p);

// Which numbers a row takes: those of its documented range, or any its registers can hold
// (0 to 65535, or to 4294967295 for two registers, in the row's units), as a module may
// hold a value outside the range and a parameter set read from it must put it back.
enum class Bounds { Documented, Registers };

// Puts `text` into the registers of `p` (a settable row): a plain decimal number, rounded
// to the row's decimals halves away from zero, inside `bounds`; for a rate code one of the
// rates. Returns the rounded text that went in, or nullopt (registers untouched).
std::optional<std::string> ApplyValue(const Parameter &p, const std::string &text, Registers &registers,
                                      Bounds bounds = Bounds::Documented);

// The one line that says why `text` does not fit `p`: "pwm_voltage=30: outside 1.0 to 24.0 V".
std::string ValueError(const Parameter &p, const std::string &text);

// The start values of a freshly set-up window, as register values; the output is off and
// the counter 0.
Registers StartRegisters(uint16_t baudRateCode);

} // namespace device
