// The print layout: metrics and columns in twips, pages per line spacing, the page range,
// wrap, the preview's fixed colours, the failure paths and a PDF read back as text.
#include <gtest/gtest.h>

#include <QFile>
#include <QFontInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <vector>

#include "grid/Grid.h"
#include "platform/Fonts.h"
#include "print/PrevPrint.h"
#include "print/PrintIcons.h"
#include "print/PrintPages.h"

namespace {

using namespace print;

const QChar kSep(2);
constexpr double kMm = 1440.0 / 25.4;

struct Row {
    int level;
    QString name;
    QString c1 = QStringLiteral("1");
    QString c2 = QStringLiteral("1,024");
    QString c3 = QStringLiteral("4,096");
    QString c4 = QStringLiteral("4,096");
};

// Rows as the list window leaves them: cells padded like the list's, indent = level x 16 + 2,
// root icon 13, folders 10, tree flags from the levels.
void Fill(grid::GridState& g, const std::vector<Row>& rows) {
    const int n = int(rows.size());
    g.indentStep = 16;
    g.dimRows(std::max(n, 1));
    g.rowCount = n;
    for (int i = 0; i < n; ++i) {
        const Row& r = rows[size_t(i)];
        g.rowText[size_t(i)] = r.name + kSep + r.c1.rightJustified(8) + kSep +
                               r.c2.rightJustified(18) + kSep + r.c3.rightJustified(18) + kSep +
                               r.c4.rightJustified(18);
        g.rowIndent.set(i, r.level * 16 + 2);
        g.rowIcon[size_t(i)] = quint8(i == 0 ? 13 : 10);
        bool last = true;
        for (int j = i + 1; j < n; ++j) {
            if (rows[size_t(j)].level < r.level) break;
            if (rows[size_t(j)].level == r.level) {
                last = false;
                break;
            }
        }
        const bool kids = i + 1 < n && rows[size_t(i + 1)].level > r.level;
        g.rowTreeFlags[size_t(i)] = quint8((kids ? 1 : 0) | (last && i > 0 ? 2 : 0));
    }
}

// n folders: the root, then levels 1, 2, 2, 1, 2, 3 ... named "Dir0001" ...
std::vector<Row> Tree(int n) {
    static const int kPattern[] = {1, 2, 2, 1, 2, 3};
    std::vector<Row> rows;
    for (int i = 0; i < n; ++i) {
        rows.push_back({i == 0 ? 0 : kPattern[(i - 1) % 6],
                        QStringLiteral("Dir%1").arg(i, 4, 10, QLatin1Char('0'))});
    }
    return rows;
}

// A4 with 5 mm margins, printed at 1200 dpi.
PageGeometry A4() {
    QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(5, 5, 5, 5),
                       QPageLayout::Millimeter);
    return GeometryOf(layout, 1200, 1200);
}

struct Preview {
    PrevPrint out;
    std::vector<QImage> pages;
    explicit Preview(const PageGeometry& geometry = A4()) {
        out.SetPageSink([this](const QImage& page) { pages.push_back(page.copy()); });
        out.SetPreviewTarget(geometry, 15);
    }
};

class FakeProgress : public PrintProgress {
  public:
    int cancelAtPump = -1;  // Pump call (1-based) that reports a stop
    int pumps = 0;
    bool begun = false, ended = false;
    QString error;
    void Begin(const QString& caption, const QString& title) override {
        begun = caption == QStringLiteral("FOLDEX 印刷") && title == QStringLiteral("印刷中");
    }
    bool Pump(int) override { return ++pumps == cancelAtPump; }
    void End() override { ended = true; }
    void ShowError(const QString& text) override { error = text; }
};

QString PdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    return QString::fromUtf8(p.readAllStandardOutput());
}

std::unique_ptr<QPdfWriter> Pdf(const QString& path) {
    auto w = std::make_unique<QPdfWriter>(path);
    w->setPageSize(QPageSize(QPageSize::A4));
    w->setPageMargins(QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter);
    w->setResolution(1200);
    return w;
}

QRgb At(const QImage& img, double xTwips, double yTwips) {
    return img.pixel(int(std::floor(xTwips / 15)), int(std::floor(yTwips / 15))) & 0xFFFFFF;
}

}  // namespace

TEST(PrintFonts, FacesResolveToInstalledFixedAndProportionalIpaFaces) {
    struct Case {
        FontFamily family;
        bool proportional;
        const char* installed;
    };
    const Case cases[] = {{FontFamily::Mincho, true, "IPAPMincho"},
                          {FontFamily::Mincho, false, "IPAMincho"},
                          {FontFamily::Gothic, true, "IPAPGothic"},
                          {FontFamily::Gothic, false, "IPAGothic"}};
    Preview p;
    for (const Case& c : cases) {
        ASSERT_TRUE(p.out.SetPrintFont(c.family, 9.75, false, false, c.proportional));
        EXPECT_EQ(QFontInfo(p.out.Font()).family(), QString::fromLatin1(c.installed));
        // Fixed pitch: digits, comma and blank line up.
        const double digit = p.out.TextWidth(QStringLiteral("9"));
        if (!c.proportional) {
            EXPECT_NEAR(p.out.TextWidth(QStringLiteral(" ,1")), 3 * digit, 0.01);
        }
    }
}

TEST(PrintMetrics, TwipsArithmeticAndCarriedColumnCounts) {
    struct Case {
        const char* what;
        std::vector<QString> c2, c3, c4;  // trimmed cell texts per row
        std::array<int, 5> chars;
    };
    const Case cases[] = {
        {"short sizes still get 12", {"1"}, {"22"}, {"333"}, {0, 7, 12, 12, 12}},
        {"carried to the right", {"1,234,567,890"}, {"1"}, {"12,345,678,901"}, {0, 7, 13, 13, 14}},
        {"above 15 widens the column", {"1"}, {"12,345,678,901,234"}, {"1"}, {0, 7, 12, 18, 18}},
        {"the largest figure, whole",
         {"9,223,372,036,854,775,807"},
         {"1"},
         {"1"},
         {0, 7, 25, 25, 25}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Row> rows = Tree(int(c.c2.size()));
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i].c2 = c.c2[i];
            rows[i].c3 = c.c3[i];
            rows[i].c4 = c.c4[i];
        }
        grid::GridState g;
        Fill(g, rows);
        Preview p;
        PrintMetrics m;
        PrintOptions o;
        o.sizeIndex = 4;  // 12 points
        ASSERT_TRUE(ComputeMetrics(p.out, g, QStringLiteral("T"), o, m));
        EXPECT_EQ(m.chars, c.chars);
        // A4 less 5 mm margins is 200 x 287 mm of printable area.
        EXPECT_NEAR(m.pageWidth, 200 * kMm, 10);  // Qt holds A4 in whole points
        EXPECT_NEAR(m.pageHeight, 287 * kMm, 10);
        EXPECT_NEAR(m.pixelX, 1.2, 1e-9);
        EXPECT_NEAR(m.sideMargin, 283.46, 0.01);
        EXPECT_NEAR(m.printableWidth, m.pageWidth - 10 * kMm, 1e-6);
        EXPECT_NEAR(m.printableBottom, m.pageHeight - 10 * kMm, 1e-6);
        EXPECT_DOUBLE_EQ(m.edge[0], m.sideMargin);
        EXPECT_NEAR(m.edge[5], m.sideMargin + m.printableWidth, 1e-6);
        // In the fixed-pitch list font every character of the templates is one advance:
        // "W999,999W" is 9, "W" + n characters + "W" is n + 2, as wide as the widest figure.
        ASSERT_TRUE(p.out.SetPrintFont(FontFamily::Mincho, 12, false, false, false));
        const double adv = p.out.TextWidth(QStringLiteral("W"));
        EXPECT_NEAR(m.edge[2] - m.edge[1], 9 * adv, 0.5);
        for (int col = 2; col < 5; ++col) {
            const int n = c.chars[size_t(col)];
            EXPECT_NEAR(m.edge[size_t(col + 1)] - m.edge[size_t(col)], (n + 2) * adv, 0.5) << col;
        }
    }
}

TEST(PrintMetrics, LineMetricsFollowSpacingAndSize) {
    grid::GridState g;
    Fill(g, Tree(3));
    for (int size = 0; size < 5; ++size) {
        for (int gap = 0; gap < 4; ++gap) {
            Preview p;
            PrintOptions o;
            o.sizeIndex = size;
            o.gapIndex = gap;
            PrintMetrics m;
            ASSERT_TRUE(ComputeMetrics(p.out, g, QStringLiteral("T"), o, m));
            // H is the line height of the list font, a little above its size in twips.
            const double em = kListFontSizes[size_t(size)] * 20;
            EXPECT_GT(m.H, em);
            EXPECT_LT(m.H, 1.5 * em);
            EXPECT_EQ(m.pitch, std::round(kLineSpacings[size_t(gap)] * m.H));
            EXPECT_DOUBLE_EQ(m.textOffset, (m.pitch - m.H) / 2);
            const double s = gap > 0 ? 1.2 * m.H : (size <= 1 ? m.H : m.H + m.H / 15);
            EXPECT_DOUBLE_EQ(m.S, s) << size << " " << gap;
            EXPECT_GT(m.bandTop, m.underlineY);
            EXPECT_GT(m.bandBottom, m.bandTop + 2 * kMm);
        }
    }
}

TEST(PrintLayout, PagesAndRowsAtEachLineSpacing) {
    grid::GridState g;
    Fill(g, Tree(300));
    for (int gap = 0; gap < 4; ++gap) {
        SCOPED_TRACE(gap);
        Preview p;
        PrintOptions o;
        o.gapIndex = gap;
        PrintMetrics m;
        ASSERT_TRUE(ComputeMetrics(p.out, g, QStringLiteral("T"), o, m));
        const std::vector<PagePlan> pages = LayoutPages(p.out, g, m, o, false);
        // Rows start while y lies above the printable bottom.
        const int perPage = int(std::ceil((m.printableBottom - m.bandBottom) / m.pitch));
        ASSERT_EQ(int(pages.size()), (300 + perPage - 1) / perPage);
        int next = 0;
        for (size_t i = 0; i < pages.size(); ++i) {
            EXPECT_EQ(pages[i].number, int(i) + 1);
            EXPECT_TRUE(pages[i].drawn);
            EXPECT_EQ(pages[i].firstRow, next);
            EXPECT_EQ(pages[i].lastRow, std::min(next + perPage, 300) - 1);
            EXPECT_DOUBLE_EQ(pages[i].rowsBottom,
                             m.bandBottom + (pages[i].lastRow - next + 1) * m.pitch);
            next = pages[i].lastRow + 1;
        }
        EXPECT_EQ(next, 300);
    }
}

TEST(PrintLayout, PageRangeLaysOutAllButDrawsOnlyTheRange) {
    grid::GridState g;
    Fill(g, Tree(300));  // 6 to 7 pages at 1.4 lines
    QTemporaryDir dir;
    struct Case {
        bool all;
        int first, last;
        int laidOut, drawn;
    };
    Preview probe;
    PrintMetrics m;
    ASSERT_TRUE(ComputeMetrics(probe.out, g, QStringLiteral("T"), PrintOptions{}, m));
    const int total = int(LayoutPages(probe.out, g, m, PrintOptions{}, false).size());
    ASSERT_GE(total, 4);
    const Case cases[] = {{true, 5, 1, total, total},
                          {false, 2, 3, 3, 2},
                          {false, 3, 1, total, total - 2},  // last below first: to the end
                          {false, 4, 4, 4, 1},
                          {false, total, total + 3, total, 1},  // from the last page on
                          {false, total + 1, total + 1, total, 0},
                          {false, total + 5, total + 9, total, 0}};
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(k);
        PrintOptions o;
        o.allPages = c.all;
        o.firstPage = c.first;
        o.lastPage = c.last;
        // Whether the range holds a page is known before anything is printed.
        {
            auto scratch = Pdf(dir.filePath(QStringLiteral("probe%1.pdf").arg(k)));
            PrevPrint out;
            ASSERT_TRUE(out.SetTarget(scratch.get(), false));
            EXPECT_EQ(RangeHasPages(out, g, QStringLiteral("T"), false, o), c.drawn > 0);
        }
        auto pdf = Pdf(dir.filePath(QStringLiteral("r%1.pdf").arg(k++)));
        PrevPrint out;
        ASSERT_TRUE(out.SetTarget(pdf.get(), false));
        FakeProgress progress;
        const PrintResult r = PrintPages(out, g, QStringLiteral("T"), false, o, &progress);
        EXPECT_FALSE(r.failed);
        EXPECT_EQ(r.pagesLaidOut, c.laidOut);
        EXPECT_EQ(r.pagesDrawn, c.drawn);
        EXPECT_TRUE(progress.begun);
        EXPECT_TRUE(progress.ended);
        // The preview of the same options shows the range's first page only.
        Preview p;
        const PrintResult pr = PrintPages(p.out, g, QStringLiteral("T"), false, o, nullptr);
        EXPECT_EQ(p.pages.size(), 1u);
        EXPECT_EQ(pr.pagesDrawn, c.drawn > 0 ? 1 : 0);
    }
    PrintOptions below;
    below.allPages = false;
    below.firstPage = 7;
    below.lastPage = 2;
    EXPECT_EQ(RangeOf(below).first, 7);
    EXPECT_EQ(RangeOf(below).last, kLastPage);
}

TEST(PrintLayout, WrapKeepsTheWholeNameAndCutKeepsItsBeginning) {
    const QString longName =
        QStringLiteral("とても長いフォルダ名 with blanks 😀 and more text ") + QString(60, u'x');
    std::vector<Row> rows = Tree(40);
    rows[1].name = QStringLiteral("  ") + longName + QStringLiteral("  ");
    grid::GridState g;
    Fill(g, rows);
    for (bool wrap : {false, true}) {
        SCOPED_TRACE(wrap);
        Preview p;
        PrintOptions o;
        o.wrap = wrap;
        PrintMetrics m;
        ASSERT_TRUE(ComputeMetrics(p.out, g, QStringLiteral("T"), o, m));
        const std::vector<PagePlan> pages = LayoutPages(p.out, g, m, o, false);
        const NamePlace place = PlaceName(p.out, g, m, o, false, true, 1);
        const std::vector<QString> lines = SplitName(p.out, longName, place.space, wrap);
        for (const QString& line : lines) {
            EXPECT_LE(p.out.TextWidth(line), place.space);
            EXPECT_FALSE(line.isEmpty());
            EXPECT_FALSE(line.back().isHighSurrogate());
        }
        if (wrap) {
            ASSERT_GE(lines.size(), 2u);
            QString joined;
            for (const QString& line : lines) joined += line;
            EXPECT_EQ(joined, longName);
            // The row takes its extra lines; the rows below move down by them.
            EXPECT_DOUBLE_EQ(pages[0].rowsBottom,
                             m.bandBottom + 40 * m.pitch + double(lines.size() - 1) * m.H);
        } else {
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_TRUE(longName.startsWith(lines[0]));
            EXPECT_GT(p.out.TextWidth(lines[0] + longName.at(lines[0].size())), place.space);
            EXPECT_DOUBLE_EQ(pages[0].rowsBottom, m.bandBottom + 40 * m.pitch);
        }
    }
}

TEST(PrintLayout, AWrappedRowThatWouldLoseItsEndStartsTheNextPage) {
    std::vector<Row> rows = Tree(400);
    grid::GridState g;
    Fill(g, rows);
    Preview p;
    PrintOptions o;
    PrintMetrics m;
    ASSERT_TRUE(ComputeMetrics(p.out, g, QStringLiteral("T"), o, m));
    const int last = LayoutPages(p.out, g, m, o, false)[0].lastRow;
    // The last row of page 1 becomes a name of many lines.
    rows[size_t(last)].name = QString(400, u'あ');
    Fill(g, rows);
    const std::vector<PagePlan> pages = LayoutPages(p.out, g, m, o, false);
    EXPECT_EQ(pages[0].lastRow, last - 1);
    EXPECT_EQ(pages[1].firstRow, last);
    EXPECT_LE(pages[0].rowsBottom, m.printableBottom);
}

TEST(PrintLayout, DegenerateListsAndPagesEnd) {
    struct Case {
        const char* what;
        int rows;
        int deepLevel;   // level of row 1, 0 = pattern
        int indentStep;  // 0: no level unit
        int pageTwips;   // printable height
        int sizeIndex;
    };
    const Case cases[] = {
        {"one row gives one page", 1, 0, 16, 0, 1},
        {"empty list", 0, 0, 16, 0, 1},
        {"levels past 255", 30, 1500, 16, 0, 1},
        {"no level unit", 30, 0, 0, 0, 1},
        {"no row fits under the band", 30, 0, 16, 1200, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Row> rows = Tree(c.rows);
        if (c.deepLevel) {
            for (int i = 1; i < c.rows; ++i) rows[size_t(i)].level = c.deepLevel + i;
        }
        grid::GridState g;
        Fill(g, rows);
        g.indentStep = c.indentStep;
        PageGeometry geo = A4();
        if (c.pageTwips) geo.pageHeight = c.pageTwips;
        Preview p(geo);
        PrintOptions o;
        o.sizeIndex = c.sizeIndex;
        const PrintResult r = PrintPages(p.out, g, QStringLiteral("T"), false, o, nullptr);
        EXPECT_FALSE(r.failed);
        EXPECT_EQ(p.pages.size(), 1u);  // the preview always gets a sheet
        PrintMetrics m;
        ASSERT_TRUE(ComputeMetrics(p.out, g, QStringLiteral("T"), o, m));
        const std::vector<PagePlan> pages = LayoutPages(p.out, g, m, o, false);
        if (c.rows == 0) {
            EXPECT_TRUE(pages.empty());
            continue;
        }
        int covered = 0;
        for (const PagePlan& pg : pages) {
            EXPECT_GE(pg.lastRow, pg.firstRow);  // every page takes a row
            covered += pg.lastRow - pg.firstRow + 1;
        }
        EXPECT_EQ(covered, c.rows);
        if (c.rows == 1) {
            EXPECT_EQ(pages.size(), 1u);
        }
        if (c.pageTwips) {
            EXPECT_EQ(int(pages.size()), c.rows);
        }
    }
}

TEST(PrintPreview, FixedColoursOfThePage) {
    grid::GridState g;
    Fill(g, Tree(30));
    struct Case {
        bool wide, frame, hRules, vRules;
        QRgb text;
    };
    const Case cases[] = {{true, true, true, true, 0x777777},
                          {false, true, true, true, 0x333333},
                          {true, false, false, true, 0x777777},
                          {true, false, false, false, 0x777777}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.wide << c.frame << c.hRules << c.vRules);
        Preview p;
        PrintOptions o;
        o.wideWindow = c.wide;
        o.frame = c.frame;
        o.hRules = c.hRules;
        o.vRules = c.vRules;
        PrintPages(p.out, g, QStringLiteral("Title"), false, o, nullptr);
        ASSERT_EQ(p.pages.size(), 1u);
        const QImage& img = p.pages[0];
        PrintMetrics m;
        ASSERT_TRUE(ComputeMetrics(p.out, g, QStringLiteral("Title"), o, m));
        const double rowsMid = m.bandBottom + 3.5 * m.pitch;
        // White page.
        EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(img.pixel(img.width() - 1, img.height() - 1) & 0xFFFFFF, 0xFFFFFFu);
        // The band left of the centred "Folder名": grey with the frame, else white.
        const double bandMid = (m.bandTop + m.bandBottom) / 2;
        EXPECT_EQ(At(img, m.edge[0] + 60, bandMid), c.frame ? 0xF0F0F0u : 0xFFFFFFu);
        // The frame's left side (near-black), else nothing.
        EXPECT_EQ(At(img, m.edge[0], rowsMid), c.frame ? 0x020000u : 0xFFFFFFu);
        // The line under the column titles is always there.
        EXPECT_EQ(At(img, m.edge[0] + 60, m.bandBottom), 0x020000u);
        // Vertical rule between the number columns: default line colour, in the rows only
        // with vertical rules.
        EXPECT_EQ(At(img, m.edge[3], rowsMid), c.vRules ? 0x404040u : 0xFFFFFFu);
        EXPECT_EQ(At(img, m.edge[3], bandMid), c.vRules || c.frame ? 0x404040u : 0xFFFFFFu);
        // Under row 2: the default rule across the number columns, the light rule in the name
        // column (at the top of row 3).
        const double under2 = m.bandBottom + 3 * m.pitch;
        const double numberGap = m.edge[2] + 3 * 15;  // left of the padded digits
        EXPECT_EQ(At(img, numberGap, under2), c.hRules ? 0x404040u : 0xFFFFFFu);
        EXPECT_EQ(At(img, m.edge[1] - 30, under2), c.hRules ? 0xE8E8E8u : 0xFFFFFFu);
        // Text: the darkest pixel of the bold title is the preview text colour.
        QRgb darkest = 0xFFFFFF;
        const double titleLeft = (m.pageWidth - m.titleWidth) / 2;
        for (int y = int(m.topMargin / 15); y < int((m.underlineY - 30) / 15); ++y) {
            for (int x = int(titleLeft / 15); x < int((titleLeft + m.titleWidth) / 15); ++x) {
                const QRgb px = img.pixel(x, y) & 0xFFFFFF;
                if (qGray(px) < qGray(darkest)) darkest = px;
            }
        }
        EXPECT_EQ(darkest, c.text);
    }
}

TEST(PrintPreview, IconsStripHasFourDistinctOpaqueIcons) {
    const QImage& strip = PrintIconStrip();
    ASSERT_EQ(strip.size(), QSize(128, 512));
    std::vector<QImage> icons;
    for (int i = 0; i < 4; ++i) {
        const QImage icon = strip.copy(0, i * 128, 128, 128);
        EXPECT_EQ(qAlpha(icon.pixel(64, 80)), 255) << i;  // painted in the middle
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << i;      // transparent corner
        for (const QImage& other : icons) EXPECT_NE(icon, other);
        icons.push_back(icon);
    }
}

TEST(PrintRun, FailuresAreReportedAndCancelStopsAfterThePage) {
    grid::GridState g;
    Fill(g, Tree(300));
    QTemporaryDir dir;
    {
        // No target: the fonts cannot be set; the progress window closes and shows why.
        PrevPrint out;
        FakeProgress progress;
        const PrintResult r = PrintPages(out, g, QStringLiteral("T"), false, {}, &progress);
        EXPECT_TRUE(r.failed);
        EXPECT_FALSE(r.errorText.isEmpty());
        EXPECT_EQ(progress.error, r.errorText);
        EXPECT_TRUE(progress.ended);
        EXPECT_EQ(r.pagesDrawn, 0);
    }
    {
        // A PDF in a folder that does not exist cannot start.
        auto pdf = Pdf(dir.filePath(QStringLiteral("missing/x.pdf")));
        PrevPrint out;
        EXPECT_FALSE(out.SetTarget(pdf.get(), false));
        EXPECT_TRUE(out.PrinterError());
        EXPECT_FALSE(out.ErrorText().isEmpty());
    }
    {
        // Stop pressed while page 1 is drawn: page 1 is kept, the document ends.
        const QString path = dir.filePath(QStringLiteral("c.pdf"));
        auto pdf = Pdf(path);
        PrevPrint out;
        ASSERT_TRUE(out.SetTarget(pdf.get(), false));
        FakeProgress progress;
        progress.cancelAtPump = 1;
        const PrintResult r = PrintPages(out, g, QStringLiteral("T"), false, {}, &progress);
        pdf.reset();
        EXPECT_TRUE(r.cancelled);
        EXPECT_FALSE(r.failed);
        EXPECT_EQ(r.pagesDrawn, 1);
        const QString text = PdfText(path);
        EXPECT_TRUE(text.contains(QStringLiteral("Page.1")));
        EXPECT_FALSE(text.contains(QStringLiteral("Page.2")));
    }
}

TEST(PrintRun, PdfCarriesTitlePageLabelsAndEveryFolderInOrder) {
    std::vector<Row> rows = Tree(150);
    rows[3].name = QStringLiteral("日本語 フォルダ");
    grid::GridState g;
    Fill(g, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.pdf"));
    const QString title = QStringLiteral("ボリューム (T:) 印刷テスト");
    PrintOptions o;
    o.allPages = false;
    o.firstPage = 2;
    o.lastPage = 3;
    auto pdf = Pdf(path);
    PrevPrint out;
    ASSERT_TRUE(out.SetTarget(pdf.get(), false));
    const PrintResult r = PrintPages(out, g, title, false, o, nullptr);
    pdf.reset();
    ASSERT_FALSE(r.failed);
    ASSERT_EQ(r.pagesDrawn, 2);

    Preview probe;
    PrintMetrics m;
    ASSERT_TRUE(ComputeMetrics(probe.out, g, title, o, m));
    const std::vector<PagePlan> pages = LayoutPages(probe.out, g, m, o, false);
    ASSERT_EQ(pages.size(), 3u);

    const QString text = PdfText(path);
    EXPECT_EQ(text.count(title), 2);
    EXPECT_FALSE(text.contains(QStringLiteral("Page.1\n")) ||
                 text.contains(QStringLiteral("Page.1 ")));
    const qsizetype p2 = text.indexOf(QStringLiteral("Page.2"));
    const qsizetype p3 = text.indexOf(QStringLiteral("Page.3"));
    ASSERT_GE(p2, 0);
    ASSERT_GT(p3, p2);
    qsizetype at = 0;
    for (int row = pages[1].firstRow; row <= pages[2].lastRow; ++row) {
        const QString name = rows[size_t(row)].name;
        const qsizetype found = text.indexOf(name, at);
        ASSERT_GE(found, at) << row;
        at = found + name.size();
        if (row == pages[2].firstRow) {
            EXPECT_GT(found, p3);
        }
    }
    EXPECT_FALSE(text.contains(rows[size_t(pages[0].lastRow)].name));
}

TEST(PrintRun, NamesPrintAsTheWindowShowsThemAtAnyDepth) {
    // A chain 30 levels deep, and names holding characters a Windows name cannot hold.
    std::vector<Row> rows;
    for (int level = 0; level <= 30; ++level)
        rows.push_back({level, QStringLiteral("level%1name").arg(level)});
    rows.push_back({1, QStringLiteral("star") + QChar(0xF02A) + QStringLiteral("quote") +
                           QChar(0xF022) + QStringLiteral("pipe") + QChar(0xF07C) + u'x'});
    grid::GridState g;
    Fill(g, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("deep.pdf"));
    PrintOptions o;
    auto pdf = Pdf(path);
    PrevPrint out;
    ASSERT_TRUE(out.SetTarget(pdf.get(), false));
    const PrintResult r = PrintPages(out, g, QStringLiteral("T"), false, o, nullptr);
    pdf.reset();
    ASSERT_FALSE(r.failed);
    const QString text = PdfText(path);
    // Every name is printed, on one line, however deep.
    for (int level = 1; level <= 30; ++level)
        EXPECT_TRUE(text.contains(QStringLiteral("level%1name").arg(level))) << level;
    EXPECT_TRUE(text.contains(QStringLiteral("star*quote\"pipe|x"))) << text.toStdString();
    for (const QChar carrier : {QChar(0xF02A), QChar(0xF022), QChar(0xF07C)})
        EXPECT_FALSE(text.contains(carrier));
}

TEST(PrintLayout, DeepLevelsKeepHalfTheNameColumnAndShowTheirLevel) {
    // A chain 40 levels deep, then a folder at level 1 again.
    std::vector<Row> rows;
    for (int level = 0; level <= 40; ++level)
        rows.push_back({level, QStringLiteral("フォルダー%1 level").arg(level)});
    rows.push_back({1, QStringLiteral("sibling")});
    grid::GridState g;
    Fill(g, rows);
    const struct {
        int sizeIndex;
        bool tree;
    } cases[] = {{0, true}, {4, true}, {1, false}, {4, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("size %1, tree %2").arg(c.sizeIndex).arg(c.tree).toStdString());
        Preview p;
        PrintOptions o;
        o.sizeIndex = c.sizeIndex;
        o.tree = c.tree;
        PrintMetrics m;
        ASSERT_TRUE(ComputeMetrics(p.out, g, QStringLiteral("T"), o, m));
        const std::vector<PagePlan> pages = LayoutPages(p.out, g, m, o, false);
        ASSERT_FALSE(pages.empty());
        EXPECT_GE(m.levelCap, 4);
        const double half = (m.edge[1] - m.edge[0]) / 2;
        for (int r = 1; r < g.rowCount; ++r) {
            SCOPED_TRACE(r);
            const NamePlace place = PlaceName(p.out, g, m, o, false, true, r);
            const int level = rows[size_t(r)].level;
            const QString name = PrintedName(rows[size_t(r)].name, level, m, false);
            // Every name keeps half the column and prints on one line.
            EXPECT_GE(place.space, half);
            EXPECT_EQ(SplitName(p.out, name, place.space, true).size(), 1u);
            // The tree's lines and boxes stay left of the name.
            if (c.tree) {
                EXPECT_GT(place.x, m.edge[0] + place.indent + m.S);
            }
            // A row deeper than the indent goes says its level.
            EXPECT_EQ(name.startsWith(QStringLiteral("[%1] ").arg(level)), level > m.levelCap);
            EXPECT_TRUE(name.endsWith(rows[size_t(r)].name));
        }
        // Each row takes one line: the pages hold the rows at one pitch each.
        EXPECT_DOUBLE_EQ(pages[0].rowsBottom,
                         m.bandBottom + (pages[0].lastRow - pages[0].firstRow + 1) * m.pitch);
    }
}
