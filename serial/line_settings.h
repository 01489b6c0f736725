#pragma once
#include <optional>
#include <string>

namespace serial {

// A settings string such as "9600,N,8,1" taken apart: baud, parity letter (N, O or E),
// data bits (5 to 8) and stop bits (1 or 2).
struct LineSettings {
    long long baud = 0;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
};

// The parts of `text`, or nullopt when it names something no port can do: not four parts,
// a baud rate outside 1..4000000, another parity letter, other data or stop bits.
std::optional<LineSettings> ParseLineSettings(const std::string &text);

} // namespace serial
