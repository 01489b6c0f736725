#include "app/key_filter.h"

namespace app {

uint16_t FilterPwmKey(uint16_t code)
{
    // '.' is 46, '/' is 47, '0'..'9' are 48..57
    if (code < '.' || code > '9' || code == '/')
        return 0;
    return code;
}

} // namespace app
