#include "device/reply_decoding.h"

#include "device/register_map.h"
#include "modbus/hex_text.h"
#include "modbus/reply_check.h"

#include <array>

namespace device {

namespace {

// `value` divided by the scale, with as many decimals as the scale has zeros.
std::string FormatScaled(uint32_t value, const Scaling &scaling)
{
    std::string text = std::to_string(value / static_cast<uint32_t>(scaling.scale));
    if (scaling.decimals > 0) {
        std::string fraction = std::to_string(value % static_cast<uint32_t>(scaling.scale));
        fraction.insert(0, static_cast<std::size_t>(scaling.decimals) - fraction.size(), '0');
        text += '.' + fraction;
    }
    return text;
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
    std::array<uint16_t, kReadBlockCount> values{};
    for (int slot = 0; slot < count; ++slot) {
        const std::size_t high = 3 + 2 * static_cast<std::size_t>(slot);
        values[static_cast<std::size_t>(slot)] = static_cast<uint16_t>(((*bytes)[high] << 8) | (*bytes)[high + 1]);
    }

    DecodedRead read;
    auto show = [&](Target target, const Scaling &scaling) {
        if (scaling.reg < count)
            read.texts.emplace_back(target, FormatScaled(values[scaling.reg], scaling));
    };
    show(Target::Text3, kPwmVoltage);
    if (PwmFrequencyLow < count) {
        // the frequency is shown as the full unsigned 32-bit value, whatever its high word
        const uint32_t frequency = (uint32_t{values[PwmFrequencyHigh]} << 16) | values[PwmFrequencyLow];
        read.texts.emplace_back(Target::Text4, std::to_string(frequency));
    }
    show(Target::Text5, kPwmDuty);
    show(Target::Text6, kPulseDelayTime);
    show(Target::Text7, kPulseHighTime);
    show(Target::Text8, kPulseLowTime);
    show(Target::Text9, kPulseNumber);
    show(Target::Text10, kVoltageSource);
    show(Target::Text11, kCurrentSource);
    show(Target::Text13, kSineFrequency);
    show(Target::Text12, kWorkMode);
    if (BaudRateCode < count && values[BaudRateCode] < kBaudRates.size())
        read.baudItem = values[BaudRateCode];
    if (OutputState < count)
        read.outputState = values[OutputState];
    show(Target::Text14, kPulseCount);
    return read;
}

} // namespace device
