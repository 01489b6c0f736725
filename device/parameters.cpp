#include "device/parameters.h"

#include "device/register_map.h"
#include "modbus/frames.h"
#include "modbus/text.h"

#include <algorithm>
#include <cstddef>

namespace device {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A number as written, without its blanks: sign, the digits before and after the point.
struct Decimal {
    bool negative = false;
    std::string whole;     // leading zeros removed
    std::string fraction;  // as written
};

std::optional<Decimal> ParseDecimal(const std::string &written)
{
    const std::string_view text = modbus::TrimBlanks(written);
    std::size_t begin = 0;
    const std::size_t end = text.size();
    Decimal d;
    if (begin < end && (text[begin] == '+' || text[begin] == '-')) {
        d.negative = text[begin] == '-';
        ++begin;
    }
    bool point = false;
    for (std::size_t i = begin; i < end; ++i) {
        const char c = text[i];
        if (c == '.' && !point)
            point = true;
        else if (!IsDigit(c))
            return std::nullopt;
        else if (point)
            d.fraction += c;
        else if (!d.whole.empty() || c != '0')
            d.whole += c;
    }
    const bool anyDigit = end - begin > (point ? 1u : 0u);
    if (!anyDigit)
        return std::nullopt;
    return d;
}

bool IsZero(const Decimal &d)
{
    return d.whole.empty() && d.fraction.find_first_not_of('0') == std::string::npos;
}

// -1, 0 or 1 as |a| is below, equal to or above |b|
int CompareMagnitude(const Decimal &a, const Decimal &b)
{
    if (a.whole.size() != b.whole.size())
        return a.whole.size() < b.whole.size() ? -1 : 1;
    if (const int c = a.whole.compare(b.whole); c != 0)
        return c < 0 ? -1 : 1;
    const std::size_t n = std::max(a.fraction.size(), b.fraction.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = i < a.fraction.size() ? a.fraction[i] : '0';
        const char y = i < b.fraction.size() ? b.fraction[i] : '0';
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

// Exact comparison of two numbers; the texts need not look alike ("24" and "24.000" are equal).
int Compare(const Decimal &a, const Decimal &b)
{
    const bool aNegative = a.negative && !IsZero(a);
    const bool bNegative = b.negative && !IsZero(b);
    if (aNegative != bNegative)
        return aNegative ? -1 : 1;
    const int magnitude = CompareMagnitude(a, b);
    return aNegative ? -magnitude : magnitude;
}

// The digits of a formatted, non-negative field without its point: the register value
// when the field carries exactly the decimals that its scale absorbs.
uint32_t DigitsValue(const std::string &formatted)
{
    uint32_t value = 0;
    for (char c : formatted) {
        if (IsDigit(c))
            value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

// How the write treats one field. A bound applies when the field's value lies strictly
// beyond it; the text then becomes the replacement.
struct FieldRule {
    const char *empty;
    const char *upper;
    const char *upperReplacement;
    const char *lower;  // nullptr: no lower test
    const char *lowerReplacement;
    int decimals;
    bool rewritten;
};

// Text5 has no lower bound of its own; a negative duty cannot travel in an unsigned
// register, so it is corrected to 0 like the other bounds.
constexpr std::array<FieldRule, kParamFieldCount> kRules{{
    {"10", "24", "24", "1", "1", kPwmVoltage.decimals, true},                  // Text3
    {"1000", "150000", "150000", "1", "1", 0, true},                          // Text4
    {"50", "100", "100", "0", "0", kPwmDuty.decimals, true},                  // Text5
    {"0", "60", "60", "0", "0", kPulseDelayTime.decimals, true},              // Text6
    {"0.01", "60", "60", "0", "0.01", kPulseHighTime.decimals, true},         // Text7
    {"0.01", "60", "60", "0", "0.01", kPulseLowTime.decimals, true},          // Text8
    {"50", "60000", "60000", "0", "0", kPulseNumber.decimals, true},          // Text9
    {"2", "10", "10", "2", "2", kVoltageSource.decimals, true},               // Text10
    {"4", "20", "20", "4", "4", kCurrentSource.decimals, true},               // Text11
    {"1", "4", "4", "0", "1", kWorkMode.decimals, true},                      // Text12
    {"50", "1005", "1005", "0", "1", kSineFrequency.decimals, false},         // Text13
}};

// Defaults, then the upper test, then the lower test on the text as it then stands.
std::string NormaliseField(const std::string &text, const FieldRule &rule)
{
    std::string result = IsNumber(text) ? text : rule.empty;
    if (Compare(*ParseDecimal(result), *ParseDecimal(rule.upper)) > 0)
        result = rule.upperReplacement;
    if (rule.lower && Compare(*ParseDecimal(result), *ParseDecimal(rule.lower)) < 0)
        result = rule.lowerReplacement;
    return rule.rewritten ? *FormatNumber(result, rule.decimals) : result;
}

} // namespace

bool IsNumber(const std::string &text)
{
    return ParseDecimal(text).has_value();
}

std::optional<std::string> FormatNumber(const std::string &text, int decimals)
{
    std::optional<Decimal> d = ParseDecimal(text);
    if (!d)
        return std::nullopt;
    const std::size_t places = decimals > 0 ? static_cast<std::size_t>(decimals) : 0;
    // every digit kept, as one run: whole digits then `places` fraction digits
    std::string digits = d->whole + d->fraction.substr(0, places);
    digits.append(places - std::min(places, d->fraction.size()), '0');
    if (d->fraction.size() > places && d->fraction[places] >= '5') {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i == 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[i - 1];
    }
    if (digits.size() < places + 1)
        digits.insert(0, places + 1 - digits.size(), '0');
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    std::string result = (d->negative && !zero) ? "-" : "";
    result += digits.substr(0, digits.size() - places);
    if (places > 0)
        result += '.' + digits.substr(digits.size() - places);
    return result;
}

ParameterWrite NormaliseParameters(const std::array<std::string, kParamFieldCount> &texts,
                                   const std::string &combo6, uint16_t previousBaudRateCode)
{
    ParameterWrite write{};
    for (std::size_t f = 0; f < kParamFieldCount; ++f)
        write.texts[f] = NormaliseField(texts[f], kRules[f]);

    auto value = [&write](ParamField field) {
        const FieldRule &rule = kRules[field];
        const std::string &text = write.texts[field];
        return DigitsValue(rule.rewritten ? text : *FormatNumber(text, rule.decimals));
    };
    const uint32_t frequency = value(kText4);
    write.registers[PwmVoltage] = static_cast<uint16_t>(value(kText3));
    write.registers[PwmFrequencyHigh] = static_cast<uint16_t>(frequency >> 16);
    write.registers[PwmFrequencyLow] = static_cast<uint16_t>(frequency & 0xFFFF);
    write.registers[PwmDuty] = static_cast<uint16_t>(value(kText5));
    write.registers[PulseDelayTime] = static_cast<uint16_t>(value(kText6));
    write.registers[PulseHighTime] = static_cast<uint16_t>(value(kText7));
    write.registers[PulseLowTime] = static_cast<uint16_t>(value(kText8));
    write.registers[PulseNumber] = static_cast<uint16_t>(value(kText9));
    write.registers[VoltageSource] = static_cast<uint16_t>(value(kText10));
    write.registers[CurrentSource] = static_cast<uint16_t>(value(kText11));
    write.registers[SineFrequency] = static_cast<uint16_t>(value(kText13));
    write.registers[WorkMode] = static_cast<uint16_t>(value(kText12));
    write.baudRateCode = BaudRateCodeFor(combo6).value_or(previousBaudRateCode);
    write.registers[BaudRateCode] = write.baudRateCode;
    return write;
}

std::vector<uint8_t> BuildParameterWriteRequest(uint8_t slave, const std::array<uint16_t, 13> &registers)
{
    return modbus::BuildWriteMultipleRequest(slave, kParameterBlockFirst,
                                             std::vector<uint16_t>(registers.begin(), registers.end()));
}

} // namespace device
