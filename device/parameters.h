#pragma once
#include "device/parameter_table.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace device {

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

// The window's fields, one per row of kParameters (RowIndex); rows without a field of
// their own stay empty.
using FieldTexts = std::array<std::string, kParameterCount>;

struct ParameterWrite {
    FieldTexts texts;       // the settable number fields after normalising; the others as given
    Registers registers;    // the values sent, in the settable rows' registers
    uint16_t baudRateCode;  // lives on to the next press
};

// Defaults for empty (or non-numeric) fields, the bounds, the display formats and the
// register values of every settable row. `rateText` is matched against the rates; another
// text keeps `previousBaudRateCode`.
ParameterWrite NormaliseParameters(const FieldTexts &texts, const std::string &rateText, uint16_t previousBaudRateCode);

// The request that writes the registers of `p` (a row written on its own) from `registers`:
// function 06 for one register, 16 for two.
std::vector<uint8_t> BuildOwnWriteRequest(uint8_t slave, const Parameter &p, const Registers &registers);

// The function-16 request for the parameter block (the in-block rows of `registers`), CRC included.
std::vector<uint8_t> BuildParameterWriteRequest(uint8_t slave, const Registers &registers);

} // namespace device
