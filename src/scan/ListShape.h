#pragma once
// What a person arranged in a listed drive, held by folder path so that it outlives the
// folder records: the folders opened or closed by hand, the cursor's folder and place in the
// view, and the selected folders. A new listing of the drive shows it again wherever those
// folders still exist.
#include <QString>
#include <vector>

#include "scan/DriveList.h"

namespace scan {

struct ListShape {
    // Paths below the drive ("A\B"; empty for the root), in tree order.
    std::vector<std::pair<QString, bool>> folds;  // folded (true) or opened against the level
    QString cursor;
    bool hasCursor = false;
    int cursorOffset = 0;  // the cursor's rows below the top of the view
    std::vector<QString> selected;
};

// The shape of the list as it stands (its grid gives the cursor and the selection).
ListShape TakeShape(const DriveList& list);

// Rebuilds the rows of a freshly listed drive with shape's folds (in tree order only),
// then puts the cursor and the selection back on the same folders, or on the nearest
// ancestor that has a row. The caller sorts again where the list is sorted.
void ApplyShape(DriveList& list, const ListShape& shape);

}  // namespace scan
