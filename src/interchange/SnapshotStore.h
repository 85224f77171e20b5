#pragma once
// The snapshots kept in the user's cache folder: after each complete listing of a drive a
// snapshot of its folder figures, the newest few per drive, the oldest dropped first.
//
// A file is named <hash of the drive's mount or folder>-<UTC time yyyyMMddThhmmss>.snap, so a
// drive's snapshots are found without reading them; the drive inside is checked on loading.
// Nothing else in the folder is ever removed, and no link there is ever followed.
#include <QByteArray>
#include <QString>
#include <vector>

#include "scan/FigureTree.h"
#include "scan/FigureView.h"

namespace interchange {

// $XDG_CACHE_HOME/foldex when that is set and absolute, else $HOME/.cache/foldex; empty with
// neither.
QByteArray SnapshotFolder();

struct SnapshotInfo {
    QByteArray file;  // native path
    qint64 taken;     // seconds since 1970 (UTC), from the name
    qint64 bytes;     // the file's size
};

// The snapshots of one drive (its native mount or folder), newest first.
std::vector<SnapshotInfo> ListSnapshots(const QByteArray& source);

// Reads one snapshot. source: the drive it must be of (empty: any). False, with a message
// that names the file, for a file that is damaged, of another drive, a link or unreadable.
bool LoadSnapshot(const QByteArray& file, const QByteArray& source, scan::FigureTree& out,
                  QString& error);

struct SnapshotLimits {
    int perDrive = 10;
    qint64 totalBytes = 100 * 1024 * 1024;
};

// Writes a snapshot of tree (its Source names the drive; Taken 0: now), replacing one of the
// same drive and second, then drops the oldest beyond the limits. False, with the reason, when
// it could not be written (nothing half-written stays) or is alone larger than the limit.
bool KeepSnapshot(const scan::FigureTree& tree, QString& error, const SnapshotLimits& limits = {});
// The same, written straight from the figures where they lie (a listed drive's folder table).
bool KeepSnapshot(const scan::FigureView& figures, QString& error,
                  const SnapshotLimits& limits = {});

}  // namespace interchange
