#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace app {

// The character filter of the PWM boxes: only '.' and '0'..'9' pass; every other
// character code, Backspace and control characters included, becomes 0 (discarded).
uint16_t FilterPwmKey(uint16_t code);

// What a value box keeps of an edit by the user (typing, pasting from any menu, an input
// method, a drop): the edit turned `before` into `after`; the characters it inserted pass
// the key filter when `filterKeys`, and only as many stay as the typing limit leaves room
// for (limit 0: no limit). What the edit removed stays removed.
struct HeldEdit {
    std::u16string text;
    std::size_t cursor = 0;  // just after what was kept of the insertion
};
HeldEdit HoldEdit(const std::u16string &before, const std::u16string &after, int limit, bool filterKeys);

} // namespace app
