#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace modbus {

// Modbus CRC-16 (reflected polynomial 0xA001, start 0xFFFF, no final XOR) over n bytes.
uint16_t Crc16(const uint8_t *data, std::size_t n);

// Returns bytes 0..lastIndex of `frame` followed by their Modbus CRC-16, low byte first.
// `frame` is not modified; bytes after lastIndex are neither covered nor copied.
// Precondition: lastIndex < frame.size().
std::vector<uint8_t> AppendCrc16(const std::vector<uint8_t> &frame, std::size_t lastIndex);

// True when the last two bytes of `frame` are the CRC-16 of the bytes before them, low byte first.
bool HasValidCrc(const std::vector<uint8_t> &frame);

} // namespace modbus
