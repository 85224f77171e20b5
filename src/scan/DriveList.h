#pragma once
// One listed drive: its figures, the scan's tables and totals, the list's display state
// and the figure texts that a window shows. The main window and the command-line report
// both work on this object; it holds no widgets.
#include <QChar>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "grid/Grid.h"
#include "scan/FolderTable.h"

namespace scan {

struct DriveList;
struct ComparisonState;

// The list's column of subtree totals (下位合計), where a folder's share of its parent shows.
inline constexpr int kSubtreeColumn = 4;

// The list's cells for its grid: each row's folder figures formatted when the row is drawn
// or read, never stored as text.
class ListCells : public grid::RowSource {
  public:
    explicit ListCells(const DriveList* list) : list_(list) {}
    ListCells(const ListCells&) = delete;
    ListCells& operator=(const ListCells&) = delete;
    QStringView cell(int row, int column, QString& scratch) const override;
    // The folder's subtree total over its parent's; none for the root and the total row.
    double share(int row) const override;

  private:
    const DriveList* list_;
};

struct DriveList {
    // The grid whose rows show the list (the window's LSTGRD, or a headless one).
    grid::Grid* Grid = nullptr;

    // Drive figures (ReadDrive).
    QChar CurrentDrive;
    qint64 DriveTotal = 0;
    qint64 DriveFree = 0;
    qint32 ClusterSize = 0;
    // The cluster size was chosen in the drive button's menu (a what-if): occupied space is
    // each file rounded up to it. Otherwise it is what the file system allocated.
    bool ClusterChosen = false;
    qint16 DirEntriesPerCluster = 0;
    int DriveKind = 3;  // 1 CD, 2 removable, 3 other

    FolderTable Folders;
    FileTable Files;
    // Rows of the list (folder rows and the total row), each showing Folders.Order[row].
    qint32 RowCount = 0;
    // Rows whose sub-rows are hidden show the sums of their subtree: those sums, by folder.
    std::unordered_map<qint32, RowFigures> Collapsed;
    // The cells of the rows, the grid's row source while it lists folders.
    ListCells Cells{this};
    // Files with several names (hard links), by inode: where their room is counted, and
    // every record that holds one of their names.
    struct LinkedFile {
        qint32 owner = -1;          // the record that counts its room (its first name)
        quint32 links = 0;          // its names on the file system
        qint64 occupied = 0;        // the room counted at the owner
        std::vector<qint32> names;  // records holding a name, one entry a name
    };
    std::unordered_map<quint64, LinkedFile> Links;
    // Of the selection's occupied total: the room of hard-linked files that a delete of the
    // selection would not free (some name lies outside it).
    qint64 SelKeptByLinks = 0;

    // While the list shows a comparison with an earlier scan: each record's ChangeMark (the
    // figures are then changes), and the listing it stands in for. Empty and null otherwise.
    std::vector<quint8> Change;
    std::shared_ptr<ComparisonState> Comparison;

    // Scan totals.
    qint32 FolderTotal = 0;
    qint32 FileTotal = 0;
    qint64 FileSizeTotal = 0;
    qint64 AllocTotal = 0;
    qint64 LastSubtreeTotal = 0;
    qint32 Depth = 0;
    // The window closes: the scan ends at once and nothing of it is used.
    bool StopFlag = false;
    // The user stopped the listing: what was read stays listed, marked incomplete.
    bool StopAsked = false;
    bool Incomplete = false;
    qint32 ListRowCount = 0;
    // Worker threads that read folders ahead of the scan: 0 none, -1 as many as suit the
    // machine.
    int ReadThreads = -1;
    // errno of the scan's root folder when it could not be listed, else 0.
    int RootError = 0;

    // Display state: its one home. The window's strips and the options dialog read and
    // change it here; the grid's tree lines, indent step and name colours follow from it.
    int UnitMode = 0;            // 0 bytes, 1 KB, 2 MB, 3 GB
    int ShownLevel = 0;          // 0 = all levels
    int SortKind = 0;            // 0 tree order, 1 occupied size, 2 subtree total
    bool PathsFlag = false;      // the rows carry relative paths now
    bool FullPath = false;       // the full-path display switch
    bool PathsBySort = false;    // a sort switched the full-path display on by itself
    bool NameColouring = false;  // text coloured by level (or by group while paths show)
    int BackType = 2;            // background type 0..5 of the strip
    bool OverviewShown = false;
    int IndentStep = 0;
    std::vector<quint8> TopGroup;
    qint32 SelCount = 0;
    qint64 SelTotal = 0;
    qint32 MarkedCount = 0;

    // The list's font when it has no grid (the total row's word follows the font's script).
    QString FontName;

    // Figure texts.
    QString Caption;
    QString VOLDSP, TOTDSP, FREDSP, USEDSP, SUMNAM, SUMDSP, DLSDSP, MOVDSP;
    bool MOVDSPNegative = false;  // drawn in red
    // The room the destination drive would have left after a copy of the selection: what
    // MOVDSP shows, as a value; none when no other drive with a medium is chosen.
    std::optional<qint64> DestinationLeft;
    QString Label1;
    // The destination list entry (a drive letter and ":", or empty) until the window has one.
    QString Destination;

    // Hooks of the owner: letting pending events run, and showing progress.
    std::function<void()> ProcessEvents;
    std::function<void(const QString& folder)> ShowProgress;
    // A failure inside the scan, shown at once (the message box); the scan goes on.
    std::function<void(const QString& text)> ReportFailure;
    // The window's busy state (hourglass and locked controls) while a drive is filled.
    std::function<void(bool busy)> SetBusy;
    // Recomputes IndentStep for the window's font (the window knows its metrics).
    std::function<void()> RecomputeIndentStep;
    // Applies a background type to the grid (the window's level strip owns it).
    std::function<void(int type)> ApplyBackgroundType;
    // The heading bar was given new headings.
    std::function<void()> HeadingsChanged;

    // Tree rows and export
    // A row was expanded by hand since the rows were last built for a level.
    bool RowsExpanded = false;
    // A drag in the marking style selects rows (false: it unselects them).
    bool DragSelects = true;
    // The window's status display, shown again after the selection was recounted.
    std::function<void()> SelectionChanged;
};

// Where a folder of a comparison stands.
enum ChangeMark : quint8 {
    kChangeSame = 0,  // in both scans
    kChangeNew = 1,   // only now
    kChangeGone = 2,  // only then
};

// The list shows a comparison with an earlier scan: its figures are changes.
inline bool Comparing(const DriveList& list) {
    return list.Comparison != nullptr;
}

// The folder's mark in a comparison (kChangeSame when none is shown).
inline ChangeMark ChangeOf(const DriveList& list, int record) {
    if (record < 0 || size_t(record) >= list.Change.size()) return kChangeSame;
    return ChangeMark(list.Change[size_t(record)]);
}

// "新規" or "消失" for a marked folder, else empty.
inline QString ChangeWord(ChangeMark mark) {
    return mark == kChangeNew    ? QStringLiteral("新規")
           : mark == kChangeGone ? QStringLiteral("消失")
                                 : QString();
}

// Occupied space is the file system's own allocation (not a rounding to a chosen cluster).
inline bool OccupiedAsAllocated(const DriveList& list) {
    return !list.ClusterChosen;
}

// Tree lines show while the tree display is on and the rows are a tree: not sorted, no paths.
inline bool TreeLinesShown(const DriveList& list, bool treeDisplay) {
    return treeDisplay && !list.OverviewShown && list.SortKind == 0 && !list.FullPath;
}

// The text colour mode of the grid: by group while paths show, else by level; 0 when off.
inline int TextColourModeOf(const DriveList& list) {
    return !list.NameColouring ? 0 : list.FullPath ? 1 : 2;
}

}  // namespace scan
