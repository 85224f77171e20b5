#pragma once
// Folder records and grid rows made by hand, as the scan and the list filling leave them,
// for tests of what works on a finished list (tree rows, export).
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

// Fills list (whose Grid is set and cleared) with folders in pre-order and the total row.
inline void FillFolderRows(scan::DriveList& list, const std::vector<Folder>& folders, int unit) {
    grid::Grid& g = *list.Grid;
    const QChar sep(2);
    list.UnitMode = unit;
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
        t.Order[size_t(i)] = i;
        t.Indent[size_t(i)] = qint16(f.level * 16 + 2);
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
    for (int i = 0; i < n; ++i) {
        const Folder& f = folders[size_t(i)];
        t.RowText[size_t(i)] = f.name + sep + QString::number(f.files) + sep +
                               scan::CellSize(f.bytes, unit) + sep + scan::CellSize(f.alloc, unit) +
                               sep + scan::CellSize(t.SubtreeTotal[size_t(i)], unit);
        grid::AddRow(g, t.RowText[size_t(i)], f.level & 7, scan::SizeMark(f.alloc));
        g.st.rowIcon[size_t(i)] = quint8(i == 0 ? 13 : (f.files < 0 ? 14 : 10));
        g.st.rowIndent.set(i, t.Indent[size_t(i)]);
    }
    const QString total = scan::BuildTotalRow(list, list.FolderTotal + 1);
    grid::AddRow(g, total, 0, 0);
    t.ensure(n);
    g.st.rowIcon[size_t(n)] = 0;
    g.st.rowIndent.set(n, -1);
    t.Indent[size_t(n)] = -1;
    t.RowText[size_t(n)] = total;
    t.Level[size_t(n)] = 0;
    t.Order[size_t(n)] = n;
    list.ListRowCount = n + 1;
}

}  // namespace testsupport
