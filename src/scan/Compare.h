#pragma once
// A listed drive against an earlier scan of it: folders matched by their path below the
// root, each showing what changed (files, bytes, occupied space, subtree total), the folders
// that are new or gone marked. The comparison takes the list's place until it is left; the
// list's figures are then changes, so levels, sorting, reports and printing work on it as
// they do on a listing.
#include <QString>

#include "scan/DriveList.h"
#include "scan/FigureTree.h"
#include "scan/FolderScan.h"
#include "scan/ListShape.h"

namespace scan {

// What the list showed before the comparison, given back when it is left.
struct ComparisonState {
    FolderTable Folders;
    FileTable Files;
    std::unordered_map<quint64, DriveList::LinkedFile> Links;
    qint32 RowCount = 0, ListRowCount = 0, FolderTotal = 0, FileTotal = 0, Depth = 0;
    qint64 FileSizeTotal = 0, AllocTotal = 0, LastSubtreeTotal = 0;
    bool Incomplete = false;
    QString VOLDSP;
    ListShape Shape;
    // What the list is compared with, as a person names it (a date, a file).
    QString Then;
    // The listing's sort, given back when the comparison is left.
    int SortKind = 0;
    // While only the changed folders show: every folder of the comparison, for when all show
    // again.
    bool ChangedOnly = false;
    FolderTable AllFolders;
    std::vector<quint8> AllChange;
    qint32 AllRecords = 0, AllDepth = 0;
};

// Replaces the list's rows with its comparison against then (then's root is the list's
// root, whatever its name). thenLabel names then for the volume line. A list already
// comparing is first given back. The rows are built for the list's level, with paths while
// the full-path display is on; the caller sorts.
void EnterComparison(DriveList& list, const FigureTree& then, const QString& thenLabel);
// Gives the listing back with the shape and sort it had when the comparison began (a sort
// chosen while comparing ends with it).
void LeaveComparison(DriveList& list);
// Shows only the folders that changed (new, gone, or a figure of their own or of their subtree
// not 0) with the folders above them, or every folder again; the folds, cursor and selection
// stay on the folders that remain. The caller sorts.
void ShowChangedOnly(DriveList& list, bool on);
bool ChangedOnly(const DriveList& list);
// Forgets a comparison and the listing behind it (a new listing replaces both).
void DropComparison(DriveList& list);

// Reads the folder figures of another source (an imported scan) without keeping its files.
bool FiguresFromSource(const FolderFeed& source, FigureTree& out, QString& error);

}  // namespace scan
