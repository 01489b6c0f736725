#pragma once
#include <chrono>
#include <string>
#include <vector>

// What velqorctl's --help and its manual page both state: the keys with their registers and
// ranges, and the line defaults. The page is filled from here when it is built, so neither
// spells a fact of the table or of the program by hand.
namespace cli {

// Without --baud and com.txt, and without --timeout.
constexpr int kDefaultBaud = 9600;
constexpr std::chrono::milliseconds kDefaultTimeout{500};

struct KeyLine {
    std::string key;
    std::string registers;  // "0x0000", or "0x0001-0002" for a 32-bit value
    std::string range;      // "1.0 to 24.0 V", "on/off; switched by the command output"
};

// One line per row of the parameter table, in its order.
std::vector<KeyLine> KeyLines();

// A register as --help and the page write it: "0x000D".
std::string RegisterText(unsigned address);

} // namespace cli
