// The thin widgets: names, scroll bar in step, keys and clicks through QtTest.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "grid/GridFixture.h"
#include "grid/widget/GridView.h"

using namespace grid;

namespace {

void Fill(GridView& view, int rows, bool standard) {
    gridtest::FillGrid(view.grid(), {.rows = rows, .cellCursor = standard});
}

}  // namespace

TEST(GridWidget, ControlsCarryTheirNamesAndScrollBarFollows) {
    GridView view;
    Fill(view, 200, true);
    view.show();
    EXPECT_NE(view.findChild<QWidget*>(QStringLiteral("LSTGRD")), nullptr);
    EXPECT_NE(view.findChild<QWidget*>(QStringLiteral("ITMBAR")), nullptr);
    QScrollBar* bar = view.findChild<QScrollBar*>(QStringLiteral("SCRLST"));
    ASSERT_NE(bar, nullptr);
    EXPECT_NE(view.findChild<QTimer*>(QStringLiteral("SCRTIM")), nullptr);
    const int vr = view.grid().st.visibleRows;
    EXPECT_EQ(bar->maximum(), 200 - vr);
    EXPECT_EQ(bar->pageStep(), vr);
    EXPECT_TRUE(bar->isVisible());
    ScrollTo(view.grid(), 5, false);
    EXPECT_EQ(bar->value(), 5);
    bar->setValue(40);  // the user drags the thumb
    EXPECT_EQ(view.grid().st.topRow, 40);
}

TEST(GridWidget, KeysThroughTheScrollBarMoveTheCursor) {
    GridView view;
    Fill(view, 50, true);
    view.show();
    QScrollBar* bar = view.scrollBar();
    QTest::keyClick(bar, Qt::Key_Down);
    QTest::keyClick(bar, Qt::Key_Down);
    EXPECT_EQ(view.grid().st.cursorRow, 2);
    EXPECT_EQ(bar->value(), 0);  // the bar did not take the key for itself
    QTest::keyClick(bar, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(view.grid().st.selectedCount, 2);
    QTest::keyClick(bar, Qt::Key_Escape);
    EXPECT_EQ(view.grid().st.selectedCount, 0);
}

TEST(GridWidget, MarkingStyleClicksToggleRows) {
    GridView view;
    Fill(view, 50, false);
    view.show();
    QWidget* lst = view.gridWidget();
    const int rh = view.grid().st.rowHeight;
    QTest::mouseClick(lst, Qt::LeftButton, {}, QPoint(300, 3 * rh + 3));
    QTest::mouseClick(lst, Qt::LeftButton, {}, QPoint(300, 5 * rh + 3));
    EXPECT_TRUE(view.grid().st.selected(3));
    EXPECT_TRUE(view.grid().st.selected(5));
    QTest::mouseClick(lst, Qt::LeftButton, {}, QPoint(300, 3 * rh + 3));
    EXPECT_FALSE(view.grid().st.selected(3));
    EXPECT_TRUE(view.grid().st.selected(5));
    EXPECT_EQ(view.grid().st.selectedCount, 1);
}

// A picture to look at: FOLDEX_GRID_PNG=/tmp/grid.png test_grid --gtest_filter=*Picture*
TEST(GridWidget, PictureForReview) {
    const QByteArray path = qgetenv("FOLDEX_GRID_PNG");
    if (path.isEmpty()) GTEST_SKIP() << "set FOLDEX_GRID_PNG to write the picture";
    GridView view;
    Fill(view, 300, true);
    Grid& g = view.grid();
    g.st.headings = {QStringLiteral("Folder名"), QStringLiteral("File数"),
                     QStringLiteral("File サイズ"), QStringLiteral("占有サイズ"),
                     QStringLiteral("下位合計")};
    g.st.hRuleWidth = 0;
    g.st.rowIcon[5] = 14;
    g.st.rowIcon[9] = 11;
    g.st.rowIcon[10] = 12;
    g.st.rowText[6] = QStringLiteral("日本語のフォルダ") + QChar(2) + QStringLiteral("12") +
                      QChar(2) + QStringLiteral("1,234 KB");
    g.st.rowIcon[size_t(299)] = 0;
    LayoutGrid(g, 700 * 15, 420 * 15, 15, 15);
    view.resize(700, 420);
    view.show();
    ShowRow(g, 0, 0);
    MoveCursor(g, 7);
    g.st.anchorRow = 7;
    bool t = false, c = false;
    HandleKey(g, vk::Down, ShiftKey, t, c, kNoSumColumn, -1);
    HandleKey(g, vk::Down, ShiftKey, t, c, kNoSumColumn, -1);
    SetRowSelected(g, 3, -1);
    MoveCursor(g, 12);
    ScrollTo(g, 2, false);
    ASSERT_TRUE(view.grab().save(QString::fromLocal8Bit(path)));
}
