#pragma once
// What the list says about folders the scan could not read: a line per folder for the
// report's standard error, and a row's tool tip in the window.
#include <QString>
#include <QStringList>

#include "scan/DriveList.h"

namespace scan {

// One line per folder that could not be read (or vanished): "読み取れません: ", its native
// path as a person reads it, and the reason.
QStringList UnreadableFolderLines(const DriveList& list);
// One line per subfolder the scan left out because its name begins with "}": "除外: ", its
// native path as a person reads it, and the rule.
QStringList LeftOutFolderLines(const DriveList& list);
QString LeftOutLine(const QByteArray& nativePath);
// The tool tip of a folder record's row: "読み取れません: " and the reason, or empty.
QString FolderStateTip(const DriveList& list, int record);

}  // namespace scan
