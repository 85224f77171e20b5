#pragma once
// The drawn pictures of the list window, painted in code (QtGui only) and cached after the
// first paint. Strips are opaque in the colour StripBackground(); the lit and pressed looks
// are cut from a fully lit paint of the same strip, so laid at their rectangle they fit
// the plain strip pixel for pixel. Every image is ARGB32 premultiplied. Sizes and
// rectangles are in the pictures' own pixels; each is painted at the device pixel ratio
// given (the showing widget's), so it is sharp on a scaled screen.
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>

namespace listwindow {

// Colour behind the strips, for the window around them.
QColor StripBackground();

// Toolbar TOLFRM: 54 x 70. Buttons 0..4 (new window; save text, print; folder menu,
// options). ToolbarButtonRect gives the whole area that belongs to a button; the pressed
// looks TNEWIMG..TOPTIMG have exactly that size and are laid at its top-left corner.
inline constexpr QSize kToolbarSize{54, 70};
inline constexpr int kToolbarButtons = 5;
QImage ToolbarImage(qreal ratio = 1);
QRect ToolbarButtonRect(int index);                 // empty rect for a bad index
QImage ToolbarPressed(int index, qreal ratio = 1);  // null image for a bad index

// Level strip LVLFRM: 192 x 24; caption at x < 59. Index 0 is "all" (x 159..188),
// 1..4 the level buttons (x 59 + 25 (n - 1), 23 pixels wide); rows 1..22.
inline constexpr QSize kLevelStripSize{192, 24};
inline constexpr int kLevelButtons = 5;
QImage LevelStrip(qreal ratio = 1);
QRect LevelButtonRect(int index);
QImage LevelLit(int index, qreal ratio = 1);  // LVLIMG(index)

// Display strip DSPFRM: 211 x 24; zones by x as the strip is clicked, rows 1..22.
enum class DisplayButton { Background, NameColour, Kb, Mb, FullPath, Gb };
inline constexpr QSize kDisplayStripSize{211, 24};
QImage DisplayStrip(qreal ratio = 1);
QRect DisplayZone(DisplayButton button);
// D背景色IMG (pressed look of the background button), D文字色IMG, D数KBIMG, D数MBIMG,
// DフルパスIMG, D数GBIMG: each exactly DisplayZone's size.
QImage DisplayLit(DisplayButton button, qreal ratio = 1);

// Sort buttons SRTFRM(0..1) and their lit looks SRTONIMG(0..1): 20 x 20, transparent
// outside the rounded button. 0 = by occupied size, 1 = by subtree total.
inline constexpr QSize kSortButtonSize{20, 20};
QImage SortButton(int index, qreal ratio = 1);
QImage SortLit(int index, qreal ratio = 1);

// Background chooser 背景選択PNL: 142 x 163, transparent outside its rounded frame; the
// pattern images 背景選択IMG(0..5) are 62 x 49 cells, cell (row, column) at
// kPatternOrigin + (62 column, 49 row), type = 2 row + column.
inline constexpr QSize kPatternSize{62, 49};
inline constexpr QPoint kPatternOrigin{9, 8};
inline constexpr int kPatternCount = 6;
inline constexpr QSize kPanelSize{2 * 9 + 2 * 62, 2 * 8 + 3 * 49};
QImage BackgroundPanel(qreal ratio = 1);
QRect PatternCellRect(int type);
QImage BackgroundPattern(int type, qreal ratio = 1);

// Drive button images: 30 x 22, transparent background.
enum class DriveImageKind { Hdd, Fdd, Removable, Cd };  // IMGHDD, IMGFDD, IMGRMV, IMGCDR
inline constexpr QSize kDriveImageSize{30, 22};
QImage DriveImage(DriveImageKind kind, qreal ratio = 1);

// The background colours of type 2 (by size mark), smallest mark first, as platform colour
// values (blue in the high byte); SizeMarkColour gives one of them in RGB.
inline constexpr std::array<quint32, 16> kSizeMarkColours = {
    0xFFFFFF, 0xFFF4E0, 0xFDFDBD, 0xE1FDB3, 0xC0FAB3, 0xA0FAC4, 0x90FAD4, 0x84F9EA,
    0x75F9F5, 0x7DEAF9, 0x91D3FB, 0x94C8FB, 0xA0B4FB, 0xA4A4FD, 0x9A8CFB, 0x9872FC};
QRgb SizeMarkColour(int mark);

}  // namespace listwindow
