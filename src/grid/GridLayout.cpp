// Grid model, row storage, fonts and the resize layout.
#include <QFont>
#include <algorithm>

#include "grid/Grid.h"
#include "grid/GridInternal.h"
#include "platform/Beep.h"
#include "platform/Fonts.h"
#include "platform/Screen.h"

namespace grid {

const std::array<Colour, 16> kDefaultLevelTextColours = {
    0x000000, 0xE03000, 0x7020B8, 0xA820B0, 0x108010, 0x908010, 0x007090, 0x666666,
    0x444444, 0x504422, 0x333370, 0x603370, 0x337033, 0x686833, 0x106060, 0x333333};
const std::array<Colour, 16> kDefaultBackColours = {
    0xFFFFFF, 0xFFF0D8, 0xE4F4C4, 0xFCF0FC, 0xF4F4C4, 0xD0F8F8, 0xE8F0FF, 0xE8E8E4,
    0xD0D0D0, 0xE0C8C8, 0xC8C8E0, 0xE0C8E0, 0xC8E0C8, 0xD8D8C0, 0xC8E0E0, 0xF8F8F8};

void RowIndents::shiftDown(int from, int count) {
    if (count <= 0 || from < 0 || from >= size()) return;
    std::move_backward(v_.begin() + from, v_.end() - count, v_.end());
    ++revision_;
}

void RowIndents::shiftUp(int from, int count) {
    if (count <= 0 || from < 0 || from + count > size()) return;
    std::move(v_.begin() + from + count, v_.end(), v_.begin() + from);
    ++revision_;
}

void GridState::dimRows(int n) {
    if (source == nullptr) rowText.resize(size_t(n));
    rowLevel.resize(size_t(n), 0);
    rowMark.resize(size_t(n), 0);
    rowSelected.resize(size_t(n), 0);
    rowIndent.resize(n);
    rowIcon.resize(size_t(n), 0);
    rowTreeFlags.resize(size_t(n), 0);
}

void GridState::eraseRows(int n) {
    rowText.clear();
    if (source == nullptr) rowText.resize(size_t(n));
    rowLevel.assign(size_t(n), 0);
    rowMark.assign(size_t(n), 0);
    rowSelected.assign(size_t(n), 0);
    rowIndent.assign(n);
    rowIcon.assign(size_t(n), 0);
    rowTreeFlags.assign(size_t(n), 0);
}

Grid::Grid() {
    timer.setObjectName(QStringLiteral("SCRTIM"));
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [this] { OnScrollTimer(*this); });
}

namespace {

QFont MakeFont(const QString& name, float size, bool bold, bool italic) {
    QFont f(platform::ResolveFontFamily(name));
    if (size > 0) f.setPointSizeF(size);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

void ReadTwips(Grid& g) {
    g.tppX = g.tppY = std::max(1, platform::TwipsPerPixel());
}

}  // namespace

// Puts the first or the second font on the surface, changing only what differs between
// the two. The size is among it: without it the first font's size would never show once
// the second font had been set.
namespace detail {
void PutFont(Grid& g, bool second) {
    GridState& st = g.st;
    QFont f = g.surface.font();
    if (st.fontNameDiffers)
        f.setFamily(platform::ResolveFontFamily(second ? st.font2Name : st.font1Name));
    if (st.fontSizeDiffers) {
        const float size = second ? st.font2Size : st.font1Size;
        if (size > 0) f.setPointSizeF(size);
    }
    if (st.fontBoldDiffers) f.setBold(second ? st.font2Bold : st.font1Bold);
    if (st.fontItalicDiffers) f.setItalic(second ? st.font2Italic : st.font1Italic);
    g.surface.setFont(f);
    st.altFontActive = second ? -1 : 0;
}
}  // namespace detail

using detail::PutFont;

void EnsureRow(GridState& st, int row) {
    if (st.rowBound() == 0) {
        st.dimRows(kFirstRowBound);
    }
    if (row >= st.rowBound()) {
        int n = st.rowBound();
        while (row >= n) n += kRowGrowStep;
        st.dimRows(n);
    }
}

void SetIconSlot(GridState& st, int slot, const QImage& image, int width, int height) {
    if (slot < 0 || slot >= 5) return;
    st.iconImage[size_t(slot)] = image;
    st.iconWidth[size_t(slot)] = width;
    st.iconHeight[size_t(slot)] = height;
}

void InitGrid(Grid& g, int headerHeightTwips) {
    GridState& st = g.st;
    st.rowSpacing = 2;
    st.selectionMode = 2;
    st.initialised = -1;
    st.headerHeight = headerHeightTwips;
    st.cursorBackColour = 0x80FFFF;
    st.cursorTextColour = 0;
    st.cursorFrameColour = 0xFFA060;
    st.selBackColour = kSysHighlight;
    st.selTextColour = kSysHighlightText;
    st.headerTextColour = 0xF7F7F7;
    st.headerTopColour = 0x9FAEAB;
    st.hRuleColour = 0xA0A0A0;
    st.vRuleColour = 0xB0B0B0;
    st.levelTextColours = kDefaultLevelTextColours;
    st.backColours = kDefaultBackColours;
    if (st.rowBound() == 0) st.dimRows(kFirstRowBound);
    ReadTwips(g);
    SetGradientFrom(g, 0);
    SetGradientTo(g, 1);
}

void ClearGrid(Grid& g) {
    GridState& st = g.st;
    if (!st.initialised) InitGrid(g, st.headerHeight);
    g.list.setCount(0);
    if (st.cursorBackColour == 0) st.cursorBackColour = kSysHighlight;
    st.eraseRows(kFirstRowBound);
    st.rowCount = 0;
    st.topRow = 0;
    st.cursorColumn = 0;
    st.cursorRow = 0;
    st.drawnCursorRow = 0;
    st.cursorDrawn = 0;
    st.drawnCursorColumn = 0;
    st.selectedCount = 0;
    st.selectedSum = 0;
    st.anchorRow = -1;
    PutFont(g, st.fontMode == 2);
    // No pending event runs here: the caller decides where events run, so a command
    // half-way through refilling its list never sees another one start.
    FitAndRefresh(g);
}

void AddRow(Grid& g, const QString& text, int level, int mark) {
    GridState& st = g.st;
    EnsureRow(st, st.rowCount);
    const size_t r = size_t(st.rowCount);
    if (st.rowText.size() <= r) st.rowText.resize(size_t(st.rowBound()));
    st.rowText[r] = text;
    st.rowLevel[r] = quint8(level);
    st.rowMark[r] = quint8(mark);
    ++st.rowCount;
}

void ComputeRowMetrics(Grid& g) {
    GridState& st = g.st;
    int a = g.surface.textHeight();
    // Mixed fonts of different sizes: a row is as high as the taller one needs.
    if (st.fontMode == 3 && st.fontSizeDiffers) {
        PutFont(g, true);
        a = std::max(a, g.surface.textHeight());
        PutFont(g, false);
    }
    st.rowHeight = std::max(1, a + st.hRuleWidth + (st.line3D & 1) + st.rowSpacing);
    st.visibleRows = std::max(0, ((st.gridHeight - st.headerHeight) / g.tppY - 4) / st.rowHeight);
    st.textAreaHeight = a + st.rowSpacing;
    st.textTop = st.rowSpacing / 2;
    g.surface.setHeight(st.rowHeight * st.visibleRows + 4);
}

// Every column is positioned, also past the bar's width (where drawing clips it): a column
// left with old edges would be drawn over its neighbour.
void PositionColumns(Grid& g) {
    GridState& st = g.st;
    const int half = st.vRuleWidth / 2;
    st.columnLeft[0] = 0;
    st.columnRight[0] = st.columnWidths[0];
    st.textRight[0] = 0;
    st.textRight[1] = st.columnWidths[0] - half;
    for (int i = 1; i < std::min(st.columnCount, kMaxColumns); ++i) {
        st.columnLeft[size_t(i)] = st.columnRight[size_t(i - 1)] + (st.vRuleWidth - half);
        st.columnRight[size_t(i)] = st.columnRight[size_t(i - 1)] + st.columnWidths[size_t(i)];
        st.textRight[size_t(i + 1)] = st.columnRight[size_t(i)] - half;
    }
}

void LayoutGrid(Grid& g, int width, int height, int left, int top) {
    GridState& st = g.st;
    ReadTwips(g);
    if (st.rowBound() == 0) st.dimRows(kFirstRowBound);
    if (width >= 1) st.gridWidth = width;
    if (height > 0) st.gridHeight = height;
    if (st.altFontActive) PutFont(g, false);
    ComputeRowMetrics(g);
    if (left > 0) g.header.move(left, g.header.topTwips);
    g.header.resize(st.gridWidth / g.tppX, st.headerHeight / g.tppY);
    if (top > 0) g.surface.move(left, top + st.headerHeight - g.tppY);
    g.list.place(left + st.gridWidth - g.list.widthTwips(), g.surface.topTwips, g.surface.height());
    if (st.columnCount <= 1) st.columnWidths[0] = g.surface.width();
    PositionColumns(g);
    for (int c = 0; c < std::min(st.columnCount, kMaxColumns); ++c) {
        st.cellRects[size_t(c)].left = st.columnLeft[size_t(c)] + 4;
        st.cellRects[size_t(c)].right = st.textRight[size_t(c + 1)] - 6;
    }
    FitAndRefresh(g);
    DrawHeader(g);
}

int MeasurePage(Grid& g) {
    g.st.refillingScroll = -1;
    const int page = g.list.page();
    g.st.refillingScroll = 0;
    return page;
}

void FitAndRefresh(Grid& g) {
    GridState& st = g.st;
    const int last = std::clamp(st.columnCount, 1, kMaxColumns);
    if (st.rowCount > st.visibleRows) {
        const int avail = (st.gridWidth - g.list.widthTwips()) / g.tppX - 1;
        st.textRight[size_t(last)] = avail;
        st.cellRects[size_t(last - 1)].right = avail - 6;
        DrawHeader(g);
        // The width is set before painting so that a wider surface is painted in full.
        g.surface.setWidth((st.gridWidth - (g.list.widthTwips() - g.tppX)) / g.tppX);
        g.surface.clear(st.backColour);
        RepaintAll(g);
        g.list.setVisible(true);
        if (g.list.count() < st.rowCount) {
            st.refillingScroll = -1;
            g.list.setTopIndex(0);
            g.list.setCount(st.rowCount);
            st.refillingScroll = 0;
        }
        g.list.place(g.list.leftTwips, g.list.topTwips, g.surface.height());
        // The page is settled first, so that the list can take every top row the grid can.
        if (MeasurePage(g) != st.visibleRows) g.list.setItemHeight(st.rowHeight);
        ScrollTo(g, st.topRow, false);
        st.topRow = std::min(st.topRow, std::max(0, st.rowCount - st.visibleRows));
        st.syncingScroll = -1;
        g.list.setTopIndex(st.topRow);
        st.syncingScroll = 0;
        g.list.takeFocus();
        g.timer.start();
    } else {
        st.textRight[size_t(last)] = st.gridWidth / g.tppX;
        st.cellRects[size_t(last - 1)].right = st.textRight[size_t(last)] - 6;
        DrawHeader(g);
        g.list.setVisible(false);
        g.surface.setWidth(st.gridWidth / g.tppX);
        st.topRow = 0;
        g.surface.clear(st.backColour);
        RepaintAll(g);
    }
}

int ResizeScrollList(Grid& g) {
    GridState& st = g.st;
    if (st.rowCount <= st.visibleRows) return 0;
    st.refillingScroll = -1;
    g.list.setCount(st.rowCount);
    st.refillingScroll = 0;
    g.list.setVisible(true);
    if (MeasurePage(g) != st.visibleRows) g.list.setItemHeight(st.rowHeight);
    return 0;
}

QStringView CellView(const GridState& st, int column, int row) {
    if (row < 0 || row >= st.rowCount || column < 0) return {};
    if (st.source) {
        if (row >= st.rowBound()) return {};
        return st.source->cell(row, column, st.cellScratch);
    }
    if (size_t(row) >= st.rowText.size()) return {};
    const QStringView t = st.rowText[size_t(row)];
    qsizetype start = 0;
    for (int c = 0; c < column; ++c) {
        const qsizetype p = t.indexOf(kFieldSep, start);
        if (p < 0) return {};
        start = p + 1;
    }
    const qsizetype end = t.indexOf(kFieldSep, start);
    return t.sliced(start, (end < 0 ? t.size() : end) - start);
}

QString CellText(const GridState& st, int column, int row) {
    return CellView(st, column, row).toString();
}

void SetCellText(Grid& g, int column, int row, const QString& text) {
    GridState& st = g.st;
    if (row > st.rowCount || row < 0 || column < 0) {
        platform::Beep();
        return;
    }
    EnsureRow(st, row);
    if (st.rowText.size() <= size_t(row)) st.rowText.resize(size_t(st.rowBound()));
    QString& t = st.rowText[size_t(row)];
    if (t.isEmpty()) {
        if (row == st.rowCount) ++st.rowCount;
        t = QString(std::max(0, st.columnCount - 1), kFieldSep);
    }
    while (t.count(kFieldSep) < column) t += kFieldSep;
    // Start and end of the cell.
    int start = 0;
    for (int c = 0; c < column; ++c) start = t.indexOf(kFieldSep, start) + 1;
    int end = t.indexOf(kFieldSep, start);
    if (end < 0) end = int(t.size());
    if (QStringView(t).mid(start, end - start) != text) {
        t = t.left(start) + text + t.mid(end);
    }
    DrawCell(g, column, row);
}

namespace {

void StoreFont(Grid& g, bool second, const QString& name, float size, bool bold, bool italic) {
    GridState& st = g.st;
    if (second) {
        st.font2Name = name;
        st.font2Size = size;
        st.font2Bold = bold ? -1 : 0;
        st.font2Italic = italic ? -1 : 0;
    } else {
        st.font1Name = name;
        st.font1Size = size;
        st.font1Bold = bold ? -1 : 0;
        st.font1Italic = italic ? -1 : 0;
    }
    st.fontNameDiffers = st.font1Name != st.font2Name ? -1 : 0;
    st.fontSizeDiffers = st.font1Size != st.font2Size ? -1 : 0;
    st.fontBoldDiffers = st.font1Bold != st.font2Bold ? -1 : 0;
    st.fontItalicDiffers = st.font1Italic != st.font2Italic ? -1 : 0;
    g.surface.setFont(MakeFont(name, size, bold, italic));
    st.altFontActive = second ? -1 : 0;
    if (st.rowCount > 0 && st.cursorRow >= st.topRow && st.cursorRow < st.topRow + st.visibleRows) {
        st.syncingScroll = -1;
        g.list.setCaret(st.cursorRow);
        st.syncingScroll = 0;
    }
    if (st.rowCount > 0) {
        g.surface.clear(st.backColour);
        RepaintAll(g);
    }
}

}  // namespace

QFont FontOf(const GridState& st, bool second) {
    return second ? MakeFont(st.font2Name, st.font2Size, st.font2Bold, st.font2Italic)
                  : MakeFont(st.font1Name, st.font1Size, st.font1Bold, st.font1Italic);
}

void SetPrimaryFont(Grid& g, const QString& name, float size, bool bold, bool italic) {
    StoreFont(g, false, name, size, bold, italic);
}

void SetAltFont(Grid& g, const QString& name, float size, bool bold, bool italic) {
    StoreFont(g, true, name, size, bold, italic);
}

void SetColumnAltFont(GridState& st, int column, int flag) {
    if (column < 0 || column >= kMaxColumns) return;
    st.altFontColumn[size_t(column)] = flag & 1;
    st.fontMode = 0;
    for (int c = 0; c < std::min(st.columnCount, kMaxColumns); ++c) {
        st.fontMode |= st.altFontColumn[size_t(c)] ? 2 : 1;
    }
}

void ComputeGradient(GridState& st) {
    const QRgb a = ToRgb(st.backColours[size_t(st.gradientFrom & 15)]);
    const QRgb b = ToRgb(st.backColours[size_t(st.gradientTo & 15)]);
    st.gradStart = {double(qRed(a)), double(qGreen(a)), double(qBlue(a))};
    st.gradDelta = {double(qRed(b) - qRed(a)), double(qGreen(b) - qGreen(a)),
                    double(qBlue(b) - qBlue(a))};
}

void SetGradientFrom(Grid& g, int index) {
    g.st.gradientFrom = index & 15;
    ComputeGradient(g.st);
    g.surface.clear(g.st.backColour);
    RepaintAll(g);
}

void SetGradientTo(Grid& g, int index) {
    g.st.gradientTo = index & 15;
    ComputeGradient(g.st);
    g.surface.clear(g.st.backColour);
    RepaintAll(g);
}

}  // namespace grid
