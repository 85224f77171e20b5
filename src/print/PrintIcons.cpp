#include "print/PrintIcons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>

namespace print {

namespace {

constexpr int N = kPrintIconSize;

// A folder: tab at the top left, back panel, lighter front flap drawn slightly skewed.
void Folder(QPainter& p) {
    const QColor edge(0x8A, 0x62, 0x10);
    p.setPen(QPen(edge, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath back;
    back.moveTo(8, 26);
    back.lineTo(48, 26);
    back.lineTo(58, 38);
    back.lineTo(120, 38);
    back.lineTo(120, 112);
    back.lineTo(8, 112);
    back.closeSubpath();
    p.setBrush(QColor(0xE8, 0xB0, 0x30));
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(8, 112);
    front.lineTo(18, 54);
    front.lineTo(124, 54);
    front.lineTo(120, 112);
    front.closeSubpath();
    QLinearGradient g(0, 54, 0, 112);
    g.setColorAt(0.0, QColor(0xFF, 0xE8, 0x90));
    g.setColorAt(1.0, QColor(0xF4, 0xC4, 0x48));
    p.setBrush(g);
    p.drawPath(front);
}

// A disc with a shine and a centre hole.
void Cd(QPainter& p) {
    p.setPen(QPen(QColor(0x50, 0x50, 0x68), 4));
    QRadialGradient shine(QPointF(46, 40), 80);
    shine.setColorAt(0.0, QColor(0xF8, 0xF8, 0xFF));
    shine.setColorAt(0.45, QColor(0xB0, 0xD4, 0xF4));
    shine.setColorAt(0.75, QColor(0xE8, 0xC4, 0xF0));
    shine.setColorAt(1.0, QColor(0xC0, 0xC0, 0xD4));
    p.setBrush(shine);
    p.drawEllipse(QRectF(8, 8, 112, 112));
    p.setBrush(QColor(0xE0, 0xE0, 0xE8));
    p.drawEllipse(QRectF(46, 46, 36, 36));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(56, 56, 16, 16));
}

// A memory stick: metal connector on the left, blue body with a lamp.
void Removable(QPainter& p) {
    const QColor edge(0x28, 0x30, 0x48);
    p.setPen(QPen(edge, 4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(QColor(0xD0, 0xD0, 0xD8));
    p.drawRect(QRectF(6, 42, 30, 44));
    p.setBrush(edge);
    p.drawRect(QRectF(14, 52, 10, 8));
    p.drawRect(QRectF(14, 68, 10, 8));
    QLinearGradient g(0, 24, 0, 104);
    g.setColorAt(0.0, QColor(0x50, 0x88, 0xE0));
    g.setColorAt(1.0, QColor(0x20, 0x48, 0xA8));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(36, 24, 86, 80), 10, 10);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0xD8, 0x40));
    p.drawEllipse(QRectF(100, 34, 12, 12));
}

// A hard disk box seen from the front: grey body, darker base, a slot and a green lamp.
void Fixed(QPainter& p) {
    const QColor edge(0x38, 0x38, 0x40);
    p.setPen(QPen(edge, 4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    QLinearGradient g(0, 34, 0, 100);
    g.setColorAt(0.0, QColor(0xF0, 0xF0, 0xF0));
    g.setColorAt(1.0, QColor(0xB8, 0xB8, 0xC0));
    p.setBrush(g);
    p.drawRect(QRectF(6, 34, 116, 66));
    p.setBrush(QColor(0x70, 0x70, 0x78));
    p.drawRect(QRectF(6, 100, 116, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(edge);
    p.drawRect(QRectF(18, 60, 60, 6));
    p.setBrush(QColor(0x20, 0xD0, 0x30));
    p.drawRect(QRectF(98, 104, 14, 8));
}

QImage MakeStrip() {
    QImage strip(N, N * kPrintIconCount, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing, true);
    void (*const icons[kPrintIconCount])(QPainter&) = {Folder, Cd, Removable, Fixed};
    for (int i = 0; i < kPrintIconCount; ++i) {
        p.save();
        p.translate(0, i * N);
        p.setClipRect(0, 0, N, N);
        icons[i](p);
        p.restore();
    }
    return strip;
}

}  // namespace

const QImage& PrintIconStrip() {
    static const QImage strip = MakeStrip();
    return strip;
}

const QImage& PrintIcon(int i) {
    static const std::array<QImage, kPrintIconCount> icons = [] {
        std::array<QImage, kPrintIconCount> a;
        for (int k = 0; k < kPrintIconCount; ++k)
            a[size_t(k)] = PrintIconStrip().copy(0, k * N, N, N);
        return a;
    }();
    return icons[size_t(std::clamp(i, 0, kPrintIconCount - 1))];
}

}  // namespace print
