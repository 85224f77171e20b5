#pragma once
// Scans read from an export file and shown as drives of their own: each on a letter with
// no folder behind it, for this run only, read-only. Whoever adds one gives the reader of
// its file (the interchange library); this layer knows no file format.
#include <QByteArray>
#include <QString>
#include <functional>

#include "scan/FolderWalk.h"

namespace scan {

using ImportReader = std::function<bool(const QByteArray& nativeFile, const QString& rootName,
                                        FolderSink& sink, QString& error)>;

struct ImportedDrive {
    QByteArray file;      // the export, native and absolute
    QString fileName;     // its last name, as a person reads it
    ImportReader reader;  // reads the file each time the drive is filled
};

// The letter index the import of nativeFile, read by reader, is shown on (the same file keeps
// its letter); -1 with a message when no letter is free or the file does not exist.
int AddImportedDrive(const QByteArray& nativeFile, ImportReader reader, QString& error);
// The import shown on a letter index, or null for a drive of the machine.
const ImportedDrive* ImportedDriveAt(int index);
const ImportedDrive* ImportedDriveOf(const QString& drive);  // "Z:" or "Z:\..."

// The volume line's label: an imported scan, its file, read-only.
QString ImportedLabel(const ImportedDrive& drive);
// Why a folder operation is refused on an imported drive.
QString ImportedReadOnlyText(const ImportedDrive& drive);

// The size an imported file without an occupied size counts: its bytes in 4096-byte blocks.
inline constexpr qint64 kImportBlock = 4096;

}  // namespace scan
