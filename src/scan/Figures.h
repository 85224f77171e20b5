#pragma once
// The figure texts of a listed drive: caption, drive summary and selection panel.
#include <QString>

#include "scan/DriveList.h"

namespace scan {

// "Drive " + letter + ":  フォルダー毎サイズ一覧".
void ShowDriveTitle(DriveList& list, const QString& drive);
// TOTDSP, FREDSP, USEDSP, then ShowSelectionFigures.
void ShowDriveFigures(DriveList& list);
// SUMNAM, SUMDSP, DLSDSP and the destination estimate in MOVDSP.
void ShowSelectionFigures(DriveList& list);
// The volume line while a drive is listed: folders and files read so far, their size and
// the time taken (the folder being read follows it). shortText leaves out the file count for
// a narrow window.
QString ListingProgressText(const DriveList& list, qint64 elapsedMs, bool shortText = false);
// The share of an earlier listing's folder count read so far, 0..99 (100 only when done).
int ListingPercent(qint64 foldersRead, qint64 foldersBefore);
// The bytes that copying the selected rows needs on a drive with clusterSize.
qint64 NeededSpace(const DriveList& list, qint32 clusterSize);

}  // namespace scan
