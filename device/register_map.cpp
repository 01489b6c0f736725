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

} // namespace device
