// Grid model, row storage, layout and cell text.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

#include "grid/Grid.h"
#include "grid/GridFixture.h"
#include "platform/Beep.h"

using namespace grid;
using gridtest::MakeGrid;
using gridtest::Options;

TEST(GridModel, RowArraysGrowKeepingContents) {
    Grid g;
    InitGrid(g, 300);
    ClearGrid(g);
    const GridState& st = g.st;
    auto inStep = [&st] {
        const size_t n = size_t(st.rowBound());
        return n >= size_t(st.rowCount) && st.rowText.size() == n && st.rowLevel.size() == n &&
               st.rowMark.size() == n && st.rowSelected.size() == n &&
               size_t(st.rowIndent.size()) == n && st.rowIcon.size() == n &&
               st.rowTreeFlags.size() == n;
    };
    for (int i = 0; i < 1234; ++i) {
        AddRow(g, QStringLiteral("r%1").arg(i), i % 8, i % 16);
        if (i % 3 == 0) g.st.rowSelected[size_t(i)] = -1;
        g.st.rowIcon[size_t(i)] = quint8(i % 5);
        ASSERT_TRUE(inStep()) << "after row " << i;
    }
    EXPECT_EQ(st.rowCount, 1234);
    for (int i = 0; i < 1234; ++i) {
        SCOPED_TRACE(i);
        const size_t r = size_t(i);
        ASSERT_EQ(st.rowText[r], QStringLiteral("r%1").arg(i));
        ASSERT_EQ(st.rowLevel[r], i % 8);
        ASSERT_EQ(st.rowMark[r], i % 16);
        ASSERT_EQ(st.rowSelected[r] != 0, i % 3 == 0);
        ASSERT_EQ(st.rowIcon[r], i % 5);
    }
    // Clearing empties every row, nothing selected.
    ClearGrid(g);
    EXPECT_TRUE(inStep());
    EXPECT_EQ(st.rowCount, 0);
    EXPECT_EQ(st.anchorRow, -1);
    EXPECT_EQ(std::count(st.rowSelected.begin(), st.rowSelected.end(), 0),
              qsizetype(st.rowSelected.size()));
    EXPECT_TRUE(std::all_of(st.rowText.begin(), st.rowText.end(),
                            [](const QString& t) { return t.isEmpty(); }));
}

TEST(GridModel, CellTextSplitsAtCodeTwo) {
    Grid g;
    InitGrid(g, 300);
    ClearGrid(g);
    AddRow(g, QStringLiteral("a") + QChar(2) + QChar(2) + QStringLiteral("c"), 0, 0);
    AddRow(g, QStringLiteral("only"), 0, 0);
    EXPECT_EQ(CellText(g.st, 0, 0), QStringLiteral("a"));
    EXPECT_EQ(CellText(g.st, 1, 0), QString());
    EXPECT_EQ(CellText(g.st, 2, 0), QStringLiteral("c"));
    EXPECT_EQ(CellText(g.st, 3, 0), QString());  // beyond the last separator
    EXPECT_EQ(CellText(g.st, 0, 1), QStringLiteral("only"));
    EXPECT_EQ(CellText(g.st, 1, 1), QString());
    EXPECT_EQ(CellText(g.st, 0, 2), QString());  // at rowCount
    EXPECT_EQ(CellText(g.st, 0, 5000), QString());
}

TEST(GridModel, SetCellTextReplacesOneCellAndAddsRowAtEnd) {
    auto g = MakeGrid({.rows = 5});
    SetCellText(*g, 2, 1, QStringLiteral("X"));
    EXPECT_EQ(CellText(g->st, 2, 1), QStringLiteral("X"));
    EXPECT_EQ(CellText(g->st, 1, 1), QStringLiteral("11"));
    EXPECT_EQ(CellText(g->st, 3, 1), QStringLiteral("13"));
    // A cell of the row just past the end makes a new row of empty cells.
    SetCellText(*g, 1, 5, QStringLiteral("new"));
    EXPECT_EQ(g->st.rowCount, 6);
    EXPECT_EQ(g->st.rowText[5].count(QChar(2)), 4);
    EXPECT_EQ(CellText(g->st, 1, 5), QStringLiteral("new"));
    // Two rows past the end: a beep and nothing changes.
    platform::ResetBeepCount();
    SetCellText(*g, 0, 7, QStringLiteral("no"));
    EXPECT_EQ(platform::BeepCount(), 1);
    EXPECT_EQ(g->st.rowCount, 6);
}

TEST(GridLayout, HeightIsWholeRowsPlusFourPixels) {
    for (int h : {300, 301, 317, 333}) {
        auto g = MakeGrid({.rows = 200, .heightPx = h});
        const int tpp = gridtest::Tpp(*g);
        const int rh = g->st.rowHeight;
        ASSERT_GT(rh, 0);
        EXPECT_EQ(g->st.rowHeight, g->surface.textHeight() + 0 + 0 + 2);
        EXPECT_EQ(g->st.visibleRows, ((h * tpp - 300) / tpp - 4) / rh) << h;
        EXPECT_EQ(g->surface.height(), g->st.visibleRows * rh + 4) << h;
        EXPECT_EQ(g->st.textTop, 1);
        EXPECT_EQ(g->st.textAreaHeight, g->surface.textHeight() + 2);
    }
}

TEST(GridLayout, RuleAndReliefAddToRowHeight) {
    auto g = MakeGrid({.rows = 10});
    const int base = g->st.rowHeight;
    g->st.hRuleWidth = 2;
    g->st.line3D = 1;
    LayoutGrid(*g, 0, 0, 0, 0);
    EXPECT_EQ(g->st.rowHeight, base + 3);
}

TEST(GridLayout, RowHeightFollowsAFontChange) {
    auto g = MakeGrid({.rows = 10});
    const int small = g->st.rowHeight;
    SetPrimaryFont(*g, QStringLiteral("ＭＳ Ｐゴシック"), 20.0f, false, false);
    LayoutGrid(*g, 0, 0, 0, 0);
    EXPECT_GT(g->st.rowHeight, small + 8);
    SetPrimaryFont(*g, QStringLiteral("ＭＳ Ｐゴシック"), 9.75f, false, false);
    LayoutGrid(*g, 0, 0, 0, 0);
    EXPECT_EQ(g->st.rowHeight, small);
}

TEST(GridLayout, OneColumnGetsTheWholeWidthOnEveryLayout) {
    auto g = MakeGrid({.rows = 3, .columns = 1});
    LayoutGrid(*g, 0, 0, 0, 0);  // the first layout set the surface width
    EXPECT_EQ(g->st.columnWidths[0], g->surface.width());
    EXPECT_EQ(g->st.columnWidths[0], 600);
    LayoutGrid(*g, 500 * 15, 0, 0, 0);
    LayoutGrid(*g, 0, 0, 0, 0);
    EXPECT_EQ(g->st.columnWidths[0], 500);
}

TEST(GridLayout, ColumnEdgesFollowWidthsAndRuleWidth) {
    auto g = MakeGrid({.rows = 3});
    g->st.vRuleWidth = 3;
    LayoutGrid(*g, 0, 0, 0, 0);
    const GridState& st = g->st;
    EXPECT_EQ(st.columnLeft[0], 0);
    EXPECT_EQ(st.columnRight[0], 200);
    EXPECT_EQ(st.textRight[1], 199);   // 200 - 3/2
    EXPECT_EQ(st.columnLeft[1], 202);  // 200 + (3 - 1)
    EXPECT_EQ(st.columnRight[1], 280);
    EXPECT_EQ(st.textRight[2], 279);
    EXPECT_EQ(st.cellRects[1].left, 206);
    EXPECT_EQ(st.cellRects[1].right, 273);
}

TEST(GridLayout, NoScrollBarWhenRowsEqualVisibleRows) {
    auto probe = MakeGrid({.rows = 1});
    const int vr = probe->st.visibleRows;
    auto g = MakeGrid({.rows = vr});
    g->st.topRow = 3;
    FitAndRefresh(*g);
    EXPECT_EQ(g->st.rowCount, g->st.visibleRows);
    EXPECT_EQ(g->st.topRow, 0);
    EXPECT_FALSE(g->list.visible());
    EXPECT_EQ(g->surface.width(), 600);
    EXPECT_EQ(g->st.textRight[5], 600);
    // One more row takes the scroll bar's room.
    auto h = MakeGrid({.rows = vr + 1});
    EXPECT_TRUE(h->list.visible());
    EXPECT_EQ(h->surface.width(), 600 - (h->list.widthTwips() / 15 - 1));
    EXPECT_EQ(h->list.count(), vr + 1);
    EXPECT_EQ(h->list.page(), vr);
    EXPECT_TRUE(h->timer.isActive());
}

TEST(GridLayout, ResizeScrollListFollowsRowCount) {
    auto g = MakeGrid({.rows = 100});
    for (int i = 0; i < 50; ++i) AddRow(*g, QStringLiteral("x"), 1, 0);
    EXPECT_EQ(ResizeScrollList(*g), 0);
    EXPECT_EQ(g->list.count(), 150);
    g->st.rowCount = 120;
    ResizeScrollList(*g);
    EXPECT_EQ(g->list.count(), 120);
    EXPECT_EQ(MeasurePage(*g), g->st.visibleRows);
}

TEST(GridModel, ColumnAltFontGivesFontMode) {
    GridState st;
    st.columnCount = 5;
    for (int c = 0; c < 5; ++c) SetColumnAltFont(st, c, 0);
    EXPECT_EQ(st.fontMode, 1);
    for (int c = 1; c < 5; ++c) SetColumnAltFont(st, c, -1);
    EXPECT_EQ(st.fontMode, 3);
    EXPECT_EQ(st.altFontColumn[1], 1);
    SetColumnAltFont(st, 0, 3);
    EXPECT_EQ(st.fontMode, 2);
}

TEST(GridModel, FontsRecordWhereTheyDiffer) {
    Grid g;
    InitGrid(g, 300);
    g.st.columnCount = 2;
    SetPrimaryFont(g, QStringLiteral("ＭＳ Ｐゴシック"), 9.75f, false, false);
    SetAltFont(g, QStringLiteral("ＭＳ Ｐゴシック"), 12.0f, true, false);
    EXPECT_EQ(g.st.fontNameDiffers, 0);
    EXPECT_NE(g.st.fontSizeDiffers, 0);
    EXPECT_NE(g.st.fontBoldDiffers, 0);
    EXPECT_EQ(g.st.fontItalicDiffers, 0);
    EXPECT_EQ(g.st.altFontActive, -1);
    EXPECT_TRUE(g.surface.font().bold());
    // The layout puts the first font back (bold differs, so bold goes off).
    LayoutGrid(g, 300 * 15, 200 * 15, 0, 0);
    EXPECT_EQ(g.st.altFontActive, 0);
    EXPECT_FALSE(g.surface.font().bold());
    // With rows, a full repaint draws the first-font columns first.
    AddRow(g, QStringLiteral("a"), 0, 0);
    SetAltFont(g, QStringLiteral("ＭＳ Ｐゴシック"), 12.0f, true, false);
    EXPECT_EQ(g.st.altFontActive, 0);
}

TEST(GridColour, DarkenAndTreeLineColour) {
    EXPECT_EQ(DarkenColour(0x102030, 0x20), 0x000010u);
    EXPECT_EQ(DarkenColour(0xFFFFFF, 80), 0xAFAFAFu);
    EXPECT_EQ(TreeLineColourFor(0xFFFFFF), 0xC0C0C0u);  // 1275
    EXPECT_EQ(TreeLineColourFor(0xC0C0C0), 0x808080u);  // 960
    EXPECT_EQ(TreeLineColourFor(0x9D9D9D), 0x808080u);  // 157 * 5 = 785
    EXPECT_EQ(TreeLineColourFor(0x999999), 0xC0C0C0u);  // 153 * 5 = 765
    EXPECT_EQ(TreeLineColourFor(0xDAD9D9), 0x808080u);  // 217 + 434 + 436 = 1087
    EXPECT_EQ(TreeLineColourFor(0xDADAD9), 0xC0C0C0u);  // 217 + 436 + 436 = 1089
    EXPECT_EQ(TreeLineColourFor(0xDADAD8), 0x808080u);  // 216 + 436 + 436 = 1088
    EXPECT_EQ(TreeLineColourFor(0x9A9A9B), 0x808080u);  // 155 + 308 + 308 = 771
    EXPECT_EQ(TreeLineColourFor(0xDADADA), 0xC0C0C0u);  // 218 * 5 = 1090
}

// Emptying the grid lets no pending event run: its caller decides where events run, so a
// command half-way through refilling its list never sees another one start.
TEST(GridModel, ClearGridRunsNoPendingEvents) {
    auto g = MakeGrid({.rows = 30});
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    ClearGrid(*g);
    EXPECT_EQ(g->st.rowCount, 0);
    EXPECT_FALSE(ran);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
}
