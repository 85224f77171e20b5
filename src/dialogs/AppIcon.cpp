#include "dialogs/AppIcon.h"

#include <QPainter>

namespace dialogs {

namespace {
// Shapes are laid out on a 32 x 32 grid; filled rectangles on whole grid units stay crisp at 32.
const QColor kFolderEdge(150, 100, 0);
const QColor kFolderBack(230, 170, 20);
const QColor kFolderFront(255, 210, 60);
const QColor kFolderLight(255, 236, 150);
const QColor kRuleEdge(90, 70, 40);
const QColor kRuleFace(250, 240, 210);
const QColor kRuleTick(60, 50, 40);

void Box(QPainter& p, int x, int y, int w, int h, const QColor& edge, const QColor& face) {
    p.fillRect(QRectF(x, y, w, h), edge);
    if (w > 2 && h > 2) p.fillRect(QRectF(x + 1, y + 1, w - 2, h - 2), face);
}
}  // namespace

QImage PaintAppIcon(int size) {
    if (size <= 0) return {};
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, size % 32 != 0);
    p.scale(size / 32.0, size / 32.0);

    // Folder: the tab and back sheet, then the front flap a little lower.
    Box(p, 1, 7, 10, 4, kFolderEdge, kFolderBack);
    Box(p, 1, 9, 21, 19, kFolderEdge, kFolderBack);
    Box(p, 1, 13, 21, 15, kFolderEdge, kFolderFront);
    p.fillRect(QRectF(2, 14, 19, 1), kFolderLight);

    // Measuring rule standing upright to the right: a tick every three units, every third
    // one longer, so it reads as a scale.
    Box(p, 24, 2, 7, 28, kRuleEdge, kRuleFace);
    for (int i = 0; i < 9; ++i) {
        const int y = 4 + i * 3;
        const int len = (i % 3 == 0) ? 4 : 2;
        p.fillRect(QRectF(25, y, len, 1), kRuleTick);
    }
    p.end();
    return image;
}

QPixmap AppIconPixmap(int size) {
    return QPixmap::fromImage(PaintAppIcon(size));
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(AppIconPixmap(size));
    return icon;
}

}  // namespace dialogs
