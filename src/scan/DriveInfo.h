#pragma once
// The drives of the machine: file-system codes, figures and cluster sizes, the drive
// overview, and the figures remembered for removable drives.
#include <QString>
#include <array>

#include "scan/DriveList.h"

namespace scan {

inline constexpr std::array<qint32, 9> kClusterSizes = {512,   1024,  2048,  4096,  8192,
                                                        16384, 32768, 65536, 131072};

// "F" FAT/FAT16, "3" FAT32, "N" NTFS, "X" exFAT, empty for others or unreadable.
QString FileSystemCode(const QString& drive);

// The cluster size of the estimate table for a file-system code and a drive total of at
// least 2 GB; 0 when the table has no row for the code.
qint32 EstimateClusterSize(const QString& code, qint64 total);

// Sets list.DriveTotal, DriveFree and ClusterSize for a drive (its first character is
// the letter); a failure leaves ClusterSize 0 with a beep and an empty VOLDSP.
void ReadDrive(DriveList& list, const QString& drive);

// 2 removable, 1 CD, 3 any other.
int DriveKind(const QString& drive);

// The volume label as the list shows it: a label containing a point loses its first point.
QString VolumeLabel(const QString& drive);

// Fills the list with the drive overview: one row per drive button (letters of type 2 or
// more), with cluster size, total, used and free space.
void ShowOverview(DriveList& list);

// Headings of the overview and of the folder list.
const std::array<QString, 5>& OverviewHeadings();
const std::array<QString, 5>& FolderHeadings();
// The folder list's headings while it shows a comparison: its figures are changes.
const std::array<QString, 5>& ChangeHeadings();

// Figures remembered per letter for removable drives (cluster size 0: nothing cached).
struct RemovableCacheEntry {
    qint32 clusterSize = 0;
    qint64 freeSpace = 0;
};
std::array<RemovableCacheEntry, 26>& RemovableCache();
void ForgetRemovable(QChar letter);

}  // namespace scan
