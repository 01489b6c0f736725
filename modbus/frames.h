#pragma once
#include <cstdint>
#include <string>
#include <optional>
#include <vector>

namespace modbus {

constexpr uint8_t kBroadcastAddress = 0;
constexpr uint8_t kReadHoldingRegisters = 0x03;
constexpr uint8_t kWriteSingleRegister = 0x06;
constexpr uint8_t kWriteMultipleRegisters = 0x10;

// Each returns the frame as it goes on the wire, CRC included.
std::vector<uint8_t> BuildReadRequest(uint8_t slave, uint16_t firstRegister, uint16_t count);
std::vector<uint8_t> BuildWriteSingleRequest(uint8_t slave, uint16_t reg, uint16_t value);
std::vector<uint8_t> BuildWriteMultipleRequest(uint8_t slave, uint16_t firstRegister,
                                               const std::vector<uint16_t> &values);

// The text of an address list as a slave address: a whole number 0..255 with optional
// blanks around it. Anything else (empty, sign, point, letters, 256) gives nullopt.
std::optional<uint8_t> ParseSlaveAddress(const std::string &text);

} // namespace modbus
