#pragma once
// Where the toolbar's and the strips' buttons lie, with their tool tips: the one table
// that the artwork, the mouse handling and the tool tips read.
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>

namespace listwindow {

struct HitZone {
    QRect rect;           // in the picture's pixels
    const char16_t* tip;  // tool tip, naming the key that does the same
};

// Toolbar TOLFRM, buttons 0..4: new window; save text, print; folder menu, options.
const std::array<HitZone, 5>& ToolbarZones();
// Level strip LVLFRM: index 0 "all", 1..4 the levels. The strip answers by x alone.
const std::array<HitZone, 5>& LevelZones();
// Display strip DSPFRM, in the order of DisplayButton. The strip answers by x alone.
const std::array<HitZone, 6>& DisplayZones();
// Sort buttons SRTFRM 0 (occupied size) and 1 (subtree total): their tool tips.
const std::array<const char16_t*, 2>& SortTips();

// The button under a point, or -1.
int ToolbarButtonAt(QPoint pos);
int LevelButtonAt(double x);
int DisplayButtonAt(double x);

}  // namespace listwindow
