// Arbitrary bytes through the hex text and the CRC: rendering and parsing are inverse, a
// frame with its CRC appended checks as valid and stops doing so when any one bit flips.
#include "fuzz_check.h"
#include "modbus/crc16.h"
#include "modbus/hex_text.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// The CRC as the line's reference describes it: two 8-bit registers and the polynomial in
// two halves (0xA0, 0x01), written independently of modbus::Crc16.
uint16_t ReferenceCrc(const uint8_t *data, std::size_t n)
{
    uint8_t hi = 0xFF;
    uint8_t lo = 0xFF;
    for (std::size_t i = 0; i < n; ++i) {
        lo ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool hiOut = hi & 1;
            const bool loOut = lo & 1;
            hi = static_cast<uint8_t>(hi >> 1);
            lo = static_cast<uint8_t>(lo >> 1);
            if (hiOut)
                lo |= 0x80;
            if (loOut) {
                hi ^= 0xA0;
                lo ^= 0x01;
            }
        }
    }
    return static_cast<uint16_t>(hi << 8 | lo);
}

bool IsHexDigit(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

std::string Upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void CheckBytes(const std::vector<uint8_t> &bytes)
{
    const std::string text = modbus::ToHexText(bytes);
    FUZZ_CHECK(text.size() == 3 * bytes.size());
    for (std::size_t i = 0; i < text.size(); i += 3) {
        FUZZ_CHECK(text[i + 2] == ' ');
        FUZZ_CHECK(!std::islower(static_cast<unsigned char>(text[i])));
        FUZZ_CHECK(!std::islower(static_cast<unsigned char>(text[i + 1])));
    }
    FUZZ_CHECK(modbus::ParseHexText(text) == bytes);
    FUZZ_CHECK(modbus::ParseHexText(Lower(text)) == bytes);

    std::string appended = "01 ";
    modbus::AppendHexText(appended, bytes.data(), bytes.size());
    FUZZ_CHECK(appended == "01 " + text);

    FUZZ_CHECK(modbus::Crc16(bytes.data(), bytes.size()) == ReferenceCrc(bytes.data(), bytes.size()));
    if (bytes.empty())
        return;

    // The whole input, and a prefix of it chosen by its first byte, as the covered request.
    for (const std::size_t lastIndex : {bytes.size() - 1, std::size_t{bytes[0]} % bytes.size()}) {
        const std::vector<uint8_t> sent = modbus::AppendCrc16(bytes, lastIndex);
        FUZZ_CHECK(sent.size() == lastIndex + 3);
        FUZZ_CHECK(std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(lastIndex + 1), sent.begin()));
        const uint16_t crc = ReferenceCrc(bytes.data(), lastIndex + 1);
        FUZZ_CHECK(sent[lastIndex + 1] == (crc & 0xFF) && sent[lastIndex + 2] == (crc >> 8));
        FUZZ_CHECK(modbus::HasValidCrc(sent));
        FUZZ_CHECK(modbus::ParseHexText(modbus::ToHexText(sent)) == sent);

        // The CRC finds every single-bit error.
        std::vector<uint8_t> damaged = sent;
        const std::size_t bit = (std::size_t{bytes.back()} * 131 + lastIndex) % (8 * damaged.size());
        damaged[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        FUZZ_CHECK(!modbus::HasValidCrc(damaged));
    }
}

// The input read as text: it parses exactly when it is a run of "HH " groups, and then
// renders back as the same text in upper case.
void CheckText(const std::string &text)
{
    bool wellFormed = text.size() % 3 == 0;
    for (std::size_t i = 0; wellFormed && i < text.size(); i += 3)
        wellFormed = IsHexDigit(text[i]) && IsHexDigit(text[i + 1]) && text[i + 2] == ' ';
    const auto bytes = modbus::ParseHexText(text);
    FUZZ_CHECK(bytes.has_value() == wellFormed);
    if (bytes) {
        FUZZ_CHECK(bytes->size() == text.size() / 3);
        FUZZ_CHECK(modbus::ToHexText(*bytes) == Upper(text));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    CheckBytes(std::vector<uint8_t>(data, data + size));
    CheckText(std::string(reinterpret_cast<const char *>(data), size));
    return 0;
}
