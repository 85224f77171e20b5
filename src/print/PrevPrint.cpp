#include "print/PrevPrint.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPen>
#include <algorithm>
#include <cmath>

#include "grid/GridSurface.h"
#include "platform/Fonts.h"

namespace print {

namespace {

constexpr double kTwipsPerInch = 1440.0;

}  // namespace

PageGeometry GeometryOf(const QPageLayout& layout, int dpiX, int dpiY) {
    PageGeometry g;
    g.twipsPerPixelX = dpiX > 0 ? kTwipsPerInch / dpiX : 1.0;
    g.twipsPerPixelY = dpiY > 0 ? kTwipsPerInch / dpiY : 1.0;
    // In whole printer pixels, as the device paints, then in twips.
    const int dpi = std::max(1, std::max(dpiX, dpiY));
    const QRect full = layout.fullRectPixels(dpi);
    const QRect paint = layout.paintRectPixels(dpi);
    const double tpp = kTwipsPerInch / dpi;
    auto twips = [tpp](int pixels) { return int(std::lround(pixels * tpp)); };
    g.sheetWidth = twips(full.width());
    g.sheetHeight = twips(full.height());
    g.pageWidth = twips(paint.width());
    g.pageHeight = twips(paint.height());
    g.printableLeft = twips(paint.left());
    g.printableTop = twips(paint.top());
    return g;
}

PageGeometry GeometryOf(const QPagedPaintDevice& device) {
    return GeometryOf(device.pageLayout(), device.logicalDpiX(), device.logicalDpiY());
}

QString PrintFaceName(FontFamily family, bool proportional) {
    if (family == FontFamily::Mincho) {
        return proportional ? QStringLiteral("ＭＳ Ｐ明朝") : QStringLiteral("ＭＳ 明朝");
    }
    return proportional ? QStringLiteral("ＭＳ Ｐゴシック") : QStringLiteral("ＭＳ ゴシック");
}

PrevPrint::PrevPrint() = default;

PrevPrint::~PrevPrint() {
    // A job left open is abandoned, not finished: the caller saw no EndDoc.
    if (painter_ && painter_->isActive()) painter_->end();
}

void PrevPrint::fail(const QString& text) {
    printerError_ = true;
    errorText_ = text;
}

void PrevPrint::endPainter() {
    if (painter_ && painter_->isActive()) painter_->end();
    painter_.reset();
}

bool PrevPrint::beginPainter(QPaintDevice* device) {
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(device)) {
        painter_.reset();
        return false;
    }
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_->scale(deviceDpi_ / kTwipsPerInch, deviceDpiY_ / kTwipsPerInch);
    applyFont();
    return true;
}

bool PrevPrint::SetPreviewTarget(const PageGeometry& geometry, int twipsPerScreenPixel) {
    endPainter();
    preview_ = true;
    device_ = nullptr;
    printerError_ = false;
    errorText_.clear();
    geometry_ = geometry;
    const int tpp = std::max(1, twipsPerScreenPixel);
    deviceDpi_ = deviceDpiY_ = kTwipsPerInch / tpp;
    const int w = std::max(1, int(std::lround(double(geometry.pageWidth) / tpp)));
    const int h = std::max(1, int(std::lround(double(geometry.pageHeight) / tpp)));
    if (picture_.width() != w || picture_.height() != h) {
        picture_ = QImage(w, h, QImage::Format_RGB32);
    }
    const int dpm = int(std::lround(deviceDpi_ / 0.0254));
    picture_.setDotsPerMeterX(dpm);
    picture_.setDotsPerMeterY(dpm);
    picture_.fill(Qt::white);
    x_ = y_ = 0;
    return beginPainter(&picture_);
}

bool PrevPrint::SetPrinterTarget(QPagedPaintDevice* device) {
    endPainter();
    preview_ = false;
    device_ = device;
    printerError_ = false;
    errorText_.clear();
    x_ = y_ = 0;
    if (!device) {
        fail(QStringLiteral("プリンターがありません。"));
        return false;
    }
    geometry_ = GeometryOf(*device);
    deviceDpi_ = device->logicalDpiX();
    deviceDpiY_ = device->logicalDpiY();
    if (deviceDpi_ <= 0 || deviceDpiY_ <= 0 || !beginPainter(device)) {
        device_ = nullptr;
        fail(QStringLiteral("印刷を開始できません。プリンターまたは出力先を確かめてください。"));
        return false;
    }
    return true;
}

bool PrevPrint::SetTarget(QPagedPaintDevice* device, bool preview, int twipsPerScreenPixel) {
    if (preview) {
        if (!device) {
            fail(QStringLiteral("プリンターがありません。"));
            return false;
        }
        return SetPreviewTarget(GeometryOf(*device), twipsPerScreenPixel);
    }
    return SetPrinterTarget(device);
}

void PrevPrint::applyFont() {
    // The font's pixel size in painter units (twips) is its point size x 20 on every target,
    // so that the scaled painter draws it at its true size and widths come out in twips.
    QFont f(platform::ResolveFontFamily(PrintFaceName(family_, proportional_)));
    f.setPointSizeF(fontSize_ * kTwipsPerInch / deviceDpiY_);
    f.setBold(bold_);
    f.setItalic(italic_);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setFixedPitch(!proportional_);
    font_ = f;
    QPaintDevice* dev = preview_ ? static_cast<QPaintDevice*>(&picture_) : device_;
    metrics_ =
        dev ? std::make_unique<QFontMetricsF>(font_, dev) : std::make_unique<QFontMetricsF>(font_);
    if (painter_) painter_->setFont(font_);
}

bool PrevPrint::SetPrintFont(FontFamily family, double size, bool bold, bool italic,
                             bool proportional) {
    if (!painter_ || !painter_->isActive()) {
        fail(QStringLiteral("印字するフォントを設定できません。"));
        return false;
    }
    if (!(size > 0) || size > 1000) {
        fail(QStringLiteral("印字するフォントを設定できません。"));
        return false;
    }
    const bool same = metrics_ && family == family_ && size == fontSize_ && bold == bold_ &&
                      italic == italic_ && proportional == proportional_;
    family_ = family;
    fontSize_ = size;
    bold_ = bold;
    italic_ = italic;
    proportional_ = proportional;
    if (!same) applyFont();
    return true;
}

double PrevPrint::TextWidth(const QString& text) const {
    return metrics_ ? metrics_->horizontalAdvance(text) : 0.0;
}

double PrevPrint::TextHeight(const QString& text) const {
    if (!metrics_) return 0.0;
    const int lines = std::max<qsizetype>(1, text.count(QLatin1Char('\n')) + 1);
    return metrics_->height() * lines;
}

QColor PrevPrint::LineColour(OutColour colour) const {
    if (colour < 0) return preview_ ? QColor(64, 64, 64) : QColor(Qt::black);
    return QColor::fromRgb(grid::ToRgb(grid::Colour(colour)));
}

void PrevPrint::OutText(const QString& text, double clipRight) {
    QString t = text;
    const bool newLine = t.endsWith(QLatin1Char('\r'));
    if (newLine) t.chop(1);
    const double width = TextWidth(t);
    if (painter_ && !t.isEmpty() && metrics_ && (clipRight <= 0 || clipRight > x_)) {
        painter_->setPen(preview_ ? QColor::fromRgb(grid::ToRgb(textColour_)) : QColor(Qt::black));
        // Only a text that reaches past its limit is clipped; a clip per cell would bloat a
        // PDF.
        const bool clip = clipRight > 0 && x_ + width > clipRight;
        if (clip) {
            painter_->save();
            painter_->setClipRect(QRectF(x_, y_, clipRight - x_, metrics_->height()));
        }
        painter_->drawText(QPointF(x_, y_ + metrics_->ascent()), t);
        if (clip) painter_->restore();
    }
    if (newLine) {
        x_ = 0;
        y_ += metrics_ ? metrics_->height() : 0.0;
    } else {
        x_ += width;
    }
}

QRect PrevPrint::deviceRect(double x1, double y1, double x2, double y2) const {
    // Both corners included, at least one device pixel, so a hairline of the printer still
    // shows on the coarser preview.
    const double sx = deviceDpi_ / kTwipsPerInch;
    const double sy = deviceDpiY_ / kTwipsPerInch;
    int l = int(std::floor(std::min(x1, x2) * sx));
    int t = int(std::floor(std::min(y1, y2) * sy));
    int r = int(std::floor(std::max(x1, x2) * sx));
    int b = int(std::floor(std::max(y1, y2) * sy));
    return QRect(QPoint(l, t), QPoint(std::max(l, r), std::max(t, b)));
}

void PrevPrint::OutLine(double x1, double y1, double x2, double y2, OutColour colour, int width) {
    if (!painter_) return;
    QPen pen(LineColour(colour));
    pen.setWidth(std::max(1, width));
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    const QRect a = deviceRect(x1, y1, x1, y1);
    const QRect b = deviceRect(x2, y2, x2, y2);
    painter_->save();
    painter_->resetTransform();
    painter_->setPen(pen);
    painter_->drawLine(a.topLeft(), b.topLeft());
    painter_->restore();
}

void PrevPrint::OutBox(double x1, double y1, double x2, double y2, OutColour colour, int width) {
    if (!painter_) return;
    QPen pen(LineColour(colour));
    pen.setWidth(std::max(1, width));
    pen.setCosmetic(true);
    pen.setJoinStyle(Qt::MiterJoin);
    const QRect r = deviceRect(x1, y1, x2, y2);
    painter_->save();
    painter_->resetTransform();
    painter_->setPen(pen);
    painter_->setBrush(Qt::NoBrush);
    painter_->drawRect(r.adjusted(0, 0, -1, -1).isValid() ? r.adjusted(0, 0, -1, -1) : r);
    painter_->restore();
}

void PrevPrint::OutFill(double x1, double y1, double x2, double y2, OutColour colour) {
    if (!painter_) return;
    const QRect r = deviceRect(x1, y1, x2, y2);
    painter_->save();
    painter_->resetTransform();
    painter_->fillRect(r, LineColour(colour));
    painter_->restore();
}

void PrevPrint::OutPicture(const QImage& source, int sx, int sy, int sw, int sh, double x, double y,
                           double w, double h) {
    if (!painter_ || source.isNull() || w <= 0 || h <= 0) return;
    if (sx == 0 && sy == 0 && sw == source.width() && sh == source.height()) {
        // The whole image keeps its identity, so a PDF stores it once.
        painter_->drawImage(QRectF(x, y, w, h), source);
        return;
    }
    painter_->drawImage(QRectF(x, y, w, h), source, QRectF(sx, sy, sw, sh));
}

void PrevPrint::ClearPage() {
    if (preview_) {
        if (!painter_) return;
        painter_->save();
        painter_->resetTransform();
        painter_->fillRect(QRect(0, 0, picture_.width(), picture_.height()), Qt::white);
        painter_->restore();
        return;
    }
    OutFill(0, 0, geometry_.pageWidth, geometry_.pageHeight, 0xFFFFFF);
}

bool PrevPrint::EndPage() {
    if (preview_) {
        // The painter lets go of the picture so that a copy the sink keeps stays as it is.
        endPainter();
        if (sink_) sink_(picture_);
        beginPainter(&picture_);
        return true;
    }
    if (!device_ || !painter_) {
        fail(QStringLiteral("印刷を続けられません。"));
        return false;
    }
    if (!device_->newPage()) {
        fail(QStringLiteral("次のページを始められません。"));
        return false;
    }
    return true;
}

bool PrevPrint::EndDoc() {
    if (preview_) {
        ClearPage();
        return true;
    }
    if (!painter_) return !printerError_;
    const bool ok = painter_->end();
    painter_.reset();
    device_ = nullptr;
    if (!ok) {
        fail(QStringLiteral("印刷を終えられません。出力先に書き込めなかった可能性があります。"));
        return false;
    }
    return true;
}

}  // namespace print
