// Arbitrary field texts through the parameter write.
//
// Input: newline-separated pieces: the eleven number fields in the order of kFieldKeys,
// then the text of the module-rate list, then one piece whose first byte (mod 6) is the
// code of the previous press. Missing pieces are empty.
#include "device/parameter_table.h"
#include "device/parameters.h"
#include "device/register_map.h"
#include "fuzz_check.h"
#include "modbus/crc16.h"
#include "modbus/frames.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

// The number fields of this model, in the order of the input's pieces.
enum Field { kPwmVoltage, kPwmFrequency, kPwmDuty, kPulseDelay, kPulseHigh, kPulseLow, kPulseNumber, kVoltageSource, kCurrentSource, kWorkMode, kSineFrequency, kFieldCount };
constexpr std::array<const char *, kFieldCount> kFieldKeys{"pwm_voltage", "pwm_frequency", "pwm_duty", "pulse_delay", "pulse_high", "pulse_low", "pulse_number", "voltage_source", "current_source", "work_mode", "sine_frequency"};
using Texts = std::array<std::string, kFieldCount>;

// The row of field `f` in the parameter table.
std::size_t Row(std::size_t f)
{
    return device::RowIndex(*device::FindParameter(kFieldKeys[f]));
}

// Decimals of each field as it is shown; the sine frequency keeps its text, its register
// is the text rounded to a whole number.
constexpr std::array<int, kFieldCount> kDecimals{1, 0, 1, 3, 3, 3, 0, 2, 2, 0, 0};

struct Range {
    uint32_t low;
    uint32_t high;
};

uint32_t DigitsValue(const std::string &text)
{
    uint32_t value = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9')
            value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

void CheckRange(uint32_t value, Range range)
{
    FUZZ_CHECK(value >= range.low && value <= range.high);
}

// An independent model of one field for numbers short enough to hold exactly in millionths
// (at most nine whole and six fraction digits): defaults, bounds and rounding worked out on
// integers instead of digit strings.
struct FieldModel {
    int64_t empty, upper, upperReplacement, lower, lowerReplacement;  // millionths
    int decimals;
};
constexpr int64_t kMicro = 1000000;
constexpr std::array<FieldModel, kFieldCount> kModels{{
    {10 * kMicro, 24 * kMicro, 24 * kMicro, 1 * kMicro, 1 * kMicro, 1},                 // pwm_voltage
    {1000 * kMicro, 150000 * kMicro, 150000 * kMicro, 1 * kMicro, 1 * kMicro, 0},       // pwm_frequency
    {50 * kMicro, 100 * kMicro, 100 * kMicro, 0, 0, 1},                                 // pwm_duty
    {0, 60 * kMicro, 60 * kMicro, 0, 0, 3},                                             // pulse_delay
    {10000, 60 * kMicro, 60 * kMicro, 0, 10000, 3},                                     // pulse_high
    {10000, 60 * kMicro, 60 * kMicro, 0, 10000, 3},                                     // pulse_low
    {50 * kMicro, 60000 * kMicro, 60000 * kMicro, 0, 0, 0},                             // pulse_number
    {2 * kMicro, 10 * kMicro, 10 * kMicro, 2 * kMicro, 2 * kMicro, 2},                  // voltage_source
    {4 * kMicro, 20 * kMicro, 20 * kMicro, 4 * kMicro, 4 * kMicro, 2},                  // current_source
    {1 * kMicro, 4 * kMicro, 4 * kMicro, 0, 1 * kMicro, 0},                             // work_mode
    {50 * kMicro, 1005 * kMicro, 1005 * kMicro, 0, 1 * kMicro, 0},                      // sine_frequency
}};

// The value of a number text in millionths; false when it has too many digits to hold.
bool Millionths(const std::string &text, int64_t &value)
{
    std::size_t i = text.find_first_not_of(" \t");
    const std::size_t end = text.find_last_not_of(" \t") + 1;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-')
        negative = text[i++] == '-';
    const std::size_t point = std::min(text.find('.', i), end);
    const std::string whole = text.substr(i, point - i);
    const std::string fraction = point < end ? text.substr(point + 1, end - point - 1) : "";
    const std::size_t significant = std::min(whole.find_first_not_of('0'), whole.size());
    if (whole.size() - significant > 9 || fraction.size() > 6)
        return false;
    value = (whole.empty() ? 0 : std::stoll(whole)) * kMicro +
            (fraction.empty() ? 0 : std::stoll(fraction + std::string(6 - fraction.size(), '0')));
    if (negative)
        value = -value;
    return true;
}

// `value` rounded to `decimals` places, halves away from zero, as the field shows it.
std::string Shown(int64_t value, int decimals)
{
    int64_t unit = kMicro;
    for (int d = 0; d < decimals; ++d)
        unit /= 10;
    const int64_t magnitude = value < 0 ? -value : value;
    int64_t rounded = magnitude / unit + (2 * (magnitude % unit) >= unit ? 1 : 0);
    std::string digits = std::to_string(rounded);
    if (digits.size() < static_cast<std::size_t>(decimals) + 1)
        digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
    std::string text = (value < 0 && rounded != 0) ? "-" : "";
    text += digits.substr(0, digits.size() - static_cast<std::size_t>(decimals));
    if (decimals > 0)
        text += "." + digits.substr(digits.size() - static_cast<std::size_t>(decimals));
    return text;
}

void CheckAgainstModel(const Texts &input, const device::ParameterWrite &write)
{
    for (std::size_t f = 0; f < kFieldCount; ++f) {
        const FieldModel &model = kModels[f];
        int64_t value = model.empty;
        if (device::IsNumber(input[f]) && !Millionths(input[f], value))
            continue;
        bool replaced = !device::IsNumber(input[f]);
        if (value > model.upper) {
            value = model.upperReplacement;
            replaced = true;
        }
        if (value < model.lower) {
            value = model.lowerReplacement;
            replaced = true;
        }
        if (f == kSineFrequency) {
            if (!replaced)
                FUZZ_CHECK(write.texts[Row(f)] == input[f]);
            FUZZ_CHECK(std::to_string(write.registers[device::SineFrequency]) == Shown(value, 0));
        } else {
            FUZZ_CHECK(write.texts[Row(f)] == Shown(value, model.decimals));
        }
    }
}

void CheckWrite(const Texts &input, const std::string &rateText, uint16_t previous)
{
    using namespace device;
    FieldTexts byRow;
    for (std::size_t f = 0; f < kFieldCount; ++f)
        byRow[Row(f)] = input[f];
    const ParameterWrite write = NormaliseParameters(byRow, rateText, previous);
    const auto &r = write.registers;

    // Every register inside the range that the window lets through.
    const uint32_t frequency = uint32_t{r[PwmFrequencyHigh]} << 16 | r[PwmFrequencyLow];
    CheckRange(r[PwmVoltage], {10, 240});
    CheckRange(frequency, {1, 150000});
    CheckRange(r[PwmDuty], {0, 1000});
    CheckRange(r[PulseDelayTime], {0, 60000});
    CheckRange(r[PulseHighTime], {0, 60000});
    CheckRange(r[PulseLowTime], {0, 60000});
    CheckRange(r[PulseNumber], {0, 60000});
    CheckRange(r[VoltageSource], {200, 1000});
    CheckRange(r[CurrentSource], {400, 2000});
    CheckRange(r[SineFrequency], {0, 1005});
    CheckRange(r[WorkMode], {0, 4});
    CheckRange(r[BaudRateCode], {0, 5});

    // The code: the matching rate, else the previous press's.
    const std::optional<uint16_t> matched = BaudRateCodeFor(rateText);
    FUZZ_CHECK(write.baudRateCode == (matched ? *matched : previous));
    FUZZ_CHECK(r[BaudRateCode] == write.baudRateCode);

    // The fields show exactly what is sent: each is a number in its own format, and its
    // digits are the register value.
    for (std::size_t f = 0; f < kFieldCount; ++f) {
        const std::string &text = write.texts[Row(f)];
        FUZZ_CHECK(IsNumber(text));
        if (f != kSineFrequency) {
            FUZZ_CHECK(FormatNumber(text, kDecimals[f]) == text);
            FUZZ_CHECK(text.find('-') == std::string::npos);
        }
    }
    FUZZ_CHECK(DigitsValue(write.texts[Row(kPwmVoltage)]) == r[PwmVoltage]);
    FUZZ_CHECK(DigitsValue(write.texts[Row(kPwmFrequency)]) == frequency);
    FUZZ_CHECK(DigitsValue(write.texts[Row(kPwmDuty)]) == r[PwmDuty]);
    FUZZ_CHECK(DigitsValue(write.texts[Row(kPulseDelay)]) == r[PulseDelayTime]);
    FUZZ_CHECK(DigitsValue(write.texts[Row(kPulseHigh)]) == r[PulseHighTime]);
    FUZZ_CHECK(DigitsValue(write.texts[Row(kPulseLow)]) == r[PulseLowTime]);
    FUZZ_CHECK(DigitsValue(write.texts[Row(kPulseNumber)]) == r[PulseNumber]);
    FUZZ_CHECK(DigitsValue(write.texts[Row(kVoltageSource)]) == r[VoltageSource]);
    FUZZ_CHECK(DigitsValue(write.texts[Row(kCurrentSource)]) == r[CurrentSource]);
    FUZZ_CHECK(DigitsValue(write.texts[Row(kWorkMode)]) == r[WorkMode]);
    FUZZ_CHECK(DigitsValue(*FormatNumber(write.texts[Row(kSineFrequency)], 0)) == r[SineFrequency]);

    // The sine frequency is never rewritten: it keeps a number as typed or takes one of its replacements.
    const std::string &sine = write.texts[Row(kSineFrequency)];
    FUZZ_CHECK(sine == input[kSineFrequency] || sine == "50" || sine == "1005" || sine == "1");

    CheckAgainstModel(input, write);

    // Pressing again changes nothing.
    const ParameterWrite again = NormaliseParameters(write.texts, rateText, write.baudRateCode);
    FUZZ_CHECK(again.texts == write.texts);
    FUZZ_CHECK(again.registers == write.registers);
    FUZZ_CHECK(again.baudRateCode == write.baudRateCode);

    // The request: the block header, the registers high byte first, a valid CRC.
    const uint8_t slave = static_cast<uint8_t>(input[kPwmVoltage].size());
    const std::vector<uint8_t> frame = BuildParameterWriteRequest(slave, r);
    FUZZ_CHECK(frame.size() == 9 + 2 * std::size_t{kParameterBlockCount});
    const std::array<uint8_t, 7> header{slave, modbus::kWriteMultipleRegisters, kParameterBlockFirst >> 8, kParameterBlockFirst & 0xFF,
                                        kParameterBlockCount >> 8, kParameterBlockCount & 0xFF, 2 * kParameterBlockCount};
    FUZZ_CHECK(std::equal(header.begin(), header.end(), frame.begin()));
    for (std::size_t i = 0; i < kParameterBlockCount; ++i)
        FUZZ_CHECK((frame[7 + 2 * i] << 8 | frame[8 + 2 * i]) == r[i]);
    FUZZ_CHECK(modbus::HasValidCrc(frame));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    std::vector<std::string> pieces(kFieldCount + 2);
    std::size_t piece = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            if (++piece == pieces.size())
                break;
        } else {
            pieces[piece] += static_cast<char>(data[i]);
        }
    }
    Texts texts;
    std::copy(pieces.begin(), pieces.begin() + kFieldCount, texts.begin());
    const std::string &rateText = pieces[kFieldCount];
    const std::string &last = pieces[kFieldCount + 1];
    const uint16_t previous = last.empty() ? 0 : static_cast<uint16_t>(static_cast<uint8_t>(last[0]) % 6);
    CheckWrite(texts, rateText, previous);
    return 0;
}
