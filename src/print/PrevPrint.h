#pragma once
// The print output module: every drawing operation goes either to the page picture of the
// preview or to the printer, by one switch. Coordinates are twips of the printable area,
// origin at its top-left corner; both targets use the same numbers.
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QString>
#include <functional>
#include <memory>

class QPagedPaintDevice;

class QPageLayout;

namespace print {

// Windows colour value 0x00BBGGRR; -1 (kDefaultLine) is the default line colour.
using OutColour = qint64;
inline constexpr OutColour kDefaultLine = -1;

// The sheet and its printable area, all in twips, as the printer reports them.
struct PageGeometry {
    int sheetWidth = 0;  // W x H: the whole sheet
    int sheetHeight = 0;
    int pageWidth = 0;  // w x h: the printable area
    int pageHeight = 0;
    int printableLeft = 0;  // the printable area's place on the sheet
    int printableTop = 0;
    double twipsPerPixelX = 1.0;  // twips per printer pixel, across and down
    double twipsPerPixelY = 1.0;
};

// Geometry of a page layout printed at dpiX x dpiY printer pixels per inch.
PageGeometry GeometryOf(const QPageLayout& layout, int dpiX, int dpiY);
// Geometry of a printer (a QPrinter or a QPdfWriter) with its current page layout.
PageGeometry GeometryOf(const QPagedPaintDevice& device);

// Face families of SetPrintFont.
enum class FontFamily { Mincho, Gothic };

class PrevPrint {
  public:
    PrevPrint();
    ~PrevPrint();
    PrevPrint(const PrevPrint&) = delete;
    PrevPrint& operator=(const PrevPrint&) = delete;

    // ---- the switch ----
    // Preview: the page picture becomes the printable area of geometry at screen resolution
    // (twipsPerScreenPixel, 15 at 96 dpi), filled white. Always succeeds.
    bool SetPreviewTarget(const PageGeometry& geometry, int twipsPerScreenPixel = 15);
    // Printer: starts the print job on device (a QPrinter or QPdfWriter, which must outlive
    // the run) and carries the current font over. False, with ErrorText, when it cannot start.
    bool SetPrinterTarget(QPagedPaintDevice* device);
    // The operation of the same name: preview = picture of device's printable area.
    bool SetTarget(QPagedPaintDevice* device, bool preview, int twipsPerScreenPixel = 15);
    bool Preview() const { return preview_; }
    const PageGeometry& Geometry() const { return geometry_; }
    // Set by a failure of the printer or a font; cleared by SetTarget.
    bool PrinterError() const { return printerError_; }
    const QString& ErrorText() const { return errorText_; }

    // Preview: EndPage hands the finished page picture to this.
    void SetPageSink(std::function<void(const QImage&)> sink) { sink_ = std::move(sink); }
    // The page picture (preview).
    const QImage& Picture() const { return picture_; }

    // ---- fonts and text ----
    // Face from the family and pitch, then size, bold and italic as passed. False (with
    // ErrorText and the printer-error flag) when there is no target to carry it.
    bool SetPrintFont(FontFamily family, double size, bool bold, bool italic, bool proportional);
    const QFont& Font() const { return font_; }
    double FontSize() const { return fontSize_; }
    double TextWidth(const QString& text) const;
    double TextHeight(const QString& text = QStringLiteral("A")) const;
    // Text colour (0x00BBGGRR); OutText draws in it.
    void SetTextColour(quint32 colour) { textColour_ = colour; }
    quint32 TextColour() const { return textColour_; }

    // ---- position ----
    double CurrentX() const { return x_; }
    double CurrentY() const { return y_; }
    void SetCurrentX(double x) { x_ = x; }
    void SetCurrentY(double y) { y_ = y; }

    // ---- drawing ----
    // Text at the current position, which then moves right by its width; a text ending in a
    // carriage return is drawn without it and the position moves to the start of the next
    // line. With clipRight above 0 the text is cut at that x.
    void OutText(const QString& text, double clipRight = 0);
    void OutLine(double x1, double y1, double x2, double y2, OutColour colour, int width = 1);
    void OutBox(double x1, double y1, double x2, double y2, OutColour colour, int width = 1);
    void OutFill(double x1, double y1, double x2, double y2, OutColour colour);
    // Copies source rectangle sx, sy, sw, sh of source scaled onto x, y, w, h.
    void OutPicture(const QImage& source, int sx, int sy, int sw, int sh, double x, double y,
                    double w, double h);
    // Preview: the page goes to the sink; printer: a new sheet. False when the printer
    // fails to start one.
    bool EndPage();
    // Preview: the picture is cleared; printer: the document ends. False when the printer
    // cannot finish it.
    bool EndDoc();
    // Fills the whole page white (the picture, or the current sheet).
    void ClearPage();

    double PageWidth() const { return geometry_.pageWidth; }
    double PageHeight() const { return geometry_.pageHeight; }
    double PixelX() const { return geometry_.twipsPerPixelX; }
    double PixelY() const { return geometry_.twipsPerPixelY; }

    // Default line colour: preview RGB(64, 64, 64), printer black.
    QColor LineColour(OutColour colour) const;

  private:
    bool beginPainter(QPaintDevice* device);
    void endPainter();
    void applyFont();
    void fail(const QString& text);
    QRect deviceRect(double x1, double y1, double x2, double y2) const;

    bool preview_ = true;
    bool printerError_ = false;
    QString errorText_;
    PageGeometry geometry_;
    QImage picture_;
    QPagedPaintDevice* device_ = nullptr;
    std::unique_ptr<QPainter> painter_;
    double deviceDpi_ = 96.0;
    double deviceDpiY_ = 96.0;
    std::unique_ptr<QFontMetricsF> metrics_;
    std::function<void(const QImage&)> sink_;
    QFont font_;
    FontFamily family_ = FontFamily::Mincho;
    double fontSize_ = 9.0;
    bool bold_ = false;
    bool italic_ = false;
    bool proportional_ = true;
    quint32 textColour_ = 0;
    double x_ = 0;
    double y_ = 0;
};

// The Windows face name for a family and pitch: "ＭＳ Ｐ明朝", "ＭＳ 明朝", "ＭＳ Ｐゴシック",
// "ＭＳ ゴシック".
QString PrintFaceName(FontFamily family, bool proportional);

}  // namespace print
