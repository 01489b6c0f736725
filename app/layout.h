#pragma once
#include <QRect>

// Positions and sizes on the window are kept in twips (1440 to the inch); at 96 dpi
// fifteen twips make one pixel. This is the one place that converts them.
namespace layout {

constexpr int kTwipsPerPixel = 15;

constexpr int Px(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

inline QRect Tw(int left, int top, int width, int height)
{
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

} // namespace layout
