#pragma once
#include <cstdint>

namespace app {

// The character filter of the PWM boxes: only '.' and '0'..'9' pass; every other
// character code, Backspace and control characters included, becomes 0 (discarded).
uint16_t FilterPwmKey(uint16_t code);

} // namespace app
