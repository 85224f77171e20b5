#pragma once
// A picture surface that keeps what is drawn on it (a retained QImage), with drawing
// primitives of the platform's semantics: a line leaves out its end point, a box and a
// filled box include both corners, text goes into a clipped rectangle.
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <functional>
#include <memory>

#include "grid/GridState.h"

namespace grid {

// Windows colour (system colours included) to an opaque QRgb, and back.
QRgb ToRgb(Colour colour);
Colour FromRgb(QRgb rgb);
// Each of red, green and blue reduced by amount, not below 0.
Colour DarkenColour(Colour colour, int amount);

// Text flags of DrawText.
enum TextAlign { AlignLeft = 0, AlignRight = 1, AlignCentre = 2 };

struct PaintCounters {
    qint64 rowsPainted = 0;   // DrawRow calls and rows laid down by a full repaint
    qint64 cellsPainted = 0;  // DrawCell calls
    qint64 fullRepaints = 0;
    qint64 pixelCopies = 0;
    void reset() { *this = PaintCounters{}; }
};

class GridSurface {
  public:
    GridSurface();
    ~GridSurface();
    GridSurface(const GridSurface&) = delete;
    GridSurface& operator=(const GridSurface&) = delete;

    // Pixel size. A new size keeps what is drawn; new area gets the back colour.
    int width() const { return w_; }
    int height() const { return h_; }
    void resize(int w, int h);
    void setWidth(int w) { resize(w, height()); }
    void setHeight(int h) { resize(width(), h); }
    // Place in the window, in twips (the window's layout unit).
    int leftTwips = 0;
    int topTwips = 0;
    void move(int left, int top);

    const QImage& image();  // finishes pending drawing first

    Colour backColour = 0xFFFFFF;  // colour of clear() and of newly exposed area
    Colour textColour = 0;         // colour of text drawing
    int currentX = 0;              // drawing position
    int currentY = 0;

    const QFont& font() const { return font_; }
    void setFont(const QFont& font);
    // Pixel height of one line of text in the current font ("A"); kept per font, since
    // every row repaint asks for it.
    int textHeight() const;

    void clear();
    void clear(Colour colour);
    // Line from (x1, y1) towards (x2, y2); the end point itself is left out.
    void line(int x1, int y1, int x2, int y2, Colour colour);
    // Outline rectangle, both corners included.
    void box(int x1, int y1, int x2, int y2, Colour colour);
    // Solid rectangle, both corners included.
    void fillBox(int x1, int y1, int x2, int y2, Colour colour);
    // Text into the rectangle [left, right) x [top, bottom), cut at its edges; no prefix
    // processing, tabs expanded, no word break.
    void drawText(const CellRect& rect, const QString& text, int align);
    // Moves the band of rows [srcTop, srcTop + h) to destTop, clipped to the surface.
    void copyRows(int srcTop, int h, int destTop);
    // The colour of one pixel; kNoColour outside the surface.
    Colour pixel(int x, int y) const;
    // Draws part of an image with its alpha (a masked blit).
    void drawImage(int x, int y, const QImage& source, const QRect& sourceRect);

    PaintCounters counters;
    // Called once after drawing starts, until the viewer has taken the picture (image()).
    std::function<void()> onChanged;
    // Called after every change of size, so that the viewer's geometry follows at once.
    std::function<void()> onResized;

  private:
    QPainter& painter();
    void end();
    void changed();
    void fillRaw(int x1, int y1, int x2, int y2, QRgb rgb);

    QImage image_;
    QFont font_;
    mutable int textHeight_ = -1;  // -1: not measured for font_ yet
    std::unique_ptr<QPainter> painter_;
    bool notified_ = false;
    int w_ = 0;  // the size, also while one side is 0 and the image is null
    int h_ = 0;
};

}  // namespace grid
