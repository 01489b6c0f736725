// Arbitrary settings-file bytes through start-up's reading and shutdown's writing.
#include "settings/settings_file.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cfenv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

constexpr int kPortItems = 9;  // COM1..COM9

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The list position for a short number, worked out in floating point: the leading number
// less one, rounded to the nearest integer with halves to even. Only numbers of at most nine
// whole and six fraction digits, where a double holds the value closely enough to tell a
// half from its neighbours. Returns false when the text is out of that reach.
bool ReferencePortIndex(const std::string &text, int itemCount, int &index)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    double sign = 1;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        sign = text[i++] == '-' ? -1 : 1;
    const std::size_t wholeStart = i;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    const std::string whole = text.substr(wholeStart, i - wholeStart);
    std::string fraction;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
        fraction = text.substr(fractionStart, i - fractionStart);
    }
    if (whole.size() > 9 || fraction.size() > 6)
        return false;
    if (whole.empty() && fraction.empty()) {
        index = -1;
        return true;
    }
    const double value = sign * std::stod((whole.empty() ? "0" : whole) + "." + fraction + "0");
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value - 1);
    index = (rounded < 0 || rounded >= itemCount) ? -1 : static_cast<int>(rounded);
    return true;
}

void CheckPortIndex(const std::string &text)
{
    for (const int itemCount : {kPortItems, INT_MAX}) {
        const int index = settings::PortIndexFromText(text, itemCount);
        FUZZ_CHECK(index >= -1 && index < itemCount);
        int expected = 0;
        if (ReferencePortIndex(text, itemCount, expected))
            FUZZ_CHECK(index == expected);
    }
}

void CheckSettings(const std::string &content)
{
    const settings::StoredSettings stored = settings::ParseSettings(content);

    // The lines are the file's leading bytes, each up to its terminator (CR, LF or CR LF)
    // and without it; a NUL ends a line's text.
    auto lineAt = [&content](std::size_t from, std::size_t &next) {
        const std::size_t end = std::min(content.find_first_of("\r\n", from), content.size());
        next = end;
        if (next < content.size())
            next += content.compare(next, 2, "\r\n") == 0 ? 2 : 1;
        const std::string raw = content.substr(from, end - from);
        return raw.substr(0, raw.find('\0'));
    };
    FUZZ_CHECK(stored.portText.has_value() == !content.empty());
    std::size_t second = content.size();
    std::size_t third = content.size();
    if (stored.portText)
        FUZZ_CHECK(*stored.portText == lineAt(0, second));
    FUZZ_CHECK(stored.baudText.has_value() == (second < content.size()));
    if (stored.baudText)
        FUZZ_CHECK(*stored.baudText == lineAt(second, third));

    const std::string portText = stored.portText.value_or("");
    CheckPortIndex(portText);
    CheckPortIndex(content);

    // What shutdown writes is read back as written.
    const int index = settings::PortIndexFromText(portText, kPortItems);
    const std::string baud = stored.baudText.value_or("");
    const std::string written = settings::FormatSettings(index + 1, baud);
    FUZZ_CHECK(written == std::to_string(index + 1) + "\r\n" + baud + "\r\n");
    const settings::StoredSettings back = settings::ParseSettings(written);
    FUZZ_CHECK(back.portText == std::to_string(index + 1));
    FUZZ_CHECK(back.baudText == baud);
    FUZZ_CHECK(settings::PortIndexFromText(*back.portText, kPortItems) == index);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    CheckSettings(std::string(reinterpret_cast<const char *>(data), size));
    return 0;
}
