#include "listwindow/Artwork.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <map>

#include "grid/PixelArt.h"
#include "listwindow/HitZones.h"
#include "platform/Fonts.h"

namespace listwindow {

namespace {

using namespace grid::pixelart;

// One palette for every picture: cool greys, a blue accent for "on".
constexpr QRgb kBack = 0xFFEEF1F5;
constexpr QRgb kFaceTop = 0xFFFFFFFF;
constexpr QRgb kFaceBottom = 0xFFE4E9F0;
constexpr QRgb kEdge = 0xFFA0ABBA;
constexpr QRgb kLitTop = 0xFFBCD5F7;
constexpr QRgb kLitBottom = 0xFFDCE9FC;
constexpr QRgb kLitEdge = 0xFF3A76CA;
constexpr QRgb kLitShade = 0xFF9DBDE9;
constexpr QRgb kText = 0xFF2E3947;
constexpr QRgb kLitText = 0xFF0A4393;
constexpr QRgb kCaption = 0xFF5A6573;
constexpr QRgb kAccent = 0xFF2F6FD0;
constexpr QRgb kInk = 0xFF4A5668;
constexpr QRgb kPaperLine = 0xFF8FA3BF;

enum class Look { Plain, Lit };

// Painted at the screen's pixel ratio: the painter works in the pictures' own pixels, and
// text and curves take every device pixel instead of being doubled afterwards.
QImage Blank(QSize size, QRgb fill, qreal ratio) {
    QImage img(size * ratio, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(ratio);
    img.fill(QColor::fromRgba(fill));
    return img;
}

QFont Face(const char16_t* windowsName, int pixels, bool bold) {
    QFont f(platform::ResolveFontFamily(QString::fromUtf16(windowsName)));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}
QFont Gothic(int pixels, bool bold = false) {
    return Face(u"ＭＳ Ｐゴシック", pixels, bold);
}
QFont Latin(int pixels, bool bold = true) {
    return Face(u"Arial", pixels, bold);
}

// A rounded button filling r; the outline sits on pixel centres so only its corners blend.
void Button(QPainter& p, const QRect& r, Look look) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient g(0, r.top(), 0, r.bottom() + 1);
    const bool lit = look == Look::Lit;
    g.setColorAt(0.0, QColor::fromRgba(lit ? kLitTop : kFaceTop));
    g.setColorAt(1.0, QColor::fromRgba(lit ? kLitBottom : kFaceBottom));
    p.setPen(QPen(QColor::fromRgba(lit ? kLitEdge : kEdge), 1.0));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 2.5, 2.5);
    p.setRenderHint(QPainter::Antialiasing, false);
    if (lit) {
        // Pressed in: a shade under the top edge.
        HLine(p, r.left() + 2, r.right() - 2, r.top() + 1, kLitShade);
    } else {
        // Raised: a soft line above the bottom edge.
        HLine(p, r.left() + 2, r.right() - 2, r.bottom() - 1, 0xFFD5DCE5);
    }
    p.restore();
}

int TextWidth(const QFont& f, const QString& s) {
    return QFontMetrics(f).horizontalAdvance(s);
}

// Text centred in r, one pixel lower when lit (the button is pressed in).
void Label(QPainter& p, const QRect& r, const QString& s, const QFont& f, Look look) {
    p.setFont(f);
    p.setPen(QColor::fromRgba(look == Look::Lit ? kLitText : kText));
    p.drawText(r.translated(0, look == Look::Lit ? 1 : 0), Qt::AlignCenter, s);
}

// ---- toolbar icons, 16 x 16 from (0, 0) ----

void IconNewWindow(QPainter& p) {
    // A window with a blue title bar and a green "+" badge.
    Box(p, 0, 1, 14, 13, kInk);
    Fill(p, 1, 2, 13, 3, kAccent);
    HLine(p, 10, 12, 3, 0xFFFFFFFF);
    Fill(p, 1, 5, 13, 8, 0xFFFFFFFF);
    HLine(p, 2, 7, 7, 0xFFC3CEDC);
    HLine(p, 2, 9, 9, 0xFFC3CEDC);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(0xFF, 0xFF, 0xFF), 1.0));
    p.setBrush(QColor(0x2E, 0x9E, 0x48));
    p.drawEllipse(QPointF(13.5, 12.5), 4.4, 4.4);
    p.restore();
    HLine(p, 11, 15, 12, 0xFFFFFFFF);
    VLine(p, 13, 10, 14, 0xFFFFFFFF);
}

void IconSaveText(QPainter& p) {
    // A page with a folded corner and lines of text, and a blue arrow into it.
    Fill(p, 1, 1, 9, 14, 0xFFFFFFFF);
    Fill(p, 10, 4, 1, 11, 0xFFFFFFFF);
    HLine(p, 0, 7, 0, kInk);
    VLine(p, 0, 0, 15, kInk);
    HLine(p, 0, 11, 15, kInk);
    VLine(p, 11, 4, 15, kInk);
    Px(p, 8, 1, kInk);
    Px(p, 9, 2, kInk);
    Px(p, 10, 3, kInk);
    VLine(p, 7, 1, 3, 0xFFB8C2CF);
    HLine(p, 7, 10, 4, 0xFFB8C2CF);
    Fill(p, 8, 2, 1, 2, 0xFFE3E8EE);
    Px(p, 9, 3, 0xFFE3E8EE);
    HLine(p, 2, 5, 3, kPaperLine);
    HLine(p, 2, 8, 6, kPaperLine);
    HLine(p, 2, 7, 8, kPaperLine);
    HLine(p, 2, 8, 10, kPaperLine);
    HLine(p, 2, 5, 12, kPaperLine);
    // Arrow with a white rim so it reads over the page edge.
    const QRgb rim = 0xFFFFFFFF;
    Fill(p, 10, 5, 5, 6, rim);
    Fill(p, 8, 10, 9, 2, rim);
    Fill(p, 9, 12, 7, 1, rim);
    Fill(p, 10, 13, 5, 1, rim);
    Fill(p, 11, 14, 3, 2, rim);
    Fill(p, 11, 6, 3, 5, kAccent);
    HLine(p, 9, 15, 11, kAccent);
    HLine(p, 10, 14, 12, kAccent);
    HLine(p, 11, 13, 13, kAccent);
    Px(p, 12, 14, kAccent);
}

void IconPrint(QPainter& p) {
    // Paper going in at the top, the printer body, the printed sheet coming out.
    Fill(p, 4, 0, 8, 6, 0xFFFFFFFF);
    Box(p, 3, 0, 12, 6, kInk);
    HLine(p, 5, 10, 2, kPaperLine);
    HLine(p, 5, 8, 4, kPaperLine);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient g(0, 5, 0, 12);
    g.setColorAt(0, QColor(0xE9, 0xED, 0xF2));
    g.setColorAt(1, QColor(0xA9, 0xB3, 0xC1));
    p.setBrush(g);
    p.setPen(QPen(QColor::fromRgba(0xFF4F5B6C), 1.0));
    p.drawRoundedRect(QRectF(0.5, 5.5, 15, 6), 1.5, 1.5);
    p.restore();
    HLine(p, 2, 13, 6, 0xFFF7F9FB);
    Fill(p, 12, 8, 2, 1, 0xFF2FBF4A);
    HLine(p, 2, 13, 10, 0xFF3F4957);
    Fill(p, 4, 11, 8, 5, 0xFFFFFFFF);
    VLine(p, 3, 11, 15, kInk);
    VLine(p, 12, 11, 15, kInk);
    HLine(p, 3, 12, 15, kInk);
    HLine(p, 5, 10, 12, kPaperLine);
    HLine(p, 5, 9, 14, kPaperLine);
}

void IconFolderMenu(QPainter& p) {
    // A folder with a red cross badge: delete or move the chosen folders.
    const QRgb edge = 0xFFB07B1E;
    HLine(p, 1, 5, 2, edge);
    Px(p, 0, 3, edge);
    Px(p, 6, 3, edge);
    Fill(p, 1, 3, 5, 1, 0xFFF0BE4C);
    HLine(p, 6, 13, 4, edge);
    VLine(p, 0, 3, 14, edge);
    VLine(p, 14, 4, 14, edge);
    Fill(p, 1, 4, 5, 1, 0xFFF0BE4C);
    Fill(p, 1, 5, 13, 2, 0xFFF0BE4C);
    HLine(p, 1, 13, 7, edge);
    Fill(p, 1, 8, 13, 6, 0xFFFFD66A);
    HLine(p, 1, 13, 8, 0xFFFFEAA8);
    HLine(p, 0, 14, 14, edge);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(0xFF, 0xFF, 0xFF), 1.0));
    p.setBrush(QColor(0xD6, 0x43, 0x38));
    p.drawEllipse(QPointF(11.5, 11.5), 3.9, 3.9);
    p.restore();
    for (int k = -1; k <= 1; ++k) {
        Px(p, 11 + k, 11 + k, 0xFFFFFFFF);
        Px(p, 11 + k, 11 - k, 0xFFFFFFFF);
    }
}

void IconGear(QPainter& p) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(8.0, 8.0);
    QPainterPath wheel;
    wheel.addEllipse(c, 5.3, 5.3);
    for (int k = 0; k < 8; ++k) {
        QPainterPath tooth;
        tooth.addRect(QRectF(-1.5, -7.6, 3.0, 4.0));
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotate(22.5 + 45.0 * k);
        wheel = wheel.united(t.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(c, 2.2, 2.2);
    wheel = wheel.subtracted(hole);
    QLinearGradient g(0, 0, 0, 16);
    g.setColorAt(0, QColor(0x9A, 0xA7, 0xB8));
    g.setColorAt(1, QColor(0x55, 0x63, 0x77));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x36, 0x41, 0x50), 0.9));
    p.drawPath(wheel);
    p.restore();
}

QRect IconBox(const QRect& r) {
    return QRect(r.x() + (r.width() - 16) / 2, r.y() + (r.height() - 16) / 2, 16, 16);
}

QImage PaintToolbar(Look look, qreal ratio) {
    QImage img = Blank(kToolbarSize, kBack, ratio);
    QPainter p(&img);
    const int down = look == Look::Lit ? 1 : 0;
    for (int i = 0; i < kToolbarButtons; ++i) {
        const QRect r = ToolbarButtonRect(i).adjusted(1, 1, -1, -1);
        Button(p, r, look);
        p.save();
        if (i == 0) {
            // Wide button: icon and a short caption side by side.
            const QFont f = Gothic(12);
            const QString caption = QStringLiteral("新規");
            const int w = 17 + 3 + TextWidth(f, caption);
            const int x = r.x() + (r.width() - w) / 2;
            p.translate(x, r.y() + 2 + down);
            IconNewWindow(p);
            p.setFont(f);
            p.setPen(QColor::fromRgba(look == Look::Lit ? kLitText : kText));
            p.drawText(QRect(20, -2, w - 20, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
                       caption);
        } else {
            const QRect box = IconBox(r);
            p.translate(box.x(), box.y() + down);
            switch (i) {
                case 1:
                    IconSaveText(p);
                    break;
                case 2:
                    IconPrint(p);
                    break;
                case 3:
                    IconFolderMenu(p);
                    break;
                default:
                    IconGear(p);
                    break;
            }
        }
        p.restore();
    }
    return img;
}

// ---- strips ----

QImage PaintLevelStrip(Look look, qreal ratio) {
    QImage img = Blank(kLevelStripSize, kBack, ratio);
    QPainter p(&img);
    // Caption: a small tree mark and the words.
    const QRgb tree = 0xFF8A96A6;
    VLine(p, 3, 8, 16, tree);
    HLine(p, 4, 5, 12, tree);
    HLine(p, 4, 5, 16, tree);
    Fill(p, 2, 6, 3, 2, kAccent);
    Fill(p, 6, 11, 2, 2, kAccent);
    Fill(p, 6, 15, 2, 2, kAccent);
    p.setFont(Gothic(11));
    p.setPen(QColor::fromRgba(kCaption));
    p.drawText(QRect(10, 0, 48, kLevelStripSize.height()), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("表示階層"));
    for (int i = 0; i < kLevelButtons; ++i) {
        const QRect r = LevelButtonRect(i);
        Button(p, r, look);
        if (i == 0) {
            Label(p, r, QStringLiteral("全"), Gothic(12, true), look);
        } else {
            Label(p, r, QString::number(i), Latin(13), look);
        }
    }
    return img;
}

constexpr std::array<DisplayButton, 6> kDisplayButtons = {
    DisplayButton::Background, DisplayButton::NameColour, DisplayButton::Kb,
    DisplayButton::Mb,         DisplayButton::FullPath,   DisplayButton::Gb};

void Swatch(QPainter& p, int x, int y) {
    // A tiny list with tinted rows: the background button's mark.
    Box(p, x, y, x + 9, y + 9, kInk);
    Fill(p, x + 1, y + 1, 8, 2, SizeMarkColour(15));
    Fill(p, x + 1, y + 3, 8, 2, SizeMarkColour(10));
    Fill(p, x + 1, y + 5, 8, 2, SizeMarkColour(6));
    Fill(p, x + 1, y + 7, 8, 2, SizeMarkColour(2));
}

QImage PaintDisplayStrip(Look look, qreal ratio) {
    QImage img = Blank(kDisplayStripSize, kBack, ratio);
    QPainter p(&img);
    const int down = look == Look::Lit ? 1 : 0;
    for (DisplayButton b : kDisplayButtons) {
        const QRect r = DisplayZone(b).adjusted(1, 0, -1, 0);
        Button(p, r, look);
        switch (b) {
            case DisplayButton::Background: {
                const QFont f = Gothic(11);
                const QString s = QStringLiteral("背景");
                const int w = 10 + 2 + TextWidth(f, s);
                const int x = r.x() + (r.width() - w) / 2;
                Swatch(p, x, r.y() + 6 + down);
                p.setFont(f);
                p.setPen(QColor::fromRgba(look == Look::Lit ? kLitText : kText));
                p.drawText(QRect(x + 12, r.y() + down, w - 12, r.height()),
                           Qt::AlignLeft | Qt::AlignVCenter, s);
                break;
            }
            case DisplayButton::NameColour: {
                // Each letter in its own colour: what the switch does to the names.
                const QFont f = Gothic(12);
                const QString s = QStringLiteral("文字色");
                const QRgb colours[3] = {0xFFC2352A, 0xFF1E8A45, 0xFF2A62C9};
                int x = r.x() + (r.width() - TextWidth(f, s)) / 2;
                p.setFont(f);
                for (int k = 0; k < 3; ++k) {
                    const QString ch = s.mid(k, 1);
                    p.setPen(QColor::fromRgba(colours[k]));
                    p.drawText(QRect(x, r.y() + down, 20, r.height()),
                               Qt::AlignLeft | Qt::AlignVCenter, ch);
                    x += TextWidth(f, ch);
                }
                break;
            }
            case DisplayButton::Kb:
                Label(p, r, QStringLiteral("KB"), Latin(11), look);
                break;
            case DisplayButton::Mb:
                Label(p, r, QStringLiteral("MB"), Latin(11), look);
                break;
            case DisplayButton::Gb:
                Label(p, r, QStringLiteral("GB"), Latin(11), look);
                break;
            case DisplayButton::FullPath:
                Label(p, r, QStringLiteral("フルパス"), Gothic(11), look);
                break;
        }
    }
    return img;
}

void SortMark(QPainter& p, int index, Look look) {
    const bool lit = look == Look::Lit;
    const int dy = lit ? 1 : 0;
    const QRgb ink = lit ? kLitText : 0xFF46607F;
    const QRgb soft = lit ? 0xFF5C8FD6 : 0xFF9AAFC8;
    const int lengths[3] = {9, 6, 3};
    for (int k = 0; k < 3; ++k) {
        const int y = 5 + 4 * k + dy;
        if (index == 0) {
            Fill(p, 3, y, lengths[k], 2, ink);
        } else {
            // Stacked bars: a folder's own share and what lies below it.
            const int own = (lengths[k] + 1) / 2;
            Fill(p, 3, y, own, 2, ink);
            Fill(p, 3 + own, y, lengths[k] - own, 2, soft);
        }
    }
    // Descending arrow.
    VLine(p, 15, 4 + dy, 12 + dy, ink);
    HLine(p, 13, 17, 12 + dy, ink);
    HLine(p, 14, 16, 13 + dy, ink);
    Px(p, 15, 14 + dy, ink);
}

QImage PaintSort(int index, Look look, qreal ratio) {
    QImage img = Blank(kSortButtonSize, 0, ratio);
    QPainter p(&img);
    Button(p, QRect(QPoint(0, 0), kSortButtonSize), look);
    SortMark(p, index, look);
    return img;
}

// ---- background chooser ----

constexpr QRgb kPanelFace = 0xFFF7F9FC;

QRgb Mix(QRgb a, QRgb b, double t) {
    auto ch = [t](int x, int y) { return int(x + (y - x) * t + 0.5); };
    return qRgb(ch(qRed(a), qRed(b)), ch(qGreen(a), qGreen(b)), ch(qBlue(a), qBlue(b)));
}

QRgb PatternRowColour(int type, int row, int column) {
    static constexpr int kLevels[5] = {0, 1, 2, 2, 1};
    static constexpr int kMarks[5] = {15, 5, 11, 2, 8};
    switch (type) {
        case 1: {
            static constexpr QRgb kColumns[4] = {0xFFFFFFFF, 0xFFD7E7FB, 0xFFFFE8C4, 0xFFD8F2DC};
            return kColumns[column];
        }
        case 2:
            return SizeMarkColour(kMarks[row]);
        case 3: {
            static constexpr QRgb kDepth[3] = {0xFFBCD4F4, 0xFFDAE7FA, 0xFFF6F9FE};
            return kDepth[kLevels[row]];
        }
        case 4:
            return row % 2 ? 0xFFE2ECFA : 0xFFFFFFFF;
        case 5:
            return Mix(0xFFB9D2F3, 0xFFFFFFFF, row / 4.0);
        default:
            return 0xFFFFFFFF;
    }
}

// A miniature folder list in the list box of cell (x, y).
void MiniList(QPainter& p, int x, int y, int type) {
    const int bx = x + 4, by = y + 5;  // box 54 x 38
    const int ix = bx + 1;             // inner left; inner width 52
    static constexpr int kColumnLeft[5] = {0, 23, 32, 42, 52};
    Box(p, bx, by, bx + 53, by + 37, 0xFF7D899A);
    Fill(p, ix, by + 1, 52, 5, 0xFFE2E7EE);
    HLine(p, ix, ix + 51, by + 6, 0xFFAAB5C4);
    for (int c = 1; c < 4; ++c) VLine(p, ix + kColumnLeft[c] - 1, by + 1, by + 5, 0xFFAAB5C4);
    HLine(p, ix + 2, ix + 10, by + 3, 0xFF7A8699);
    for (int c = 1; c < 4; ++c) {
        HLine(p, ix + kColumnLeft[c + 1] - 6, ix + kColumnLeft[c + 1] - 3, by + 3, 0xFF7A8699);
    }
    static constexpr int kLevels[5] = {0, 1, 2, 2, 1};
    static constexpr int kName[5] = {15, 12, 8, 11, 10};
    static constexpr int kFigure[5][3] = {{4, 6, 6}, {3, 5, 6}, {2, 4, 4}, {3, 4, 5}, {2, 5, 5}};
    for (int r = 0; r < 5; ++r) {
        const int ry = by + 7 + 6 * r;
        for (int c = 0; c < 4; ++c) {
            Fill(p, ix + kColumnLeft[c], ry, kColumnLeft[c + 1] - kColumnLeft[c], 6,
                 PatternRowColour(type, r, c));
        }
        const int nx = ix + 2 + 4 * kLevels[r];
        if (kLevels[r] > 0) {
            // Tree line to the parent.
            Px(p, nx - 3, ry + 2, 0xFFA7B2C1);
            HLine(p, nx - 3, nx - 2, ry + 3, 0xFFA7B2C1);
        }
        Fill(p, nx, ry + 2, kName[r], 2, r == 0 ? 0xFF3A4658 : 0xFF5C697B);
        for (int c = 1; c < 4; ++c) {
            const int right = ix + kColumnLeft[c + 1] - 2;
            Fill(p, right - kFigure[r][c - 1] + 1, ry + 2, kFigure[r][c - 1], 2, 0xFF7E8A9C);
        }
    }
}

QImage PaintPanel(bool withPatterns, qreal ratio) {
    QImage img = Blank(kPanelSize, 0, ratio);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient g(0, 0, 0, kPanelSize.height());
    g.setColorAt(0, QColor::fromRgba(kPanelFace));
    g.setColorAt(1, QColor::fromRgba(0xFFE9EDF3));
    p.setBrush(g);
    p.setPen(QPen(QColor::fromRgba(0xFF8794A7), 1.0));
    p.drawRoundedRect(QRectF(0.5, 0.5, kPanelSize.width() - 1, kPanelSize.height() - 1), 3.5, 3.5);
    p.setRenderHint(QPainter::Antialiasing, false);
    HLine(p, 3, kPanelSize.width() - 4, 1, 0xFFFFFFFF);
    for (int t = 0; t < kPatternCount; ++t) {
        const QRect cell = PatternCellRect(t);
        if (withPatterns) {
            MiniList(p, cell.x(), cell.y(), t);
        } else {
            // An empty well where the pattern goes.
            Box(p, cell.x() + 4, cell.y() + 5, cell.x() + 57, cell.y() + 42, 0xFFC4CCD7);
            Fill(p, cell.x() + 5, cell.y() + 6, 52, 36, 0xFFF0F3F7);
        }
    }
    return img;
}

// ---- drive images, 30 x 22 on transparent ----

void PaintHdd(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor edge = QColor::fromRgba(0xFF4C5869);
    p.setPen(QPen(edge, 1.0));
    // Top face in perspective, then the front.
    QPolygonF top;
    top << QPointF(4.5, 3.5) << QPointF(25.5, 3.5) << QPointF(28.5, 6.5) << QPointF(1.5, 6.5);
    p.setBrush(QColor(0xD6, 0xDD, 0xE5));
    p.drawPolygon(top);
    QLinearGradient g(0, 6, 0, 19);
    g.setColorAt(0, QColor(0xF3, 0xF5, 0xF8));
    g.setColorAt(1, QColor(0xAF, 0xB9, 0xC6));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1.5, 6.5, 27, 11), 1.5, 1.5);
    p.setRenderHint(QPainter::Antialiasing, false);
    HLine(p, 3, 26, 7, 0xFFFFFFFF);
    HLine(p, 3, 26, 14, 0xFF8693A4);
    HLine(p, 3, 26, 15, 0xFFE8ECF1);
    HLine(p, 4, 12, 10, 0xFF7F8C9D);
    HLine(p, 4, 9, 12, 0xFF9AA5B4);
    Fill(p, 22, 10, 4, 2, 0xFF239A3C);
    HLine(p, 23, 24, 10, 0xFF5FE07A);
    // Soft shadow under the drive.
    HLine(p, 3, 26, 18, 0x30000000);
    HLine(p, 5, 24, 19, 0x18000000);
}

void PaintFdd(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    QPolygonF body;
    body << QPointF(5.5, 1.5) << QPointF(22.5, 1.5) << QPointF(24.5, 3.5) << QPointF(24.5, 20.5)
         << QPointF(5.5, 20.5);
    QLinearGradient g(0, 1, 0, 21);
    g.setColorAt(0, QColor(0x4A, 0x6F, 0xA8));
    g.setColorAt(1, QColor(0x2A, 0x47, 0x78));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x1A, 0x2E, 0x52), 1.0));
    p.drawPolygon(body);
    p.setRenderHint(QPainter::Antialiasing, false);
    // Metal shutter with its window.
    QLinearGradient m(9, 0, 20, 0);
    m.setColorAt(0, QColor(0xE4, 0xE8, 0xED));
    m.setColorAt(1, QColor(0xA9, 0xB2, 0xBE));
    p.fillRect(10, 2, 10, 7, m);
    VLine(p, 9, 2, 8, 0xFF6E7886);
    VLine(p, 20, 2, 8, 0xFF6E7886);
    HLine(p, 9, 20, 9, 0xFF6E7886);
    Fill(p, 15, 3, 3, 5, 0xFF2B3444);
    // Paper label.
    Fill(p, 8, 12, 14, 8, 0xFFF5F7FA);
    HLine(p, 8, 21, 11, 0xFF9DB5D8);
    HLine(p, 10, 19, 14, 0xFFA5B6CE);
    HLine(p, 10, 17, 17, 0xFFA5B6CE);
    // Write-protect hole.
    Fill(p, 6, 18, 2, 2, 0xFF111B2E);
}

void PaintUsbStick(QPainter& p) {
    // Connector on the left.
    Fill(p, 2, 7, 7, 8, 0xFFE0E5EB);
    HLine(p, 1, 8, 6, 0xFF6D7785);
    HLine(p, 1, 8, 15, 0xFF6D7785);
    VLine(p, 1, 6, 15, 0xFF6D7785);
    HLine(p, 2, 8, 7, 0xFFFFFFFF);
    Fill(p, 3, 9, 3, 2, 0xFF59636F);
    Fill(p, 3, 12, 3, 2, 0xFF59636F);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient g(0, 4, 0, 18);
    g.setColorAt(0, QColor(0x5A, 0x97, 0xE6));
    g.setColorAt(1, QColor(0x22, 0x55, 0xAC));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x18, 0x3F, 0x80), 1.0));
    p.drawRoundedRect(QRectF(8.5, 4.5, 20, 13), 3.0, 3.0);
    p.setRenderHint(QPainter::Antialiasing, false);
    HLine(p, 11, 25, 5, 0xFF9CC2F2);
    Fill(p, 12, 8, 10, 6, 0xFFDCE8F8);
    HLine(p, 14, 20, 10, 0xFF7E9CC7);
    HLine(p, 14, 18, 12, 0xFF7E9CC7);
    Fill(p, 24, 10, 2, 2, 0xFFFFA938);
}

void PaintCd(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(15.0, 11.0);
    QConicalGradient sheen(c, 60);
    sheen.setColorAt(0.00, QColor(0xDD, 0xE2, 0xEA));
    sheen.setColorAt(0.12, QColor(0xB5, 0xDF, 0xF3));
    sheen.setColorAt(0.25, QColor(0xE9, 0xD2, 0xF3));
    sheen.setColorAt(0.38, QColor(0xF3, 0xEC, 0xC4));
    sheen.setColorAt(0.50, QColor(0xDD, 0xE2, 0xEA));
    sheen.setColorAt(0.62, QColor(0xBF, 0xEE, 0xD3));
    sheen.setColorAt(0.75, QColor(0xB9, 0xCF, 0xF5));
    sheen.setColorAt(0.88, QColor(0xF1, 0xD1, 0xDA));
    sheen.setColorAt(1.00, QColor(0xDD, 0xE2, 0xEA));
    p.setBrush(sheen);
    p.setPen(QPen(QColor(0x6A, 0x75, 0x86), 1.0));
    p.drawEllipse(c, 9.5, 9.5);
    p.setBrush(QColor(0xF2, 0xF4, 0xF7));
    p.setPen(QPen(QColor(0x94, 0x9E, 0xAC), 1.0));
    p.drawEllipse(c, 3.6, 3.6);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(c, 1.6, 1.6);
}

QImage PaintDrive(DriveImageKind kind, qreal ratio) {
    QImage img = Blank(kDriveImageSize, 0, ratio);
    QPainter p(&img);
    switch (kind) {
        case DriveImageKind::Hdd:
            PaintHdd(p);
            break;
        case DriveImageKind::Fdd:
            PaintFdd(p);
            break;
        case DriveImageKind::Removable:
            PaintUsbStick(p);
            break;
        case DriveImageKind::Cd:
            PaintCd(p);
            break;
    }
    return img;
}

// The parts of a picture at the rectangles given in its own pixels.
template <size_t N, class RectOf>
std::array<QImage, N> Cut(const QImage& whole, RectOf rectOf) {
    const qreal ratio = whole.devicePixelRatio();
    std::array<QImage, N> parts;
    for (size_t i = 0; i < N; ++i) {
        const QRect r = rectOf(int(i));
        parts[i] = whole.copy(QRect(qRound(r.x() * ratio), qRound(r.y() * ratio),
                                    qRound(r.width() * ratio), qRound(r.height() * ratio)));
        parts[i].setDevicePixelRatio(ratio);
    }
    return parts;
}

// Each picture is painted once for each pixel ratio asked for (one or two on a desktop).
template <class T, class Paint>
const T& Cached(std::map<qreal, T>& cache, qreal ratio, Paint paint) {
    if (!(ratio > 0)) ratio = 1;
    auto it = cache.find(ratio);
    if (it == cache.end()) it = cache.emplace(ratio, paint(ratio)).first;
    return it->second;
}

}  // namespace

QColor StripBackground() {
    return QColor::fromRgba(kBack);
}

QRgb SizeMarkColour(int mark) {
    const quint32 v = kSizeMarkColours[size_t(mark & 15)];
    return qRgb(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

QRect ToolbarButtonRect(int index) {
    if (index < 0 || index >= kToolbarButtons) return QRect();
    return ToolbarZones()[size_t(index)].rect;
}

QImage ToolbarImage(qreal ratio) {
    static std::map<qreal, QImage> cache;
    return Cached(cache, ratio, [](qreal r) { return PaintToolbar(Look::Plain, r); });
}

QImage ToolbarPressed(int index, qreal ratio) {
    if (index < 0 || index >= kToolbarButtons) return QImage();
    static std::map<qreal, std::array<QImage, kToolbarButtons>> cache;
    return Cached(cache, ratio, [](qreal r) {
        return Cut<kToolbarButtons>(PaintToolbar(Look::Lit, r),
                                    [](int i) { return ToolbarButtonRect(i); });
    })[size_t(index)];
}

QRect LevelButtonRect(int index) {
    if (index < 0 || index >= kLevelButtons) return QRect();
    return LevelZones()[size_t(index)].rect;
}

QImage LevelStrip(qreal ratio) {
    static std::map<qreal, QImage> cache;
    return Cached(cache, ratio, [](qreal r) { return PaintLevelStrip(Look::Plain, r); });
}

QImage LevelLit(int index, qreal ratio) {
    if (index < 0 || index >= kLevelButtons) return QImage();
    static std::map<qreal, std::array<QImage, kLevelButtons>> cache;
    return Cached(cache, ratio, [](qreal r) {
        return Cut<kLevelButtons>(PaintLevelStrip(Look::Lit, r),
                                  [](int i) { return LevelButtonRect(i); });
    })[size_t(index)];
}

QRect DisplayZone(DisplayButton button) {
    return DisplayZones()[size_t(button)].rect;
}

QImage DisplayStrip(qreal ratio) {
    static std::map<qreal, QImage> cache;
    return Cached(cache, ratio, [](qreal r) { return PaintDisplayStrip(Look::Plain, r); });
}

QImage DisplayLit(DisplayButton button, qreal ratio) {
    const int i = int(button);
    if (i < 0 || i >= int(kDisplayButtons.size())) return QImage();
    static std::map<qreal, std::array<QImage, kDisplayButtons.size()>> cache;
    return Cached(cache, ratio, [](qreal r) {
        return Cut<kDisplayButtons.size()>(PaintDisplayStrip(Look::Lit, r), [](int k) {
            return DisplayZone(kDisplayButtons[size_t(k)]);
        });
    })[size_t(i)];
}

QImage SortButton(int index, qreal ratio) {
    if (index < 0 || index > 1) return QImage();
    static std::map<qreal, std::array<QImage, 2>> cache;
    return Cached(cache, ratio, [](qreal r) {
        return std::array<QImage, 2>{PaintSort(0, Look::Plain, r), PaintSort(1, Look::Plain, r)};
    })[size_t(index)];
}

QImage SortLit(int index, qreal ratio) {
    if (index < 0 || index > 1) return QImage();
    static std::map<qreal, std::array<QImage, 2>> cache;
    return Cached(cache, ratio, [](qreal r) {
        return std::array<QImage, 2>{PaintSort(0, Look::Lit, r), PaintSort(1, Look::Lit, r)};
    })[size_t(index)];
}

QRect PatternCellRect(int type) {
    if (type < 0 || type >= kPatternCount) return QRect();
    return QRect(kPatternOrigin +
                     QPoint(kPatternSize.width() * (type % 2), kPatternSize.height() * (type / 2)),
                 kPatternSize);
}

QImage BackgroundPanel(qreal ratio) {
    static std::map<qreal, QImage> cache;
    return Cached(cache, ratio, [](qreal r) { return PaintPanel(false, r); });
}

QImage BackgroundPattern(int type, qreal ratio) {
    if (type < 0 || type >= kPatternCount) return QImage();
    static std::map<qreal, std::array<QImage, kPatternCount>> cache;
    return Cached(cache, ratio, [](qreal r) {
        return Cut<kPatternCount>(PaintPanel(true, r), [](int i) { return PatternCellRect(i); });
    })[size_t(type)];
}

QImage DriveImage(DriveImageKind kind, qreal ratio) {
    const int i = int(kind);
    if (i < 0 || i >= 4) return QImage();
    static std::map<qreal, std::array<QImage, 4>> cache;
    return Cached(cache, ratio, [](qreal r) {
        return std::array<QImage, 4>{
            PaintDrive(DriveImageKind::Hdd, r), PaintDrive(DriveImageKind::Fdd, r),
            PaintDrive(DriveImageKind::Removable, r), PaintDrive(DriveImageKind::Cd, r)};
    })[size_t(i)];
}

}  // namespace listwindow
