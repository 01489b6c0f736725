#include "modbus/crc16.h"

namespace modbus {

uint16_t Crc16(const uint8_t *data, std::size_t n)
{
    uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001u) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

std::vector<uint8_t> AppendCrc16(const std::vector<uint8_t> &frame, std::size_t lastIndex)
{
    std::vector<uint8_t> sent(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(lastIndex + 1));
    const uint16_t crc = Crc16(sent.data(), sent.size());
    sent.push_back(static_cast<uint8_t>(crc & 0xFF));
    sent.push_back(static_cast<uint8_t>(crc >> 8));
    return sent;
}

bool HasValidCrc(const std::vector<uint8_t> &frame)
{
    if (frame.size() < 2)
        return false;
    const std::size_t n = frame.size() - 2;
    const uint16_t crc = Crc16(frame.data(), n);
    return frame[n] == (crc & 0xFF) && frame[n + 1] == (crc >> 8);
}

} // namespace modbus
