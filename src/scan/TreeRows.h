#pragma once
// The list's grid rows built from the folder table: level limit with collapsed sums,
// expanding and collapsing branches, sorting, relative paths with group colours, tree
// flags and the selection totals. Every operation works on list.Grid, which must be set.
//
// The folder records are 0 .. ListRowCount - 2; record ListRowCount - 1 stands for the
// total row, which is always the grid's last row.
#include <QString>

#include "scan/DriveList.h"

namespace scan {

// Folder records in the table; the total row's record has this index.
int Records(const DriveList& list);
// The first record after f that is not below f (records f .. end - 1 are its subtree).
int SubtreeEnd(const FolderTable& t, int f, int records);

// The text of a row's cell as the grid draws it and the reports write it: the name (or
// the path below the drive while paths show) and the figures in the list's unit, made from
// the folder table. The view may point into scratch; it lives until the next call.
QStringView RowCellText(const DriveList& list, int row, int column, QString& scratch);
// The name a row shows: the folder's name, its path while paths show, the total row's count.
QString RowName(const DriveList& list, int row);
// A folder's path below the drive as the list shows it ("A\B"; the root: its drive path).
QString FolderPath(const DriveList& list, int f);

// After a scan filled list.Folders (list.RowCount records): the total row's record follows
// them, the table gives back its spare room, and the rows are built for list.ShownLevel
// (the grid, when there is one, takes its cells from the list).
void RowsFromScan(DriveList& list);

// Rebuilds every row in tree order for list.ShownLevel (0 = all levels) with plain names
// (clears list.PathsFlag) and no selection, then repaints in full. The caller resizes the
// scroll list and refits, and sorts again or gives paths where the list needs them.
void ApplyLevelLimit(DriveList& list);

// As ApplyLevelLimit, with the folders whose flag is set folded (their subtrees hidden).
void ApplyFolds(DriveList& list, const std::vector<char>& folded);

// Shows the sub-rows of a row whose branch is collapsed: its direct children (collapsed
// where they have sub-folders), or with allLevels every descendant with its own figures.
// Only in tree order without paths; sub-rows of a selected row are selected.
void ExpandRow(DriveList& list, int row, bool allLevels);

// Hides the sub-rows of a row; the row then shows the sums of its whole subtree.
void CollapseRow(DriveList& list, int row);

// Orders every row but the total row by list.SortKind (0 tree order, 1 occupied size,
// 2 subtree total; sizes largest first).
void SortRows(DriveList& list);

// Computes every folder's top-level group (0..14, wrapping) and gives the rows relative
// paths, the group as their level and indent 2. Sets list.PathsFlag.
void ShowPaths(DriveList& list);

// Sets rowTreeFlags (bit 0 has sub-folders, bit 1 last of its siblings) while the tree
// lines are on, the list is in tree order and the full-path display is off.
void ComputeTreeFlags(DriveList& list);

// One row entered by a marking-style drag: selected or unselected by list.DragSelects,
// keeping list.SelCount and list.SelTotal.
void DragMark(DriveList& list, int row);

// Recounts list.SelCount and list.SelTotal from the selected rows, then calls
// list.SelectionChanged.
void CountSelection(DriveList& list);
// The figures a row shows, as values: its folder's own or, collapsed, the sums of its subtree;
// the total row the drive's totals (it has no subtree total).
RowFigures ShownFigures(const DriveList& list, int row);
// The records the selection holds, one flag a record: each selected row's folder, with its
// whole subtree where the row shows the subtree's sums (its sub-folders hidden).
std::vector<char> SelectedRecords(const DriveList& list);

// Gives every folder row its plain name and indent back (the full-path display ends).
void RestoreNames(DriveList& list);
// The rows' indents from IndentStep (the root and the total row excepted).
void RecomputeIndents(DriveList& list);

}  // namespace scan
