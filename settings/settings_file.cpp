#include "settings/settings_file.h"

#include <algorithm>
#include <climits>
#include <cstddef>

namespace settings {

namespace {

// Takes the line starting at `pos`, without its terminator, and moves `pos` past it. CR,
// LF and CR LF each end a line (other editors write all three); a NUL ends its text.
std::optional<std::string> NextLine(const std::string &content, std::size_t &pos)
{
    if (pos >= content.size())
        return std::nullopt;
    std::size_t end = content.find_first_of("\r\n", pos);
    if (end == std::string::npos)
        end = content.size();
    std::size_t next = end;
    if (next < content.size())
        next += (content[next] == '\r' && next + 1 < content.size() && content[next + 1] == '\n') ? 2 : 1;
    std::string line = content.substr(pos, end - pos);
    line.resize(std::min(line.size(), line.find('\0')));
    pos = next;
    return line;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

StoredSettings ParseSettings(const std::string &content)
{
    StoredSettings settings;
    std::size_t pos = 0;
    settings.portText = NextLine(content, pos);
    settings.baudText = NextLine(content, pos);
    return settings;
}

std::string FormatSettings(int portNumber, const std::string &baudText)
{
    return std::to_string(portNumber) + "\r\n" + baudText + "\r\n";
}

int PortIndexFromText(const std::string &portText, int itemCount)
{
    std::size_t i = 0;
    while (i < portText.size() && (portText[i] == ' ' || portText[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < portText.size() && (portText[i] == '+' || portText[i] == '-')) {
        negative = portText[i] == '-';
        ++i;
    }
    // n is the whole part, saturated far above any list size
    constexpr long long kSaturated = static_cast<long long>(INT_MAX) + 2;
    long long n = 0;
    bool anyDigit = false;
    for (; i < portText.size() && IsDigit(portText[i]); ++i) {
        anyDigit = true;
        if (n < kSaturated)
            n = n * 10 + (portText[i] - '0');
    }
    std::string fraction;
    if (i < portText.size() && portText[i] == '.') {
        for (++i; i < portText.size() && IsDigit(portText[i]); ++i)
            fraction += portText[i];
    }
    if (!fraction.empty())
        anyDigit = true;
    if (!anyDigit)
        return -1;

    // The value less one, rounded halves to even. A negative value gives -1 or less,
    // which selects nothing either way.
    if (negative && (n > 0 || fraction.find_first_not_of('0') != std::string::npos))
        return -1;
    long long index = n - 1;
    if (!fraction.empty() && fraction[0] >= '5') {
        const bool exactlyHalf = fraction[0] == '5' && fraction.find_first_not_of('0', 1) == std::string::npos;
        if (!exactlyHalf || index % 2 != 0)  // index is odd: its upper neighbour n is the even one
            index = n;
    }
    if (index < 0 || index >= itemCount)
        return -1;
    return static_cast<int>(index);
}

} // namespace settings
