#pragma once
// Screen metrics in the units the program works in.
#include <QRect>

namespace platform {
// 1440 / the primary screen's logical dots per inch (15 at 96 dpi); 15 without a screen.
int TwipsPerPixel();
// The primary screen's size in pixels; empty without a screen.
QRect ScreenRectPixels();
}  // namespace platform
