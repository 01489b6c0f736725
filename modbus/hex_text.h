#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace modbus {

// Every byte as two upper-case hex digits and one blank: n bytes make 3n characters.
void AppendHexText(std::string &text, const uint8_t *data, std::size_t n);
std::string ToHexText(const std::vector<uint8_t> &bytes);

// The inverse of ToHexText: exactly "HH " groups (upper or lower case digits).
// Anything else, including a missing trailing blank, gives nullopt.
std::optional<std::vector<uint8_t>> ParseHexText(const std::string &text);

} // namespace modbus
