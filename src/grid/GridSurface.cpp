#include "grid/GridSurface.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/Screen.h"

namespace grid {

namespace {

QRgb SystemColour(int index) {
    const bool gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    const QPalette pal = gui ? QGuiApplication::palette() : QPalette();
    switch (index) {
        case 5:  // window background
            return pal.color(QPalette::Base).rgb();
        case 8:  // window text
            return pal.color(QPalette::Text).rgb();
        case 13:  // highlight
            return pal.color(QPalette::Highlight).rgb();
        case 14:  // highlight text
            return pal.color(QPalette::HighlightedText).rgb();
        case 15:  // button face
            return pal.color(QPalette::Button).rgb();
        case 16:  // button shadow
            return pal.color(QPalette::Dark).rgb();
        case 18:  // button text
            return pal.color(QPalette::ButtonText).rgb();
        case 20:  // button highlight
            return pal.color(QPalette::Light).rgb();
        default:
            return pal.color(QPalette::Window).rgb();
    }
}

// Dots per metre of the screen's logical resolution, so point sizes match the screen.
int DotsPerMetre() {
    const int tpp = platform::TwipsPerPixel();
    return int(1440.0 / tpp / 0.0254 + 0.5);
}

const QImage& MetricsDevice() {
    static QImage device = [] {
        QImage img(1, 1, QImage::Format_RGB32);
        img.setDotsPerMeterX(DotsPerMetre());
        img.setDotsPerMeterY(DotsPerMetre());
        return img;
    }();
    return device;
}

}  // namespace

QRgb ToRgb(Colour colour) {
    if (colour & 0x80000000u) return SystemColour(int(colour & 0xFF)) | 0xFF000000u;
    return qRgb(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

Colour FromRgb(QRgb rgb) {
    return Colour(qRed(rgb)) | (Colour(qGreen(rgb)) << 8) | (Colour(qBlue(rgb)) << 16);
}

Colour DarkenColour(Colour colour, int amount) {
    const QRgb rgb = ToRgb(colour);
    auto dim = [amount](int v) { return std::max(0, v - amount); };
    return FromRgb(qRgb(dim(qRed(rgb)), dim(qGreen(rgb)), dim(qBlue(rgb))));
}

GridSurface::GridSurface() : image_(0, 0, QImage::Format_RGB32) {}

GridSurface::~GridSurface() {
    end();
}

QPainter& GridSurface::painter() {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&image_);
        painter_->setFont(font_);
    }
    return *painter_;
}

void GridSurface::end() {
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

void GridSurface::changed() {
    if (!notified_) {
        notified_ = true;
        if (onChanged) onChanged();
    }
}

const QImage& GridSurface::image() {
    end();
    notified_ = false;
    return image_;
}

void GridSurface::resize(int w, int h) {
    w = std::max(0, w);
    h = std::max(0, h);
    if (w == w_ && h == h_) return;
    w_ = w;
    h_ = h;
    end();
    QImage next(w, h, QImage::Format_RGB32);
    next.setDotsPerMeterX(DotsPerMetre());
    next.setDotsPerMeterY(DotsPerMetre());
    next.fill(ToRgb(backColour));
    const int cw = std::min(w, image_.width());
    const int ch = std::min(h, image_.height());
    for (int y = 0; y < ch; ++y) {
        std::memcpy(next.scanLine(y), image_.constScanLine(y), size_t(cw) * 4);
    }
    image_ = std::move(next);
    changed();
    if (onResized) onResized();
}

void GridSurface::move(int left, int top) {
    leftTwips = left;
    topTwips = top;
    changed();
}

void GridSurface::setFont(const QFont& font) {
    font_ = font;
    textHeight_ = -1;
    if (painter_) painter_->setFont(font_);
}

int GridSurface::textHeight() const {
    if (textHeight_ < 0) textHeight_ = QFontMetrics(font_, &MetricsDevice()).height();
    return textHeight_;
}

void GridSurface::clear() {
    clear(backColour);
}

void GridSurface::clear(Colour colour) {
    end();
    image_.fill(ToRgb(colour));
    changed();
}

void GridSurface::fillRaw(int x1, int y1, int x2, int y2, QRgb rgb) {
    // Inclusive corners, clipped to the surface.
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, image_.width() - 1);
    y2 = std::min(y2, image_.height() - 1);
    if (x1 > x2 || y1 > y2) return;
    const int n = x2 - x1 + 1;
    for (int y = y1; y <= y2; ++y) {
        QRgb* p = reinterpret_cast<QRgb*>(image_.scanLine(y)) + x1;
        std::fill(p, p + n, rgb);
    }
    changed();
}

void GridSurface::line(int x1, int y1, int x2, int y2, Colour colour) {
    const QRgb rgb = ToRgb(colour);
    if (y1 == y2) {
        if (x1 == x2) return;
        fillRaw(x1, y1, x2 > x1 ? x2 - 1 : x2 + 1, y1, rgb);
        return;
    }
    if (x1 == x2) {
        fillRaw(x1, y1, x1, y2 > y1 ? y2 - 1 : y2 + 1, rgb);
        return;
    }
    // Bresenham, leaving out the end point.
    const int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
    const int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
    int err = dx + dy;
    int x = x1, y = y1;
    while (!(x == x2 && y == y2)) {
        if (x >= 0 && y >= 0 && x < image_.width() && y < image_.height()) {
            reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = rgb;
        }
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    changed();
}

void GridSurface::box(int x1, int y1, int x2, int y2, Colour colour) {
    const QRgb rgb = ToRgb(colour);
    fillRaw(x1, y1, x2, y1, rgb);
    fillRaw(x1, y2, x2, y2, rgb);
    fillRaw(x1, y1, x1, y2, rgb);
    fillRaw(x2, y1, x2, y2, rgb);
}

void GridSurface::fillBox(int x1, int y1, int x2, int y2, Colour colour) {
    fillRaw(x1, y1, x2, y2, ToRgb(colour));
}

void GridSurface::drawText(const CellRect& rect, const QString& text, int align) {
    if (text.isEmpty() || rect.right <= rect.left || rect.bottom <= rect.top) return;
    if (image_.isNull()) return;
    QPainter& p = painter();
    const QRect r(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    int flags = Qt::AlignTop | Qt::TextExpandTabs;
    flags |= align == AlignRight    ? Qt::AlignRight
             : align == AlignCentre ? Qt::AlignHCenter
                                    : Qt::AlignLeft;
    p.setClipRect(r);
    p.setPen(QColor::fromRgb(ToRgb(textColour)));
    p.drawText(r, flags, text);
    p.setClipping(false);
    changed();
}

void GridSurface::copyRows(int srcTop, int h, int destTop) {
    // Clip the band to the surface at both ends.
    if (srcTop < 0) {
        h += srcTop;
        destTop -= srcTop;
        srcTop = 0;
    }
    if (destTop < 0) {
        h += destTop;
        srcTop -= destTop;
        destTop = 0;
    }
    h = std::min({h, image_.height() - srcTop, image_.height() - destTop});
    if (h <= 0 || srcTop == destTop) return;
    end();
    const qsizetype bpl = image_.bytesPerLine();
    uchar* bits = image_.bits();
    std::memmove(bits + destTop * bpl, bits + srcTop * bpl, size_t(h) * size_t(bpl));
    ++counters.pixelCopies;
    changed();
}

Colour GridSurface::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return kNoColour;
    return FromRgb(reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x]);
}

void GridSurface::drawImage(int x, int y, const QImage& source, const QRect& sourceRect) {
    if (source.isNull() || image_.isNull()) return;
    painter().drawImage(QPoint(x, y), source, sourceRect);
    changed();
}

}  // namespace grid
