#include "app/key_filter.h"

#include <algorithm>

namespace app {

uint16_t FilterPwmKey(uint16_t code)
{
    // '.' is 46, '/' is 47, '0'..'9' are 48..57
    if (code < '.' || code > '9' || code == '/')
        return 0;
    return code;
}

HeldEdit HoldEdit(const std::u16string &before, const std::u16string &after, int limit, bool filterKeys)
{
    // The edit replaced the middle of `before` by the middle of `after`: what lies between
    // their common start and their common end.
    std::size_t prefix = 0;
    const std::size_t shorter = std::min(before.size(), after.size());
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix
           && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::size_t kept = prefix + suffix;  // characters of `before` that stay

    std::u16string inserted;
    for (std::size_t i = prefix; i < after.size() - suffix; ++i) {
        if (!filterKeys || FilterPwmKey(after[i]) != 0)
            inserted += after[i];
    }
    if (limit > 0) {
        const std::size_t room = kept < static_cast<std::size_t>(limit) ? static_cast<std::size_t>(limit) - kept : 0;
        if (inserted.size() > room)
            inserted.resize(room);
    }
    HeldEdit held;
    held.text = after.substr(0, prefix) + inserted + after.substr(after.size() - suffix);
    held.cursor = prefix + inserted.size();
    return held;
}

} // namespace app
