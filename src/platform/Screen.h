#pragma once
// Screen metrics in the units the program works in.
#include <QList>
#include <QRect>

namespace platform {
// 1440 / the primary screen's logical dots per inch (15 at 96 dpi); 15 without a screen.
int TwipsPerPixel();
// The primary screen's size in pixels; empty without a screen.
QRect ScreenRectPixels();
// The screens' areas free of panels, in pixels, the primary first; empty without a screen.
QList<QRect> ScreenAreasPixels();
// The window moved, and made smaller where it does not fit, so that it lies whole on the
// area it overlaps most (the first when it overlaps none): a place remembered at another
// screen size or scale factor must not leave the window out of reach.
QRect KeepOnScreen(const QRect& window, const QList<QRect>& areas);
}  // namespace platform
