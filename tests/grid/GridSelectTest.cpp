// Scrolling, the cursor, keyboard and mouse selection.
#include <gtest/gtest.h>

#include "grid/Grid.h"
#include "grid/GridFixture.h"
#include "platform/Beep.h"

using namespace grid;
using gridtest::MakeGrid;

namespace {

bool Key(Grid& g, int key, int flags = 0, int protectLast = -1) {
    bool typed = false, changed = false;
    HandleKey(g, key, flags, typed, changed, kNoSumColumn, protectLast);
    return changed;
}

std::vector<int> Selected(const Grid& g) {
    std::vector<int> out;
    for (int r = 0; r < g.st.rowCount; ++r) {
        if (g.st.selected(r)) out.push_back(r);
    }
    return out;
}

// The visible rows of the picture, without the 4-pixel strip below them.
QImage Rows(Grid& g) {
    return g.surface.image().copy(0, 0, g.surface.width(), g.st.visibleRows * g.st.rowHeight);
}

QImage FullRepaint(Grid& g) {
    g.surface.clear(g.st.backColour);
    RepaintAll(g);
    return Rows(g);
}

}  // namespace

TEST(GridScroll, OneRowScrollCopiesPixelsAndPaintsOneRow) {
    auto g = MakeGrid({.rows = 200, .tree = false});
    g->surface.counters.reset();
    ScrollTo(*g, 1, false);
    EXPECT_EQ(g->st.topRow, 1);
    EXPECT_EQ(g->surface.counters.rowsPainted, 1);
    EXPECT_EQ(g->surface.counters.pixelCopies, 1);
    EXPECT_EQ(g->surface.counters.fullRepaints, 0);
    EXPECT_EQ(g->list.topIndex(), 1);
    const QImage scrolled = Rows(*g);
    EXPECT_EQ(scrolled, FullRepaint(*g));
    // Up by three rows: three rows painted, same picture as a full repaint.
    ScrollTo(*g, 10, false);
    g->surface.counters.reset();
    ScrollTo(*g, 7, false);
    EXPECT_EQ(g->surface.counters.rowsPainted, 3);
    EXPECT_EQ(g->surface.counters.fullRepaints, 0);
    EXPECT_EQ(Rows(*g), FullRepaint(*g));
}

TEST(GridScroll, DownOnLastVisibleRowScrollsByOneRow) {
    auto g = MakeGrid({.rows = 200});
    const int last = g->st.visibleRows - 1;
    MoveCursor(*g, last);
    g->surface.counters.reset();
    Key(*g, vk::Down);
    EXPECT_EQ(g->st.cursorRow, last + 1);
    EXPECT_EQ(g->st.topRow, 1);
    EXPECT_EQ(g->surface.counters.rowsPainted, 1);
    EXPECT_EQ(g->surface.counters.fullRepaints, 0);
    EXPECT_EQ(g->surface.counters.pixelCopies, 1);
}

TEST(GridScroll, ScrollBarSmallMoveCopiesLargeMoveRepaints) {
    auto g = MakeGrid({.rows = 200});
    const int vr = g->st.visibleRows;
    g->list.userScroll(3);
    g->surface.counters.reset();
    OnScrollListScroll(*g);
    EXPECT_EQ(g->st.topRow, 3);
    EXPECT_EQ(g->surface.counters.fullRepaints, 0);
    EXPECT_EQ(g->surface.counters.rowsPainted, 3);
    g->list.userScroll(3 + vr);
    g->surface.counters.reset();
    OnScrollTimer(*g);  // the repeat timer notices the move
    EXPECT_EQ(g->st.topRow, 3 + vr);
    EXPECT_EQ(g->surface.counters.fullRepaints, 1);
    EXPECT_EQ(g->surface.counters.rowsPainted, vr);
    // A jump past the end stops at the last page.
    g->list.userScroll(10000);
    OnScrollTimer(*g);
    EXPECT_EQ(g->st.topRow, 200 - vr);
}

TEST(GridScroll, GradientModeAlwaysJumps) {
    auto g = MakeGrid({.rows = 200});
    g->st.backColourMode = 4;
    g->surface.counters.reset();
    ScrollTo(*g, 1, false);
    EXPECT_EQ(g->surface.counters.fullRepaints, 1);
    EXPECT_EQ(g->surface.counters.pixelCopies, 0);
}

TEST(GridScroll, PageDownNearEndStopsAtLastPage) {
    for (bool standard : {true, false}) {
        auto g = MakeGrid({.rows = 100, .cellCursor = standard});
        const int maxTop = 100 - g->st.visibleRows;
        ShowRow(*g, 95, 0);
        g->st.topRow = maxTop - 2;
        SyncScrollList(*g);
        Key(*g, vk::PageDown);
        EXPECT_EQ(g->st.topRow, maxTop) << standard;
        Key(*g, vk::PageDown);
        EXPECT_EQ(g->st.topRow, maxTop) << standard;
        EXPECT_EQ(g->list.topIndex(), maxTop) << standard;
    }
}

TEST(GridScroll, MoveCursorBeyondWindowScrollsItIntoView) {
    auto g = MakeGrid({.rows = 500});
    MoveCursor(*g, 300);
    EXPECT_EQ(g->st.cursorRow, 300);
    EXPECT_EQ(g->st.topRow, 300 - g->st.visibleRows + 1);
    MoveCursor(*g, 20);
    EXPECT_EQ(g->st.topRow, 20);
    ShowRow(*g, 499, 3);
    EXPECT_EQ(g->st.topRow, 500 - g->st.visibleRows);
    EXPECT_EQ(g->list.topIndex(), g->st.topRow);
    OnScrollTimer(*g);  // the timer must not take the grid back
    EXPECT_EQ(g->st.topRow, 500 - g->st.visibleRows);
}

TEST(GridSelect, ShiftDownAndUpMoveTheRangeEnd) {
    auto g = MakeGrid({.rows = 30});
    MoveCursor(*g, 3);
    g->st.anchorRow = 3;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Key(*g, vk::Down, ShiftKey));
    EXPECT_EQ(g->st.cursorRow, 6);
    EXPECT_EQ(Selected(*g), (std::vector<int>{3, 4, 5, 6}));
    EXPECT_EQ(g->st.selectedCount, 4);
    Key(*g, vk::Up, ShiftKey);
    Key(*g, vk::Up, ShiftKey);
    EXPECT_EQ(Selected(*g), (std::vector<int>{3, 4}));
    EXPECT_EQ(g->st.selectedCount, 2);
    // Past the anchor upward: the rows above the anchor join, the ones below leave.
    Key(*g, vk::Up, ShiftKey);
    Key(*g, vk::Up, ShiftKey);
    Key(*g, vk::Up, ShiftKey);
    EXPECT_EQ(g->st.cursorRow, 1);
    EXPECT_EQ(Selected(*g), (std::vector<int>{1, 2, 3}));
    // A plain move clears the selection.
    EXPECT_TRUE(Key(*g, vk::Down));
    EXPECT_TRUE(Selected(*g).empty());
    EXPECT_EQ(g->st.anchorRow, -1);
}

TEST(GridSelect, ProtectLastKeepsTheTotalRowOut) {
    auto g = MakeGrid({.rows = 10});
    MoveCursor(*g, 7);
    g->st.anchorRow = 7;
    Key(*g, vk::Down, ShiftKey);
    Key(*g, vk::Down, ShiftKey);  // onto the last row
    EXPECT_EQ(g->st.cursorRow, 9);
    EXPECT_EQ(Selected(*g), (std::vector<int>{7, 8}));
    Key(*g, vk::A, CtrlKey);
    EXPECT_EQ(g->st.selectedCount, 9);
    EXPECT_FALSE(g->st.selected(9));
    EXPECT_EQ(g->st.anchorRow, 0);
    // Without protection every row.
    Key(*g, vk::A, CtrlKey, 0);
    EXPECT_EQ(g->st.selectedCount, 10);
    // Esc clears.
    EXPECT_TRUE(Key(*g, vk::Escape));
    EXPECT_EQ(g->st.selectedCount, 0);
    EXPECT_TRUE(Selected(*g).empty());
}

TEST(GridSelect, SpaceTogglesExactlyOneRow) {
    auto g = MakeGrid({.rows = 10});
    MoveCursor(*g, 4);
    EXPECT_TRUE(Key(*g, vk::Space));
    EXPECT_EQ(g->st.selectedCount, 1);
    EXPECT_TRUE(g->st.selected(4));
    EXPECT_EQ(g->st.anchorRow, 4);
    EXPECT_TRUE(Key(*g, vk::Space, CtrlKey));  // Ctrl keeps the others: toggles back
    EXPECT_EQ(g->st.selectedCount, 0);
    MoveCursor(*g, 9);
    EXPECT_FALSE(Key(*g, vk::Space));  // not on the last row
    EXPECT_EQ(g->st.selectedCount, 0);
}

TEST(GridSelect, TypeAheadWrapsAndLetterAMovesNothing) {
    auto g = MakeGrid({.rows = 10});
    SetCellText(*g, 0, 2, QStringLiteral("  beta"));
    SetCellText(*g, 0, 5, QStringLiteral("Bravo"));
    SetCellText(*g, 0, 9, QStringLiteral("Bingo"));
    SetCellText(*g, 0, 6, QStringLiteral("alpha"));
    MoveCursor(*g, 9);
    bool typed = false, changed = false;
    HandleKey(*g, vk::B, 0, typed, changed, kNoSumColumn, -1);
    EXPECT_TRUE(typed);
    EXPECT_EQ(g->st.cursorRow, 2);
    Key(*g, vk::B);
    EXPECT_EQ(g->st.cursorRow, 5);
    Key(*g, vk::A);  // A alone does nothing
    EXPECT_EQ(g->st.cursorRow, 5);
    Key(*g, vk::B, ShiftKey);  // with Shift no type-ahead
    EXPECT_EQ(g->st.cursorRow, 5);
    SetCellText(*g, 0, 7, QStringLiteral("3rd"));
    Key(*g, vk::Numpad0 + 3);
    EXPECT_EQ(g->st.cursorRow, 7);
}

TEST(GridSelect, HomeEndLeftRightAndAltArrows) {
    auto g = MakeGrid({.rows = 100});
    Key(*g, vk::End);
    EXPECT_EQ(g->st.cursorRow, 99);
    EXPECT_EQ(g->st.topRow, 100 - g->st.visibleRows);
    Key(*g, vk::Home);
    EXPECT_EQ(g->st.cursorRow, 0);
    EXPECT_EQ(g->st.topRow, 0);
    Key(*g, vk::Right);
    Key(*g, vk::Right);
    EXPECT_EQ(g->st.cursorColumn, 2);
    EXPECT_EQ(g->st.drawnCursorColumn, 2);
    for (int i = 0; i < 9; ++i) Key(*g, vk::Right);
    EXPECT_EQ(g->st.cursorColumn, 4);
    Key(*g, vk::Down, AltKey);  // scrolls the view, the cursor stays
    EXPECT_EQ(g->st.topRow, 1);
    EXPECT_EQ(g->st.cursorRow, 1);  // the cursor left the view: it follows
}

TEST(GridSelect, MarkingStyleArrowsScroll) {
    auto g = MakeGrid({.rows = 100, .cellCursor = false});
    Key(*g, vk::Down);
    EXPECT_EQ(g->st.topRow, 1);
    EXPECT_EQ(g->st.cursorRow, 1);
    EXPECT_EQ(g->list.topIndex(), 1);  // the scroll list follows
    Key(*g, vk::Up);
    EXPECT_EQ(g->st.topRow, 0);
    Key(*g, vk::Space);  // Space does nothing in this style
    EXPECT_EQ(g->st.selectedCount, 0);
    // Shift+arrows scroll as the arrows do and select nothing (the help says so).
    Key(*g, vk::Down, ShiftKey);
    Key(*g, vk::Down, ShiftKey);
    EXPECT_EQ(g->st.topRow, 2);
    EXPECT_EQ(g->st.selectedCount, 0);
}

TEST(GridMouse, StandardStyleClickCtrlClickShiftClick) {
    auto g = MakeGrid({.rows = 30});
    MouseHooks hooks;
    MouseTracker m;
    const int rh = g->st.rowHeight;
    const double x = g->st.columnLeft[2] + 5;
    GridMousePress(*g, m, hooks, 1, 0, x, 3 * rh + 2);
    EXPECT_EQ(Selected(*g), (std::vector<int>{3}));
    EXPECT_EQ(g->st.cursorRow, 3);
    EXPECT_EQ(g->st.cursorColumn, 2);
    GridMousePress(*g, m, hooks, 1, ShiftKey, x, 6 * rh + 2);
    EXPECT_EQ(Selected(*g), (std::vector<int>{3, 4, 5, 6}));
    GridMousePress(*g, m, hooks, 1, CtrlKey, x, 10 * rh + 2);
    EXPECT_EQ(Selected(*g), (std::vector<int>{3, 4, 5, 6, 10}));
    GridMousePress(*g, m, hooks, 1, 0, x, 8 * rh + 2);
    EXPECT_EQ(Selected(*g), (std::vector<int>{8}));
    // The last row is never selected by a click.
    g->st.topRow = 0;
    ShowRow(*g, 29, 29);
    GridMousePress(*g, m, hooks, 1, 0, x, (29 - g->st.topRow) * rh + 2);
    EXPECT_FALSE(g->st.selected(29));
}

TEST(GridMouse, DragExtendsRangeAndScrollsAtEdge) {
    auto g = MakeGrid({.rows = 200});
    MouseHooks hooks;
    MouseTracker m;
    const int rh = g->st.rowHeight;
    GridMousePress(*g, m, hooks, 1, 0, 50, 2 * rh + 2);
    GridMouseMove(*g, m, hooks, 1, 0, 50, 5 * rh + 2);
    EXPECT_EQ(Selected(*g), (std::vector<int>{2, 3, 4, 5}));
    GridMouseMove(*g, m, hooks, 1, 0, 50, g->surface.height() - 2);
    EXPECT_EQ(g->st.topRow, 1);
    // y lies in the strip below the last whole row: the row after it, in the new view.
    EXPECT_EQ(g->st.cursorRow, 1 + g->st.visibleRows);
    EXPECT_EQ(g->st.selectedCount, g->st.visibleRows);
}

TEST(GridMouse, MarkingStyleTogglesEachRowEntered) {
    auto g = MakeGrid({.rows = 30, .cellCursor = false});
    MouseHooks hooks;
    MouseTracker m;
    const int rh = g->st.rowHeight;
    GridMousePress(*g, m, hooks, 1, 0, 50, 4 * rh + 2);
    GridMouseRelease(*g, m);
    GridMousePress(*g, m, hooks, 1, 0, 50, 7 * rh + 2);
    GridMouseRelease(*g, m);
    EXPECT_EQ(Selected(*g), (std::vector<int>{4, 7}));
    GridMousePress(*g, m, hooks, 1, 0, 50, 4 * rh + 2);  // toggles back, 7 stays
    GridMouseRelease(*g, m);
    EXPECT_EQ(Selected(*g), (std::vector<int>{7}));
    // Dragging from 5 over 6 and 7: 5 and 6 on, 7 off.
    GridMousePress(*g, m, hooks, 1, 0, 50, 5 * rh + 2);
    GridMouseMove(*g, m, hooks, 1, 0, 50, 5 * rh + 5);  // same row: nothing
    GridMouseMove(*g, m, hooks, 1, 0, 50, 6 * rh + 2);
    GridMouseMove(*g, m, hooks, 1, 0, 50, 7 * rh + 2);
    GridMouseRelease(*g, m);
    EXPECT_EQ(Selected(*g), (std::vector<int>{5, 6}));
}

TEST(GridMouse, PressOnEmptyGridBeepsAndExpandHookGetsTreeClicks) {
    Grid g;
    InitGrid(g, 300);
    ClearGrid(g);
    MouseHooks hooks;
    MouseTracker m;
    platform::ResetBeepCount();
    GridMousePress(g, m, hooks, 1, 0, 5, 5);
    EXPECT_EQ(platform::BeepCount(), 1);

    auto h = MakeGrid({.rows = 10});
    int expanded = -1;
    hooks.expandCollapse = [&](int row, int) {
        expanded = row;
        return true;
    };
    const int rh = h->st.rowHeight;
    GridMousePress(*h, m, hooks, 1, 0, h->st.rowIndent[1] - 11, rh + 3);
    EXPECT_EQ(expanded, 1);
    EXPECT_TRUE(m.expandClick);
    EXPECT_EQ(h->st.selectedCount, 0);
}

TEST(GridGeometry, RowAndColumnAtPoint) {
    auto g = MakeGrid({.rows = 100});
    const int rh = g->st.rowHeight;
    ScrollTo(*g, 10, true);
    EXPECT_EQ(RowAtY(g->st, 0), 10);
    EXPECT_EQ(RowAtY(g->st, rh - 0.4), 11);  // rounded first
    EXPECT_EQ(RowAtY(g->st, rh - 0.6), 10);
    EXPECT_EQ(RowAtY(g->st, 2 * rh + 1), 12);
    EXPECT_EQ(ColumnAtX(g->st, 0), 0);
    EXPECT_EQ(ColumnAtX(g->st, g->st.textRight[1] - 1), 0);
    EXPECT_EQ(ColumnAtX(g->st, g->st.textRight[1]), 1);
    EXPECT_EQ(ColumnAtX(g->st, 100000), 5);
}

TEST(GridSelect, SumColumnFollowsEverySelectionChange) {
    // Cells of column 1 hold i * 10 + 1.
    auto g = MakeGrid({.rows = 12});
    auto key = [&](int k, int flags) {
        bool typed = false, changed = false;
        HandleKey(*g, k, flags, typed, changed, 1, -1);
    };
    MoveCursor(*g, 2);
    key(vk::Space, 0);  // Space selects row 2
    EXPECT_EQ(g->st.selectedSum, 21);
    key(vk::Down, ShiftKey);  // rows 2 and 3
    EXPECT_EQ(g->st.selectedSum, 21 + 31);
    key(vk::Up, ShiftKey);  // back to row 2 alone
    EXPECT_EQ(g->st.selectedSum, 21);
    key(vk::Space, CtrlKey);  // Space toggles it off again
    EXPECT_EQ(g->st.selectedSum, 0);
    EXPECT_EQ(g->st.selectedCount, 0);
    key(vk::A, CtrlKey);  // every row but the last: 1 + 11 + ... + 101
    EXPECT_EQ(g->st.selectedSum, 11 * 1 + 10 * (10 * 11 / 2));
    key(vk::Escape, 0);
    EXPECT_EQ(g->st.selectedSum, 0);
    // A click: a plain press makes the sum that row's value, Ctrl adds and takes away.
    const int rh = g->st.rowHeight;
    bool moved = false, changed = false;
    SelectAt(*g, 1, 0, 50, 4 * rh + 2, moved, changed, 1);
    EXPECT_EQ(g->st.selectedSum, 41);
    SelectAt(*g, 1, CtrlKey, 50, 6 * rh + 2, moved, changed, 1);
    EXPECT_EQ(g->st.selectedSum, 41 + 61);
    SelectAt(*g, 1, CtrlKey, 50, 4 * rh + 2, moved, changed, 1);
    EXPECT_EQ(g->st.selectedSum, 61);
    EXPECT_EQ(Selected(*g), (std::vector<int>{6}));
}
