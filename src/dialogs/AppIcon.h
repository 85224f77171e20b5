#pragma once
// The program's own icon: a yellow folder beside a measuring rule, drawn in code so it is
// sharp at any size and needs no image file.
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace dialogs {
// The icon painted at size x size pixels on a transparent background.
QImage PaintAppIcon(int size = 32);
QPixmap AppIconPixmap(int size = 32);
// Window icon with the usual sizes.
QIcon AppIcon();
}  // namespace dialogs
