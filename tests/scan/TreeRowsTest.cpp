// Tree rows built by hand from a small folder table, as the scan and list filling leave them.
#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <memory>
#include <ostream>
#include <vector>

#include "common/ListFixture.h"
#include "grid/Grid.h"
#include "grid/MarkIcons.h"
#include "scan/DriveList.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"

// Readable QString values in failure messages.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

using scan::CellSize;
using scan::kMB;
const QChar kSep(2);

using testsupport::Folder;

// A list filled as the scan and the list filling would fill it, on a laid-out grid.
struct TreeList : testsupport::ListFixture {
    explicit TreeList(const std::vector<Folder>& folders, const QString& font = "Arial",
                      int visiblePx = 400)
        : ListFixture(
              {.laidOut = true, .headerTwips = 20 * 15, .font = font, .visiblePx = visiblePx}) {
        records(folders, 0);
    }
    // What a row showing folder f with its own figures shows, made here from the table.
    QStringList own(int f) {
        const scan::FolderTable& t = list.Folders;
        const size_t i = size_t(f);
        return {t.name(f).toString(), QString::number(std::max(t.FileCount[i], 0)),
                CellSize(t.FileSize[i], list.UnitMode), CellSize(t.AllocSize[i], list.UnitMode),
                CellSize(t.SubtreeTotal[i], list.UnitMode)};
    }
    QString totalName() { return cell(rows() - 1, 0); }
};

// root; A (A1 (A1x, A1y), A2); B; C (C1)
std::vector<Folder> SmallTree() {
    return {
        {0, "C:\\", 2, 100, 0},
        {1, "A", 1, 10, 4096},
        {2, "A1", 3, 3 * kMB, 3 * kMB + 4096},
        {3, "A1x", -1, 0, 4096},  // unreadable: counts no files
        {3, "A1y", 5, 20 * kMB, 20 * kMB},
        {2, "A2", 0, 0, 4096},
        {1, "B", 4, 1000, 16384},
        {1, "C", 0, 0, 4096},
        {2, "C1", 2, 2 * kMB, 2 * kMB},
    };
}

TEST(TreeRows, TotalRowWordFollowsTheFontName) {
    TreeList western({{0, "C:\\", 0, 0, 0}}, "Arial");
    EXPECT_EQ(western.totalName(), "1 Folder ");
    TreeList two({{0, "C:\\", 0, 0, 0}, {1, "A", 0, 0, 0}}, "Arial");
    EXPECT_EQ(two.totalName(), "2 Folders ");
    for (const QString& font :
         {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("ＭＳ 明朝"), QStringLiteral("System"),
          QStringLiteral("FixedSys"), QStringLiteral("Terminal"),
          // Japanese faces chosen in the font dialog are stored by their installed names.
          QStringLiteral("IPAMincho"), QStringLiteral("IPAPGothic")}) {
        TreeList japanese({{0, "C:\\", 0, 0, 0}}, font);
        EXPECT_EQ(japanese.totalName(), "1 フォルダ") << font.toStdString();
    }
    TreeList other({{0, "C:\\", 0, 0, 0}}, "Terminal Bold");
    TreeList latin({{0, "C:\\", 0, 0, 0}}, "Liberation Sans");
    EXPECT_EQ(latin.totalName(), "1 Folder ");
    EXPECT_EQ(other.totalName(), "1 Folder ");
}

TEST(TreeRows, TotalRowHoldsFourCellsInTheListUnit) {
    TreeList t(SmallTree());
    t.list.UnitMode = 1;
    const int total = t.rows() - 1;
    EXPECT_EQ(t.cell(total, 0), "9 Folders ");
    EXPECT_EQ(t.cell(total, 1), "17");  // the unreadable folder adds nothing
    EXPECT_EQ(t.cell(total, 2), CellSize(25 * kMB + 1110, 1));
    EXPECT_EQ(t.cell(total, 3), CellSize(t.list.Folders.SubtreeTotal[0], 1));
    EXPECT_EQ(t.cell(total, 3), "        25,636 KB ");
    EXPECT_EQ(t.cell(total, 4), "");
}

// The picture of the icon strip that a row shows when drawn (its place in the strip: folder,
// CD, removable drive, fixed drive, removed folder); -1 when it shows none.
int PictureShown(TreeList& t, int row) {
    const grid::GridState& st = t.st();
    grid::DrawRow(t.grid, row);
    const QImage strip = grid::MarkIconStrip();
    const int w = grid::kMarkIconWidth, h = grid::kMarkIconHeight;
    const int x0 = st.rowIndent[row];
    const int y0 = (row - st.topRow) * st.rowHeight + (st.rowHeight - h) / 2;
    if (x0 < 0) return -1;
    for (int k = 0; k < grid::kMarkIconCount; ++k) {
        bool same = true;
        for (int y = 0; y < h && same; ++y)
            for (int x = 0; x < w && same; ++x) {
                const QRgb p = strip.pixel(x, k * h + y);
                same = qAlpha(p) < 255 || t.grid.surface.pixel(x0 + x, y0 + y) == grid::FromRgb(p);
            }
        if (same) return k;
    }
    return -1;
}

enum Picture { kFolder, kCd, kRemovable, kFixed, kRemoved, kNone = -1 };

// What a row is decides its icon, in every view: the root its drive's kind, a folder that
// could not be read the removed folder's, every other folder (collapsed or not) the folder's;
// the total row none.
TEST(TreeRows, EachRowShowsTheIconOfWhatItIs) {
    const struct {
        int driveKind;
        Picture root;
    } drives[] = {{1, kCd}, {2, kRemovable}, {3, kFixed}};
    const struct {
        const char* name;
        int level;
        int sort;
    } views[] = {{"all levels", 0, 0}, {"one level", 1, 0}, {"by occupied size", 0, 1}};
    for (const auto& d : drives) {
        for (const auto& v : views) {
            SCOPED_TRACE(testing::Message() << "drive kind " << d.driveKind << ", " << v.name);
            TreeList t(SmallTree());
            grid::SetIconSlot(t.st(), 0, grid::MarkIconStrip(), grid::kMarkIconWidth,
                              grid::kMarkIconHeight);
            t.list.DriveKind = d.driveKind;
            t.list.ShownLevel = v.level;
            scan::ApplyLevelLimit(t.list);
            t.list.SortKind = v.sort;
            scan::SortRows(t.list);
            for (int r = 0; r < t.rows(); ++r) {
                const int f = t.order(r);
                const Picture want = r == t.rows() - 1                         ? kNone
                                     : f == 0                                  ? d.root
                                     : t.list.Folders.FileCount[size_t(f)] < 0 ? kRemoved
                                                                               : kFolder;
                EXPECT_EQ(PictureShown(t, r), want) << "row " << r;
            }
        }
    }
}

TEST(TreeRows, LevelOneShowsSubtreeSumsAndMarks) {
    TreeList t(SmallTree());
    t.list.ShownLevel = 1;
    scan::ApplyLevelLimit(t.list);
    EXPECT_EQ(t.shown(), (std::vector<int>{0, 1, 6, 7, 9}));
    // A: its own 1 file plus 3 + 5 below (A1x counts none); sizes over the whole subtree.
    const qint64 allocA = 4096 + 3 * kMB + 4096 + 4096 + 20 * kMB + 4096;
    EXPECT_EQ(t.cell(1, 0), "A");
    EXPECT_EQ(t.cell(1, 1), "9");
    EXPECT_EQ(t.cell(1, 2), CellSize(10 + 23 * kMB, 0));
    EXPECT_EQ(t.cell(1, 3), CellSize(allocA, 0));
    EXPECT_EQ(t.cell(1, 4), CellSize(allocA, 0));  // its own subtree cell, unchanged
    EXPECT_EQ(t.list.Folders.ShownAlloc[1], allocA);
    EXPECT_EQ(t.st().rowMark[1], scan::SizeMark(allocA));
    EXPECT_NE(scan::SizeMark(allocA), scan::SizeMark(4096));
    // B has no sub-folders: its own figures.
    EXPECT_EQ(t.cells(2), t.own(6));
    EXPECT_EQ(t.st().rowMark[2], scan::SizeMark(16384));
    EXPECT_EQ(t.cell(3, 1), "2");
    EXPECT_EQ(t.list.Folders.ShownAlloc[7], 4096 + 2 * kMB);
    // Indents and the total row last.
    EXPECT_EQ(t.st().rowIndent[2], 18);
    EXPECT_EQ(t.st().rowIndent[4], -1);
    EXPECT_EQ(t.cell(4, 0), "9 Folders ");
    EXPECT_EQ(t.rows(), 5);

    // Back to all levels: every folder with its own figures.
    t.list.ShownLevel = 0;
    scan::ApplyLevelLimit(t.list);
    EXPECT_EQ(t.rows(), 10);
    for (int r = 0; r < 9; ++r) {
        EXPECT_EQ(t.cells(r), t.own(r));
        EXPECT_EQ(t.list.Folders.ShownAlloc[size_t(r)], t.list.Folders.AllocSize[size_t(r)]);
    }
    EXPECT_EQ(t.st().rowLevel[4], 3);
}

TEST(TreeRows, LevelTwoCollapsesAtTheSecondLevel) {
    TreeList t(SmallTree());
    t.list.ShownLevel = 2;
    scan::ApplyLevelLimit(t.list);
    EXPECT_EQ(t.shown(), (std::vector<int>{0, 1, 2, 5, 6, 7, 8, 9}));
    EXPECT_EQ(t.cell(2, 1), "8");  // A1: 3 own + 5 of A1y
    EXPECT_EQ(t.cell(1, 1), "1");  // A is shown with its sub-rows: own figures
    EXPECT_EQ(t.list.Folders.ShownAlloc[1], 4096);
}

TEST(TreeRows, PlainExpandShowsChildrenCollapsed) {
    TreeList t(SmallTree());
    t.list.ShownLevel = 1;
    scan::ApplyLevelLimit(t.list);
    t.st().cursorRow = 3;  // on C, below A
    t.st().drawnCursorRow = 3;
    scan::ExpandRow(t.list, 1, false);
    EXPECT_EQ(t.shown(), (std::vector<int>{0, 1, 2, 5, 6, 7, 9}));
    EXPECT_EQ(t.cell(1, 1), "1");  // A's own figures again
    EXPECT_EQ(t.list.Folders.ShownAlloc[1], 4096);
    EXPECT_EQ(t.cell(2, 1), "8");  // A1 collapsed over A1x and A1y
    EXPECT_EQ(t.list.Folders.ShownAlloc[2], 3 * kMB + 4096 + 4096 + 20 * kMB);
    EXPECT_EQ(t.st().rowIndent[2], 34);
    EXPECT_EQ(t.st().cursorRow, 5);
    EXPECT_EQ(t.st().drawnCursorRow, 5);
    EXPECT_EQ(t.cell(6, 0), "9 Folders ");
    EXPECT_TRUE(t.list.RowsExpanded);
    // Tree flags follow: A1 has sub-folders, A2 is the last child of A.
    EXPECT_EQ(t.st().rowTreeFlags[2], 1);
    EXPECT_EQ(t.st().rowTreeFlags[3], 2);
    // Expanding again while expanded changes nothing.
    scan::ExpandRow(t.list, 1, false);
    EXPECT_EQ(t.rows(), 7);
}

TEST(TreeRows, ShiftExpandShowsEveryDescendantWithOwnFigures) {
    TreeList t(SmallTree());
    t.list.ShownLevel = 1;
    scan::ApplyLevelLimit(t.list);
    scan::ExpandRow(t.list, 1, true);
    EXPECT_EQ(t.shown(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 9}));
    for (int r = 1; r <= 5; ++r) {
        EXPECT_EQ(t.cells(r), t.own(r)) << r;
    }
    EXPECT_EQ(t.st().rowMark[4], scan::SizeMark(20 * kMB));
}

TEST(TreeRows, ExpandingASelectedRowSelectsItsSubRows) {
    TreeList t(SmallTree());
    t.list.ShownLevel = 1;
    scan::ApplyLevelLimit(t.list);
    int shows = 0;
    t.list.SelectionChanged = [&] { ++shows; };
    grid::SetRowSelected(t.grid, 1, -1);
    scan::CountSelection(t.list);
    const qint64 before = t.list.SelTotal;
    EXPECT_EQ(t.list.SelCount, 1);
    scan::ExpandRow(t.list, 1, false);
    for (int r = 1; r <= 3; ++r) EXPECT_TRUE(t.st().selected(r)) << r;
    EXPECT_FALSE(t.st().selected(4));
    EXPECT_EQ(t.st().selectedCount, 3);
    // Own A + collapsed A1 + A2 is still the whole subtree.
    EXPECT_EQ(t.list.SelCount, 3);
    EXPECT_EQ(t.list.SelTotal, before);
    EXPECT_EQ(shows, 2);
}

TEST(TreeRows, CollapseHidesDeeperRowsAndKeepsTheCursorInRange) {
    TreeList t(SmallTree(), "Arial", 100);
    ASSERT_LT(t.st().visibleRows, 10);
    t.st().topRow = 4;
    t.st().cursorRow = 3;       // inside the rows to be hidden
    t.st().drawnCursorRow = 8;  // below them
    grid::SetRowSelected(t.grid, 4, -1);
    scan::CountSelection(t.list);
    scan::CollapseRow(t.list, 1);
    EXPECT_EQ(t.shown(), (std::vector<int>{0, 1, 6, 7, 8, 9}));
    EXPECT_EQ(t.cell(1, 1), "9");
    EXPECT_EQ(t.st().cursorRow, 1);
    EXPECT_EQ(t.st().drawnCursorRow, 4);
    EXPECT_LE(t.st().topRow, std::max(0, t.rows() - t.st().visibleRows));
    EXPECT_EQ(t.list.SelCount, 0);  // the hidden selected row left the totals
    EXPECT_EQ(t.st().selectedCount, 0);
    EXPECT_EQ(t.st().rowTreeFlags[1], 1);
    EXPECT_EQ(t.cell(5, 0), "9 Folders ");
    // And open again with Shift: back to the full tree.
    scan::ExpandRow(t.list, 1, true);
    EXPECT_EQ(t.rows(), 10);
    EXPECT_EQ(t.list.Folders.ShownAlloc[1], 4096);
}

TEST(TreeRows, SortByOccupiedSizeBreaksTiesByFileSize) {
    // P and Q occupy the same space; Q holds more bytes. R ties with Q completely.
    TreeList t({{0, "C:\\", 0, 0, 0},
                {1, "P", 1, 100, 8192},
                {2, "P1", 1, 5000, 8192},
                {1, "Q", 1, 900, 8192},
                {1, "R", 1, 900, 8192},
                {1, "S", 1, 1, 65536}});
    t.list.SortKind = 1;
    t.list.FullPath = true;
    t.st().treeLines = 0;
    scan::SortRows(t.list);
    scan::ShowPaths(t.list);
    // Larger first; complete ties keep the later row first (read from the list's end).
    EXPECT_EQ(t.shown(), (std::vector<int>{5, 2, 4, 3, 1, 0, 6}));
    EXPECT_EQ(t.cell(1, 0), "P\\P1");
    EXPECT_EQ(t.st().rowIndent[1], 2);
    EXPECT_EQ(t.cell(6, 0), "6 Folders ");

    t.list.SortKind = 2;
    scan::SortRows(t.list);
    EXPECT_EQ(t.shown(), (std::vector<int>{0, 5, 1, 3, 4, 2, 6}));

    // Back to tree order with the tree lines on: record order and plain names.
    t.list.SortKind = 0;
    t.list.FullPath = false;
    t.st().treeLines = -1;
    scan::SortRows(t.list);
    EXPECT_EQ(t.shown(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(t.list.PathsFlag);
    EXPECT_EQ(t.cell(0, 0), "C:\\");
    EXPECT_EQ(t.cell(2, 0), "P1");
    EXPECT_EQ(t.st().rowIndent[2], 34);
}

TEST(TreeRows, SortKeysHoldSizesBeyondATerabyte) {
    // Thirteen digits against twelve: a key cut to twelve characters would put Small first.
    TreeList t({{0, "C:\\", 0, 0, 0},
                {1, "Big", 1, 1, 1'000'000'000'008},
                {1, "Small", 1, 1, 999'999'999'999}});
    t.list.SortKind = 1;
    scan::SortRows(t.list);
    EXPECT_EQ(t.shown(), (std::vector<int>{1, 2, 0, 3}));
}

TEST(TreeRows, EndingASortGivesNamesBackWithTheTreeLinesOnOrOff) {
    for (const int lines : {-1, 0}) {
        SCOPED_TRACE(lines);
        TreeList t(SmallTree());
        t.st().treeLines = lines;
        t.list.SortKind = 1;
        scan::SortRows(t.list);
        scan::ShowPaths(t.list);
        t.list.SortKind = 0;
        scan::SortRows(t.list);
        EXPECT_FALSE(t.list.PathsFlag);
        for (int r = 0; r < t.rows() - 1; ++r) {
            const int f = t.order(r);
            EXPECT_EQ(f, r);
            EXPECT_EQ(t.cells(r), t.own(f)) << r;
            EXPECT_EQ(t.st().rowIndent[r], 16 * t.list.Folders.Level[size_t(f)] + 2) << r;
            EXPECT_EQ(t.st().rowLevel[size_t(r)], t.list.Folders.Level[size_t(f)] & 7) << r;
        }
    }
    // The full-path display keeps its paths.
    TreeList t(SmallTree());
    t.list.FullPath = true;
    scan::ShowPaths(t.list);
    scan::SortRows(t.list);
    EXPECT_TRUE(t.list.PathsFlag);
    EXPECT_EQ(t.cell(3, 0), "A\\A1\\A1x");
}

TEST(TreeRows, FifteenthTopLevelGroupWrapsToZero) {
    std::vector<Folder> folders = {{0, "C:\\", 0, 0, 0}};
    for (int i = 1; i <= 16; ++i) {
        folders.push_back({1, QStringLiteral("T%1").arg(i), 0, 0, 4096});
        if (i == 15) folders.push_back({2, "  deep", 0, 0, 4096});
    }
    TreeList t(folders);
    t.list.SortKind = 1;
    scan::SortRows(t.list);
    scan::ShowPaths(t.list);
    const auto& g = t.list.TopGroup;
    EXPECT_EQ(g[0], 0);
    for (int i = 1; i <= 14; ++i) EXPECT_EQ(g[size_t(i)], i) << i;
    EXPECT_EQ(g[15], 0);  // T15
    EXPECT_EQ(g[16], 0);  // its sub-folder
    EXPECT_EQ(g[17], 1);  // T16
    for (int r = 0; r < t.rows() - 1; ++r) {
        const int f = t.order(r);
        EXPECT_EQ(t.st().rowLevel[size_t(r)], g[size_t(f)] & 7);
        EXPECT_EQ(t.st().rowIndent[r], 2);
        if (f == 16) {
            // Leading blanks are part of the name: " lead" and "lead" are two folders.
            EXPECT_EQ(t.cell(r, 0), "T15\\  deep");
        }
        if (f == 0) {
            EXPECT_EQ(t.cell(r, 0), "C:\\");
        }
    }
    EXPECT_TRUE(t.list.PathsFlag);
    // A second call keeps the paths as they are.
    scan::ShowPaths(t.list);
    for (int r = 0; r < t.rows() - 1; ++r) {
        if (t.order(r) == 16) {
            EXPECT_EQ(t.cell(r, 0), "T15\\  deep");
        }
    }
}

TEST(TreeRows, LevelRebuildOfAPathListGivesPathsAgain) {
    TreeList t(SmallTree());
    t.list.SortKind = 1;
    t.list.FullPath = true;
    scan::SortRows(t.list);
    scan::ShowPaths(t.list);
    grid::SetRowSelected(t.grid, 2, -1);
    scan::CountSelection(t.list);
    // Sorted rows are no tree: nothing opens.
    const int rows = t.rows();
    scan::ExpandRow(t.list, 0, true);
    EXPECT_EQ(t.rows(), rows);

    t.list.ShownLevel = 2;
    scan::ApplyLevelLimit(t.list);
    EXPECT_FALSE(t.list.PathsFlag);
    EXPECT_EQ(t.cell(2, 0), "A1");
    EXPECT_EQ(t.st().selectedCount, 0);  // the rows show other folders now
    EXPECT_EQ(t.list.SelCount, 0);
    scan::ShowPaths(t.list);
    EXPECT_EQ(t.cell(2, 0), "A\\A1");
    EXPECT_EQ(t.cell(2, 1), "8");  // still collapsed
}

// Expected flags from the levels alone: bit 0 a deeper row follows, bit 1 no later sibling.
std::vector<int> FlagsOf(const std::vector<int>& levels, const std::vector<int>& hasChildren) {
    std::vector<int> out;
    const int n = int(levels.size());
    for (int i = 0; i < n; ++i) {
        bool last = i > 0;
        for (int j = i + 1; j < n && last; ++j) {
            if (levels[size_t(j)] < levels[size_t(i)]) break;
            if (levels[size_t(j)] == levels[size_t(i)]) last = false;
        }
        out.push_back(hasChildren[size_t(i)] | (last ? 2 : 0));
    }
    return out;
}

TEST(TreeRows, TreeFlagsMarkSubFoldersAndLastSiblings) {
    TreeList t(SmallTree());
    scan::ComputeTreeFlags(t.list);
    std::vector<int> got;
    for (int r = 0; r < 9; ++r) got.push_back(t.st().rowTreeFlags[size_t(r)]);
    EXPECT_EQ(got, FlagsOf({0, 1, 2, 3, 3, 2, 1, 1, 2}, {1, 1, 1, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(got, (std::vector<int>{1, 1, 1, 0, 2, 2, 0, 3, 2}));
    EXPECT_EQ(t.st().rowTreeFlags[9], 0);

    // Not touched while sorted or in the full-path display.
    t.st().rowTreeFlags[4] = 0;
    t.list.SortKind = 1;
    scan::ComputeTreeFlags(t.list);
    EXPECT_EQ(t.st().rowTreeFlags[4], 0);
    t.list.SortKind = 0;
    t.list.FullPath = true;
    scan::ComputeTreeFlags(t.list);
    EXPECT_EQ(t.st().rowTreeFlags[4], 0);
}

TEST(TreeRows, TreeFlagsOfADeepTree) {
    std::vector<Folder> folders = {{0, "C:\\", 0, 0, 0}};
    std::vector<int> levels = {0};
    for (int i = 1; i <= 70; ++i) {
        folders.push_back({i, QStringLiteral("d%1").arg(i), 0, 0, 0});
        levels.push_back(i);
    }
    folders.push_back({1, "last", 0, 0, 0});
    levels.push_back(1);
    TreeList t(folders);
    scan::ComputeTreeFlags(t.list);
    std::vector<int> has(levels.size(), 0);
    for (size_t i = 0; i + 1 < levels.size(); ++i) has[i] = levels[i + 1] > levels[i] ? 1 : 0;
    std::vector<int> got;
    for (int r = 0; r < int(levels.size()); ++r) got.push_back(t.st().rowTreeFlags[size_t(r)]);
    EXPECT_EQ(got, FlagsOf(levels, has));
}

TEST(TreeRows, DragMarkAndCountSelectionKeepTheTotals) {
    TreeList t(SmallTree());
    t.st().selectionMode = 1;
    int shows = 0;
    t.list.SelectionChanged = [&] { ++shows; };
    t.list.DragSelects = true;
    scan::DragMark(t.list, 2);
    scan::DragMark(t.list, 6);
    scan::DragMark(t.list, 6);  // already selected: nothing more
    scan::DragMark(t.list, 9);  // the total row is never selected
    EXPECT_EQ(t.list.SelCount, 2);
    EXPECT_EQ(t.list.SelTotal, 3 * kMB + 4096 + 16384);
    EXPECT_FALSE(t.st().selected(9));
    t.list.DragSelects = false;
    scan::DragMark(t.list, 2);
    scan::DragMark(t.list, 3);  // not selected: nothing
    EXPECT_EQ(t.list.SelCount, 1);
    EXPECT_EQ(t.list.SelTotal, 16384);
    EXPECT_EQ(shows, 0);

    t.list.SelCount = 99;
    scan::CountSelection(t.list);
    EXPECT_EQ(t.list.SelCount, 1);
    EXPECT_EQ(t.list.SelTotal, 16384);
    EXPECT_EQ(shows, 1);
}

}  // namespace

// The share bar: each folder's subtree total over its parent's, drawn behind the 下位合計
// figure wherever its row stands; the root and the total row have none.
TEST(TreeRows, ShareBarsFollowTheirFoldersInTreeAndSortedOrder) {
    constexpr grid::Colour kBar = 0x899E1F;
    // root 500 = A 400 (A1 300, A2 100) + B 100 (B1 100).
    const std::vector<Folder> folders = {{0, "C:\\", 0, 0, 0}, {1, "A", 0, 0, 0},
                                         {2, "A1", 1, 1, 300}, {2, "A2", 1, 1, 100},
                                         {1, "B", 0, 0, 0},    {2, "B1", 1, 1, 100}};
    const double share[] = {-1, 0.8, 0.75, 0.25, 0.2, 1.0};
    for (const bool sorted : {false, true}) {
        SCOPED_TRACE(sorted ? "sorted" : "tree");
        TreeList t(folders);
        if (sorted) {
            t.list.SortKind = 2;
            t.list.FullPath = true;
            t.st().treeLines = 0;
            scan::SortRows(t.list);
            scan::ShowPaths(t.list);
        }
        grid::GridState& st = t.st();
        st.shareColour = kBar;
        // The longest run of bar pixels in the row's subtree-total cell.
        auto barOf = [&](int row) {
            int longest = 0;
            const int top = (row - st.topRow) * st.rowHeight;
            for (int y = top; y < top + st.rowHeight; ++y) {
                int run = 0;
                for (int x = st.columnLeft[4]; x < st.textRight[5]; ++x) {
                    run = t.grid.surface.pixel(x, y) == kBar ? run + 1 : 0;
                    longest = std::max(longest, run);
                }
            }
            return longest;
        };
        grid::RepaintAll(t.grid);
        for (int r = 0; r < t.rows(); ++r) EXPECT_EQ(barOf(r), 0) << "off, row " << r;

        st.shareColumn = scan::kSubtreeColumn;
        grid::RepaintAll(t.grid);
        int full = 0;  // B1 holds all of B
        for (int r = 0; r < t.rows(); ++r)
            if (t.order(r) == 5) full = barOf(r);
        ASSERT_GT(full, 40);
        for (int r = 0; r < t.rows(); ++r) {
            const int f = t.order(r);
            const int want = f >= 1 && f <= 5 ? int(std::lround(share[f] * full)) : 0;
            EXPECT_EQ(barOf(r), want) << "row " << r << ", folder " << f;
            // A row drawn alone draws the same bar.
            grid::DrawRow(t.grid, r);
            EXPECT_EQ(barOf(r), want) << "row " << r << " drawn alone";
        }
    }
}
