// Pixels of the retained surface where the drawing rules fix them.
#include <gtest/gtest.h>

#include "grid/Grid.h"
#include "grid/GridFixture.h"

using namespace grid;
using gridtest::MakeGrid;

namespace {

int Top(const Grid& g, int row) {
    return (row - g.st.topRow) * g.st.rowHeight;
}
int Mid(const Grid& g, int row) {
    return Top(g, row) + (g.st.rowHeight - g.st.hRuleWidth - (g.st.line3D & 1)) / 2;
}
void Repaint(Grid& g) {
    g.surface.clear(g.st.backColour);
    RepaintAll(g);
}

}  // namespace

TEST(GridSurfacePrimitives, LineLeavesOutEndPointBoxesIncludeCorners) {
    GridSurface s;
    s.resize(20, 20);
    s.clear(0xFFFFFF);
    s.line(2, 5, 8, 5, 0x0000FF);
    EXPECT_EQ(s.pixel(2, 5), 0x0000FFu);
    EXPECT_EQ(s.pixel(7, 5), 0x0000FFu);
    EXPECT_EQ(s.pixel(8, 5), 0xFFFFFFu);
    s.line(10, 10, 10, 4, 0x00FF00);  // upward
    EXPECT_EQ(s.pixel(10, 10), 0x00FF00u);
    EXPECT_EQ(s.pixel(10, 5), 0x00FF00u);
    EXPECT_EQ(s.pixel(10, 4), 0xFFFFFFu);
    s.line(0, 0, 4, 4, 0x112233);  // diagonal
    EXPECT_EQ(s.pixel(3, 3), 0x112233u);
    EXPECT_EQ(s.pixel(4, 4), 0xFFFFFFu);
    s.box(12, 12, 15, 15, 0x000001);
    EXPECT_EQ(s.pixel(12, 12), 0x000001u);
    EXPECT_EQ(s.pixel(15, 15), 0x000001u);
    EXPECT_EQ(s.pixel(13, 13), 0xFFFFFFu);
    s.fillBox(16, 16, 17, 17, 0x000002);
    EXPECT_EQ(s.pixel(17, 17), 0x000002u);
    EXPECT_EQ(s.pixel(18, 18), 0xFFFFFFu);
    EXPECT_EQ(s.pixel(25, 2), kNoColour);  // outside
}

TEST(GridSurfacePrimitives, ResizeKeepsPictureAndCopyRowsMovesBand) {
    GridSurface s;
    s.backColour = 0x00FF00;
    s.resize(10, 10);
    s.clear(0xFFFFFF);
    s.fillBox(0, 2, 9, 2, 0x0000FF);
    s.resize(12, 12);
    EXPECT_EQ(s.pixel(5, 2), 0x0000FFu);
    EXPECT_EQ(s.pixel(11, 11), 0x00FF00u);  // new area
    s.copyRows(2, 3, 0);
    EXPECT_EQ(s.pixel(5, 0), 0x0000FFu);
}

TEST(GridDraw, HorizontalRuleNotDrawnInBackgroundColour) {
    auto g = MakeGrid({.rows = 10});
    g->st.hRuleWidth = 1;
    g->st.hRuleColour = g->st.backColour;
    LayoutGrid(*g, 0, 0, 0, 0);
    const int x = g->st.columnLeft[1] + 2;
    const int y = Top(*g, 3) + g->st.rowHeight - 1;
    EXPECT_EQ(g->surface.pixel(x, y), g->st.backColour);
    g->st.hRuleColour = 0xA0A0A0;
    Repaint(*g);
    EXPECT_EQ(g->surface.pixel(x, y), 0xA0A0A0u);
    EXPECT_EQ(g->surface.pixel(x, y - 1), g->st.backColour);
    // A thicker rule is a filled band of that width.
    g->st.hRuleWidth = 3;
    LayoutGrid(*g, 0, 0, 0, 0);
    const int y3 = Top(*g, 3) + g->st.rowHeight - 3;
    EXPECT_EQ(g->surface.pixel(x, y3), 0xA0A0A0u);
    EXPECT_EQ(g->surface.pixel(x, y3 + 2), 0xA0A0A0u);
    EXPECT_EQ(g->surface.pixel(x, y3 - 1), g->st.backColour);
}

TEST(GridDraw, VerticalRuleAtRightLimitUnlessBackgroundColour) {
    auto g = MakeGrid({.rows = 10});
    const int x = g->st.textRight[2];
    const int y = Top(*g, 4) + 3;
    EXPECT_EQ(g->surface.pixel(x, y), g->st.vRuleColour);
    g->st.vRuleColour = g->st.backColour;
    Repaint(*g);
    EXPECT_EQ(g->surface.pixel(x, y), g->st.backColour);
}

TEST(GridDraw, RaisedLookSwapsShadowColours) {
    auto g = MakeGrid({.rows = 10});
    g->st.hRuleWidth = 1;
    g->st.line3D = 1;
    g->st.hRuleColour = 0xA0A0A0;
    g->st.vRuleColour = 0x60B0B0;
    LayoutGrid(*g, 0, 0, 0, 0);
    const int top = Top(*g, 4);
    const int x = g->st.columnLeft[1] + 3;
    EXPECT_EQ(g->surface.pixel(x, top), 0xFFFFFFu);
    // Horizontal shadow from the vertical rule colour, vertical shadow from the horizontal.
    EXPECT_EQ(g->surface.pixel(x, top + g->st.textAreaHeight), DarkenColour(0x60B0B0, 80));
    EXPECT_EQ(g->surface.pixel(g->st.textRight[2] - 1, top + 2), DarkenColour(0xA0A0A0, 80));
}

TEST(GridDraw, TreeLineColourFollowsBackground) {
    auto g = MakeGrid({.rows = 10});
    g->st.backColour = 0xFFFFFF;
    Repaint(*g);
    EXPECT_EQ(g->st.treeLineColour, 0xC0C0C0u);
    // Row 1 (level 1, not the last sibling): its line at x = indent - 11 runs through the row.
    const int v = g->st.rowIndent[1] - 11;
    EXPECT_EQ(g->surface.pixel(v, Top(*g, 1) + 1), 0xC0C0C0u);
    EXPECT_EQ(g->surface.pixel(v, Top(*g, 1) + g->st.rowHeight - 1), 0xC0C0C0u);
    g->st.backColour = 0xC0C0C0;
    Repaint(*g);
    EXPECT_EQ(g->st.treeLineColour, 0x808080u);
    EXPECT_EQ(g->surface.pixel(v, Top(*g, 1) + 1), 0x808080u);
    // Row 2 (level 2): its ancestor (row 1) has a later sibling, so its line passes row 2.
    EXPECT_EQ(g->surface.pixel(v, Top(*g, 2) + 1), 0x808080u);
    // Row 3 is the last of its siblings: its own line stops at the middle of the row.
    const int v3 = g->st.rowIndent[3] - 11;
    EXPECT_EQ(g->surface.pixel(v3, Mid(*g, 3) - 1), 0x808080u);
    EXPECT_EQ(g->surface.pixel(v3, Mid(*g, 3) + 2), 0xC0C0C0u);
}

TEST(GridDraw, ExpandBoxShowsMinusWhenSubRowsShownPlusWhenNot) {
    auto g = MakeGrid({.rows = 10});
    const int u = g->st.rowIndent[1];
    const int v = u - 11;
    const int m = Mid(*g, 1);
    ASSERT_TRUE(g->st.rowTreeFlags[1] & 1);
    EXPECT_EQ(g->surface.pixel(u - 15, m - 4), 0x808080u);  // frame corner
    EXPECT_EQ(g->surface.pixel(u - 7, m + 4), 0x808080u);
    EXPECT_EQ(g->surface.pixel(u - 14, m - 3), 0xFFFFFFu);  // inside
    EXPECT_EQ(g->surface.pixel(u - 13, m), 0x808080u);      // minus bar
    EXPECT_EQ(g->surface.pixel(u - 9, m), 0x808080u);
    EXPECT_EQ(g->surface.pixel(u - 8, m), 0xFFFFFFu);  // the bar leaves out its end
    EXPECT_EQ(g->surface.pixel(v, m - 2), 0xFFFFFFu);  // no plus bar
    // Hide the sub-rows: the next row is no deeper, so a plus box.
    g->st.rowIndent.set(2, g->st.rowIndent[1]);
    DrawRow(*g, 1);
    EXPECT_EQ(g->surface.pixel(v, m - 2), 0x808080u);
    EXPECT_EQ(g->surface.pixel(v, m + 2), 0x808080u);
    EXPECT_EQ(g->surface.pixel(v, m + 3), 0xFFFFFFu);
}

TEST(GridDraw, AncestorLinesAcrossManyRowsFindTheRightAncestor) {
    // Row 1 is a level-1 folder with many level-2 rows below, then another level-1 folder:
    // the level-1 line must pass every level-2 row; once the last level-1 folder is passed
    // it must not.
    gridtest::Options o;
    o.rows = 400;
    auto g = MakeGrid(o);
    std::vector<int> levels(400, 2);
    levels[0] = 0;
    levels[1] = 1;
    levels[350] = 1;
    gridtest::SetTreeRows(*g, levels);
    ShowRow(*g, 300, 0);
    const int x = g->st.rowIndent[1] - 11;
    EXPECT_EQ(g->surface.pixel(x, Top(*g, 310) + 1), g->st.treeLineColour);
    ShowRow(*g, 360, 0);
    EXPECT_EQ(g->surface.pixel(x, Top(*g, 370) + 1), g->st.backColour);
}

TEST(GridDraw, GradientRowsEachGetTheirOwnColour) {
    auto g = MakeGrid({.rows = 100});
    g->st.backColours[3] = 0x000000;
    g->st.backColours[4] = 0xFF8040;
    g->st.backColourMode = 4;
    SetGradientFrom(*g, 3);
    SetGradientTo(*g, 4);
    const int x = g->st.columnLeft[1] + 2;
    const int vr = g->st.visibleRows;
    for (int i : {2, 5, vr - 1}) {
        const int r = g->st.topRow + i;
        const int red = int(std::nearbyint(double(0x40) / vr * i));
        const int green = int(std::nearbyint(double(0x80) / vr * i));
        const int blue = int(std::nearbyint(double(0xFF) / vr * i));
        const Colour want = Colour(red) | Colour(green) << 8 | Colour(blue) << 16;
        EXPECT_EQ(g->surface.pixel(x, Top(*g, r) + 1), want) << i;
    }
}

TEST(GridDraw, CursorOnSelectedRowInvertsWithoutFrame) {
    auto g = MakeGrid({.rows = 10});
    g->st.cursorFrame = 0;
    g->st.selBackColour = 0x00FF00;
    g->st.cursorBackColour = 0x00FF00;
    SetRowSelected(*g, 3, -1);
    g->st.cursorColumn = 2;
    g->st.cursorRow = 3;
    DrawCursor(*g);
    const int x = g->st.columnLeft[2] + 1;
    EXPECT_EQ(g->surface.pixel(x, Top(*g, 3) + 1), 0xFF00FFu);
    // Not selected: the plain cursor colour, with its frame when on.
    g->st.cursorFrame = -1;
    g->st.cursorRow = 5;
    DrawCursor(*g);
    EXPECT_EQ(g->surface.pixel(x + 1, Top(*g, 5) + 2), 0x00FF00u);
    EXPECT_EQ(g->surface.pixel(x - 1, Top(*g, 5)), g->st.cursorFrameColour);
    // The old cursor cell went back to the selection colour.
    EXPECT_EQ(g->surface.pixel(x, Top(*g, 3) + 1), 0x00FF00u);
}

TEST(GridDraw, ColumnBandsReachBelowTheLastRow) {
    auto g = MakeGrid({.rows = 4});
    g->st.backColourMode = 6;
    Repaint(*g);
    const int y = Top(*g, 6) + 3;  // below the last row
    EXPECT_EQ(g->surface.pixel(10, y), g->st.backColours[0]);
    EXPECT_EQ(g->surface.pixel(g->st.columnLeft[1] + 5, y), g->st.backColours[1]);
    EXPECT_EQ(g->surface.pixel(g->st.columnLeft[3] + 5, y), g->st.backColours[3]);
}

TEST(GridDraw, MarkModesAndAlternateRows) {
    auto g = MakeGrid({.rows = 10});
    const int x = g->st.columnLeft[1] + 2;
    g->st.backColourMode = 1;
    g->st.rowMark[4] = 0x13;  // low four bits: 3
    Repaint(*g);
    EXPECT_EQ(g->surface.pixel(x, Top(*g, 4) + 1), g->st.backColours[3]);
    EXPECT_EQ(g->surface.pixel(x, Top(*g, 12) + 1), g->st.backColours[0]);  // beyond rows
    g->st.backColourMode = 5;
    g->st.rowMark[4] = 100;  // above 95: band lines
    Repaint(*g);
    const Colour c = g->st.backColours[100 & 15];
    EXPECT_EQ(g->surface.pixel(x, Top(*g, 4)), DarkenColour(c, 32));
    EXPECT_EQ(g->surface.pixel(x, Top(*g, 4) + 2), c);
    g->st.backColourMode = 3;
    Repaint(*g);
    EXPECT_EQ(g->surface.pixel(x, Top(*g, 4) + 1), g->st.backColours[0]);
    EXPECT_EQ(g->surface.pixel(x, Top(*g, 5) + 1), g->st.backColours[1]);
}

TEST(GridDraw, StripIconsAndRightLimit) {
    auto g = MakeGrid({.rows = 10});
    const int r = 4;
    const int u = g->st.rowIndent[r];
    const int y = Top(*g, r) + (g->st.rowHeight - 12) / 2;
    SetRowIcon(*g, r, 10);
    DrawRow(*g, r);
    // A pixel of the folder's front flap (strip row 0).
    EXPECT_EQ(g->surface.pixel(u + 5, y + 8), FromRgb(qRgb(0xFC, 0xD8, 0x58)));
    SetRowIcon(*g, r, 14);
    EXPECT_NE(g->surface.pixel(u + 5, y + 8), FromRgb(qRgb(0xFC, 0xD8, 0x58)));
    // Transparent corner: the row background shows.
    SetRowIcon(*g, r, 10);
    DrawRow(*g, r);
    EXPECT_EQ(g->surface.pixel(u + 13, y), g->st.backColour);
    // An icon that would reach the right limit of column 0 is not drawn.
    g->st.rowIndent.set(r, g->st.textRight[1] - 14);
    DrawRow(*g, r);
    const int x2 = g->st.textRight[1] - 14 + 5;
    EXPECT_NE(g->surface.pixel(x2, y + 8), FromRgb(qRgb(0xFC, 0xD8, 0x58)));
    // One pixel further left it fits and is drawn.
    g->st.rowIndent.set(r, g->st.textRight[1] - 15);
    DrawRow(*g, r);
    EXPECT_EQ(g->surface.pixel(x2 - 1, y + 8), FromRgb(qRgb(0xFC, 0xD8, 0x58)));
}

TEST(GridDraw, HeaderShadingSeparatorsAndSortMark) {
    auto g = MakeGrid({.rows = 5});
    GridSurface& h = g->header;
    ASSERT_GT(h.height(), 10);
    EXPECT_EQ(h.pixel(5, 0), 0x808080u);  // outer frame
    const QRgb top = ToRgb(g->st.headerTopColour);
    EXPECT_EQ(h.pixel(5, 4), FromRgb(qRgb(qRed(top) - 12, qGreen(top) - 12, qBlue(top) - 12)));
    const int w0 = g->st.columnWidths[0];
    EXPECT_EQ(h.pixel(w0 + 2, 5), 0x707070u);
    EXPECT_EQ(h.pixel(w0 + 3, 5), 0xFFFFFFu);
    g->st.sortMark = -1;
    g->st.sortColumn = 3;
    g->st.sortDirection = 1;
    DrawHeader(*g);
    const int R = g->st.textRight[4];
    EXPECT_EQ(h.pixel(R - 12, 13), 0x707070u);
    EXPECT_EQ(h.pixel(R - 4, 13), 0x707070u);
    EXPECT_EQ(h.pixel(R - 3, 13), 0xD0D0D0u);  // right side starts there
}
