// Scrolling by copying pixels, the scroll list, the cursor and the selection.
#include <QtGlobal>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <exception>

#include "grid/Grid.h"
#include "grid/GridInternal.h"
#include "platform/Beep.h"
#include "platform/StdMessage.h"

namespace grid {

using namespace detail;

namespace {

int MaxTop(const GridState& st) {
    return std::max(0, st.rowCount - st.visibleRows);
}

void Jump(Grid& g, int newTop) {
    g.st.topRow = std::max(0, newTop);
    g.surface.clear(g.st.backColour);
    RepaintAll(g);
    SyncScrollList(g);
}

void ScrollDown(Grid& g, int n) {
    GridState& st = g.st;
    if (st.topRow + n > MaxTop(st)) n = MaxTop(st) - st.topRow;
    if (n <= 0) return;
    st.topRow += n;
    const int h = n * st.rowHeight;
    g.surface.copyRows(h, g.surface.height() - h, 0);
    const int last = st.topRow + st.visibleRows - 1;
    for (int r = last - n + 1; r <= last; ++r) {
        if (r < st.rowCount) DrawRow(g, r);
    }
}

void ScrollUp(Grid& g, int n) {
    GridState& st = g.st;
    if (st.topRow < n) {
        n = st.topRow;
        st.topRow = 0;
        if (n == 0) return;
    } else {
        st.topRow -= n;
    }
    const int h = n * st.rowHeight;
    g.surface.copyRows(0, g.surface.height() - h, h);
    for (int r = st.topRow; r < st.topRow + n; ++r) DrawRow(g, r);
}

// The number at the start of a cell (blanks skipped), as the sum column reads it.
qint64 CellValue(const GridState& st, int column, int row) {
    if (column < 0 || (column & 0x8000)) return 0;
    const QString t = CellText(st, column, row).trimmed();
    qint64 v = 0;
    int i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) neg = t[i++] == u'-';
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
        v = v * 10 + (t[i].unicode() - u'0');
        ++i;
    }
    return neg ? -v : v;
}

bool HasSum(int sumColumn) {
    return sumColumn >= 0 && !(sumColumn & 0x8000);
}

void Select(GridState& st, int i, int sumColumn) {
    st.rowSelected[size_t(i)] = -1;
    if (st.anchorRow < 0 || st.selectedCount == 0) st.anchorRow = i;
    ++st.selectedCount;
    if (HasSum(sumColumn)) st.selectedSum += CellValue(st, sumColumn, i);
}

void Unselect(GridState& st, int i, int sumColumn) {
    st.rowSelected[size_t(i)] = 0;
    st.selectedCount = std::max(0, st.selectedCount - 1);
    if (HasSum(sumColumn)) st.selectedSum -= CellValue(st, sumColumn, i);
}

// Selects an unselected row or unselects a selected one, keeping the sum column's total.
void ToggleRow(Grid& g, int row, int sumColumn) {
    GridState& st = g.st;
    const bool was = st.selected(row);
    if (HasSum(sumColumn)) st.selectedSum += (was ? -1 : 1) * CellValue(st, sumColumn, row);
    SetRowSelected(g, row, was ? 0 : -1);
}

// Paints the rows [first, last] that changed: one band in colour, then each row.
void RepaintBand(Grid& g, int first, int last, Colour colour) {
    GridState& st = g.st;
    if (first > last) return;
    first = std::max(first, st.topRow);
    last = std::min(last, std::min(st.topRow + st.visibleRows, st.rowCount) - 1);
    if (first > last) return;
    g.surface.fillBox(0, RowTop(st, first), g.surface.width(), RowTop(st, last + 1) - 1, colour);
    for (int r = first; r <= last; ++r) DrawRow(g, r);
}

}  // namespace

void ScrollTo(Grid& g, int newTop, bool forceJump) {
    GridState& st = g.st;
    if (st.rowCount <= st.visibleRows) return;
    if (st.backColourMode == 4) {
        Jump(g, std::min(newTop, MaxTop(st)));
    } else {
        const int d = newTop - st.topRow;
        if (std::abs(d) == 1) {
            if (d == 1 && st.topRow < MaxTop(st)) {
                ScrollDown(g, 1);
            } else if (d == -1 && st.topRow > 0) {
                ScrollUp(g, 1);
            }
            SyncScrollList(g);
        } else if (std::abs(d) > 1 && std::abs(d) < st.visibleRows - 1) {
            if (d > 0) {
                ScrollDown(g, d);
            } else {
                ScrollUp(g, -d);
            }
            SyncScrollList(g);
        } else if (newTop + st.visibleRows >= st.rowCount) {
            Jump(g, st.rowCount - st.visibleRows);
        } else if (forceJump) {
            Jump(g, newTop);
        }
    }
    if (CursorShown(st)) DrawCursor(g);
}

void SyncScrollList(Grid& g) {
    GridState& st = g.st;
    st.syncingScroll = -1;
    const int t = std::min(st.topRow, MaxTop(st));
    if (!g.list.setTopIndex(t)) {
        platform::StandardMessageBox(QStringLiteral("MovePageOfScrollBar"), 0, QString());
    }
    if (RowVisible(st, st.cursorRow)) g.list.setCaret(st.cursorRow);
    st.syncingScroll = 0;
}

void SyncFromScrollList(Grid& g) {
    GridState& st = g.st;
    if (st.syncingScroll || st.rowCount <= st.visibleRows) return;
    const int t = g.list.topIndex();
    if (std::abs(t - st.topRow) < st.visibleRows - 1) {
        if (t != st.topRow) ScrollTo(g, t, false);
    } else {
        Jump(g, t >= st.rowCount ? st.rowCount - st.visibleRows : t);
    }
}

void OnScrollTimer(Grid& g) {
    try {
        if (g.stopFlag) return;
        if (g.st.rowCount == 0) {
            g.timer.stop();
            return;
        }
        if (g.list.topIndex() != g.st.topRow) SyncFromScrollList(g);
    } catch (const std::exception&) {
    }
}

void OnScrollListScroll(Grid& g) {
    if (g.st.refillingScroll) return;
    try {
        SyncFromScrollList(g);
    } catch (const std::exception&) {
    }
    if (g.list.topIndex() == 0 && g.st.topRow != 0) {
        g.list.setTopIndex(g.st.topRow);
    } else {
        g.list.takeFocus();
    }
}

void MoveCursor(Grid& g, int row) {
    GridState& st = g.st;
    const int old = st.cursorRow;
    st.cursorRow = row;
    if (old < st.rowCount) {
        if (CursorShown(st)) {
            DrawCursor(g);
        } else {
            DrawCell(g, st.cursorColumn, old);
        }
    } else {
        const int c = st.cursorColumn;
        if (c >= 0 && c < std::min(st.columnCount, kMaxColumns)) {
            for (int r = std::max(old, st.topRow); r < st.topRow + st.visibleRows; ++r) {
                const int top = RowTop(st, r);
                CellBack(g, c, r, st.columnLeft[size_t(c)], top, st.textRight[size_t(c + 1)] - 1,
                         top + st.rowHeight - 1);
            }
        }
    }
    st.drawnCursorColumn = st.cursorColumn;
    if (RowVisible(st, row)) {
        DrawCell(g, st.cursorColumn, row);
        return;
    }
    const int newTop = row >= st.topRow + st.visibleRows ? row - st.visibleRows + 1 : row;
    if (CursorShown(st)) DrawCursor(g);
    ScrollTo(g, std::max(0, newTop), true);
}

void ShowRow(Grid& g, int row, int offset) {
    GridState& st = g.st;
    st.cursorRow = row;
    st.topRow = std::max(0, row - offset);
    if (st.topRow + st.visibleRows - 1 >= st.rowCount) st.topRow = MaxTop(st);
    st.drawnCursorColumn = st.cursorColumn;
    g.surface.clear(st.backColour);
    RepaintAll(g);
    // The scroll list follows at once; the repeat timer would otherwise take the grid back.
    st.syncingScroll = -1;
    g.list.setTopIndex(st.topRow);
    st.syncingScroll = 0;
}

void SetRowSelected(Grid& g, int row, int value) {
    GridState& st = g.st;
    if (row < 0 || row >= st.rowCount || st.selectionMode == 0) return;
    EnsureRow(st, row);
    if (value && !st.rowSelected[size_t(row)]) {
        Select(st, row, kNoSumColumn);
    } else if (!value && st.rowSelected[size_t(row)]) {
        Unselect(st, row, kNoSumColumn);
    }
    if (RowVisible(st, row)) DrawRow(g, row);
}

void ResetSelection(GridState& st) {
    st.rowSelected.assign(size_t(st.rowBound()), 0);
    st.selectedCount = 0;
    st.selectedSum = 0;
    st.anchorRow = -1;
}

void ClearSelection(Grid& g) {
    GridState& st = g.st;
    if (st.fontMode == 3) {
        ResetSelection(st);
        g.surface.clear(st.backColour);
        RepaintAll(g);
        return;
    }
    const int last = std::min(st.topRow + st.visibleRows, st.rowCount) - 1;
    for (int r = std::max(0, st.topRow); r <= last; ++r) {
        if (st.selected(r)) {
            st.rowSelected[size_t(r)] = 0;
            DrawRow(g, r);
        }
    }
    ResetSelection(st);
}

void SelectRange(Grid& g, int fromRow, bool downward, int sumColumn) {
    GridState& st = g.st;
    const int anchor = st.anchorRow;
    int d = st.cursorRow;
    int selFirst = INT_MAX, selLast = -1, unFirst = INT_MAX, unLast = -1;
    auto visit = [&](int i, bool unselectIt, bool selectIt) {
        if (i < 0 || i >= st.rowCount || i >= st.rowBound()) return;
        if (unselectIt && st.rowSelected[size_t(i)]) {
            Unselect(st, i, sumColumn);
            unFirst = std::min(unFirst, i);
            unLast = std::max(unLast, i);
        } else if (selectIt && !st.rowSelected[size_t(i)]) {
            Select(st, i, sumColumn);
            selFirst = std::min(selFirst, i);
            selLast = std::max(selLast, i);
        }
    };
    if (downward) {
        if (d < anchor) d -= 1;
        for (int i = fromRow; i <= d; ++i) visit(i, i < anchor, i >= anchor);
    } else {
        if (anchor < d) d += 1;
        for (int i = fromRow; i >= d; --i) visit(i, i > anchor, i <= anchor);
    }
    st.rangeBusy = -1;
    if (st.fontMode == 3) {
        g.surface.clear(st.backColour);
        RepaintAll(g);
    } else {
        RepaintBand(g, selFirst, selLast, st.selBackColour);
        RepaintBand(g, unFirst, unLast, st.backColour);
    }
    st.rangeBusy = 0;
}

void TypeAhead(Grid& g, int keyCode) {
    GridState& st = g.st;
    const QChar c = QChar(keyCode).toUpper();
    // A view, not a copy: a search through a million rows must stay instant.
    auto matches = [&](int r) {
        const QStringView t = CellView(st, st.cursorColumn, r);
        qsizetype i = 0;
        while (i < t.size() && t[i] == u' ') ++i;
        return i < t.size() && t[i].toUpper() == c;
    };
    int found = -1;
    for (int r = st.cursorRow + 1; r < st.rowCount && found < 0; ++r) {
        if (matches(r)) found = r;
    }
    for (int r = 0; r < st.cursorRow && found < 0; ++r) {
        if (matches(r)) found = r;
    }
    if (found >= 0) MoveCursor(g, found);
}

namespace {

// One key press as HandleKey sees it.
struct KeyPress {
    Grid& g;
    int key;
    bool shift, ctrl, alt;
    bool clearFirst;  // standard style: a plain movement first clears the selection
    bool extend;      // standard style with Shift: the movement extends the range
    bool cursorKeys;  // the cell cursor is on: keys move it (else they scroll)
    bool atLast;
    int sumColumn;
    bool protectLast;
    bool& changed;
    int range = 0;  // after the key: +1 extend the range downward, -1 upward

    void clearIfNeeded() {
        if (clearFirst) {
            ClearSelection(g);
            changed = true;
        }
    }
};

// Marking style: a page key scrolls and the cursor goes to the new top row.
void PageMarking(Grid& g, int newTop) {
    GridState& st = g.st;
    st.topRow = newTop;
    st.cursorRow = st.topRow;
    st.syncingScroll = -1;
    g.list.setTopIndex(st.topRow);
    st.syncingScroll = 0;
    g.surface.clear(st.backColour);
    RepaintAll(g);
    SyncScrollList(g);
    g.list.setCaret(st.cursorRow);
}

void SelectAll(KeyPress& k) {
    GridState& st = k.g.st;
    if (st.selectionMode == 0) return;
    const int n = k.protectLast ? st.rowCount - 1 : st.rowCount;
    st.selectedSum = 0;
    for (int r = 0; r < st.rowCount; ++r) {
        st.rowSelected[size_t(r)] = r < n ? -1 : 0;
        if (r < n && HasSum(k.sumColumn)) st.selectedSum += CellValue(st, k.sumColumn, r);
    }
    st.anchorRow = 0;
    st.selectedCount = std::max(0, n);
    k.g.surface.clear(st.backColour);
    RepaintAll(k.g);
    k.changed = true;
}

void UpKey(KeyPress& k) {
    Grid& g = k.g;
    GridState& st = g.st;
    if (!k.cursorKeys) {
        if (st.topRow > 0) ScrollTo(g, st.topRow - 1, false);
        return;
    }
    if (k.alt) {
        ScrollTo(g, st.topRow - 1, false);
        if (st.cursorRow < st.topRow + st.visibleRows) return;
    }
    if (st.cursorRow == 0) return;
    k.clearIfNeeded();
    if (k.shift && st.anchorRow < 0) st.anchorRow = st.cursorRow;
    MoveCursor(g, st.cursorRow - 1);
    if (k.extend && !(k.protectLast && k.atLast)) k.range = -1;
}

void DownKey(KeyPress& k) {
    Grid& g = k.g;
    GridState& st = g.st;
    if (!k.cursorKeys) {
        if (st.topRow < MaxTop(st)) {
            ScrollTo(g, st.topRow + 1, false);  // the scroll list follows
            st.cursorRow = st.topRow;
            if (CursorShown(st)) DrawCursor(g);
        }
        return;
    }
    if (k.alt) {
        ScrollTo(g, st.topRow + 1, false);
        if (st.cursorRow >= st.topRow) return;
    }
    if (k.atLast) return;
    k.clearIfNeeded();
    MoveCursor(g, st.cursorRow + 1);
    if (k.extend && !(k.protectLast && st.cursorRow == st.rowCount - 1)) k.range = 1;
}

void PageKey(KeyPress& k, bool down) {
    Grid& g = k.g;
    GridState& st = g.st;
    if (!k.cursorKeys) {
        if (down && st.topRow < MaxTop(st)) {
            PageMarking(g, std::min(st.topRow + st.visibleRows, MaxTop(st)));
        } else if (!down && st.topRow > 0) {
            PageMarking(g, std::max(0, st.topRow - st.visibleRows));
        }
        return;
    }
    if (down ? k.atLast : st.cursorRow == 0) return;
    k.clearIfNeeded();
    const int step = st.visibleRows - 1;
    MoveCursor(g, down ? std::min(st.cursorRow + step, st.rowCount - 1)
                       : std::max(0, st.cursorRow - step));
    if (k.extend) k.range = down ? 1 : -1;
}

void HomeKey(KeyPress& k) {
    GridState& st = k.g.st;
    if (st.cursorRow == 0 && st.topRow == 0) return;
    k.clearIfNeeded();
    MoveCursor(k.g, 0);
    if (k.extend) k.range = -1;
}

void EndKey(KeyPress& k) {
    GridState& st = k.g.st;
    if (k.atLast && st.topRow >= st.rowCount - st.visibleRows) return;
    k.clearIfNeeded();
    MoveCursor(k.g, st.rowCount - 1);
    if (k.extend) k.range = 1;
}

void ColumnKey(KeyPress& k) {
    GridState& st = k.g.st;
    if (!k.cursorKeys) return;
    st.cursorColumn = std::clamp(st.cursorColumn + (k.key == vk::Left ? -1 : 1), 0,
                                 std::max(0, st.columnCount - 1));
    DrawCursor(k.g);
}

void ToggleKey(KeyPress& k) {
    GridState& st = k.g.st;
    if (!k.cursorKeys || k.atLast) return;
    k.clearIfNeeded();
    if (st.selectionMode == 0) return;
    ToggleRow(k.g, st.cursorRow, k.sumColumn);
    st.anchorRow = st.cursorRow;
    k.changed = true;
}

// Letters B to Z, digits (the numeric pad's as digits) and the at-sign jump to the next row
// that starts with them.
void TypedKey(KeyPress& k, bool& typedOut) {
    int c = k.key;
    if (c >= vk::Numpad0 && c <= vk::Numpad9) c -= vk::Numpad0 - vk::Digit0;
    const bool typable =
        (c >= vk::B && c <= vk::Z) || (c >= vk::Digit0 && c <= vk::Digit9) || c == vk::At;
    if (!typable || k.shift || k.ctrl || k.alt) return;
    k.clearIfNeeded();
    TypeAhead(k.g, c);
    typedOut = true;
}

}  // namespace

void HandleKey(Grid& g, int key, int shiftFlags, bool& typedOut, bool& selectionChangedOut,
               int sumColumn, int protectLast) {
    GridState& st = g.st;
    typedOut = false;
    selectionChangedOut = false;
    if (key == vk::Shift || key == vk::Control || key == vk::Alt || st.rowCount <= 0) return;
    if (key == vk::Oem3) key = vk::At;
    const bool shift = shiftFlags & ShiftKey;
    const bool ctrl = shiftFlags & CtrlKey;
    const bool many = st.selectionMode == 2;
    KeyPress k{g,
               key,
               shift,
               ctrl,
               bool(shiftFlags & AltKey),
               many && st.selectedCount > 0 && !shift && !ctrl,
               many && shift,
               st.cellCursor != 0,
               st.cursorRow == st.rowCount - 1,
               sumColumn,
               protectLast != 0,
               selectionChangedOut};
    const int before = st.cursorRow;
    if (key == vk::A && ctrl) {
        SelectAll(k);
        return;
    }
    switch (key) {
        case vk::Escape:
            if (st.selectionMode != 0 && st.selectedCount > 0) {
                ClearSelection(g);
                selectionChangedOut = true;
            }
            break;
        case vk::Up:
            UpKey(k);
            break;
        case vk::Down:
            DownKey(k);
            break;
        case vk::PageDown:
        case vk::PageUp:
            PageKey(k, key == vk::PageDown);
            break;
        case vk::Home:
            HomeKey(k);
            break;
        case vk::End:
        case vk::Help:
            EndKey(k);
            break;
        case vk::Left:
        case vk::Right:
            ColumnKey(k);
            break;
        case vk::Space:
        case vk::Return:
            ToggleKey(k);
            break;
        default:
            TypedKey(k, typedOut);
            break;
    }
    if (k.range != 0) {
        SelectRange(g, before, k.range > 0, sumColumn);
        // A range that reached the total row leaves it out, as Down and Ctrl+A do.
        if (k.protectLast) ProtectLastRow(g, sumColumn);
        selectionChangedOut = true;
    }
}

void ProtectLastRow(Grid& g, int sumColumn) {
    GridState& st = g.st;
    const int last = st.rowCount - 1;
    if (last < 0 || !st.selected(last)) return;
    Unselect(st, last, sumColumn);
    if (RowVisible(st, last)) DrawRow(g, last);
}

void ScrollRows(Grid& g, int rows) {
    GridState& st = g.st;
    if (rows == 0 || st.rowCount <= st.visibleRows) return;
    const int top = std::clamp(st.topRow + rows, 0, MaxTop(st));
    if (top != st.topRow) ScrollTo(g, top, true);
}

int RowAtY(const GridState& st, double y) {
    if (st.rowHeight <= 0) return st.topRow;
    return int(std::nearbyint(y)) / st.rowHeight + st.topRow;
}

int ColumnAtX(const GridState& st, double x) {
    const int cc = std::min(st.columnCount, kMaxColumns);
    for (int c = 0; c < cc; ++c) {
        if (st.textRight[size_t(c)] <= x && x < st.textRight[size_t(c + 1)]) return c;
    }
    return cc;
}

void SelectAt(Grid& g, int button, int shiftFlags, double x, double y, bool& movedOut,
              bool& selectionChangedOut, int sumColumn) {
    GridState& st = g.st;
    movedOut = false;
    selectionChangedOut = false;
    // A press right of the last column's limit belongs to the last column.
    const int column = std::clamp(ColumnAtX(st, x), 0, std::max(0, st.columnCount - 1));
    const int row = std::max(0, RowAtY(st, y));
    if (row >= st.rowCount) return;
    const int oldRow = st.cursorRow;
    movedOut = row != st.cursorRow || column != st.cursorColumn;
    st.cursorColumn = column;
    st.cursorRow = row;
    if (movedOut) {
        // Moves the painted cursor (a plain cell in the marking style, which has none).
        DrawCursor(g);
    }
    bool shift = shiftFlags & ShiftKey;
    if (button == 1) {
        const bool ctrl = (shiftFlags & CtrlKey) || st.selectionMode == 1;
        if (ctrl) {
            ToggleRow(g, row, sumColumn);
            selectionChangedOut = true;
        } else if (shift) {
            SelectRange(g, oldRow, row >= oldRow, sumColumn);
            selectionChangedOut = true;
            return;
        } else {
            if (st.selectionMode == 2) ClearSelection(g);
            if (HasSum(sumColumn)) st.selectedSum = CellValue(st, sumColumn, row);
            SetRowSelected(g, row, -1);
            selectionChangedOut = true;
        }
    }
    if (!shift && st.anchorRow < 0) st.anchorRow = st.cursorRow;
}

void DragSelectAt(Grid& g, int button, int shiftFlags, double x, double y, bool& movedOut,
                  bool& selectionChangedOut, int sumColumn) {
    GridState& st = g.st;
    if (y < 20 && st.topRow > 0) ScrollTo(g, st.topRow - 1, true);
    if (y > g.surface.height() - 4 && st.topRow + st.visibleRows < st.rowCount) {
        ScrollTo(g, st.topRow + 1, true);
    }
    SelectAt(g, button, shiftFlags | ShiftKey, x, y, movedOut, selectionChangedOut, sumColumn);
}

void GridMousePress(Grid& g, MouseTracker& m, const MouseHooks& hooks, int button, int shiftFlags,
                    double x, double y) {
    GridState& st = g.st;
    if (st.rowCount == 0) {
        platform::Beep();
        return;
    }
    const int row = std::max(0, RowAtY(st, y));
    if (hooks.rowPressed && hooks.rowPressed(row)) return;
    if (row >= st.rowCount - 1) return;  // the total row
    if (x < st.rowIndent.at(row) && hooks.expandCollapse && hooks.expandCollapse(row, shiftFlags)) {
        m.expandClick = true;
        if (hooks.selectionChanged) hooks.selectionChanged();
        return;
    }
    if (st.selectionMode != 0) {
        if ((shiftFlags & CtrlKey) && !st.selected(row)) st.anchorRow = row;
        if (st.anchorRow < 0) st.anchorRow = row;
        bool moved = false, changed = false;
        SelectAt(g, button, shiftFlags, x, y, moved, changed, kNoSumColumn);
        if (moved) DrawCursor(g);
    }
    if (hooks.selectionChanged) hooks.selectionChanged();
}

void GridMouseMove(Grid& g, MouseTracker& m, const MouseHooks& hooks, int buttons, int shiftFlags,
                   double x, double y) {
    GridState& st = g.st;
    if (m.expandClick || st.rowCount == 0) return;
    if (st.cellCursor) {
        if ((buttons & 1) && RowAtY(st, y) != st.cursorRow) {
            bool moved = false, changed = false;
            DragSelectAt(g, 1, shiftFlags, x, y, moved, changed, kNoSumColumn);
            ProtectLastRow(g, kNoSumColumn);  // a drag never takes the total row in
            if (changed && hooks.selectionChanged) hooks.selectionChanged();
        }
        return;
    }
    if (y >= 0 && y < g.surface.height()) {
        m.leftVertically = false;
        if (buttons && RowAtY(st, y) != st.cursorRow) {
            GridMousePress(g, m, hooks, (buttons & 1) ? 1 : 2, shiftFlags, x, y);
        }
        return;
    }
    if (!buttons || m.leftVertically) return;
    m.leftVertically = true;
    // One item beyond the page moves the list by one row; the timer brings the grid along.
    if (y < 0) {
        if (g.list.topIndex() > 0) g.list.setCaret(g.list.topIndex() - 1);
    } else if (g.list.topIndex() + g.list.page() < g.list.count()) {
        g.list.setCaret(g.list.topIndex() + g.list.page());
    }
}

void GridMouseRelease(Grid& /*g*/, MouseTracker& m) {
    m = MouseTracker{};
}

bool GridKeyDown(Grid& g, int keyCode, int shiftFlags) {
    bool typed = false, changed = false;
    HandleKey(g, keyCode, shiftFlags, typed, changed, kNoSumColumn, -1);
    if (!g.st.cellCursor) {
        g.st.cursorColumn = 0;
        return changed;
    }
    return changed || typed || keyCode == vk::Escape;
}

int VirtualKey(int qtKey, bool keypad) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;  // 65..90
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return keypad ? qtKey - Qt::Key_0 + vk::Numpad0 : qtKey;
    switch (qtKey) {
        case Qt::Key_Escape:
            return vk::Escape;
        case Qt::Key_Up:
            return vk::Up;
        case Qt::Key_Down:
            return vk::Down;
        case Qt::Key_Left:
            return vk::Left;
        case Qt::Key_Right:
            return vk::Right;
        case Qt::Key_PageUp:
            return vk::PageUp;
        case Qt::Key_PageDown:
            return vk::PageDown;
        case Qt::Key_Home:
            return vk::Home;
        case Qt::Key_End:
            return vk::End;
        case Qt::Key_Help:
            return vk::Help;
        case Qt::Key_Space:
            return vk::Space;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return vk::Return;
        case Qt::Key_Shift:
            return vk::Shift;
        case Qt::Key_Control:
            return vk::Control;
        case Qt::Key_Alt:
            return vk::Alt;
        case Qt::Key_At:
            return vk::Oem3;
        default:
            return 0;
    }
}

}  // namespace grid
