#pragma once
#include <optional>

namespace app {

struct Extent {
    int width = 0;
    int height = 0;
    bool operator==(const Extent &other) const { return width == other.width && height == other.height; }
};

// The size at which a window whose fixed content is `content` is shown on a screen whose
// free area is `available`, when it does not fit there: the largest that fits, holding the
// content and the scroll bars (each `scrollBar` thick) it then needs. `frame` is what the
// window's frame adds (title bar and borders). nullopt: the window fits as it is.
std::optional<Extent> FittedSize(Extent content, Extent available, Extent frame, int scrollBar);

} // namespace app
