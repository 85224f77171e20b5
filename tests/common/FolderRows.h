#pragma once
// Folder records made by hand, as the scan leaves them, and the rows the list filling makes
// of them, for tests of what works on a finished list (tree rows, export).
#include <QString>
#include <vector>

#include "grid/Grid.h"
#include "scan/DriveList.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"

namespace testsupport {

struct Folder {
    int level;
    QString name;
    int files;
    qint64 bytes;
    qint64 alloc;
};

// Fills list (whose Grid, when set, is cleared) with folders in pre-order and the total row.
inline void FillFolderRows(scan::DriveList& list, const std::vector<Folder>& folders, int unit) {
    list.UnitMode = unit;
    list.IndentStep = 16;
    list.DriveKind = 3;
    scan::FolderTable& t = list.Folders;
    const int n = int(folders.size());
    t.reset();
    t.ensure(n);
    std::vector<int> stack;  // ancestors by level
    for (int i = 0; i < n; ++i) {
        const Folder& f = folders[size_t(i)];
        stack.resize(size_t(f.level));
        t.Level[size_t(i)] = quint8(f.level);
        t.Parent[size_t(i)] = stack.empty() ? 0 : stack.back();
        if (i > 0) t.HasChildren[size_t(t.Parent[size_t(i)])] = 1;
        t.FileCount[size_t(i)] = f.files;
        t.FileSize[size_t(i)] = f.bytes;
        t.AllocSize[size_t(i)] = f.alloc;
        t.ShownAlloc[size_t(i)] = f.alloc;
        t.setName(i, f.name);
        stack.push_back(i);
        if (i > 0) ++list.FolderTotal;
        if (f.files > 0) list.FileTotal += f.files;
        list.FileSizeTotal += f.bytes;
        list.AllocTotal += f.alloc;
    }
    for (int i = n - 1; i >= 0; --i) {
        qint64 sum = t.AllocSize[size_t(i)];
        for (int j = i + 1; j < n && t.Level[size_t(j)] > t.Level[size_t(i)]; ++j)
            sum += t.AllocSize[size_t(j)];
        t.SubtreeTotal[size_t(i)] = sum;
    }
    t.Level[size_t(n)] = 0;
    list.ListRowCount = n + 1;
    if (list.Grid) list.Grid->st.source = &list.Cells;
    scan::ApplyLevelLimit(list);
}

}  // namespace testsupport
