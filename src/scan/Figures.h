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
// The bytes that copying the selected rows needs on a drive with clusterSize.
qint64 NeededSpace(const DriveList& list, qint32 clusterSize);

}  // namespace scan
