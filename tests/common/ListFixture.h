#pragma once
// A drive list with its grid, filled as the window fills it (FillList), as a scan of a folder
// leaves it (ScanFolder and the rows made from it), or from folder records made by hand; and
// its rows read back as they are drawn and written.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "common/TestSupport.h"
#include "grid/Grid.h"
#include "scan/DriveList.h"
#include "scan/FillList.h"
#include "scan/FolderScan.h"
#include "scan/TreeRows.h"
#include "settings/Settings.h"

namespace testsupport {

struct ListOptions {
    bool grid = true;      // without: listed as the report lists, from the folder table alone
    bool laidOut = false;  // five columns, the font below, laid out 700 pixels wide
    int headerTwips = 0;   // the heading bar (none, as the report's grid)
    QString font = QStringLiteral("Arial");
    int visiblePx = 400;
    int indentStep = 10;
    int readThreads = -1;  // read-ahead threads of a scan; -1 as many as suit the machine
    // For scan() (fill() reads the drive's own): the cluster size, and whether it was chosen
    // (each file rounded up to it) rather than the file system's allocation counted.
    qint32 clusterSize = 4096;
    bool clusterChosen = false;
    bool settings = false;  // a settings file of its own in a temporary program folder
};

// A folder record made by hand: its level, name and own figures (files -1: unreadable).
struct Folder {
    int level;
    QString name;
    int files;
    qint64 bytes;
    qint64 alloc;
};

class ListFixture {
  public:
    grid::Grid grid;
    scan::DriveList list;

    explicit ListFixture(const ListOptions& o = {}) : options_(o) {
        if (o.settings) {
            home_.emplace();
            app::SetSettingsNative(home_->settingsFile());
        }
        grid::InitGrid(grid, o.headerTwips);
        if (o.laidOut) {
            grid.st.columnCount = 5;
            for (int c = 0; c < 5; ++c) grid.st.columnWidths[size_t(c)] = c == 0 ? 200 : 90;
            grid.st.treeLines = -1;
            grid.st.indentStep = 16;
            grid::SetPrimaryFont(grid, o.font, 9.75f, false, false);
            grid::ClearGrid(grid);
        }
        if (o.grid) list.Grid = &grid;
        list.IndentStep = o.indentStep;
        list.ReadThreads = o.readThreads;
        list.ClusterSize = o.clusterSize;
        list.ClusterChosen = o.clusterChosen;
        list.DirEntriesPerCluster = scan::DirEntriesPerClusterFor(o.clusterSize);
    }
    ~ListFixture() {
        if (home_) app::SetSettingsNative({});
    }
    ListFixture(const ListFixture&) = delete;
    ListFixture& operator=(const ListFixture&) = delete;

    // Lists a drive ("T:") as the window does.
    void fill(const QString& drive) { scan::FillList(list, drive); }

    // Scans a drive's root ("T:") into fresh tables with the list's cluster size (that of
    // the options unless changed), then makes the rows, as the report does.
    void scan(const QString& drive, int threads) {
        grid::ClearGrid(grid);
        list.Folders.reset();
        list.Files.reset();
        list.ReadThreads = threads;
        scan::ScanFolder(list, drive + u'\\');
        scan::RowsFromScan(list);
    }

    // Fills the tables with folders in pre-order, as a scan leaves them, and makes the rows
    // in the given unit (0 bytes, 1 KB, 2 MB).
    void records(const std::vector<Folder>& folders, int unit) {
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
        if (options_.laidOut) grid::LayoutGrid(grid, 700 * 15, options_.visiblePx * 15, 15, 15);
    }

    grid::GridState& st() { return grid.st; }
    // Rows of the list, the total row included.
    int rows() const { return list.RowCount; }
    int folderRows() const { return rows() - 1; }
    // The folder record a row shows.
    int order(int row) const { return list.Folders.Order[size_t(row)]; }
    std::vector<int> shown() const {
        std::vector<int> v;
        for (int r = 0; r < rows(); ++r) v.push_back(order(r));
        return v;
    }
    QString cell(int row, int column) const {
        QString scratch;
        return scan::RowCellText(list, row, column, scratch).toString();
    }
    QStringList cells(int row) const {
        QStringList out;
        for (int c = 0; c < 5; ++c) out << cell(row, c);
        return out;
    }
    // The first folder row showing a name; -1 when none.
    int rowOf(const QString& name) const {
        for (int r = 0; r < folderRows(); ++r)
            if (cell(r, 0) == name) return r;
        return -1;
    }
    // The row of a folder given by its native path below the root ("a/b"); -1 when none.
    int rowOfPath(const QByteArray& relative) const {
        const QByteArray want = list.Folders.RootNative + '/' + relative;
        for (int r = 0; r < folderRows(); ++r)
            if (list.Folders.nativePath(order(r)) == want) return r;
        return -1;
    }

  private:
    ListOptions options_;
    std::optional<TempHome> home_;
};

// Every row's cells as the list draws them, trimmed and joined by "|": two lists as a person
// compares them.
inline QStringList RowTexts(const scan::DriveList& l) {
    QStringList rows;
    QString scratch;
    for (int r = 0; r < l.RowCount; ++r) {
        QString line;
        for (int c = 0; c < 5; ++c)
            line += scan::RowCellText(l, r, c, scratch).toString().trimmed() + u'|';
        rows << line;
    }
    return rows;
}

}  // namespace testsupport
