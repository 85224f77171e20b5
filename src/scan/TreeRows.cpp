#include "scan/TreeRows.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <exception>
#include <utility>
#include <vector>

#include "grid/Grid.h"
#include "platform/Fonts.h"
#include "scan/FolderScan.h"
#include "scan/SizeFormat.h"

namespace scan {

int Records(const DriveList& list) {
    return std::clamp(list.ListRowCount - 1, 0, list.Folders.bound());
}

int SubtreeEnd(const FolderTable& t, int f, int records) {
    int e = f + 1;
    while (e < records && t.Level[size_t(e)] > t.Level[size_t(f)]) ++e;
    return e;
}

namespace {

bool Ready(const DriveList& list) {
    return list.ListRowCount > 0 && list.RowCount > 0;
}

// The grid that shows the rows, when there is one and it lists the folders.
grid::GridState* Shown(DriveList& list) {
    return list.Grid && !list.OverviewShown ? &list.Grid->st : nullptr;
}

int FolderIcon(const DriveList& list, int f) {
    if (f == 0) return 10 + list.DriveKind;
    // A comparison's counts are changes; its gone folders take the unreadable folder's icon.
    if (Comparing(list)) return ChangeOf(list, f) == kChangeGone ? 14 : 10;
    return list.Folders.FileCount[size_t(f)] < 0 ? 14 : 10;
}

// The indentation of a folder's row in the tree (the total row has none).
int IndentOf(const DriveList& list, int f) {
    if (f >= Records(list)) return -1;
    return RowIndentFor(list.IndentStep, list.Folders.Level[size_t(f)]);
}

// The file count, file size and occupied size of the folders [f, end).
// changes: the counts are a comparison's changes and may be negative (else a negative count
// marks an unreadable folder and adds nothing).
RowFigures SubtreeSums(const FolderTable& t, int f, int end, bool changes) {
    RowFigures sums;
    for (int g = f; g < end; ++g) {
        if (changes || t.FileCount[size_t(g)] > 0) sums.files += t.FileCount[size_t(g)];
        sums.bytes = SaturatingAdd(sums.bytes, t.FileSize[size_t(g)]);
        sums.alloc = SaturatingAdd(sums.alloc, t.AllocSize[size_t(g)]);
    }
    return sums;
}

// The grid's look of a row that shows folder f (its level colour, mark, icon, indent).
void DressRow(DriveList& list, grid::GridState& st, int row, int f) {
    const size_t r = size_t(row);
    const FolderTable& t = list.Folders;
    // A comparison colours growth only.
    const qint64 shown = t.ShownAlloc[size_t(f)];
    st.rowMark[r] = quint8(SizeMark(Comparing(list) ? std::max<qint64>(shown, 0) : shown));
    st.rowIndent.set(row, list.PathsFlag ? 2 : IndentOf(list, f));
    st.rowIcon[r] = quint8(FolderIcon(list, f));
    // The scan's level colours follow the folder, not the row index; paths colour by group.
    st.rowLevel[r] =
        quint8((list.PathsFlag && size_t(f) < list.TopGroup.size() ? list.TopGroup[size_t(f)]
                                                                   : t.Level[size_t(f)]) &
               7);
}

// Row `row` shows folder f, with its own figures or (collapsed) those of [f, end).
void PutRow(DriveList& list, int row, int f, bool collapsed, int end) {
    FolderTable& t = list.Folders;
    t.ensure(row);
    const size_t fi = size_t(f);
    if (collapsed) {
        RowFigures sums = SubtreeSums(t, f, end, Comparing(list));
        sums.subtree = t.SubtreeTotal[fi];
        t.ShownAlloc[fi] = sums.alloc;
        list.Collapsed[f] = sums;
    } else {
        t.ShownAlloc[fi] = t.AllocSize[fi];
        list.Collapsed.erase(f);
    }
    t.Order[size_t(row)] = f;
    if (grid::GridState* st = Shown(list)) {
        grid::EnsureRow(*st, row);
        DressRow(list, *st, row, f);
    }
}

void PutTotalRow(DriveList& list, int row) {
    FolderTable& t = list.Folders;
    const int R = Records(list);
    t.ensure(std::max(row, R));
    t.Order[size_t(row)] = R;
    if (grid::GridState* st = Shown(list)) {
        grid::EnsureRow(*st, row);
        const size_t r = size_t(row);
        st->rowMark[r] = 0;
        st->rowIndent.set(row, -1);
        st->rowIcon[r] = 0;
        st->rowLevel[r] = 0;
        st->rowTreeFlags[r] = 0;
    }
}

// The list and its grid have n rows.
void SetRowCount(DriveList& list, int n) {
    list.RowCount = n;
    if (grid::GridState* st = Shown(list)) {
        if (n > 0) grid::EnsureRow(*st, n - 1);
        st->rowCount = n;
    }
}

// Moves the row-bound arrays of rows [from, from + n) to [to, to + n), overlapping allowed.
template <typename V>
void MoveRange(V& v, int from, int n, int to) {
    if (n <= 0 || from == to) return;
    auto first = v.begin() + from, last = first + n;
    if (to > from) {
        std::move_backward(first, last, v.begin() + to + n);
    } else {
        std::move(first, last, v.begin() + to);
    }
}

void MoveRows(DriveList& list, int from, int n, int to) {
    MoveRange(list.Folders.Order, from, n, to);
    if (grid::GridState* st = Shown(list)) {
        MoveRange(st->rowMark, from, n, to);
        MoveRange(st->rowIcon, from, n, to);
        MoveRange(st->rowSelected, from, n, to);
        MoveRange(st->rowLevel, from, n, to);
        MoveRange(st->rowTreeFlags, from, n, to);
    }
}

// A row index that moves when rows (row, row + n] are removed: rows inside follow to row.
int AfterRemoval(int index, int row, int n) {
    if (index > row + n) return index - n;
    if (index > row) return row;
    return index;
}

}  // namespace

namespace {

// Rebuilds every row in tree order: a folder for which folded(f, level) holds shows the sums
// of its subtree and hides it.
template <typename Folded>
void BuildTreeRows(DriveList& list, Folded folded) {
    if (list.ListRowCount <= 0) return;
    grid::GridState* st = Shown(list);
    try {
        const FolderTable& t = list.Folders;
        const int records = Records(list);
        // The names are plain again, so that paths can be given to them afresh.
        list.PathsFlag = false;
        list.Collapsed.clear();
        int row = 0;
        for (int f = 0; f < records;) {
            // Only a folded row needs the end of its subtree.
            const int end = folded(f, t.Level[size_t(f)]) ? SubtreeEnd(t, f, records) : f + 1;
            const bool collapsed = end > f + 1;
            PutRow(list, row++, f, collapsed, end);
            f = collapsed ? end : f + 1;
        }
        PutTotalRow(list, row++);
        SetRowCount(list, row);
        list.RowsExpanded = false;
        if (st) {
            // The rows now show other folders: a selection kept by index would be wrong.
            const bool hadSelection = st->selectedCount > 0 || list.SelCount > 0;
            grid::ResetSelection(*st);
            st->cursorRow = std::clamp(st->cursorRow, 0, row - 1);
            st->drawnCursorRow = std::clamp(st->drawnCursorRow, 0, row - 1);
            st->topRow = std::clamp(st->topRow, 0, std::max(0, row - st->visibleRows));
            if (hadSelection) CountSelection(list);
        }
    } catch (const std::exception&) {
        // The rows stay as far as they were built.
    }
    if (st) grid::RepaintAll(*list.Grid);
}

}  // namespace

void ApplyLevelLimit(DriveList& list) {
    const int n = list.ShownLevel;
    BuildTreeRows(list, [n](int, int level) { return n > 0 && level >= n; });
}

void ApplyFolds(DriveList& list, const std::vector<char>& folded) {
    BuildTreeRows(list,
                  [&folded](int f, int) { return size_t(f) < folded.size() && folded[size_t(f)]; });
}

void RowsFromScan(DriveList& list) {
    const int r = std::max(list.RowCount, 0);
    list.ListRowCount = r + 1;
    list.Folders.ensure(r);
    list.Folders.Level[size_t(r)] = 0;
    list.Folders.squeeze(r + 1);
    list.Files.squeeze();
    if (list.Grid && !list.OverviewShown) list.Grid->st.source = &list.Cells;
    ApplyLevelLimit(list);
}

void ExpandRow(DriveList& list, int row, bool allLevels) {
    if (!Ready(list)) return;
    if (row < 0 || row >= list.RowCount - 1) return;
    // Branches open only in tree order; sorted rows are no tree.
    if (list.SortKind != 0 || list.PathsFlag) return;
    grid::GridState* st = Shown(list);
    bool selected = false;
    try {
        FolderTable& t = list.Folders;
        const int records = Records(list);
        const int f = t.Order[size_t(row)];
        if (f < 0 || f >= records || !t.HasChildren[size_t(f)]) return;
        const int level = t.Level[size_t(f)];
        // Already expanded: the next row lies deeper.
        if (row + 1 < list.RowCount - 1 && t.Level[size_t(t.Order[size_t(row + 1)])] > level)
            return;
        const int end = SubtreeEnd(t, f, records);
        struct Item {
            int folder;
            bool collapsed;
            int end;
        };
        std::vector<Item> items;
        for (int g = f + 1; g < end;) {
            if (allLevels) {
                items.push_back({g, false, g + 1});
                ++g;
            } else {
                const int sub = SubtreeEnd(t, g, records);
                items.push_back({g, sub > g + 1, sub});
                g = sub;
            }
        }
        const int n = int(items.size());
        if (n == 0) return;
        const int oldCount = list.RowCount;
        t.ensure(oldCount + n - 1);
        if (st) {
            grid::EnsureRow(*st, oldCount + n - 1);
            st->rowIndent.shiftDown(row + 1, n);
            selected = st->selected(row);
        }
        MoveRows(list, row + 1, oldCount - (row + 1), row + 1 + n);
        PutRow(list, row, f, false, f + 1);
        for (int i = 0; i < n; ++i) {
            const Item& it = items[size_t(i)];
            PutRow(list, row + 1 + i, it.folder, it.collapsed, it.end);
            if (st) st->rowSelected[size_t(row + 1 + i)] = selected ? -1 : 0;
        }
        SetRowCount(list, oldCount + n);
        list.RowsExpanded = true;
        if (st) {
            if (selected) st->selectedCount += n;
            if (st->cursorRow > row) st->cursorRow += n;
            if (st->drawnCursorRow > row) st->drawnCursorRow += n;
            if (st->anchorRow > row) st->anchorRow += n;
        }
        PutTotalRow(list, list.RowCount - 1);
        ComputeTreeFlags(list);
        if (st) {
            grid::ResizeScrollList(*list.Grid);
            grid::FitAndRefresh(*list.Grid);
        }
    } catch (const std::exception&) {
        return;
    }
    // The new sub-rows are selected too: the totals must count them.
    if (selected) CountSelection(list);
}

void CollapseRow(DriveList& list, int row) {
    if (!Ready(list)) return;
    if (row < 0 || row >= list.RowCount - 1) return;
    FolderTable& t = list.Folders;
    const int records = Records(list);
    const int f = t.Order[size_t(row)];
    if (f < 0 || f >= records) return;
    const int level = t.Level[size_t(f)];
    int n = 0;
    while (row + 1 + n < list.RowCount - 1 &&
           t.Level[size_t(t.Order[size_t(row + 1 + n)])] > level) {
        ++n;
    }
    if (n == 0) return;
    grid::GridState* st = Shown(list);
    int removedSelected = 0;
    if (st)
        for (int r = row + 1; r <= row + n; ++r) removedSelected += st->selected(r) ? 1 : 0;
    // The hidden rows' folders show their own figures again when they come back.
    for (int r = row + 1; r <= row + n; ++r) list.Collapsed.erase(t.Order[size_t(r)]);
    PutRow(list, row, f, true, SubtreeEnd(t, f, records));
    const int oldCount = list.RowCount;
    MoveRows(list, row + 1 + n, oldCount - (row + 1 + n), row + 1);
    if (st) {
        st->rowIndent.shiftUp(row + 1, n);
        for (int r = oldCount - n; r < oldCount; ++r) {
            st->rowSelected[size_t(r)] = 0;
            st->rowTreeFlags[size_t(r)] = 0;
        }
    }
    SetRowCount(list, oldCount - n);
    PutTotalRow(list, list.RowCount - 1);
    if (!st) return;
    st->selectedCount = std::max(0, st->selectedCount - removedSelected);
    // A cursor on a hidden row goes to the collapsed row, never above it.
    st->cursorRow = AfterRemoval(st->cursorRow, row, n);
    st->drawnCursorRow = AfterRemoval(st->drawnCursorRow, row, n);
    if (st->anchorRow >= 0) st->anchorRow = AfterRemoval(st->anchorRow, row, n);
    ComputeTreeFlags(list);
    st->topRow = std::max(0, std::min(st->topRow, st->rowCount - st->visibleRows));
    list.Grid->surface.clear(st->backColour);
    grid::RepaintAll(*list.Grid);
    grid::ResizeScrollList(*list.Grid);
    grid::FitAndRefresh(*list.Grid);
    // Hidden rows leave the selection: the totals must not keep them.
    if (removedSelected > 0) CountSelection(list);
}

void SortRows(DriveList& list) {
    if (!Ready(list)) return;
    const int rows = list.RowCount - 1;
    if (rows <= 0) return;
    grid::GridState* st = Shown(list);
    try {
        FolderTable& t = list.Folders;
        const int kind = list.SortKind;
        // Numbers compared as numbers: a million rows sort in a blink.
        struct Key {
            qint64 first;
            qint64 second;
            int row;
        };
        std::vector<Key> keys;
        keys.reserve(size_t(rows));
        for (int r = 0; r < rows; ++r) {
            const size_t f = size_t(t.Order[size_t(r)]);
            if (kind == 1) {
                keys.push_back({t.ShownAlloc[f], t.FileSize[f], r});
            } else if (kind == 2) {
                keys.push_back({t.SubtreeTotal[f], 0, r});
            } else {
                keys.push_back({qint64(f), 0, r});
            }
        }
        // Equal keys keep their row order, as items added to a sorted list box do.
        std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
            return a.first != b.first ? a.first < b.first : a.second < b.second;
        });
        if (kind == 1 || kind == 2) std::reverse(keys.begin(), keys.end());

        // Back in tree order the rows get their names again, whether the tree lines are on
        // or not; only the full-path display keeps paths.
        const bool plainNames = kind != 1 && kind != 2 && !list.FullPath && list.PathsFlag;
        if (plainNames) list.PathsFlag = false;
        const auto order = std::vector<qint32>(t.Order.begin(), t.Order.begin() + rows);
        for (int i = 0; i < rows; ++i) t.Order[size_t(i)] = order[size_t(keys[size_t(i)].row)];
        if (st) {
            const auto sel =
                std::vector<qint16>(st->rowSelected.begin(), st->rowSelected.begin() + rows);
            for (int i = 0; i < rows; ++i) {
                st->rowSelected[size_t(i)] = sel[size_t(keys[size_t(i)].row)];
                DressRow(list, *st, i, t.Order[size_t(i)]);
            }
            grid::ResizeScrollList(*list.Grid);
        }
    } catch (const std::exception&) {
        // The rows stay as far as they were moved.
    }
}

void ShowPaths(DriveList& list) {
    try {
        const FolderTable& t = list.Folders;
        const int records = Records(list);
        list.TopGroup.assign(size_t(records) + 1, 0);
        int next = 0;
        for (int f = 0; f < records; ++f) {
            const int p = t.Parent[size_t(f)];
            if (p == 0 || f == 0) {
                list.TopGroup[size_t(f)] = quint8(next);
                next = (next + 1) % 15;
            } else if (p > 0 && p < f) {
                // Pre-order: the parent's group (that of the top-level ancestor) is known.
                list.TopGroup[size_t(f)] = list.TopGroup[size_t(p)];
            }
        }
        // The rows show paths from now on; they are made when a row is drawn or written.
        list.PathsFlag = true;
        if (grid::GridState* st = Shown(list); st && Ready(list)) {
            for (int r = 0; r < list.RowCount - 1; ++r) {
                const int f = t.Order[size_t(r)];
                if (f >= 0 && f < records) DressRow(list, *st, r, f);
            }
        }
    } catch (const std::exception&) {
        // The flag is set all the same, so that the names are not given paths twice.
    }
    list.PathsFlag = true;
}

void ComputeTreeFlags(DriveList& list) {
    if (!Ready(list) || !Shown(list)) return;
    grid::GridState& st = list.Grid->st;
    if (!st.treeLines || list.SortKind != 0 || list.FullPath) return;
    const FolderTable& t = list.Folders;
    const int records = Records(list);
    const int rows = st.rowCount - 1;
    auto levelOf = [&](int r) {
        const int f = t.Order[size_t(r)];
        return f >= 0 && f < records ? int(t.Level[size_t(f)]) : 0;
    };
    for (int r = 0; r < rows; ++r) {
        const int f = t.Order[size_t(r)];
        st.rowTreeFlags[size_t(r)] = f >= 0 && f < records && t.HasChildren[size_t(f)] ? 1 : 0;
    }
    // The last row seen at each level; a branch's last row is known when the walk leaves
    // that level for a shallower one. Levels have no upper bound.
    int deepest = 0;
    for (int r = 0; r < rows; ++r) deepest = std::max(deepest, levelOf(r));
    std::vector<int> lastAt(size_t(deepest) + 1, -1);
    auto markLast = [&](int from, int to) {
        for (int k = std::max(from, 1); k <= to; ++k) {
            const int r = lastAt[size_t(k)];
            if (r > 0) st.rowTreeFlags[size_t(r)] |= 2;
        }
    };
    if (rows <= 0) return;
    int previous = levelOf(0);
    for (int r = 1; r < rows; ++r) {
        const int level = levelOf(r);
        if (level != previous) {
            lastAt[size_t(previous)] = r - 1;
            if (level < previous) markLast(level + 1, previous);
        }
        previous = level;
    }
    lastAt[size_t(previous)] = rows - 1;
    markLast(1, previous);
}

void DragMark(DriveList& list, int row) {
    if (!Ready(list) || !Shown(list)) return;
    grid::GridState& st = list.Grid->st;
    if (row < 0 || row >= st.rowCount - 1) return;
    const int f = list.Folders.Order[size_t(row)];
    if (f < 0 || f >= Records(list)) return;
    const qint64 size = list.Folders.ShownAlloc[size_t(f)];
    if (list.DragSelects && !st.selected(row)) {
        grid::SetRowSelected(*list.Grid, row, -1);
        if (!st.selected(row)) return;
        list.SelTotal = SaturatingAdd(list.SelTotal, size);
        ++list.SelCount;
    } else if (!list.DragSelects && st.selected(row)) {
        grid::SetRowSelected(*list.Grid, row, 0);
        list.SelTotal = SaturatingAdd(list.SelTotal, -size);
        --list.SelCount;
    }
}

std::vector<char> SelectedRecords(const DriveList& list) {
    if (!list.Grid) return {};
    const grid::GridState& st = list.Grid->st;
    const FolderTable& f = list.Folders;
    // The total row is never a folder.
    const int rows =
        list.ListRowCount > 0 ? std::min(st.rowCount, list.ListRowCount - 1) : st.rowCount;
    const int records =
        std::min(f.bound(), list.ListRowCount > 0 ? list.ListRowCount - 1 : st.rowCount);
    std::vector<char> taken(size_t(std::max(records, 0)), 0);
    for (int i = 0; i < rows; ++i) {
        if (!st.selected(i)) continue;
        const int r = f.Order[size_t(i)];
        if (r < 0 || r >= records) continue;
        int e = r + 1;
        const bool subtreeHidden =
            i == rows - 1 || i + 1 >= st.rowCount || st.rowIndent[i + 1] <= st.rowIndent[i];
        if (subtreeHidden) {
            while (e < records && f.Level[size_t(e)] > f.Level[size_t(r)]) ++e;
        }
        std::fill(taken.begin() + r, taken.begin() + e, 1);
    }
    return taken;
}

// The room of hard-linked files counted in the selection that a delete would not free: some
// of their names lie outside it, on the drive or elsewhere.
static qint64 KeptByLinks(const DriveList& list) {
    if (list.Links.empty() || list.SelCount == 0) return 0;
    const std::vector<char> taken = SelectedRecords(list);
    const auto in = [&](qint32 r) {
        return r >= 0 && size_t(r) < taken.size() && taken[size_t(r)];
    };
    qint64 kept = 0;
    for (const auto& [inode, file] : list.Links) {
        if (!in(file.owner)) continue;
        bool all = file.names.size() >= file.links;
        for (const qint32 r : file.names) all = all && in(r);
        if (!all) kept = SaturatingAdd(kept, file.occupied);
    }
    return kept;
}

RowFigures ShownFigures(const DriveList& list, int row) {
    const FolderTable& t = list.Folders;
    const int records = Records(list);
    const int f = row >= 0 && row < t.bound() ? t.Order[size_t(row)] : -1;
    if (f < 0 || f >= records) {
        RowFigures total;
        total.total = true;
        total.files = list.FileTotal;
        total.bytes = list.FileSizeTotal;
        total.alloc = t.bound() > 0 ? t.SubtreeTotal[0] : 0;
        return total;
    }
    if (const auto c = list.Collapsed.find(f); c != list.Collapsed.end()) return c->second;
    const size_t i = size_t(f);
    const qint64 files = Comparing(list) ? t.FileCount[i] : std::max<qint64>(t.FileCount[i], 0);
    return {files, t.FileSize[i], t.AllocSize[i], t.SubtreeTotal[i], false};
}

void CountSelection(DriveList& list) {
    list.SelCount = 0;
    list.SelTotal = 0;
    if (Ready(list) && Shown(list)) {
        const grid::GridState& st = list.Grid->st;
        const int records = Records(list);
        for (int r = 0; r < st.rowCount - 1; ++r) {
            if (!st.selected(r)) continue;
            const int f = list.Folders.Order[size_t(r)];
            if (f < 0 || f >= records) continue;
            list.SelTotal = SaturatingAdd(list.SelTotal, list.Folders.ShownAlloc[size_t(f)]);
            ++list.SelCount;
        }
    }
    list.SelKeptByLinks = KeptByLinks(list);
    if (list.SelectionChanged) list.SelectionChanged();
}

void RestoreNames(DriveList& list) {
    list.PathsFlag = false;
    grid::GridState* st = Shown(list);
    if (!Ready(list) || !st) return;
    const FolderTable& t = list.Folders;
    const int records = Records(list);
    const int rows = std::min(list.RowCount, t.bound());
    for (int r = 0; r < rows; ++r) {
        const int f = t.Order[size_t(r)];
        if (f >= 0 && f < records) DressRow(list, *st, r, f);
    }
}

void RecomputeIndents(DriveList& list) {
    grid::GridState* st = Shown(list);
    if (!Ready(list) || !st) return;
    const FolderTable& t = list.Folders;
    const int records = Records(list);
    const int rows = std::min(list.RowCount, t.bound());
    for (int r = 0; r < rows; ++r) {
        const int f = t.Order[size_t(r)];
        if (f <= 0 || f >= records) continue;
        st->rowIndent.set(r, list.PathsFlag ? 2 : IndentOf(list, f));
    }
}

}  // namespace scan
