#include "scan/FillList.h"

#include "grid/Grid.h"
#include "platform/Beep.h"
#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "scan/Compare.h"
#include "scan/DriveInfo.h"
#include "scan/Figures.h"
#include "scan/FolderScan.h"
#include "scan/ImportDrives.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"
#include "settings/OptionKeys.h"

namespace scan {
namespace {

void SetBusy(DriveList& list, bool busy) {
    if (list.SetBusy) list.SetBusy(busy);
}

QString DriveLine(QChar letter, const QString& label) {
    return QString(letter) + QStringLiteral(":   ") + label;
}

// A listing the user stopped keeps what was read and says so.
void TakeStop(DriveList& list) {
    list.Incomplete = list.StopAsked;
    list.StopAsked = false;
}

QString FinalLine(const DriveList& list, const QString& line) {
    return list.Incomplete ? line + QStringLiteral("　（中止: 途中までの一覧）") : line;
}

}  // namespace

QString ElapsedText(const QTime& start, const QTime& end) {
    qint64 s = qint64(end.hour() - start.hour()) * 3600 + (end.minute() - start.minute()) * 60 +
               (end.second() - start.second());
    s %= 86400;
    if (s < 0) s += 86400;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

namespace {

// The window's display switches, the folder headings and an empty grid and table.
void PrepareList(DriveList& list, const QString& drive) {
    if (list.Grid) {
        grid::Grid& g = *list.Grid;
        g.st.selectionMode = app::Ctx().SelTypeWin ? 2 : 1;
        g.st.treeLines = app::Ctx().TreeDisp ? 1 : 0;
        const int backType = app::OptInt("BackColType");
        if (list.ApplyBackgroundType) {
            list.ApplyBackgroundType(backType);
        } else {
            g.st.backColourMode = backType;
        }
        if (list.OverviewShown || Comparing(list)) {
            const auto& h = FolderHeadings();
            for (size_t i = 0; i < h.size(); ++i) g.st.headings[i] = h[i];
        }
    }
    const bool headingsChanged = list.OverviewShown || Comparing(list);
    // A new listing replaces a comparison and the listing behind it.
    DropComparison(list);
    if (list.Grid) list.Grid->st.changeFigures = false;
    list.OverviewShown = false;
    if (headingsChanged && list.Grid && list.HeadingsChanged) list.HeadingsChanged();
    ShowDriveTitle(list, drive);
    if (list.Grid) {
        // The rows' cells come from the folder table from now on.
        list.Grid->st.source = &list.Cells;
        grid::ClearGrid(*list.Grid);
    }
    list.Folders.reset();
    list.Collapsed.clear();
    list.RowCount = 0;
    list.ListRowCount = 0;
    // The new rows carry plain names, whatever the old ones carried.
    list.PathsFlag = false;
    list.MOVDSP.clear();
    list.DestinationLeft.reset();
    list.Incomplete = false;
    list.CurrentDrive = drive.at(0).toUpper();
}

void ResetTotals(DriveList& list) {
    list.FolderTotal = 0;
    list.FileTotal = 0;
    list.FileSizeTotal = 0;
    list.AllocTotal = 0;
    list.SelTotal = 0;
    list.SelCount = 0;
    list.MarkedCount = 0;
    list.Links.clear();
    list.SelKeptByLinks = 0;
}

// The drive's figures before the scan, the totals reset. False (with a beep) for a drive
// without a medium or that cannot be read.
bool StartDrive(DriveList& list, const QString& drive, const QString& root, QString& label) {
    ReadDrive(list, drive);
    if (list.ClusterSize == 0 || list.DriveTotal == 0) {
        platform::Beep();
        return false;
    }
    label = VolumeLabel(root);
    list.VOLDSP = DriveLine(list.CurrentDrive, label);
    const int index = platform::LetterIndex(list.CurrentDrive);
    if (index >= 0 && app::Ctx().DriveTypes[size_t(index)] == 2)
        RemovableCache()[size_t(index)] = {list.ClusterSize, list.DriveFree};
    list.DirEntriesPerCluster = DirEntriesPerClusterFor(list.ClusterSize);
    ResetTotals(list);
    ShowDriveFigures(list);
    list.DriveKind = DriveKind(root);
    if (list.RecomputeIndentStep) list.RecomputeIndentStep();
    if (list.ProcessEvents) list.ProcessEvents();
    list.Files.reset();
    list.Depth = 0;
    return true;
}

// After a complete scan: the total row, the levels and paths the window shows, the figures.
void FinishList(DriveList& list, bool imported = false) {
    if (list.DriveTotal == 0 && !imported) {
        // The device went away during the scan.
        list.TOTDSP.clear();
        list.FREDSP.clear();
        list.USEDSP.clear();
        list.SUMDSP.clear();
        list.DLSDSP.clear();
        list.SUMNAM.clear();
        return;
    }
    // Sparse files and small clusters can occupy more than the drive reports: the drive
    // then shows the occupied total as its size, and used space with it.
    if (list.AllocTotal > list.DriveTotal) {
        list.DriveTotal = list.AllocTotal;
        ShowDriveFigures(list);
    }
    RowsFromScan(list);
    if (list.FullPath) ShowPaths(list);
    DispListByButtons(list, 0, 0);
}

// An imported scan: the rows come from its file, read again each time. Its drive figures
// are what the file tells: the occupied total as the drive's size, free space unknown.
void FillImported(DriveList& list, const QString& drive, const ImportedDrive& imported) {
    list.Label1.clear();
    const QTime start = QTime::currentTime();
    PrepareList(list, drive);
    const QString root = QString(list.CurrentDrive) + QStringLiteral(":\\");
    const QString line = DriveLine(list.CurrentDrive, ImportedLabel(imported));
    list.VOLDSP = line;
    list.ClusterSize = qint32(kImportBlock);
    list.DirEntriesPerCluster = qint16(kImportBlock / 64);
    list.DriveTotal = 0;
    list.DriveFree = 0;
    list.DriveKind = 3;
    ResetTotals(list);
    ShowDriveFigures(list);
    if (list.RecomputeIndentStep) list.RecomputeIndentStep();
    if (list.ProcessEvents) list.ProcessEvents();
    list.Files.reset();
    list.Depth = 0;
    SetBusy(list, true);
    const ImportReader& reader = imported.reader;
    QString error = QStringLiteral("取り込みが使えません");
    const QByteArray file = imported.file;
    const bool ok = reader && ScanFromSource(
                                  list, root,
                                  [&](const QString& path, FolderSink& sink, QString& e) {
                                      return reader(file, path, sink, e);
                                  },
                                  error);
    if (list.StopFlag) return;
    TakeStop(list);
    SetBusy(list, false);
    list.VOLDSP = FinalLine(list, line);
    if (!ok) {
        // Half a file is no scan: nothing of it is shown.
        if (list.Grid) grid::ClearGrid(*list.Grid);
        list.Folders.reset();
        list.Collapsed.clear();
        list.RowCount = 0;
        list.Files.reset();
        ResetTotals(list);
        list.Depth = 0;
        list.RootError = -1;
        ShowDriveFigures(list);
        if (list.ReportFailure)
            list.ReportFailure(imported.fileName + QStringLiteral(": ") + error);
        return;
    }
    list.RootError = 0;
    list.DriveTotal = list.AllocTotal;
    ShowDriveFigures(list);
    FinishList(list, true);
    list.Label1 = ElapsedText(start, QTime::currentTime());
}

}  // namespace

void FillList(DriveList& list, const QString& drive) {
    if (drive.isEmpty()) return;
    if (const ImportedDrive* imported = ImportedDriveOf(drive)) {
        const ImportedDrive copy = *imported;
        FillImported(list, drive, copy);
        return;
    }
    list.Label1.clear();
    const QTime start = QTime::currentTime();
    PrepareList(list, drive);
    const QString root = QString(list.CurrentDrive) + QStringLiteral(":\\");
    QString label;
    if (!StartDrive(list, drive, root, label)) return;
    // A drive listed keeps its letter from now on; one only seen does not take it for ever.
    platform::RememberDrive(platform::LetterIndex(list.CurrentDrive));
    SetBusy(list, true);
    ScanFolder(list, root);
    // A closing window leaves everything as it is.
    if (list.StopFlag) return;
    TakeStop(list);
    SetBusy(list, false);
    FinishList(list);
    // VOLDSP showed folder names during the scan.
    list.VOLDSP = FinalLine(list, DriveLine(list.CurrentDrive, label));
    list.Label1 = ElapsedText(start, QTime::currentTime());
}

void DispListByButtons(DriveList& list, int record, int offset) {
    if (!list.Grid || list.RowCount == 0) return;
    grid::Grid& g = *list.Grid;
    const FolderTable& t = list.Folders;
    const int rows = list.RowCount;
    auto rowOf = [&](int f) {
        for (int r = 0; r < rows && r < t.bound(); ++r)
            if (t.Order[size_t(r)] == f) return r;
        return -1;
    };
    int row = rowOf(record);
    if (row < 0 && record > 0 && record < t.bound()) {
        int level = t.Level[size_t(record)];
        for (int f = record - 1; f >= 0 && row < 0; --f) {
            if (t.Level[size_t(f)] < level) {
                row = rowOf(f);
                level = t.Level[size_t(f)];
            }
        }
    }
    if (row < 0) row = 0;
    if (list.PathsFlag) {
        g.st.treeLines = 0;
        ShowPaths(list);
    } else {
        ComputeTreeFlags(list);
    }
    grid::ShowRow(g, row, offset);
    grid::ResizeScrollList(g);
    grid::FitAndRefresh(g);
    ShowSelectionFigures(list);
}

}  // namespace scan
