#pragma once
// Pixel-exact drawing of the small pictures painted in code (icons, buttons): filled
// rectangles and one-pixel lines whose both ends are included.
#include <QColor>
#include <QPainter>

namespace grid::pixelart {

inline void Fill(QPainter& p, int x, int y, int w, int h, QRgb c) {
    p.fillRect(x, y, w, h, QColor::fromRgba(c));
}
inline void HLine(QPainter& p, int x1, int x2, int y, QRgb c) {
    Fill(p, x1, y, x2 - x1 + 1, 1, c);
}
inline void VLine(QPainter& p, int x, int y1, int y2, QRgb c) {
    Fill(p, x, y1, 1, y2 - y1 + 1, c);
}
inline void Px(QPainter& p, int x, int y, QRgb c) {
    Fill(p, x, y, 1, 1, c);
}
// A one-pixel outline inside the rectangle (x1, y1)-(x2, y2).
inline void Box(QPainter& p, int x1, int y1, int x2, int y2, QRgb c) {
    HLine(p, x1, x2, y1, c);
    HLine(p, x1, x2, y2, c);
    VLine(p, x1, y1, y2, c);
    VLine(p, x2, y1, y2, c);
}

}  // namespace grid::pixelart
