#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace device {

// The parameter fields in the order the write visits them. Text13 (sine frequency) comes
// last although its register lies before Text12's.
enum ParamField {
    kText3, kText4, kText5, kText6, kText7, kText8, kText9, kText10, kText11, kText12, kText13,
    kParamFieldCount
};

// A decimal number as the user may write it: blanks around it, an optional sign, digits
// with at most one point, at least one digit. "." "1.2.3" "abc" "1e3" are not numbers.
bool IsNumber(const std::string &text);

// `text` (a number as above) rounded to `decimals` places, halves away from zero, on the
// decimal digits as written (1.005 gives 1.01), at least one integer digit, no sign on zero.
// nullopt when `text` is not a number.
std::optional<std::string> FormatNumber(const std::string &text, int decimals);

// -1, 0 or 1 as the number `a` is below, equal to or above the number `b`, exactly
// ("24" equals "24.000"). Both must be numbers as IsNumber says.
int CompareNumbers(const std::string &a, const std::string &b);

struct ParameterWrite {
    std::array<std::string, kParamFieldCount> texts;  // the fields after normalising
    std::array<uint16_t, 13> registers;               // 0x0000..0x000C, the values sent
    uint16_t baudRateCode;                            // lives on to the next press
};

// Defaults for empty (or non-numeric) fields, the bounds, the display formats and the
// register values. `combo6` is matched against the rate texts; another text keeps
// `previousBaudRateCode`.
ParameterWrite NormaliseParameters(const std::array<std::string, kParamFieldCount> &texts,
                                   const std::string &combo6, uint16_t previousBaudRateCode);

// The 35-byte function-16 request for the parameter block, CRC included.
std::vector<uint8_t> BuildParameterWriteRequest(uint8_t slave, const std::array<uint16_t, 13> &registers);

} // namespace device
