#include "app/screen_fit.h"

#include <algorithm>

namespace app {

std::optional<Extent> FittedSize(Extent content, Extent available, Extent frame, int scrollBar)
{
    const int roomWidth = std::max(1, available.width - frame.width);
    const int roomHeight = std::max(1, available.height - frame.height);
    if (content.width <= roomWidth && content.height <= roomHeight)
        return std::nullopt;
    bool across = content.width > roomWidth;  // a horizontal bar
    bool down = content.height > roomHeight;  // a vertical bar
    // Each bar takes room from the other direction, which may then need its own.
    for (int pass = 0; pass < 2; ++pass) {
        down = down || (across && content.height + scrollBar > roomHeight);
        across = across || (down && content.width + scrollBar > roomWidth);
    }
    return Extent{std::min(content.width + (down ? scrollBar : 0), roomWidth),
                  std::min(content.height + (across ? scrollBar : 0), roomHeight)};
}

} // namespace app
