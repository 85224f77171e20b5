#pragma once
// Reading one folder's subtree again: the new records take the place of the old ones in
// the folder table, the files and hard links follow, and every folder above it (and the
// drive's totals) shows the new figures, as a new listing of the whole drive would.
#include <QString>

#include "scan/DriveList.h"

namespace scan {

// Re-reads record f (below the root) with its subtree. False, with error saying why, when
// it could not be read (gone, unreadable, an imported drive, stopped); the list is then as
// it was. The rows must be built again afterwards (RowsFromScan).
bool RefreshSubtree(DriveList& list, int f, QString& error);

}  // namespace scan
