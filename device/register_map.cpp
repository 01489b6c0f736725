#include "device/register_map.h"

namespace device {

std::optional<uint16_t> BaudRateCodeFor(const std::string &rateText)
{
    for (std::size_t code = 0; code < kBaudRates.size(); ++code) {
        if (rateText == kBaudRates[code])
            return static_cast<uint16_t>(code);
    }
    return std::nullopt;
}

std::string BaudRatesText(const char *between, const char *last)
{
    std::string text;
    for (std::size_t i = 0; i < kBaudRates.size(); ++i)
        text += std::string(i == 0 ? "" : i + 1 == kBaudRates.size() ? last : between) + kBaudRates[i];
    return text;
}

} // namespace device
