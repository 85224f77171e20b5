#pragma once
// The earlier scan a comparison reads: a snapshot of the drive chosen by its time, or a file
// (a snapshot, or an export of FOLDEX, ncdu or gdu).
#include <QByteArray>
#include <QString>

#include "interchange/SnapshotStore.h"
#include "scan/FigureTree.h"

namespace interchange {

// A snapshot's time as people read and type it: "yyyy-MM-dd HH:mm:ss", local time.
QString SnapshotTimeText(qint64 taken);

// Reads a file as an earlier scan: a snapshot (of any drive) or an export. False, with a
// message naming the file, when it is neither or is damaged.
bool ReadEarlierScan(const QByteArray& nativeFile, scan::FigureTree& out, QString& error);

// The newest snapshot of source whose time begins with when ("2026-12-07", "2026-12-07 10:30",
// "2026-12-07T10:30"), or the newest of all for "last". False with a message when none is.
bool FindSnapshot(const QByteArray& source, const QString& when, SnapshotInfo& found,
                  QString& error);

}  // namespace interchange
