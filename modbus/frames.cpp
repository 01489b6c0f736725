#include "modbus/frames.h"

#include "modbus/crc16.h"

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

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
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
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    if (begin == end)
        return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > 255)  // stops before a long run of digits can overflow
            return std::nullopt;
    }
    return static_cast<uint8_t>(value);
}

} // namespace modbus
