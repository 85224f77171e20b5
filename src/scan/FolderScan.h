#pragma once
// The folder scan: walks a folder tree depth first and adds one grid row and one folder
// record per folder in pre-order, with the files of each folder in FileTable.
#include <QString>
#include <functional>

#include "scan/DriveList.h"
#include "scan/FolderWalk.h"

namespace scan {

// Scans the folder at path (a drive path ending in "\", normally the drive's root) into
// list: its FolderTable, FileTable, scan totals and grid rows. list.ClusterSize and
// list.DirEntriesPerCluster must be set; list.StopFlag ends the walk at its next check.
void ScanFolder(DriveList& list, const QString& path);

// Scans a folder below a drive's root as ScanFolder scans the root: its record 0 is that
// folder, named name, with the room it takes itself.
void ScanSubtree(DriveList& list, const QByteArray& nativeFolder, const QString& name);

// Fills list as ScanFolder does, from folders another source gives (an imported scan):
// source feeds the sink, the root named path, and returns false (error saying why) when
// it failed.
using FolderFeed = std::function<bool(const QString& path, FolderSink& sink, QString& error)>;
bool ScanFromSource(DriveList& list, const QString& path, const FolderFeed& source, QString& error);

// Said once when a sum passes the largest figure (2^63 - 1 bytes): the folder it happened in,
// as a person reads its path, and that its figures stop at that figure.
QString TotalTooLargeText(const QString& shownPath);

// Directory clusters of a folder with fileCount files (the root has none).
qint32 DirectoryClusters(bool root, qint32 fileCount, qint16 dirEntriesPerCluster);
// Read-ahead threads for a scan: asked when 0 or more (at most 16), else a count for the
// machine.
int WorkerCount(int asked);
// Directory entries per cluster for a drive's cluster size.
qint16 DirEntriesPerClusterFor(qint32 clusterSize);
// Clusters of one file.
qint64 FileClusters(qint64 bytes, qint32 clusterSize);
// The row indentation for a level: step × level + 2, or 0 when out of 16-bit range.
qint16 RowIndentFor(int indentStep, int level);

}  // namespace scan
