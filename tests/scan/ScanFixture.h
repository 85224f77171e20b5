#pragma once
// A folder mapped as a drive, scanned into a fresh list.
#include <QFile>
#include <memory>

#include "common/TestSupport.h"
#include "grid/Grid.h"
#include "scan/DriveList.h"
#include "scan/FolderScan.h"
#include "scan/TreeRows.h"

namespace scantest {

struct Scanned {
    grid::Grid grid;
    scan::DriveList list;

    Scanned() {
        grid::InitGrid(grid, 0);
        list.Grid = &grid;
        list.ClusterSize = 4096;
        // Figures checked by hand: each file rounded to the cluster, as with a chosen size.
        list.ClusterChosen = true;
        list.DirEntriesPerCluster = 64;
        list.IndentStep = 10;
    }
    void run(const QString& drive, int threads) {
        grid::ClearGrid(grid);
        list.Folders.reset();
        list.Files.reset();
        list.ReadThreads = threads;
        scan::ScanFolder(list, drive + u'\\');
        scan::RowsFromScan(list);
    }
    // Folder rows (the total row follows them).
    int rows() const { return grid.st.rowCount - 1; }
    QString cell(int row, int column) const { return grid::CellText(grid.st, column, row); }
    int rowOf(const QString& name) const {
        for (int r = 0; r < rows(); ++r)
            if (cell(r, 0) == name) return r;
        return -1;
    }
};

}  // namespace scantest
