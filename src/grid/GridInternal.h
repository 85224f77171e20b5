#pragma once
// Helpers shared by the engine's source files.
#include "grid/Grid.h"

namespace grid::detail {

void PutFont(Grid& g, bool second);
int RowTop(const GridState& st, int row);
void RowTextColour(Grid& g, int row);
void DrawIcon(Grid& g, int row);
void TreeLines(Grid& g, int row);
void CursorCell(Grid& g, int column, int row);
// The bar of the row's share along the bottom of its cell in the share column.
void ShareBar(Grid& g, int column, int row);
// Steps 1 to 5 of a row repaint (background, cursor cell, relief, rules, tree lines).
void DrawRowFrame(Grid& g, int row);
bool RowVisible(const GridState& st, int row);
// A cursor is painted with the cell cursor, or as a frame alone in the marking style.
inline bool CursorShown(const GridState& st) {
    return st.cellCursor || st.cursorFrame;
}

}  // namespace grid::detail
