#pragma once
// A grid set up as the list window sets it up, for the engine's tests.
#include <QString>
#include <memory>
#include <vector>

#include "grid/Grid.h"
#include "grid/MarkIcons.h"

namespace gridtest {

struct Options {
    int rows = 50;
    int columns = 5;
    int widthPx = 600;
    int heightPx = 300;  // heading bar included
    bool tree = true;
    bool cellCursor = true;  // standard style; false: marking style
};

// Levels of a small folder tree in pre-order: 0, then 1, 2, 2, 1, 2, 3, 1 ... repeating.
inline int LevelOf(int i) {
    static const int kPattern[] = {1, 2, 2, 1, 2, 3, 3, 2};
    return i == 0 ? 0 : kPattern[(i - 1) % 8];
}

inline QString RowTextOf(int i, int columns) {
    QString t = QStringLiteral("Row %1").arg(i);
    for (int c = 1; c < columns; ++c) t += QChar(2) + QString::number(i * 10 + c);
    return t;
}

inline void SetTreeRows(grid::Grid& g, const std::vector<int>& levels, int step = 16) {
    const int n = int(levels.size());
    for (int i = 0; i < n; ++i) {
        g.st.rowIndent.set(i, levels[size_t(i)] * step + 2);
        g.st.rowIcon[size_t(i)] = i == 0 ? 13 : 10;
        const bool children = i + 1 < n && levels[size_t(i + 1)] > levels[size_t(i)];
        bool last = true;
        for (int j = i + 1; j < n; ++j) {
            if (levels[size_t(j)] < levels[size_t(i)]) break;
            if (levels[size_t(j)] == levels[size_t(i)]) {
                last = false;
                break;
            }
        }
        g.st.rowTreeFlags[size_t(i)] = quint8((children ? 1 : 0) | (last && i > 0 ? 2 : 0));
    }
}

// Sets up gr (a grid of its own or one that a view owns) and lays it out.
inline void FillGrid(grid::Grid& gr, const Options& o = {}) {
    grid::InitGrid(gr, 20 * 15);
    gr.st.columnCount = o.columns;
    for (int c = 0; c < o.columns; ++c) {
        gr.st.columnWidths[size_t(c)] = c == 0 ? 200 : 80;
        gr.st.columnAlign[size_t(c)] = c == 0 ? 0 : 1;
        gr.st.headings[size_t(c)] = QStringLiteral("H%1").arg(c);
    }
    gr.st.backColour = 0xFCFCFC;
    gr.st.textColour = 0x202020;
    gr.surface.textColour = 0x202020;
    gr.st.vRuleWidth = 1;
    gr.st.hRuleWidth = 0;
    gr.st.treeLines = o.tree ? -1 : 0;
    gr.st.indentStep = 16;
    gr.st.selectionMode = o.cellCursor ? 2 : 1;
    gr.st.cellCursor = o.cellCursor ? -1 : 0;
    gr.st.cursorFrame = o.cellCursor ? -1 : 0;
    grid::SetIconSlot(gr.st, 0, grid::MarkIconStrip(), grid::kMarkIconWidth, grid::kMarkIconHeight);
    grid::SetPrimaryFont(gr, QStringLiteral("ＭＳ Ｐゴシック"), 9.75f, false, false);
    grid::ClearGrid(gr);
    std::vector<int> levels;
    for (int i = 0; i < o.rows; ++i) {
        levels.push_back(LevelOf(i));
        grid::AddRow(gr, RowTextOf(i, o.columns), LevelOf(i), i % 16);
    }
    SetTreeRows(gr, levels);
    const int tpp = 15;
    grid::LayoutGrid(gr, o.widthPx * tpp, o.heightPx * tpp, tpp, tpp);
}

inline std::unique_ptr<grid::Grid> MakeGrid(const Options& o = {}) {
    auto g = std::make_unique<grid::Grid>();
    FillGrid(*g, o);
    return g;
}

// Twips per pixel the engine read at its last layout.
inline int Tpp(const grid::Grid& g) {
    return g.tppY;
}

}  // namespace gridtest
