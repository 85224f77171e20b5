// Letter-case styles and cell text placement.
#include <gtest/gtest.h>

#include <array>
#include <set>

#include "grid/Grid.h"
#include "grid/GridFixture.h"
#include "grid/MarkIcons.h"

using namespace grid;

TEST(GridCase, AsciiOnlyStyles) {
    EXPECT_EQ(AsciiLower(QStringLiteral("AbÄ Z")), QStringLiteral("abÄ z"));
    EXPECT_EQ(AsciiUpper(QStringLiteral("abä z")), QStringLiteral("ABä Z"));
    EXPECT_EQ(Capitalise(QStringLiteral("äBC")), QStringLiteral("äbc"));
    EXPECT_EQ(Capitalise(QStringLiteral("hELLO")), QStringLiteral("Hello"));
    EXPECT_EQ(Capitalise(QString()), QString());
}

TEST(GridCase, TitleCase) {
    EXPECT_EQ(TitleCase(QStringLiteral("list of files in the root, etc.")),
              QStringLiteral("List of Files in The Root, etc."));
    EXPECT_EQ(TitleCase(QStringLiteral("txt and csv")), QStringLiteral("TXT and CSV"));
    EXPECT_EQ(TitleCase(QStringLiteral("my")), QStringLiteral("MY"));
    EXPECT_EQ(TitleCase(QStringLiteral("a,,b")), QStringLiteral("A,,b"));
    EXPECT_EQ(TitleCase(QStringLiteral("  TWO  WORDS ")), QStringLiteral("  Two  Words "));
    EXPECT_EQ(TitleCase(QString()), QString());
}

TEST(GridCase, PathCase) {
    EXPECT_EQ(PathCase(QStringLiteral("c:\\program files\\my dir")),
              QStringLiteral("C:\\Program files\\My dir"));
    EXPECT_EQ(PathCase(QStringLiteral("c:abc")), QStringLiteral("C:Abc"));
    EXPECT_EQ(PathCase(QStringLiteral("aBC\\DEF\\")), QStringLiteral("Abc\\Def\\"));
    EXPECT_EQ(PathCase(QStringLiteral("x:\\")), QStringLiteral("X:\\"));
}

TEST(GridCase, ApplyCaseByStyleValue) {
    const QString t = QStringLiteral("hello WORLD");
    EXPECT_EQ(ApplyCase(0, t), t);
    EXPECT_EQ(ApplyCase(7, t), t);
    EXPECT_EQ(ApplyCase(1, t), QStringLiteral("hello world"));
    EXPECT_EQ(ApplyCase(2, t), QStringLiteral("HELLO WORLD"));
    EXPECT_EQ(ApplyCase(3, t), QStringLiteral("Hello world"));
    EXPECT_EQ(ApplyCase(4, t), QStringLiteral("Hello World"));
    EXPECT_EQ(ApplyCase(-1, QStringLiteral("c:\\ab")), QStringLiteral("C:\\Ab"));
}

namespace {

// Solid squares, in the fonts the set-up installs (IPA, Liberation) and most others: pixels of
// the text colour itself, inside the row's height.
const QString kSolid = QStringLiteral("■■■■■");

// Leftmost and rightmost x in [x1, x2) of row r whose pixel is not the background.
std::pair<int, int> InkSpan(Grid& g, int r, int x1, int x2) {
    int lo = -1, hi = -1;
    const int top = (r - g.st.topRow) * g.st.rowHeight;
    for (int y = top + 1; y < top + g.st.rowHeight - 1; ++y) {
        for (int x = x1; x < x2; ++x) {
            if (g.surface.pixel(x, y) != g.st.backColour) {
                if (lo < 0 || x < lo) lo = x;
                hi = std::max(hi, x);
            }
        }
    }
    return {lo, hi};
}

}  // namespace

TEST(GridText, AlignmentAndClippingWithoutEllipsis) {
    auto g = gridtest::MakeGrid({.rows = 6});
    g->st.vRuleWidth = 0;
    g->st.cellCursor = 0;
    const QString wide = QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWW");
    SetCellText(*g, 1, 2, wide);
    const CellRect rc = g->st.cellRects[1];
    auto [lo, hi] = InkSpan(*g, 2, g->st.columnLeft[1], g->st.columnRight[1]);
    // Right-aligned and too wide: cut at both edges of the rectangle.
    EXPECT_GE(lo, rc.left);
    EXPECT_LT(hi, rc.right);
    EXPECT_GE(hi, rc.right - 3);
    // A short right-aligned text ends at the right edge; left-aligned starts at the left.
    SetCellText(*g, 1, 3, QStringLiteral("7"));
    auto [lo3, hi3] = InkSpan(*g, 3, g->st.columnLeft[1], g->st.columnRight[1]);
    EXPECT_GT(lo3, rc.left + 30);
    EXPECT_GE(hi3, rc.right - 3);
    g->st.columnAlign[1] = 0;
    DrawRow(*g, 3);
    auto [lo4, hi4] = InkSpan(*g, 3, g->st.columnLeft[1], g->st.columnRight[1]);
    EXPECT_LE(lo4, rc.left + 2);
    EXPECT_LT(hi4, rc.left + 20);
}

TEST(GridText, ColumnZeroTextStartsAfterTheIcon) {
    auto g = gridtest::MakeGrid({.rows = 6});
    g->st.treeLines = 0;
    g->st.cellCursor = 0;
    const int r = 2;
    DrawRow(*g, r);
    EXPECT_EQ(g->st.cellRects[0].left, g->st.rowIndent[r] + 14 + 2);
    // A row without an icon starts at the column's own left edge.
    g->st.rowIcon[size_t(r)] = 0;
    DrawRow(*g, r);
    EXPECT_EQ(g->st.cellRects[0].left, g->st.columnLeft[0] + 4);
}

TEST(GridText, SelectedAndCursorCellsOverrideTextColour) {
    auto g = gridtest::MakeGrid({.rows = 6});
    g->st.selBackColour = 0x000000;
    g->st.selTextColour = 0x0000FF;
    g->st.columnCase[1] = 0;
    SetCellText(*g, 1, 2, kSolid);
    SetRowSelected(*g, 2, -1);
    // Some pixel of the text is the selection text colour, none the normal text colour.
    int sel = 0, normal = 0;
    const int top = (2 - g->st.topRow) * g->st.rowHeight;
    for (int y = top; y < top + g->st.rowHeight; ++y) {
        for (int x = g->st.columnLeft[1]; x < g->st.textRight[2]; ++x) {
            const Colour c = g->surface.pixel(x, y);
            sel += c == 0x0000FFu;
            normal += c == g->st.textColour;
        }
    }
    EXPECT_GT(sel, 0);
    EXPECT_EQ(normal, 0);
    EXPECT_EQ(g->surface.textColour, 0x202020u);  // put back afterwards
}

// Names coloured by level, by each row's level or by its indent: a row takes its level's
// colour from the table, neighbouring levels differ under the default table, and a table
// chosen later shows at the next repaint; with the colouring off every name is plain.
TEST(GridText, NamesShowTheColourOfTheirLevelFromTheTable) {
    auto g = gridtest::MakeGrid({.rows = 8});
    g->st.cellCursor = 0;
    g->st.columnCase[0] = 0;
    for (int r = 0; r < 8; ++r) SetCellText(*g, 0, r, kSolid);
    // The inks of a row's name, right of its icon, as the row draws them alone: the surface
    // cleared first, every line of it read, so that whatever a font's glyphs reach (a
    // neighbour's row included) is this row's and no other row's.
    auto ink = [&](int r) {
        const QImage& image = g->surface.image();
        g->surface.fillBox(0, 0, image.width() - 1, image.height() - 1, g->st.backColour);
        DrawRow(*g, r);
        std::set<Colour> out;
        for (int y = 0; y < image.height(); ++y)
            for (int x = g->st.rowIndent[r] + kMarkIconWidth + 2; x < g->st.textRight[1]; ++x)
                out.insert(g->surface.pixel(x, y));
        return out;
    };
    std::array<Colour, 16> chosen{};
    for (size_t k = 0; k < chosen.size(); ++k) chosen[k] = Colour(0x1020F0 + 0x0C0000 * k);
    const std::array<Colour, 16> defaults = g->st.levelTextColours;
    for (const int mode : {1, 2}) {
        for (const bool byDefault : {true, false}) {
            SCOPED_TRACE(testing::Message()
                         << "mode " << mode << (byDefault ? ", defaults" : ", chosen"));
            const std::array<Colour, 16>& table = byDefault ? defaults : chosen;
            g->st.levelTextColours = table;
            g->st.textColourMode = mode;
            RepaintAll(*g);
            for (int r = 1; r < 8; ++r) {
                const int level = gridtest::LevelOf(r);
                const std::set<Colour> seen = ink(r);
                EXPECT_TRUE(seen.count(table[size_t(level)])) << "row " << r;
                for (const int other : {1, 2, 3}) {
                    if (other == level) continue;
                    EXPECT_FALSE(seen.count(table[size_t(other)])) << r;
                }
            }
        }
    }
    // Switched off, the owner gives the names their plain colour back, as the window does.
    g->st.textColourMode = 0;
    g->surface.textColour = g->st.textColour;
    RepaintAll(*g);
    for (int r = 1; r < 8; ++r) {
        EXPECT_TRUE(ink(r).count(g->st.textColour)) << r;
        for (const int level : {1, 2, 3}) EXPECT_FALSE(ink(r).count(chosen[size_t(level)])) << r;
    }
}

namespace {

// The pixels of row r between x1 and x2 (exclusive).
QImage Strip(Grid& g, int r, int x1, int x2) {
    return g.surface.image().copy(x1, (r - g.st.topRow) * g.st.rowHeight, x2 - x1, g.st.rowHeight);
}

}  // namespace

TEST(GridText, TooWideTextShowsTheEndOfItsAlignment) {
    auto g = gridtest::MakeGrid({.rows = 6});
    g->st.vRuleWidth = 0;
    g->st.cellCursor = 0;
    const QString fill(40, u'W');
    const CellRect rc = g->st.cellRects[1];
    // Left-aligned: the start of the text is where a lone "7" would be.
    g->st.columnAlign[1] = 0;
    SetCellText(*g, 1, 2, QStringLiteral("7") + fill);
    SetCellText(*g, 1, 3, QStringLiteral("7"));
    auto [lo7, hi7] = InkSpan(*g, 3, rc.left, rc.right);
    ASSERT_GE(lo7, rc.left);
    ASSERT_GT(hi7, lo7 + 1);
    // The ink of the "7" alone, short of its last column where the next letter may touch.
    const QImage longLeft = Strip(*g, 2, lo7, hi7);
    EXPECT_EQ(longLeft, Strip(*g, 3, lo7, hi7));
    EXPECT_NE(longLeft, Strip(*g, 4, lo7, hi7));  // row 4 is plain "41"
    // Right-aligned: the end of the text is where a lone "7" would be.
    g->st.columnAlign[1] = 1;
    SetCellText(*g, 1, 2, fill + QStringLiteral("7"));
    DrawRow(*g, 3);
    auto [rlo7, rhi7] = InkSpan(*g, 3, rc.left, rc.right);
    ASSERT_GT(rhi7, rlo7 + 1);
    EXPECT_EQ(Strip(*g, 2, rlo7 + 1, rhi7 + 1), Strip(*g, 3, rlo7 + 1, rhi7 + 1));
    // Nothing is drawn beyond the rectangle on either side.
    auto [lo, hi] = InkSpan(*g, 2, g->st.columnLeft[1], g->st.columnRight[1]);
    EXPECT_GE(lo, rc.left);
    EXPECT_LT(hi, rc.right);
}
