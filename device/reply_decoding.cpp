#include "device/reply_decoding.h"

#include "device/parameter_table.h"
#include "device/register_map.h"
#include "modbus/hex_text.h"
#include "modbus/reply_check.h"

#include <array>

namespace device {

namespace {

constexpr const char *kTargetControls[] = {"Text3", "Text4", "Text5", "Text6", "Text7", "Text8",
                                           "Text9", "Text10", "Text11", "Text12", "Text13", "Text14"};

std::optional<Target> TargetOf(const Parameter &p)
{
    for (std::size_t i = 0; i < std::size(kTargetControls); ++i) {
        if (std::string_view(p.control) == kTargetControls[i])
            return static_cast<Target>(i);
    }
    return std::nullopt;
}

} // namespace

std::optional<DecodedRead> DecodeReply(const std::string &receiveBuffer)
{
    // Of the accepted lengths, the read replies are those of 15 + 6n characters (n registers);
    // the 24-character write reply is not one of them.
    const std::size_t length = receiveBuffer.size();
    if (!modbus::IsAcceptedReplyLength(length) || (length - 15) % 6 != 0)
        return std::nullopt;
    // character 5 is the second digit of the function code
    if (receiveBuffer[4] != '3')
        return std::nullopt;
    // text that is not well-formed hex text changes nothing
    const std::optional<std::vector<uint8_t>> bytes = modbus::ParseHexText(receiveBuffer);
    if (!bytes)
        return std::nullopt;

    // bytes 0..2 are address, function code and byte count; slot i is bytes 3 + 2i and 4 + 2i
    const int count = static_cast<int>((length - 15) / 6);
    Registers values{};
    for (int slot = 0; slot < count; ++slot) {
        const std::size_t high = 3 + 2 * static_cast<std::size_t>(slot);
        values[static_cast<std::size_t>(slot)] = static_cast<uint16_t>(((*bytes)[high] << 8) | (*bytes)[high + 1]);
    }

    DecodedRead read;
    // the rows in register order; a row shows only when the reply carries all its registers
    for (const Parameter &p : kParameters) {
        if (p.first + p.registers > count)
            continue;
        if (const auto target = TargetOf(p))
            read.texts.emplace_back(*target, ShownValue(p, values));
        else if (p.kind == Kind::BaudRate && values[p.first] < kBaudRates.size())
            read.baudItem = values[p.first];
        else if (p.kind == Kind::Output)
            read.outputState = values[p.first];
    }
    return read;
}

} // namespace device
