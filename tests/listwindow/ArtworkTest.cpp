// The list window's drawn pictures: sizes, click zones, lit looks laid exactly over their
// buttons, transparency, and a contact sheet written on request (FOLDEX_ART_PNG=file.png).
#include "listwindow/Artwork.h"
#include "listwindow/HitZones.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QPainter>
#include <QSet>

#include <functional>
#include <vector>

using namespace listwindow;

namespace {

const DisplayButton kDisplay[] = {DisplayButton::Background, DisplayButton::NameColour,
                                  DisplayButton::Kb,         DisplayButton::Mb,
                                  DisplayButton::FullPath,   DisplayButton::Gb};
const DriveImageKind kDrives[] = {DriveImageKind::Hdd, DriveImageKind::Fdd,
                                  DriveImageKind::Removable, DriveImageKind::Cd};

int DistinctColours(const QImage& img) {
    QSet<QRgb> seen;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) seen.insert(img.pixel(x, y));
    return int(seen.size());
}

bool AllOpaque(const QImage& img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) != 255) return false;
    return true;
}

bool Contains(const QImage& img, QRgb colour) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) return true;
    return false;
}

// Clearly darker than the strip behind it: a button outline (or ink).
bool IsEdge(QRgb c) {
    return qGray(c) < qGray(StripBackground().rgb()) - 25;
}

// The outline of the lit look must lie where the plain button's outline lies: compare the
// three outer columns at mid height and the outer rows at mid width.
void ExpectSameOutline(const QImage& strip, const QImage& lit, const QRect& r, const char* what) {
    ASSERT_EQ(lit.size(), r.size()) << what;
    const int my = r.height() / 2, mx = r.width() / 2;
    for (int k : {0, 1, 2, r.width() - 3, r.width() - 2, r.width() - 1}) {
        EXPECT_EQ(IsEdge(lit.pixel(k, my)), IsEdge(strip.pixel(r.x() + k, r.y() + my)))
            << what << " column " << k;
    }
    for (int k : {0, r.height() - 1}) {
        EXPECT_EQ(IsEdge(lit.pixel(mx, k)), IsEdge(strip.pixel(r.x() + mx, r.y() + k)))
            << what << " row " << k;
    }
}

// Average of (blue - red) over the inner part: the lit looks are tinted blue.
double Blueness(const QImage& img, const QRect& r) {
    double sum = 0;
    int n = 0;
    for (int y = r.top() + 3; y <= r.bottom() - 3; ++y)
        for (int x = r.left() + 3; x <= r.right() - 3; ++x, ++n)
            sum += qBlue(img.pixel(x, y)) - qRed(img.pixel(x, y));
    return n ? sum / n : 0;
}

void ExpectLit(const QImage& strip, const QImage& lit, const QRect& r, const char* what) {
    ExpectSameOutline(strip, lit, r, what);
    EXPECT_GT(Blueness(lit, QRect(QPoint(0, 0), r.size())), Blueness(strip, r) + 15) << what;
    EXPECT_TRUE(AllOpaque(lit)) << what;
    EXPECT_GE(DistinctColours(lit), 8) << what;
}

int ToolbarRule(int x, int y) {
    if (y <= 22) return 0;
    if (y <= 46) return x < 27 ? 1 : 2;
    return x < 27 ? 3 : 4;
}

int LevelRule(int x) {
    if (x < 59) return -1;
    if (x >= 159 && x <= 188) return 0;
    const int n = (x - 59) / 25 + 1;
    return n < 5 && (x - 59) % 25 <= 22 ? n : -1;
}

int DisplayRule(int x) {
    if (x <= 40) return 0;
    if (x <= 82) return 1;
    if (x <= 109) return 2;
    if (x <= 136) return 3;
    if (x <= 183) return 4;
    return 5;
}

}  // namespace

TEST(Artwork, ToolbarButtonsCoverTheirClickAreas) {
    const QImage bar = ToolbarImage();
    ASSERT_EQ(bar.size(), QSize(54, 70));
    EXPECT_TRUE(AllOpaque(bar));
    for (int y = 0; y < bar.height(); ++y) {
        for (int x = 0; x < bar.width(); ++x) {
            for (int i = 0; i < kToolbarButtons; ++i) {
                ASSERT_EQ(ToolbarButtonRect(i).contains(x, y), ToolbarRule(x, y) == i)
                    << "x " << x << " y " << y << " button " << i;
            }
            ASSERT_EQ(ToolbarButtonAt(QPoint(x, y)), ToolbarRule(x, y)) << x << " " << y;
        }
    }
    for (int i = 0; i < kToolbarButtons; ++i) {
        const QRect r = ToolbarButtonRect(i);
        ExpectLit(bar, ToolbarPressed(i), r, "toolbar");
        // The icons differ from one another.
        for (int j = 0; j < i; ++j) {
            if (ToolbarButtonRect(j).size() == r.size()) {
                EXPECT_NE(bar.copy(r), bar.copy(ToolbarButtonRect(j))) << i << " " << j;
            }
        }
    }
    EXPECT_TRUE(ToolbarPressed(-1).isNull());
    EXPECT_TRUE(ToolbarPressed(5).isNull());
    EXPECT_TRUE(ToolbarButtonRect(5).isEmpty());
}

TEST(Artwork, LevelButtonsFollowTheClickZones) {
    const QImage strip = LevelStrip();
    ASSERT_EQ(strip.size(), kLevelStripSize);
    EXPECT_TRUE(AllOpaque(strip));
    const int mid = strip.height() / 2;
    for (int x = 0; x < strip.width(); ++x) {
        for (int i = 0; i < kLevelButtons; ++i)
            EXPECT_EQ(LevelButtonRect(i).contains(x, mid), LevelRule(x) == i) << x << " " << i;
        EXPECT_EQ(LevelButtonAt(x), LevelRule(x)) << x;
    }
    // x = 82 is in the gap and x = 160 on "all".
    EXPECT_EQ(LevelRule(82), -1);
    EXPECT_TRUE(LevelButtonRect(0).contains(160, mid));
    // The gaps show the plain strip, so the buttons stand apart.
    const QRgb back = StripBackground().rgb();
    for (int x : {82, 83, 107, 108, 132, 133, 157, 158}) EXPECT_EQ(strip.pixel(x, mid), back) << x;
    EXPECT_EQ(strip.pixel(strip.width() - 1, mid), back);
    for (int i = 0; i < kLevelButtons; ++i) {
        const QRect r = LevelButtonRect(i);
        EXPECT_TRUE(strip.rect().contains(r));
        ExpectLit(strip, LevelLit(i), r, "level");
    }
    // The caption area is drawn on, not left empty.
    EXPECT_GE(DistinctColours(strip.copy(0, 0, 59, strip.height())), 6);
    EXPECT_TRUE(LevelLit(5).isNull());
}

TEST(Artwork, DisplayZonesFollowTheClickZones) {
    const QImage strip = DisplayStrip();
    ASSERT_EQ(strip.size(), kDisplayStripSize);
    EXPECT_TRUE(AllOpaque(strip));
    const int mid = strip.height() / 2;
    for (int x = 0; x < strip.width(); ++x) {
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(DisplayZone(kDisplay[i]).contains(x, mid), DisplayRule(x) == i) << x;
        EXPECT_EQ(DisplayButtonAt(x), DisplayRule(x)) << x;
    }
    const QRgb back = StripBackground().rgb();
    for (int x : {0, 40, 41, 82, 83, 109, 110, 136, 137, 183, 184, strip.width() - 1})
        EXPECT_EQ(strip.pixel(x, mid), back) << x;
    for (int i = 0; i < 6; ++i) {
        const QRect r = DisplayZone(kDisplay[i]);
        EXPECT_TRUE(strip.rect().contains(r));
        ExpectLit(strip, DisplayLit(kDisplay[i]), r, "display");
    }
}

TEST(Artwork, SortButtonsHaveLitLooksOfTheSameShape) {
    for (int i = 0; i < 2; ++i) {
        const QImage plain = SortButton(i), lit = SortLit(i);
        ASSERT_EQ(plain.size(), kSortButtonSize);
        ASSERT_EQ(lit.size(), kSortButtonSize);
        // Rounded: the corners let the heading show through, the middle does not.
        for (const QImage& img : {plain, lit}) {
            EXPECT_LT(qAlpha(img.pixel(0, 0)), 128);
            EXPECT_LT(qAlpha(img.pixel(19, 19)), 128);
            EXPECT_EQ(qAlpha(img.pixel(10, 10)), 255);
            EXPECT_EQ(qAlpha(img.pixel(0, 10)), 255);
            EXPECT_GE(DistinctColours(img), 8);
        }
        const QRect whole(QPoint(0, 0), kSortButtonSize);
        EXPECT_GT(Blueness(lit, whole), Blueness(plain, whole) + 15);
    }
    EXPECT_NE(SortButton(0), SortButton(1));
    EXPECT_TRUE(SortButton(2).isNull());
    EXPECT_TRUE(SortLit(-1).isNull());
}

TEST(Artwork, ChooserCellsAndPatterns) {
    const QImage panel = BackgroundPanel();
    ASSERT_EQ(panel.size(), QSize(142, 163));
    EXPECT_EQ(qAlpha(panel.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(panel.pixel(70, 80)), 255);
    for (int t = 0; t < kPatternCount; ++t) {
        const QRect cell = PatternCellRect(t);
        EXPECT_EQ(cell, QRect(9 + 62 * (t % 2), 8 + 49 * (t / 2), 62, 49)) << t;
        EXPECT_TRUE(panel.rect().adjusted(8, 8, -8, -8).contains(cell)) << t;
        const QImage pattern = BackgroundPattern(t);
        ASSERT_EQ(pattern.size(), kPatternSize) << t;
        EXPECT_TRUE(AllOpaque(pattern)) << t;
        EXPECT_GE(DistinctColours(pattern), 8) << t;
        // Laid in its cell, the pattern's margin continues the panel.
        EXPECT_EQ(pattern.pixel(0, 0), panel.pixel(cell.x(), cell.y())) << t;
        EXPECT_EQ(pattern.pixel(61, 48), panel.pixel(cell.right(), cell.bottom())) << t;
        for (int u = 0; u < t; ++u) EXPECT_NE(pattern, BackgroundPattern(u)) << t << " " << u;
    }
    // Type 2 shows the size-mark colours, from the cool end to the warm end.
    EXPECT_TRUE(Contains(BackgroundPattern(2), SizeMarkColour(15)));
    EXPECT_TRUE(Contains(BackgroundPattern(2), SizeMarkColour(2)));
    EXPECT_FALSE(Contains(BackgroundPattern(0), SizeMarkColour(15)));
    EXPECT_EQ(SizeMarkColour(15), qRgb(0xFC, 0x72, 0x98));
    EXPECT_EQ(SizeMarkColour(1), qRgb(0xE0, 0xF4, 0xFF));
    EXPECT_TRUE(BackgroundPattern(6).isNull());
    EXPECT_TRUE(PatternCellRect(-1).isEmpty());
}

TEST(Artwork, DriveImagesOnTransparentGround) {
    std::vector<QImage> seen;
    for (DriveImageKind k : kDrives) {
        const QImage img = DriveImage(k);
        ASSERT_EQ(img.size(), kDriveImageSize);
        EXPECT_EQ(img.format(), QImage::Format_ARGB32_Premultiplied);
        int clear = 0, solid = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const int a = qAlpha(img.pixel(x, y));
                clear += a == 0;
                solid += a == 255;
            }
        const int all = img.width() * img.height();
        EXPECT_GT(clear, all / 8) << int(k);
        EXPECT_GT(solid, all / 3) << int(k);
        for (QPoint corner : {QPoint(0, 0), QPoint(29, 0), QPoint(0, 21), QPoint(29, 21)})
            EXPECT_EQ(qAlpha(img.pixel(corner)), 0) << int(k);
        EXPECT_GE(DistinctColours(img), 10) << int(k);
        for (const QImage& other : seen) EXPECT_NE(img, other);
        seen.push_back(img);
    }
    // The CD has a hole in the middle.
    EXPECT_EQ(qAlpha(DriveImage(DriveImageKind::Cd).pixel(15, 11)), 0);
}

// 2 x 2 blocks whose device pixels are not all one colour: none in a picture that was
// painted at ratio 1 and doubled.
int MixedBlocks(const QImage& img) {
    int mixed = 0;
    for (int y = 0; y + 1 < img.height(); y += 2)
        for (int x = 0; x + 1 < img.width(); x += 2) {
            const QRgb c = img.pixel(x, y);
            mixed += img.pixel(x + 1, y) != c || img.pixel(x, y + 1) != c ||
                     img.pixel(x + 1, y + 1) != c;
        }
    return mixed;
}

TEST(Artwork, AtAPixelRatioOfTwoTextAndCurvesTakeEveryDevicePixel) {
    const struct {
        const char* what;
        QImage at1, at2;
    } cases[] = {
        {"toolbar", ToolbarImage(1), ToolbarImage(2)},
        {"pressed", ToolbarPressed(0, 1), ToolbarPressed(0, 2)},
        {"levels", LevelStrip(1), LevelStrip(2)},
        {"level lit", LevelLit(2, 1), LevelLit(2, 2)},
        {"display", DisplayStrip(1), DisplayStrip(2)},
        {"display lit", DisplayLit(DisplayButton::Kb, 1), DisplayLit(DisplayButton::Kb, 2)},
        {"sort", SortButton(1, 1), SortButton(1, 2)},
        {"sort lit", SortLit(1, 1), SortLit(1, 2)},
        {"chooser", BackgroundPanel(1), BackgroundPanel(2)},
        {"cd", DriveImage(DriveImageKind::Cd, 1), DriveImage(DriveImageKind::Cd, 2)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.at2.size(), 2 * c.at1.size()) << c.what;
        EXPECT_EQ(c.at2.deviceIndependentSize(), QSizeF(c.at1.size())) << c.what;
        EXPECT_GT(MixedBlocks(c.at2), 0) << c.what;
    }
    // The parts cut from a picture cover their rectangle's device pixels.
    EXPECT_EQ(LevelLit(2, 2).size(), 2 * LevelButtonRect(2).size());
    EXPECT_EQ(BackgroundPattern(4, 2).size(), 2 * kPatternSize);
}

TEST(Artwork, PaintedOnceAndCached) {
    EXPECT_EQ(ToolbarImage().cacheKey(), ToolbarImage().cacheKey());
    EXPECT_EQ(LevelLit(2).cacheKey(), LevelLit(2).cacheKey());
    EXPECT_EQ(DriveImage(DriveImageKind::Cd).cacheKey(), DriveImage(DriveImageKind::Cd).cacheKey());
}

// ---- contact sheet ----

namespace {

QImage Laid(const QImage& base, const QImage& top, QPoint at) {
    QImage out = base.copy();
    QPainter p(&out);
    p.drawImage(at, top);
    return out;
}

class Sheet {
  public:
    explicit Sheet(QSize size) : img_(size, QImage::Format_ARGB32_Premultiplied) {
        img_.fill(QColor(0xFF, 0xFF, 0xFF));
        p_.begin(&img_);
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(11);
        p_.setFont(f);
    }
    void Title(int x, int y, const QString& s) {
        p_.setPen(QColor(0x55, 0x55, 0x55));
        p_.drawText(x, y, s);
    }
    void Put(int x, int y, const QImage& img) { p_.drawImage(x, y, img); }
    void Ground(const QRect& r, const QColor& c) { p_.fillRect(r, c); }
    QImage Done() {
        p_.end();
        return img_;
    }

  private:
    QImage img_;
    QPainter p_;
};

}  // namespace

TEST(Artwork, ContactSheet) {
    const QString out = qEnvironmentVariable("FOLDEX_ART_PNG");
    if (out.isEmpty()) GTEST_SKIP() << "set FOLDEX_ART_PNG to a .png path to write the sheet";
    Sheet s(QSize(1060, 440));
    int y = 16;
    s.Title(10, y,
            QStringLiteral("TOLFRM plain, then TNEWIMG TTXTIMG TPRTIMG TFILIMG TOPTIMG laid"));
    s.Put(10, y + 6, ToolbarImage());
    for (int i = 0; i < kToolbarButtons; ++i)
        s.Put(80 + 64 * i, y + 6,
              Laid(ToolbarImage(), ToolbarPressed(i), ToolbarButtonRect(i).topLeft()));
    s.Title(420, y, QStringLiteral("SRTFRM 0/1 plain and SRTONIMG 0/1, on strip and on white"));
    s.Ground(QRect(420, y + 6, 110, 30), StripBackground());
    for (int i = 0; i < 2; ++i) {
        s.Put(425 + 26 * i, y + 11, SortButton(i));
        s.Put(480 + 26 * i, y + 11, SortLit(i));
        s.Put(545 + 26 * i, y + 11, SortButton(i));
        s.Put(600 + 26 * i, y + 11, SortLit(i));
    }
    s.Title(420, y + 56, QStringLiteral("IMGHDD IMGFDD IMGRMV IMGCDR on strip and on white"));
    s.Ground(QRect(420, y + 62, 180, 44), StripBackground());
    for (int i = 0; i < 4; ++i) {
        s.Put(428 + 42 * i, y + 66, DriveImage(kDrives[i]));
        s.Put(628 + 42 * i, y + 66, DriveImage(kDrives[i]));
    }
    y = 120;
    s.Title(10, y, QStringLiteral("LVLFRM plain, then LVLIMG 0..4 laid"));
    s.Title(250, y, QStringLiteral("DSPFRM plain, then the five D*IMG laid"));
    for (int i = 0; i <= kLevelButtons; ++i) {
        const QImage lvl =
            i == 0 ? LevelStrip()
                   : Laid(LevelStrip(), LevelLit(i - 1), LevelButtonRect(i - 1).topLeft());
        s.Put(10, y + 6 + 30 * i, lvl);
        const QImage dsp = i == 0 ? DisplayStrip()
                                  : Laid(DisplayStrip(), DisplayLit(kDisplay[i - 1]),
                                         DisplayZone(kDisplay[i - 1]).topLeft());
        s.Put(250, y + 6 + 30 * i, dsp);
    }
    s.Title(470, y, QStringLiteral("背景選択PNL empty, with 背景選択IMG 0..5"));
    s.Put(470, y + 6, BackgroundPanel());
    QImage full = BackgroundPanel();
    for (int t = 0; t < kPatternCount; ++t)
        full = Laid(full, BackgroundPattern(t), PatternCellRect(t).topLeft());
    s.Put(630, y + 6, full);
    s.Title(790, y, QStringLiteral("patterns alone"));
    for (int t = 0; t < kPatternCount; ++t)
        s.Put(790 + 70 * (t % 2), y + 6 + 56 * (t / 2), BackgroundPattern(t));
    // A window-like mock: toolbar, drives, strips side by side.
    y = 330;
    s.Title(10, y, QStringLiteral("together"));
    s.Ground(QRect(10, y + 6, 700, 90), StripBackground());
    s.Put(16, y + 12, ToolbarImage());
    for (int i = 0; i < 4; ++i) s.Put(84 + 36 * i, y + 14, DriveImage(kDrives[i]));
    s.Put(84, y + 50,
          Laid(DisplayStrip(), DisplayLit(DisplayButton::Kb),
               DisplayZone(DisplayButton::Kb).topLeft()));
    s.Put(290, y + 50, Laid(LevelStrip(), LevelLit(2), LevelButtonRect(2).topLeft()));
    s.Put(500, y + 50, SortButton(0));
    s.Put(524, y + 50, SortLit(1));
    const QImage sheet = s.Done();
    ASSERT_TRUE(sheet.save(out));
    const QFileInfo fi(out);
    const QString big =
        fi.path() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral("_3x.") + fi.suffix();
    ASSERT_TRUE(
        sheet.scaled(sheet.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(big));
}

// Every strip button's tool tip names the key that does the same.
TEST(Artwork, StripToolTipsNameTheirKeys) {
    const QString levelKeys[] = {QStringLiteral("テンキー 0"), QStringLiteral("テンキー 1"),
                                 QStringLiteral("テンキー 2"), QStringLiteral("テンキー 3"),
                                 QStringLiteral("テンキー 4")};
    for (size_t i = 0; i < LevelZones().size(); ++i)
        EXPECT_TRUE(QString::fromUtf16(LevelZones()[i].tip).contains(levelKeys[i])) << i;
    const char* displayKeys[] = {"Alt+L", "Alt+C", "Alt+K", "Alt+M", "Alt+F", "Alt+G"};
    for (size_t i = 0; i < DisplayZones().size(); ++i)
        EXPECT_TRUE(
            QString::fromUtf16(DisplayZones()[i].tip).contains(QLatin1String(displayKeys[i])))
            << i;
    EXPECT_TRUE(QString::fromUtf16(SortTips()[0]).contains(QLatin1String("Alt+S")));
    EXPECT_TRUE(QString::fromUtf16(SortTips()[1]).contains(QLatin1String("Alt+X")));
}
