#pragma once
// The mount table (/proc/self/mountinfo) and the facts of a mount that make it a drive:
// whether it counts as one, its drive type, file-system code and volume label.
// Every outside input (the table text, /sys, /dev/disk/by-label, the udev database)
// can be replaced, so tests run on fixtures.

#include <QByteArray>
#include <QList>
#include <QString>

namespace platform {

struct MountSources {
    QByteArray mountInfoFile = "/proc/self/mountinfo";
    QByteArray mountInfoText;  // used instead of mountInfoFile when not null
    QByteArray sysRoot = "/sys";
    QByteArray byLabelDir = "/dev/disk/by-label";
    QByteArray udevDataDir = "/run/udev/data";  // b<major>:<minor> files with ID_FS_TYPE
};

struct MountEntry {
    int mountId = 0;
    int parentId = 0;
    quint32 major = 0;
    quint32 minor = 0;
    quint64 device = 0;     // major:minor as st_dev holds it
    QByteArray root;        // the folder of the file system that is mounted here
    QByteArray mountPoint;  // escapes decoded
    QByteArray mountOptions;
    QByteArray fsType;  // "ext4", "fuse.sshfs", "fuseblk"
    QByteArray source;  // "/dev/sda1", "server:/export"; escapes decoded
    QByteArray superOptions;
    bool readOnly = false;  // "ro" among the mount or super options
};

// Decodes the \NNN octal escapes of a mountinfo field (blank, tab, newline, backslash).
QByteArray UnescapeMountField(const QByteArray& field);

// Decodes the \xNN escapes of a /dev/disk/by-label name.
QByteArray DecodeLabelName(const QByteArray& name);

// Text to show for label or path bytes: invalid UTF-8 becomes U+FFFD, control codes caret
// notation (^M for CR, ^? for DEL, M-^[ for U+009B), as names are shown.
QString LabelText(const QByteArray& bytes);

// Parses mountinfo text, in table order. A line that does not have the fields of the
// format is skipped; skipped (if given) receives their count.
QList<MountEntry> ParseMountInfo(const QByteArray& text, int* skipped = nullptr);

// The table text of sources (the file when no text is given); ok false when unreadable.
QByteArray ReadMountInfo(const MountSources& sources, bool* ok = nullptr);

// True for "/" and for block-device, network and RAM file systems mounted outside the
// system's own folders (/proc, /sys, /dev, /run except /run/media, /snap).
bool IsDriveCandidate(const MountEntry& mount);

// Indexes of the mounts that are drives, in table order: the candidates, less every
// later mount of a device and folder already listed (bind mounts).
QList<qsizetype> SelectDriveMounts(const QList<MountEntry>& mounts);

// GetDriveTypeA's value for a mount: 2 removable, 3 fixed, 4 network, 5 CD, 6 RAM disk.
int MountDriveType(const MountEntry& mount, const MountSources& sources);

// "3" FAT32 (vfat, msdos from 2 GB of total up), "F" (below), "X" exFAT, "N" NTFS, or "".
QString FileSystemCode(const QByteArray& fsType, qint64 totalBytes, bool ntfsFuseblk = false);

// True when a fuseblk mount holds NTFS (its subtype or the udev database says so).
bool IsNtfsFuseblk(const MountEntry& mount, const MountSources& sources);

// The file-system label of the mount's device, or empty when it has none.
QString MountLabel(const MountEntry& mount, const MountSources& sources);

// The index of the mount that holds a native absolute path (the longest mount point
// that contains it; of equal ones the last, which hides the others), or -1.
qsizetype MountIndexFor(const QList<MountEntry>& mounts, const QByteArray& nativePath);

}  // namespace platform
