#pragma once
// The drive letters of the process over the mount table.
//
// C: is "/". Letters are remembered in the section [Drives] of the settings file
// ("D=/home"); a person may add lines there to give any folder a letter. Every other
// drive mount gets the next free letter from D: on, in mount-table order; once the drive is
// used (listed) its letter is written back, so that it keeps it from run to run. A and B are
// used only when mapped there. Loading fills platform::Drives().

#include <QByteArray>
#include <QList>
#include <QString>

#include "platform/MountTable.h"

namespace platform {

// Reads the mount table and the [Drives] section, assigns letters to new drive
// mounts for the run and fills Drives(). A remembered
// folder that does not exist now keeps its letter but is left out of Drives().
// Returns false when the mount table could not be read; C: is "/" even then.
bool LoadDrives(const QByteArray& settingsNativeFile, const MountSources& sources = {});

// A drive is used: when its letter was given to a mount at loading and is not remembered
// yet, writes it into [Drives] (and marks it a mount). False when nothing was written.
bool RememberDrive(int letterIndex);

// Forgets the loaded table and letters (Drives() is left alone); the next query
// reads the system's mount table again.
void ForgetDrives();

// The drive type of a letter index (0 = A), with GetDriveTypeA's values:
// 0 cannot be determined, 1 no such root, 2 removable, 3 fixed, 4 network, 5 CD, 6 RAM disk.
// A mapped folder that is not a mount root has the type of the mount it lies on.
int DriveType(int letterIndex);

// The native file-system type of the letter's mount ("ext4", "vfat"), or empty.
QString DriveFileSystem(int letterIndex);

// "3", "F", "X", "N" or empty (other file systems, or a FAT drive whose size
// cannot be read now).
QString DriveFileSystemCode(int letterIndex);

// The file-system label; with none, the mount point, or the path of a mapped folder.
QString DriveLabel(int letterIndex);

struct DriveSpace {
    qint64 total = 0;        // blocks × fragment size
    qint64 free = 0;         // blocks available to the caller × fragment size
    qint32 clusterSize = 0;  // the fragment size
};

// The figures of a letter's root, read now. False (errno in *error) when they cannot
// be read or the letter has no drive.
bool ReadDriveSpace(int letterIndex, DriveSpace& out, int* error = nullptr);

// A folder named on the command line: the letter of the drive whose root it is, or
// else a new letter for this run only, the highest free one (Z: down to D:); with none
// free, the letter of a drive that is absent now, else of the highest present drive, which
// is not shown in this run. -1 when the folder is not an existing directory,
// kNoFreeLetter when every letter D: to Z: holds a folder or scan named for this run.
inline constexpr int kNoFreeLetter = -2;
int AddFolderDrive(const QByteArray& nativeFolder);
// A letter with no folder behind it (an imported scan), for this run only, chosen as for
// a folder: a fixed drive whose label is label. kNoFreeLetter when none is free.
int AddDetachedDrive(const QString& label);

// True when a native absolute path is the mount point of any entry of the loaded
// table, bind mounts and non-drive mounts included.
bool IsMountPoint(const QByteArray& nativePath);
// The mount points strictly below a native folder, relative to it ("a/b").
QList<QByteArray> MountPointsBelow(const QByteArray& nativeRoot);

// The mount that holds a native absolute path; false when none does.
bool MountOfPath(const QByteArray& nativePath, MountEntry& out);

}  // namespace platform
