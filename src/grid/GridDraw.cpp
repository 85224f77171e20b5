// Grid rendering: heading bar, backgrounds, rules, tree lines, icons, cursor cell.
#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <exception>

#include "grid/Grid.h"
#include "grid/GridInternal.h"

namespace grid {

using namespace detail;

namespace {

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kBoxGrey = 0x808080;

int Bottom(const GridState& st, int row) {
    return RowTop(st, row) + st.rowHeight;
}

// A failure in one step of a repaint must not stop the next.
template <typename F>
void Step(F&& f) {
    try {
        f();
    } catch (const std::exception&) {
    }
}

void VRule(Grid& g, int x, int y1, int y2) {
    const GridState& st = g.st;
    if (st.vRuleWidth == 0 || st.vRuleColour == st.backColour) return;
    if (st.vRuleWidth == 1) {
        g.surface.line(x, y1, x, y2, st.vRuleColour);
    } else {
        g.surface.fillBox(x, y1, x + st.vRuleWidth - 1, y2 - 1, st.vRuleColour);
    }
}

void HRule(Grid& g, int row) {
    const GridState& st = g.st;
    if (st.hRuleWidth == 0 || st.hRuleColour == st.backColour) return;
    const int y = (row - st.topRow + 1) * st.rowHeight - st.hRuleWidth;
    const int w = g.surface.width();
    if (st.hRuleWidth == 1) {
        g.surface.line(0, y, w + 1, y, st.hRuleColour);
    } else {
        g.surface.fillBox(0, y, w, y + st.hRuleWidth - 1, st.hRuleColour);
    }
}

// Raised look of one column over [y1, y2): white left edge, shadow at the right limit - 1.
void ReliefColumn(Grid& g, int c, int y1, int y2) {
    const GridState& st = g.st;
    if (!st.line3D || st.vRuleWidth == 0) return;
    g.surface.line(st.columnLeft[size_t(c)], y1, st.columnLeft[size_t(c)], y2, kWhite);
    const int x = st.textRight[size_t(c + 1)] - 1;
    g.surface.line(x, y1, x, y2, DarkenColour(st.hRuleColour, 80));
}

// Raised look along a row top: white top line and the shadow line below the text.
void ReliefRow(Grid& g, int top, int x1, int x2) {
    const GridState& st = g.st;
    if (!st.line3D || st.hRuleWidth == 0) return;
    g.surface.line(x1, top, x2, top, kWhite);
    g.surface.line(x1, top + st.textAreaHeight, x2, top + st.textAreaHeight,
                   DarkenColour(st.vRuleColour, 80));
}

// The nearest row above start (down to row 1) whose indentation is indent, or -1.
int FindAncestor(const GridState& st, int start, int indent) {
    const RowIndents& ind = st.rowIndent;
    if (st.indentUpRevision != ind.revision() || int(st.indentUp.size()) != ind.size()) {
        // For each row the nearest row above with a smaller indentation: rows in between
        // are all at least as deep, so a search for a shallower indentation may skip them.
        st.indentUp.assign(size_t(ind.size()), -1);
        std::vector<int> stack;
        for (int j = 0; j < ind.size(); ++j) {
            while (!stack.empty() && ind[stack.back()] >= ind[j]) stack.pop_back();
            st.indentUp[size_t(j)] = stack.empty() ? -1 : stack.back();
            stack.push_back(j);
        }
        st.indentUpRevision = ind.revision();
    }
    int j = std::min(start, ind.size()) - 1;
    while (j >= 1) {
        const int v = ind[j];
        if (v == indent) return j;
        j = v > indent ? st.indentUp[size_t(j)] : j - 1;
    }
    return -1;
}

}  // namespace

namespace detail {

int RowTop(const GridState& st, int row) {
    return (row - st.topRow) * st.rowHeight;
}

bool RowVisible(const GridState& st, int row) {
    return row >= st.topRow && row < st.topRow + st.visibleRows;
}

void RowTextColour(Grid& g, int row) {
    const GridState& st = g.st;
    if (st.textColourMode == 0 || row < 0 || row >= st.rowBound()) return;
    if (st.textColourMode == 1) {
        g.surface.textColour = st.levelTextColours[st.rowLevel[size_t(row)] & 15];
    } else if (st.textColourMode == 2) {
        if (st.indentStep > 0) {
            const int k = st.rowIndent[row] / st.indentStep;
            if (k >= 0 && k < 16) g.surface.textColour = st.levelTextColours[size_t(k)];
        }
    } else {
        g.surface.textColour = st.textColour;
    }
}

void DrawIcon(Grid& g, int row) {
    const GridState& st = g.st;
    if (row < 0 || row >= st.rowBound()) return;
    const int code = st.rowIcon[size_t(row)];
    const int x = st.rowIndent[row];
    if (code == 0 || x < 0) return;
    const int top = RowTop(st, row);
    if (code <= 4) {
        const int w = st.iconWidth[size_t(code)], h = st.iconHeight[size_t(code)];
        g.surface.drawImage(x, top + (st.rowHeight - h) / 2, st.iconImage[size_t(code)],
                            QRect(0, 0, w, h));
        return;
    }
    const int w = st.iconWidth[0], h = st.iconHeight[0];
    const int s = code - 10;
    if (s < 0 || x + w >= st.textRight[1]) return;
    g.surface.drawImage(x, top + (st.rowHeight - h) / 2, st.iconImage[0], QRect(0, s * h, w, h));
}

void TreeLines(Grid& g, int r) {
    const GridState& st = g.st;
    if (!st.treeLines || st.indentStep <= 0 || r < 0) return;
    GridSurface& s = g.surface;
    const int y = RowTop(st, r);
    const int rh = st.rowHeight;
    const int u = r == 0 ? st.rowIndent.at(1) : st.rowIndent.at(r);
    const int v = u - 11;
    const int m = y + (rh - st.hRuleWidth - (st.line3D & 1)) / 2;
    const int L = st.textRight[1];
    const Colour col = st.treeLineColour;
    const int flags = r < int(st.rowTreeFlags.size()) ? st.rowTreeFlags[size_t(r)] : 0;
    if (r == 0) {
        // The root: only the line down to its first sub-row.
        if (st.rowCount > 0 && v < L) s.line(v, y + rh - st.iconTop, v, y + rh, col);
        return;
    }
    if (v < L) {
        if (flags & 2) {
            s.line(v, y - st.iconTop, v, m, col);
        } else {
            s.line(v, y - st.iconTop - 1, v, y + rh, col);
        }
    }
    // Lines of the ancestors that have siblings still to come.
    int x = v, indent = u, start = r;
    while (x > 8) {
        x -= st.indentStep;
        indent -= st.indentStep;
        const int a = FindAncestor(st, start, indent);
        if (a >= 0) {
            start = a;
            const int af = a < int(st.rowTreeFlags.size()) ? st.rowTreeFlags[size_t(a)] : 0;
            if (!(af & 2) && x < L) s.line(x, y, x, y + rh, col);
        }
    }
    if (u + 2 < L) s.line(v, m, u + 2, m, col);
    if ((flags & 1) && u - 7 < L) {
        s.box(u - 15, m - 4, u - 7, m + 4, kBoxGrey);
        s.fillBox(u - 14, m - 3, u - 8, m + 3, kWhite);
        s.line(u - 13, m, u - 8, m, kBoxGrey);
        if (r >= st.rowCount - 1 || st.rowIndent.at(r + 1) <= st.rowIndent.at(r)) {
            s.line(v, m - 2, v, m + 3, kBoxGrey);
        }
    }
}

void CursorCell(Grid& g, int c, int r) {
    GridState& st = g.st;
    if (c < 0 || c >= kMaxColumns) return;
    const int b = st.line3D & 1;
    const int top = RowTop(st, r);
    const int x1 = st.columnLeft[size_t(c)] + b;
    const int x2 = st.textRight[size_t(c + 1)] - b - 1;
    const int y1 = top + b;
    const int y2 = top + st.rowHeight - st.hRuleWidth - 2 * b - 1;
    if (!st.cellCursor) {
        // The marking style's cursor is a frame over the cell's own background.
        CellBack(g, c, r, x1, y1, x2, y2);
    } else if (st.cursorBackColour != kNoColour) {
        if (!st.cursorFrame && st.cursorBackColour == st.selBackColour && st.selected(r) &&
            r < st.rowCount) {
            const Colour under = g.surface.pixel(x1, y1);
            g.surface.fillBox(x1, y1, x2, y2, under == kNoColour ? 0 : (~under & 0xFFFFFF));
        } else {
            g.surface.fillBox(x1, y1, x2, y2, st.cursorBackColour);
        }
    }
    if (st.cursorFrame) g.surface.box(x1, y1, x2, y2, st.cursorFrameColour);
}

void ShareBar(Grid& g, int c, int r) {
    const GridState& st = g.st;
    if (!st.source || c < 0 || c >= kMaxColumns || !RowVisible(st, r)) return;
    const double share = st.source->share(r);
    if (!(share > 0)) return;
    // Inside the cell's rules and the cursor's frame, under the figure's baseline.
    const int b = st.line3D & 1;
    const int left = st.columnLeft[size_t(c)] + b + 1;
    const int right = st.textRight[size_t(c + 1)] - b - 2;
    const int length = int(std::lround(std::min(share, 1.0) * (right - left + 1)));
    const int top = RowTop(st, r);
    const int bottom = top + st.rowHeight - st.hRuleWidth - 2 * b - 2;
    if (length <= 0 || bottom - 2 <= top) return;
    // At most three pixels high, with one clear pixel row between it and the figure's
    // baseline, in the face the figure is drawn in; where the row has no room for that, one.
    const int baseline = top + st.textTop + QFontMetrics(g.surface.font()).ascent();
    const int barTop = std::min(bottom, std::max(bottom - 2, baseline + 1));
    g.surface.fillBox(left, barTop, left + length - 1, bottom, st.shareColour);
}

void DrawRowFrame(Grid& g, int r) {
    GridState& st = g.st;
    const int top = RowTop(st, r);
    const int w = g.surface.width();
    const int cc = std::min(st.columnCount, kMaxColumns);
    Step([&] { CellBack(g, -1, r, 0, top, w, top + st.rowHeight - 1 - st.hRuleWidth); });
    Step([&] {
        if (CursorShown(st) && r == st.cursorRow) {
            CursorCell(g, st.drawnCursorColumn, r);
            st.drawnCursorRow = r;
        }
    });
    Step([&] {
        ReliefRow(g, top, 0, w);
        for (int c = 0; c < cc; ++c) ReliefColumn(g, c, top, top + st.textAreaHeight);
    });
    Step([&] {
        for (int c = 0; c < cc; ++c) VRule(g, st.textRight[size_t(c + 1)], top, top + st.rowHeight);
        HRule(g, r);
    });
    Step([&] { TreeLines(g, r); });
}

}  // namespace detail

Colour TreeLineColourFor(Colour back) {
    const QRgb rgb = ToRgb(back);
    const int v = qRed(rgb) + 2 * qGreen(rgb) + 2 * qBlue(rgb);
    return v >= 769 && v <= 1088 ? 0x808080 : 0xC0C0C0;
}

void DrawHeader(Grid& g) {
    GridState& st = g.st;
    GridSurface& h = g.header;
    if (st.headerTopColour == 0) st.headerTopColour = 0x9FAEAB;
    h.textColour = st.headerTextColour;
    const int W = h.width(), H = h.height();
    if (W <= 0 || H <= 0) return;
    const QRgb top = ToRgb(st.headerTopColour);
    int r = qRed(top), gr = qGreen(top), b = qBlue(top);
    for (int y = 0; y <= H; ++y) {
        h.line(0, y, W - 1, y, FromRgb(qRgb(r, gr, b)));
        // One step of 3 darker per pixel row; a channel stops at 0 instead of borrowing.
        r = std::max(0, r - 3);
        gr = std::max(0, gr - 3);
        b = std::max(0, b - 3);
    }
    h.box(1, 1, W - 1, H, 0xD0D0D0);
    h.box(0, 0, W - 1, H - 1, 0x808080);
    const int w0 = st.columnWidths[0];
    h.line(w0 + 2, 1, w0 + 2, H, 0x707070);
    h.line(w0 + 3, 1, w0 + 3, H, kWhite);
    h.drawText(CellRect{4, 2, w0 - 3, H - 2}, st.headings[0], AlignCentre);
    for (int c = 1; c < std::min(st.columnCount, kMaxColumns); ++c) {
        const int R = st.textRight[size_t(c + 1)];
        const int P = st.textRight[size_t(c)];
        if (R + 1 < W) {
            h.line(R + 2, 1, R + 2, H, 0x707070);
            h.line(R + 3, 1, R + 3, H, kWhite);
        }
        if (P < W)
            h.drawText(CellRect{P + 4, 2, R - 3, H - 2}, st.headings[size_t(c)], AlignCentre);
        if (R >= W) break;
    }
    h.line(W - 2, 1, W - 2, H, 0x707070);
    h.line(W - 1, 0, W - 1, H, kWhite);
    if (st.sortMark && st.sortColumn >= 0 && st.sortColumn < kMaxColumns) {
        const int R = st.textRight[size_t(st.sortColumn + 1)];
        if (st.sortDirection > 0) {
            h.line(R - 12, 13, R - 3, 13, 0x707070);
            h.line(R - 12, 13, R - 8, 3, 0x707070);
            h.line(R - 3, 13, R - 8, 3, 0xD0D0D0);
        } else {
            h.line(R - 12, 4, R - 3, 4, 0x707070);
            h.line(R - 12, 4, R - 8, 14, 0x707070);
            h.line(R - 3, 4, R - 8, 14, 0xD0D0D0);
        }
    }
}

Colour CellBackColour(const GridState& st, int c, int r) {
    if (st.selectionMode != 0 && r < st.rowCount && st.selected(r)) return st.selBackColour;
    const bool exists = r >= 0 && r < st.rowCount && r < st.rowBound();
    switch (st.backColourMode) {
        case 1:
        case 5:
            return st.backColours[exists ? st.rowMark[size_t(r)] & 15 : 0];
        case 2: {
            if (!exists || st.indentStep <= 0) return st.backColours[0];
            const int k = st.rowIndent[r] / st.indentStep;
            return st.backColours[size_t(std::clamp(k, 0, 15))];
        }
        case 3:
            return st.backColours[size_t((r % 2 == 0 ? st.gradientFrom : st.gradientTo) & 15)];
        case 4: {
            const int vr = std::max(1, st.visibleRows);
            int ch[3];
            for (int k = 0; k < 3; ++k) {
                const double v =
                    st.gradStart[size_t(k)] + (st.gradDelta[size_t(k)] / vr) * (r - st.topRow);
                ch[k] = std::clamp(int(std::nearbyint(v)), 0, 255);
            }
            return FromRgb(qRgb(ch[0], ch[1], ch[2]));
        }
        case 6:
            return st.backColours[size_t(std::clamp(c, 0, 15))];
        default:
            return st.backColour;
    }
}

void CellBack(Grid& g, int c, int r, int x1, int y1, int x2, int y2) {
    const GridState& st = g.st;
    const bool sel = st.selectionMode != 0 && r < st.rowCount && st.selected(r);
    if (st.backColourMode == 6 && !sel) {
        const int first = c < 0 ? 0 : c;
        const int last = c < 0 ? std::min(st.columnCount, kMaxColumns) - 1 : c;
        for (int k = first; k <= last && k < kMaxColumns; ++k) {
            const int left = k == 0 ? 0 : st.columnRight[size_t(k - 1)];
            g.surface.fillBox(left, y1, st.columnRight[size_t(k)], y2,
                              st.backColours[size_t(k & 15)]);
        }
        return;
    }
    const Colour colour = CellBackColour(st, c, r);
    g.surface.fillBox(x1, y1, x2, y2, colour);
    if (st.backColourMode == 5 && !sel && st.hRuleWidth == 0 && r >= 0 && r < st.rowCount &&
        r < st.rowBound() && st.rowMark[size_t(r)] > 95) {
        const Colour band = DarkenColour(colour, 32);
        g.surface.line(x1, y1, x2 + 1, y1, band);
        g.surface.line(x1, y2, x2 + 1, y2, band);
    }
}

namespace {

void DrawCellImpl(Grid& g, int c, int r, bool allowCursor) {
    GridState& st = g.st;
    if (c < 0 || c >= std::min(st.columnCount, kMaxColumns) || r < 0) return;
    // A row outside the view is not painted: the one just below it would reach into the
    // strip under the last row, which scrolling never repaints.
    if (!RowVisible(st, r)) return;
    ++g.surface.counters.cellsPainted;
    const int top = RowTop(st, r);
    const int R = st.textRight[size_t(c + 1)];
    if (allowCursor && CursorShown(st) && c == st.drawnCursorColumn && r == st.cursorRow) {
        CursorCell(g, c, r);
        st.drawnCursorRow = r;
    } else {
        CellBack(g, c, r, st.columnLeft[size_t(c)], top, R - 1, top + st.rowHeight - 1);
    }
    ReliefRow(g, top, st.columnLeft[size_t(c)], R - 1);
    ReliefColumn(g, c, top, top + st.textAreaHeight);
    VRule(g, R, top, top + st.rowHeight);
    HRule(g, r);
    if (c == 0) TreeLines(g, r);
    g.surface.currentY = top + st.textTop;
    if (r < st.rowCount && r < st.rowBound()) {
        RowTextColour(g, r);
        const QString text = CellText(st, c, r);
        if (!text.isEmpty() && st.fontMode == 3) PutFont(g, st.altFontColumn[size_t(c)] != 0);
        DrawCellText(g, c, r, text);
        if (c == 0 && st.rowIcon[size_t(r)] != 0) DrawIcon(g, r);
    }
}

}  // namespace

void DrawCell(Grid& g, int column, int row) {
    DrawCellImpl(g, column, row, true);
}

void DrawRow(Grid& g, int r) {
    GridState& st = g.st;
    if (r < 0 || !RowVisible(st, r)) return;
    ++g.surface.counters.rowsPainted;
    DrawRowFrame(g, r);
    const int top = RowTop(st, r);
    g.surface.currentX = 0;
    g.surface.currentY = top + st.textTop;
    if (r >= st.rowCount || r >= st.rowBound()) return;
    Step([&] { RowTextColour(g, r); });
    Step([&] { DrawRowTexts(g, r); });
    if (st.rowIcon[size_t(r)] == 0) return;
    Step([&] { DrawIcon(g, r); });
    Step([&] {
        if ((st.rowTreeFlags[size_t(r)] & 1) && st.treeLines && st.indentStep > 0 &&
            r + 1 < st.rowBound()) {
            const int x = st.rowIndent[r + 1] - 11;
            if (x >= st.textRight[1]) return;  // the tree stays in the first column
            const int bottom = Bottom(st, r);
            g.surface.line(x, bottom - (st.rowHeight - st.iconHeight[0]) / 2, x,
                           bottom + st.rowHeight / 2 - 5, st.treeLineColour);
        }
    });
}

namespace {

// The background of every visible row position, rows past the last included, so the empty
// area below the list shows the same scheme; by column, bands over the full height.
void PaintBackgrounds(Grid& g) {
    GridState& st = g.st;
    GridSurface& s = g.surface;
    const int rh = st.rowHeight;
    if (st.backColourMode == 6) {
        for (int c = 0; c < std::min(st.columnCount, kMaxColumns); ++c) {
            const int left = c == 0 ? 0 : st.columnRight[size_t(c - 1)];
            s.fillBox(left, 0, st.columnRight[size_t(c)], s.height(),
                      st.backColours[size_t(c & 15)]);
        }
        return;
    }
    for (int i = 0; i < st.visibleRows; ++i) {
        CellBack(g, -1, st.topRow + i, 0, i * rh, s.width(), i * rh + rh - 1 - st.hRuleWidth);
    }
}

// The raised look over the whole surface.
void PaintRelief(Grid& g) {
    GridState& st = g.st;
    GridSurface& s = g.surface;
    if (!st.line3D) return;
    const int W = s.width(), H = s.height(), rh = st.rowHeight;
    if (st.hRuleWidth) {
        for (int i = 0; i < st.visibleRows; ++i) s.line(0, i * rh, W, i * rh, kWhite);
    }
    if (st.vRuleWidth) {
        for (int c = 0; c < std::min(st.columnCount, kMaxColumns); ++c) {
            s.line(st.columnLeft[size_t(c)], 0, st.columnLeft[size_t(c)], H, kWhite);
            const int x = st.textRight[size_t(c + 1)] - 1;
            s.line(x, 0, x, H, DarkenColour(st.hRuleColour, 80));
        }
    }
    if (st.hRuleWidth) {
        const Colour shadow = DarkenColour(st.vRuleColour, 80);
        for (int i = 0; i < st.visibleRows; ++i) {
            s.line(0, i * rh + st.textAreaHeight, W, i * rh + st.textAreaHeight, shadow);
        }
    }
}

// Mixed fonts: the cursor cell first, then the columns of each font in one pass per font,
// so the font changes twice per repaint rather than twice per row.
void PaintTextsByFont(Grid& g, int lastVisible) {
    GridState& st = g.st;
    GridSurface& s = g.surface;
    Step([&] {
        if (CursorShown(st) && RowVisible(st, st.cursorRow) && st.cursorRow < st.rowCount) {
            CursorCell(g, st.drawnCursorColumn, st.cursorRow);
            TreeLines(g, st.cursorRow);
            st.drawnCursorRow = st.cursorRow;
            st.cursorDrawn = -1;
        }
    });
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) PutFont(g, true);
        for (int c = 0; c < std::min(st.columnCount, kMaxColumns); ++c) {
            if ((st.altFontColumn[size_t(c)] != 0) != (pass == 1)) continue;
            for (int r = st.topRow; r <= lastVisible; ++r) {
                Step([&] {
                    RowTextColour(g, r);
                    s.currentY = RowTop(st, r) + st.textTop;
                    DrawCellText(g, c, r, CellText(st, c, r));
                    if (c == 0 && st.rowIcon[size_t(r)] != 0) DrawIcon(g, r);
                });
            }
        }
    }
    PutFont(g, false);
    s.counters.rowsPainted += std::max(0, lastVisible - st.topRow + 1);
}

// One font: row by row, a selected row in full, the cursor cell, then texts and icon.
void PaintTextsByRow(Grid& g, int lastVisible) {
    GridState& st = g.st;
    GridSurface& s = g.surface;
    for (int r = st.topRow; r <= lastVisible; ++r) {
        ++s.counters.rowsPainted;
        Step([&] {
            if (st.selectionMode != 0 && st.selected(r)) {
                DrawRowFrame(g, r);
            } else if (CursorShown(st) && r == st.cursorRow) {
                CursorCell(g, st.drawnCursorColumn, r);
                TreeLines(g, r);
                st.drawnCursorRow = r;
                st.cursorDrawn = -1;
            }
        });
        s.currentY = RowTop(st, r) + st.textTop;
        Step([&] { RowTextColour(g, r); });
        Step([&] { DrawRowTexts(g, r); });
        Step([&] {
            if (st.rowIcon[size_t(r)] != 0) DrawIcon(g, r);
        });
    }
}

}  // namespace

void RepaintAll(Grid& g) {
    GridState& st = g.st;
    GridSurface& s = g.surface;
    ++s.counters.fullRepaints;
    if (st.rowHeight <= 0) return;
    const int lastVisible = std::min(st.topRow + st.visibleRows, st.rowCount) - 1;
    Step([&] { PaintBackgrounds(g); });
    Step([&] { PaintRelief(g); });
    Step([&] {
        for (int c = 0; c < std::min(st.columnCount, kMaxColumns); ++c)
            VRule(g, st.textRight[size_t(c + 1)], 0, s.height());
        for (int i = 0; i < st.visibleRows; ++i) HRule(g, st.topRow + i);
    });
    Step([&] {
        st.treeLineColour = TreeLineColourFor(st.backColour);
        st.iconTop = (st.rowHeight - st.hRuleWidth - st.iconHeight[0]) / 2;
        for (int r = std::max(0, st.topRow); r <= lastVisible; ++r) TreeLines(g, r);
    });
    s.currentX = 0;
    s.currentY = st.textTop;
    if (st.rowCount <= 0 || st.topRow < 0) return;
    if (st.altFontActive) PutFont(g, false);
    if (st.fontMode == 3) {
        PaintTextsByFont(g, lastVisible);
    } else {
        PaintTextsByRow(g, lastVisible);
    }
}

void DrawCursor(Grid& g) {
    GridState& st = g.st;
    if (st.cursorRow < 0 || st.rowCount <= 0) return;
    st.cursorRow = std::min(st.cursorRow, st.rowCount - 1);
    if (st.cursorDrawn && st.drawnCursorRow < st.rowCount) {
        DrawCellImpl(g, st.drawnCursorColumn, st.drawnCursorRow, false);
    }
    st.drawnCursorColumn = st.cursorColumn;
    st.drawnCursorRow = st.cursorRow;
    st.cursorDrawn = -1;
    DrawCell(g, st.cursorColumn, st.cursorRow);
}

void SetRowIcon(Grid& g, int row, int icon) {
    GridState& st = g.st;
    if (row < 0) return;
    EnsureRow(st, row);
    const int old = st.rowIcon[size_t(row)];
    st.rowIcon[size_t(row)] = quint8(icon);
    const int probe = icon != 0 ? icon : old;
    const int slot = probe >= 1 && probe <= 4 ? probe : 0;
    const int x = st.rowIndent[row];
    if (x >= 0) {
        const int top = RowTop(st, row);
        g.surface.fillBox(x, top, x + st.iconWidth[size_t(slot)] - 1,
                          top + st.iconHeight[size_t(slot)] - 1, st.backColour);
    }
    if (icon != 0) DrawIcon(g, row);
}

}  // namespace grid
