#include "device/reply_decoding.h"

#include "modbus/exchange.h"

namespace device {

std::optional<DecodedRead> DecodeReply(const std::vector<uint8_t> &reply)
{
    // The decoder's own gate, on top of the exchange's length rule (WindowAcceptsLength): a
    // read reply carries n >= 1 registers in 5 + 2n bytes, so the 8-byte write reply is never
    // decoded; the function code counts by its low hex digit, 3.
    const std::size_t length = reply.size();
    if (length < 7 || (length - 5) % 2 != 0 || (reply[1] & 0x0F) != 0x03
        || !modbus::WindowAcceptsLength(length, 5 + 2 * std::size_t{kReadBlockCount}))
        return std::nullopt;

    // bytes 0..2 are address, function code and byte count; register i is bytes 3 + 2i and 4 + 2i
    const std::size_t count = std::min<std::size_t>((length - 5) / 2, kReadBlockCount);
    Registers values{};
    for (std::size_t i = 0; i < count; ++i)
        values[i] = static_cast<uint16_t>((reply[3 + 2 * i] << 8) | reply[4 + 2 * i]);

    DecodedRead read;
    // a row shows only when the reply carries all its registers
    for (const Parameter &p : kParameters) {
        if (p.first + static_cast<std::size_t>(p.registers) > kReadBlockFirst + count)
            continue;
        if (p.coding == Coding::Number)
            read.texts.emplace_back(&p, ShownValue(p, values));
        else if (p.coding == Coding::RateCode && values[p.first] < kBaudRates.size())
            read.baudItem = values[p.first];
        else if (p.coding == Coding::OnOff)
            read.outputState = values[p.first];
    }
    return read;
}

} // namespace device
