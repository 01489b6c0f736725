#include "modbus/frames.h"

#include "modbus/crc16.h"
#include "modbus/text.h"

namespace modbus {

namespace {

void PutWord(std::vector<uint8_t> &frame, uint16_t value)
{
    frame.push_back(static_cast<uint8_t>(value >> 8));
    frame.push_back(static_cast<uint8_t>(value & 0xFF));
}

std::vector<uint8_t> WithCrc(const std::vector<uint8_t> &request)
{
    return AppendCrc16(request, request.size() - 1);
}

} // namespace

std::vector<uint8_t> BuildReadRequest(uint8_t slave, uint16_t firstRegister, uint16_t count)
{
    std::vector<uint8_t> request{slave, kReadHoldingRegisters};
    PutWord(request, firstRegister);
    PutWord(request, count);
    return WithCrc(request);
}

std::vector<uint8_t> BuildWriteSingleRequest(uint8_t slave, uint16_t reg, uint16_t value)
{
    std::vector<uint8_t> request{slave, kWriteSingleRegister};
    PutWord(request, reg);
    PutWord(request, value);
    return WithCrc(request);
}

std::vector<uint8_t> BuildWriteMultipleRequest(uint8_t slave, uint16_t firstRegister,
                                               const std::vector<uint16_t> &values)
{
    std::vector<uint8_t> request{slave, kWriteMultipleRegisters};
    PutWord(request, firstRegister);
    PutWord(request, static_cast<uint16_t>(values.size()));
    request.push_back(static_cast<uint8_t>(2 * values.size()));
    for (uint16_t value : values)
        PutWord(request, value);
    return WithCrc(request);
}

std::optional<uint8_t> ParseSlaveAddress(const std::string &text)
{
    const std::string_view digits = TrimBlanks(text);
    if (digits.empty())
        return std::nullopt;
    unsigned value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 255)  // stops before a long run of digits can overflow
            return std::nullopt;
    }
    return static_cast<uint8_t>(value);
}

} // namespace modbus
