// Request and reply texts through the reply check and the reply decoder.
//
// Input: one mode byte, then
//   mode bit 0 clear: the request text (libFuzzer's random-length string: a backslash and
//     any other character end it) and the rest as the received text, both arbitrary;
//   mode bit 0 set: slave address and function code of a read request, then the reply
//     bytes; bit 1 appends a CRC to them, bit 2 gives them the request's header, so that
//     good replies of every length turn up.
#include "device/parameters.h"
#include "device/reply_decoding.h"
#include "fuzz_check.h"
#include "modbus/crc16.h"
#include "modbus/hex_text.h"
#include "modbus/exchange.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

bool IsReadReplyLength(std::size_t characters)
{
    static constexpr std::array<std::size_t, 8> kReadLengths{21, 45, 51, 57, 63, 93, 99, 111};
    for (const std::size_t n : kReadLengths) {
        if (n == characters)
            return true;
    }
    return false;
}

uint64_t DigitsValue(const std::string &text)
{
    uint64_t value = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9')
            value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

void CheckReplyCheck(const std::string &sendText, const std::string &receiveBuffer)
{
    const auto request = modbus::ParseHexText(sendText);
    const auto bytes = modbus::ParseHexText(receiveBuffer);
    if (!request || !bytes)
        return;
    const bool good = modbus::WindowAcceptsReply(*request, *bytes);
    const bool header = sendText.size() >= 5 && receiveBuffer.size() >= 5 &&
                        sendText.compare(0, 5, receiveBuffer, 0, 5) == 0;
    const bool expected = header &&
                          modbus::WindowAcceptsLength(bytes->size(), modbus::ExpectedReplyLength(*request)) &&
                          modbus::HasValidCrc(*bytes);
    FUZZ_CHECK(good == expected);
    // a complete strict good reply is always one the window accepts
    if (modbus::ExpectedReplyLength(*request) > 0 && modbus::JudgeReply(*request, *bytes).verdict == modbus::Verdict::Good)
        FUZZ_CHECK(good);
}

void CheckDecoding(const std::string &receiveBuffer)
{
    const auto bytes = modbus::ParseHexText(receiveBuffer);
    const auto decoded = bytes ? device::DecodeReply(*bytes) : std::nullopt;
    const bool gate = IsReadReplyLength(receiveBuffer.size()) && receiveBuffer[4] == '3';
    if (!gate) {
        FUZZ_CHECK(!decoded);
        return;
    }
    // A read reply of the right length and well-formed text is always decoded; text that is
    // not hex text never is.
    FUZZ_CHECK(decoded.has_value() == bytes.has_value());
    if (!decoded)
        return;

    const std::size_t count = (receiveBuffer.size() - 15) / 6;
    FUZZ_CHECK(bytes->size() == 5 + 2 * count);
    auto reg = [&](std::size_t slot) {
        return uint32_t{(*bytes)[3 + 2 * slot]} << 8 | (*bytes)[4 + 2 * slot];
    };

    // every number row the reply carries, in the table's order
    std::size_t next = 0;
    for (const device::Parameter &row : device::kParameters) {
        if (row.coding != device::Coding::Number || row.first + std::size_t(row.registers) > count)
            continue;
        FUZZ_CHECK(next < decoded->texts.size());
        const auto &[shownRow, text] = decoded->texts[next++];
        FUZZ_CHECK(shownRow == &row);
        // a formatted number: formatting it again with its decimals changes nothing
        FUZZ_CHECK(device::FormatNumber(text, row.decimals) == text);
        const uint32_t expected = row.registers == 2 ? reg(row.first) << 16 | reg(row.first + 1u) : reg(row.first);
        FUZZ_CHECK(DigitsValue(text) == expected);
    }
    FUZZ_CHECK(next == decoded->texts.size());

    if (count > device::BaudRateCode && reg(device::BaudRateCode) < device::kBaudRates.size()) {
        FUZZ_CHECK(decoded->baudItem == static_cast<int>(reg(device::BaudRateCode)));
    } else {
        FUZZ_CHECK(!decoded->baudItem);
    }
    if (count > device::OutputState) {
        FUZZ_CHECK(decoded->outputState == reg(device::OutputState));
    } else {
        FUZZ_CHECK(!decoded->outputState);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const uint8_t mode = input.ConsumeIntegral<uint8_t>();
    std::string sendText;
    std::string receiveBuffer;
    if ((mode & 1) == 0) {
        sendText = input.ConsumeRandomLengthString(64);
        receiveBuffer = input.ConsumeRemainingBytesAsString();
    } else {
        const uint8_t slave = input.ConsumeIntegral<uint8_t>();
        const uint8_t function = input.ConsumeIntegral<uint8_t>();
        sendText = modbus::ToHexText(modbus::AppendCrc16({slave, function, 0x00, 0x00, 0x00, device::kReadBlockCount}, 5));
        std::vector<uint8_t> reply = input.ConsumeRemainingBytes<uint8_t>();
        if ((mode & 4) != 0 && reply.size() >= 2) {
            reply[0] = slave;
            reply[1] = function;
        }
        if ((mode & 2) != 0 && !reply.empty())
            reply = modbus::AppendCrc16(reply, reply.size() - 1);
        receiveBuffer = modbus::ToHexText(reply);
    }
    CheckReplyCheck(sendText, receiveBuffer);
    CheckDecoding(receiveBuffer);
    return 0;
}
