#pragma once
// The row-icon strip MRKICO, painted in code: 14 x 12 pixel icons one below the other,
// each followed on the right by its mask (black where the icon is opaque). Strip rows:
// 0 folder, 1 CD, 2 removable drive, 3 fixed drive, 4 removed folder (row icon codes 10..14).
#include <QImage>

namespace grid {

inline constexpr int kMarkIconWidth = 14;
inline constexpr int kMarkIconHeight = 12;
inline constexpr int kMarkIconCount = 5;

// The strip: 2 x 14 pixels wide (icons, masks), 5 x 12 high; transparent background.
QImage MarkIconStrip();

}  // namespace grid
