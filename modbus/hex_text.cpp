#include "modbus/hex_text.h"

namespace modbus {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

void AppendHexText(std::string &text, const uint8_t *data, std::size_t n)
{
    text.reserve(text.size() + 3 * n);
    for (std::size_t i = 0; i < n; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
        text += ' ';
    }
}

std::string ToHexText(const std::vector<uint8_t> &bytes)
{
    std::string text;
    AppendHexText(text, bytes.data(), bytes.size());
    return text;
}

std::optional<std::vector<uint8_t>> ParseHexText(const std::string &text)
{
    if (text.size() % 3 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 3);
    for (std::size_t i = 0; i < text.size(); i += 3) {
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0 || text[i + 2] != ' ')
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
}

} // namespace modbus
