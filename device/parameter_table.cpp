#include "device/parameter_table.h"

#include "device/parameters.h"
#include "modbus/text.h"

namespace device {

const Parameter *FindParameter(std::string_view key)
{
    for (const Parameter &p : kParameters) {
        if (key == p.key)
            return &p;
    }
    return nullptr;
}

std::size_t RowIndex(const Parameter &p)
{
    return static_cast<std::size_t>(&p - kParameters);
}

bool IsSettable(const Parameter &p)
{
    return p.written != Written::ReadOnly && p.coding != Coding::OnOff;
}

void PutValue(const Parameter &p, uint32_t value, Registers &registers)
{
    if (p.registers == 2) {
        registers[p.first] = static_cast<uint16_t>(value >> 16);
        registers[p.first + 1] = static_cast<uint16_t>(value & 0xFFFF);
    } else {
        registers[p.first] = static_cast<uint16_t>(value);
    }
}

std::string ScaledText(uint32_t value, int decimals)
{
    std::string digits = std::to_string(value);
    const std::size_t places = static_cast<std::size_t>(decimals);
    if (places == 0)
        return digits;
    if (digits.size() < places + 1)
        digits.insert(0, places + 1 - digits.size(), '0');
    digits.insert(digits.size() - places, 1, '.');
    return digits;
}

uint32_t UnscaledValue(const std::string &rounded)
{
    uint32_t value = 0;
    for (char c : rounded) {
        if (c >= '0' && c <= '9')
            value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

std::string ShownValue(const Parameter &p, const Registers &registers)
{
    const uint16_t v = registers[p.first];
    switch (p.coding) {
    case Coding::RateCode:
        return v < kBaudRates.size() ? kBaudRates[v] : "unknown code " + std::to_string(v);
    case Coding::OnOff:
        // 0 and 1 are the switch's states; anything else is shown as what it is
        return v == 1 ? "on" : v == 0 ? "off" : "unknown value " + std::to_string(v);
    case Coding::Number:
        break;
    }
    const uint32_t value = p.registers == 2 ? (uint32_t{v} << 16) | registers[p.first + 1] : v;
    return ScaledText(value, p.decimals);
}

std::string RangeText(const Parameter &p)
{
    if (p.coding == Coding::RateCode)
        return BaudRatesText(", ", " or ");
    std::string text = *FormatNumber(p.low, p.decimals) + " to " + *FormatNumber(p.high, p.decimals);
    return *p.unit ? text + " " + p.unit : text;
}

std::optional<std::string> ApplyValue(const Parameter &p, const std::string &text, Registers &registers,
                                      Bounds bounds)
{
    if (!IsSettable(p))
        return std::nullopt;
    if (p.coding == Coding::RateCode) {
        const auto code = BaudRateCodeFor(std::string(modbus::TrimBlanks(text)));
        if (!code)
            return std::nullopt;
        registers[p.first] = *code;
        return kBaudRates[*code];
    }
    const std::optional<std::string> rounded = FormatNumber(text, p.decimals);
    if (!rounded)
        return std::nullopt;
    if (bounds == Bounds::Documented && (CompareNumbers(*rounded, p.low) < 0 || CompareNumbers(*rounded, p.high) > 0))
        return std::nullopt;
    const uint32_t most = p.registers == 2 ? 0xFFFFFFFFu : 0xFFFFu;
    if (CompareNumbers(*rounded, "0") < 0 || CompareNumbers(*rounded, ScaledText(most, p.decimals)) > 0)
        return std::nullopt;
    PutValue(p, UnscaledValue(*rounded), registers);
    return rounded;
}

std::string ValueError(const Parameter &p, const std::string &text)
{
    const std::string head = std::string(p.key) + "=" + text + ": ";
    if (p.coding == Coding::OnOff)
        return head + "the output is switched by the command output on|off";
    if (p.written == Written::ReadOnly)
        return head + std::string(p.key) + " is read only";
    if (p.coding == Coding::RateCode)
        return head + "not a rate the module offers; allowed " + RangeText(p);
    if (!IsNumber(text))
        return head + "not a plain decimal number; allowed " + RangeText(p);
    return head + "outside " + RangeText(p);
}

Registers StartRegisters(uint16_t baudRateCode)
{
    Registers registers{};
    for (const Parameter &p : kParameters) {
        if (p.coding == Coding::Number && IsSettable(p))
            ApplyValue(p, p.start, registers);
        else if (p.coding == Coding::RateCode)
            registers[p.first] = baudRateCode;
    }
    return registers;
}

} // namespace device
