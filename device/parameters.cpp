#include "device/parameters.h"

#include "device/parameter_table.h"
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

// Defaults (the row's `empty`), then the upper test, then the lower test on the text as it
// then stands; a bound applies when the value lies strictly beyond it. A negative duty
// cannot travel in an unsigned register, so the duty's lower bound 0 is tested too.
std::string NormaliseField(const std::string &text, const Parameter &row)
{
    std::string result = IsNumber(text) ? text : row.empty;
    if (CompareNumbers(result, row.high) > 0)
        result = row.high;
    if (CompareNumbers(result, row.low) < 0)
        result = row.belowLow;
    return row.keepsText ? result : *FormatNumber(result, row.decimals);
}

} // namespace

int CompareNumbers(const std::string &a, const std::string &b)
{
    return Compare(*ParseDecimal(a), *ParseDecimal(b));
}

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

ParameterWrite NormaliseParameters(const FieldTexts &texts, const std::string &rateText, uint16_t previousBaudRateCode)
{
    ParameterWrite write{texts, {}, previousBaudRateCode};
    for (const Parameter &row : kParameters) {
        if (!IsSettable(row))
            continue;
        if (row.coding == Coding::RateCode) {
            write.baudRateCode = BaudRateCodeFor(rateText).value_or(previousBaudRateCode);
            write.registers[row.first] = write.baudRateCode;
            continue;
        }
        std::string &text = write.texts[RowIndex(row)];
        text = NormaliseField(text, row);
        // a text kept as typed is rounded on its way into the frame
        PutValue(row, UnscaledValue(row.keepsText ? *FormatNumber(text, row.decimals) : text), write.registers);
    }
    return write;
}

std::vector<uint8_t> BuildOwnWriteRequest(uint8_t slave, const Parameter &p, const Registers &registers)
{
    if (p.registers == 1)
        return modbus::BuildWriteSingleRequest(slave, p.first, registers[p.first]);
    return modbus::BuildWriteMultipleRequest(slave, p.first,
                                             {registers.begin() + p.first, registers.begin() + p.first + p.registers});
}

std::vector<uint8_t> BuildParameterWriteRequest(uint8_t slave, const Registers &registers)
{
    return modbus::BuildWriteMultipleRequest(
        slave, kParameterBlockFirst,
        std::vector<uint16_t>(registers.begin() + kParameterBlockFirst,
                              registers.begin() + kParameterBlockFirst + kParameterBlockCount));
}

} // namespace device
