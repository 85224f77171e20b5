#pragma once
// MRKPRN: the folder icons for printing, painted in code: four 128 x 128 icons stacked top to
// bottom, 0 folder, 1 CD, 2 removable drive, 3 fixed drive (row icon codes 10..13).
#include <QImage>

namespace print {

inline constexpr int kPrintIconSize = 128;
inline constexpr int kPrintIconCount = 4;

// The strip, 128 x 512, transparent background.
const QImage& PrintIconStrip();
// Icon i (0..3) of the strip as an image of its own, made once, so that a printer that keeps
// images by identity (PDF) stores each icon once.
const QImage& PrintIcon(int i);

}  // namespace print
