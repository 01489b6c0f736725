#include "modbus/scan_plan.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace modbus {

namespace {

constexpr int kBitsPerCharacter = 10;  // start, 8 data, stop
constexpr double kSilenceCharacters = 3.5;

// A whole number 1..255 with blanks around it.
std::optional<int> Address(std::string text)
{
    const auto notBlank = [](unsigned char c) { return !std::isspace(c); };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notBlank));
    text.erase(std::find_if(text.rbegin(), text.rend(), notBlank).base(), text.end());
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int value = std::stoi(text);
    if (value < 1 || value > 255)
        return std::nullopt;
    return value;
}

} // namespace

bool ShowsModule(const Judgement &judgement)
{
    switch (judgement.verdict) {
    case Verdict::Exception:
        // a gateway's word about the unit is no module's
        return judgement.exceptionCode != kGatewayNoPath && judgement.exceptionCode != kGatewayTargetNoAnswer;
    case Verdict::Good:
    case Verdict::OtherFunction:
    case Verdict::Mismatch:
        return true;
    default:
        return false;
    }
}

std::chrono::milliseconds AnswerTimeout(int baud, std::size_t requestBytes, std::size_t replyBytes)
{
    const double characters = static_cast<double>(requestBytes + replyBytes) + 2 * kSilenceCharacters;
    const double lineMs = characters * kBitsPerCharacter * 1000.0 / std::max(baud, 1);
    const auto line = std::chrono::milliseconds(static_cast<long>(lineMs) + (lineMs > static_cast<long>(lineMs)));
    return line + kAnswerMargin;
}

std::chrono::microseconds FrameSilence(long long baud, int bitsPerCharacter)
{
    if (baud > 19200)
        return std::chrono::microseconds(1750);
    const long long bitTimes = static_cast<long long>(kSilenceCharacters * 2) * bitsPerCharacter;  // in halves
    const long long divisor = 2 * std::max<long long>(baud, 1);
    return std::chrono::microseconds((bitTimes * 1000000 + divisor - 1) / divisor);
}

std::optional<SlaveRange> ParseSlaveRange(const std::string &text)
{
    const auto dash = text.find('-');
    const auto first = Address(text.substr(0, dash));
    const auto last = dash == std::string::npos ? first : Address(text.substr(dash + 1));
    if (!first || !last || *first > *last)
        return std::nullopt;
    return SlaveRange{*first, *last};
}

std::optional<std::vector<int>> ParseSlaveList(const std::string &text)
{
    std::vector<int> addresses;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const auto range = ParseSlaveRange(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (!range)
            return std::nullopt;
        for (int address = range->first; address <= range->last; ++address) {
            if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
                addresses.push_back(address);
        }
        if (comma == std::string::npos)
            return addresses;
        start = comma + 1;
    }
}

std::optional<std::vector<int>> ParseRateList(const std::string &text, const std::vector<int> &offered)
{
    if (text == "all")
        return offered;
    std::vector<int> rates;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const auto match = std::find_if(offered.begin(), offered.end(),
                                        [&item](int rate) { return std::to_string(rate) == item; });
        if (match == offered.end())
            return std::nullopt;
        const int rate = *match;
        if (std::find(rates.begin(), rates.end(), rate) == rates.end())
            rates.push_back(rate);
    }
    if (rates.empty() || text.back() == ',')
        return std::nullopt;
    return rates;
}

std::string ProgressLine(int baud, int address, int done, int total, const std::string &slaves, int found)
{
    constexpr int kWidth = 20;
    const int filled = total > 0 ? std::clamp(done, 0, total) * kWidth / total : 0;
    std::ostringstream line;
    line << '[' << std::string(filled, '#') << std::string(kWidth - filled, '.') << "] " << baud << " baud  address "
         << address << " (" << slaves << ")  found " << found;
    return line.str();
}

} // namespace modbus
