#include "grid/MarkIcons.h"

#include <QPainter>

#include "grid/PixelArt.h"

namespace grid {

namespace {

using namespace pixelart;

constexpr int W = kMarkIconWidth;
constexpr int H = kMarkIconHeight;

// A folder: tab at the top left, body below, lighter front flap.
void Folder(QPainter& p, QRgb edge, QRgb back, QRgb front, QRgb light) {
    // Tab.
    HLine(p, 1, 5, 1, edge);
    Px(p, 0, 2, edge);
    Px(p, 6, 2, edge);
    Fill(p, 1, 2, 5, 1, back);
    // Back panel.
    HLine(p, 6, 12, 3, edge);
    VLine(p, 0, 2, 10, edge);
    VLine(p, 13, 3, 10, edge);
    Fill(p, 1, 3, 5, 1, back);
    Fill(p, 1, 4, 12, 1, back);
    // Front flap.
    HLine(p, 1, 12, 5, edge);
    Fill(p, 1, 6, 12, 4, front);
    HLine(p, 1, 12, 6, light);
    HLine(p, 0, 13, 11, edge);
    HLine(p, 1, 12, 10, edge);
}

void Cd(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(0x60, 0x60, 0x70), 1.0));
    QRadialGradient shine(QPointF(5.0, 4.0), 7.0);
    shine.setColorAt(0.0, QColor(0xF4, 0xF4, 0xFF));
    shine.setColorAt(0.5, QColor(0xB8, 0xD8, 0xF0));
    shine.setColorAt(0.8, QColor(0xE8, 0xC8, 0xF0));
    shine.setColorAt(1.0, QColor(0xC0, 0xC0, 0xD0));
    p.setBrush(shine);
    p.drawEllipse(QRectF(1.5, 0.5, 11.0, 11.0));
    p.setBrush(QColor(0xF0, 0xF0, 0xF0));
    p.setPen(QPen(QColor(0x70, 0x70, 0x80), 1.0));
    p.drawEllipse(QRectF(5.0, 4.0, 4.0, 4.0));
    p.setRenderHint(QPainter::Antialiasing, false);
    Px(p, 7, 6, qRgb(0x70, 0x70, 0x80));
}

// A drive box seen from the front: body, darker base, a slot and a green lamp.
void DriveBox(QPainter& p, int top, QRgb body, QRgb dark) {
    const QRgb edge = qRgb(0x40, 0x40, 0x48);
    HLine(p, 1, 12, top, edge);
    HLine(p, 1, 12, 11, edge);
    VLine(p, 0, top + 1, 10, edge);
    VLine(p, 13, top + 1, 10, edge);
    Fill(p, 1, top + 1, 12, 10 - top, body);
    HLine(p, 1, 12, top + 1, qRgb(0xF4, 0xF4, 0xF4));
    Fill(p, 1, 9, 12, 2, dark);
    Fill(p, 10, 9, 2, 1, qRgb(0x20, 0xD0, 0x30));
}

void Removable(QPainter& p) {
    // A memory stick: connector on the left, body to the right.
    const QRgb edge = qRgb(0x30, 0x30, 0x40);
    Fill(p, 0, 4, 4, 5, qRgb(0xC8, 0xC8, 0xD0));
    HLine(p, 0, 3, 3, edge);
    HLine(p, 0, 3, 9, edge);
    VLine(p, 0, 3, 9, edge);
    Fill(p, 1, 5, 2, 1, edge);
    Fill(p, 1, 7, 2, 1, edge);
    Fill(p, 4, 2, 9, 9, qRgb(0x30, 0x60, 0xC0));
    HLine(p, 4, 12, 1, edge);
    HLine(p, 4, 12, 11, edge);
    VLine(p, 4, 1, 11, edge);
    VLine(p, 13, 2, 10, edge);
    HLine(p, 5, 12, 2, qRgb(0x70, 0xA0, 0xF0));
    Fill(p, 10, 8, 2, 2, qRgb(0x20, 0xD0, 0x30));
}

void Fixed(QPainter& p) {
    DriveBox(p, 3, qRgb(0xC8, 0xC8, 0xCC), qRgb(0x90, 0x90, 0x98));
    HLine(p, 2, 7, 6, qRgb(0x60, 0x60, 0x68));
}

void Removed(QPainter& p) {
    Folder(p, qRgb(0x70, 0x70, 0x70), qRgb(0xB0, 0xB0, 0xB0), qRgb(0xD0, 0xD0, 0xD0),
           qRgb(0xE8, 0xE8, 0xE8));
    // A red cross over the folder.
    const QRgb red = qRgb(0xD0, 0x10, 0x10);
    for (int i = 0; i < 7; ++i) {
        Fill(p, 4 + i, 3 + i, 2, 1, red);
        Fill(p, 10 - i, 3 + i, 2, 1, red);
    }
}

}  // namespace

QImage MarkIconStrip() {
    QImage icons(W, H * kMarkIconCount, QImage::Format_ARGB32_Premultiplied);
    icons.fill(Qt::transparent);
    {
        QPainter p(&icons);
        for (int i = 0; i < kMarkIconCount; ++i) {
            p.save();
            p.translate(0, i * H);
            switch (i) {
                case 0:
                    Folder(p, qRgb(0x9A, 0x70, 0x10), qRgb(0xE8, 0xB8, 0x30),
                           qRgb(0xFC, 0xD8, 0x58), qRgb(0xFF, 0xF0, 0xA8));
                    break;
                case 1:
                    Cd(p);
                    break;
                case 2:
                    Removable(p);
                    break;
                case 3:
                    Fixed(p);
                    break;
                default:
                    Removed(p);
                    break;
            }
            p.restore();
        }
    }
    // The strip: icons on the left, masks (black = opaque, white = transparent) on the right.
    QImage strip(2 * W, H * kMarkIconCount, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    for (int y = 0; y < icons.height(); ++y) {
        for (int x = 0; x < W; ++x) {
            const QRgb px = icons.pixel(x, y);
            strip.setPixel(x, y, px);
            strip.setPixel(W + x, y, qAlpha(px) >= 128 ? 0xFF000000u : 0xFFFFFFFFu);
        }
    }
    return strip;
}

}  // namespace grid
