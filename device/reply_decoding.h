#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace device {

// The window fields a read reply writes.
enum class Target { Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10, Text11, Text12, Text13, Text14 };

struct DecodedRead {
    std::vector<std::pair<Target, std::string>> texts;  // in slot order, formatted
    std::optional<int> baudItem;                        // Combo6 item 0..5, only for codes 0..5
    std::optional<uint16_t> outputState;                // register 0x000D as read (ON only for 1)
};

// Decodes a function-03 reply held as hex text. nullopt (change nothing) unless character 5
// (1-based) is '3' and the length is that of a read reply of 1, 5, 6, 7, 8, 13, 14 or 16
// registers. Only the slots the reply carries are present.
std::optional<DecodedRead> DecodeReply(const std::string &receiveBuffer);

} // namespace device
