#include "modbus/reply_check.h"

#include "modbus/crc16.h"
#include "modbus/hex_text.h"

#include <algorithm>
#include <array>

namespace modbus {

namespace {

// slave address and function code with the blank between them: "01 03"
constexpr std::size_t kHeaderCharacters = 5;

} // namespace

bool IsAcceptedReplyLength(std::size_t characters)
{
    static constexpr std::array<std::size_t, 9> kAccepted{21, 24, 45, 51, 57, 63, 93, 99, 111};
    return std::find(kAccepted.begin(), kAccepted.end(), characters) != kAccepted.end();
}

bool IsGoodReply(const std::string &sendText, const std::string &receiveBuffer)
{
    if (receiveBuffer.size() < kHeaderCharacters || sendText.size() < kHeaderCharacters)
        return false;
    if (receiveBuffer.compare(0, kHeaderCharacters, sendText, 0, kHeaderCharacters) != 0)
        return false;
    if (!IsAcceptedReplyLength(receiveBuffer.size()))
        return false;
    const std::optional<std::vector<uint8_t>> bytes = ParseHexText(receiveBuffer);
    return bytes && HasValidCrc(*bytes);
}

} // namespace modbus
