#include "scan/Figures.h"

#include <limits>

#include <algorithm>

#include "platform/DriveMap.h"
#include "scan/DriveInfo.h"
#include "scan/FolderScan.h"
#include "scan/ImportDrives.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"

namespace scan {

void ShowDriveTitle(DriveList& list, const QString& drive) {
    const QString letter = drive.left(1).toUpper();
    list.Caption = QStringLiteral("Drive ") + letter + QStringLiteral(":  フォルダー毎サイズ一覧");
}

void ShowDriveFigures(DriveList& list) {
    list.TOTDSP = PlainSize(list.DriveTotal, list.UnitMode);
    list.FREDSP = PlainSize(list.DriveFree, list.UnitMode);
    list.USEDSP = PlainSize(list.DriveTotal - list.DriveFree, list.UnitMode);
    // An imported scan knows what was occupied, not what was free.
    if (ImportedDriveOf(QString(list.CurrentDrive))) list.FREDSP = QStringLiteral("不明");
    ShowSelectionFigures(list);
}

qint64 NeededSpace(const DriveList& list, qint32 clusterSize) {
    if (!list.Grid || clusterSize <= 0) return 0;
    const FolderTable& f = list.Folders;
    const std::vector<char> taken = SelectedRecords(list);
    const int records = int(taken.size());
    qint64 clusters = 0;
    const FileTable& files = list.Files;
    for (int k = 0; k < files.FileTableCount; ++k) {
        const int owner = files.FileOwner[size_t(k)];
        if (owner >= 0 && owner < records && taken[size_t(owner)])
            clusters =
                SaturatingAdd(clusters, FileClusters(files.FileBytes[size_t(k)], clusterSize));
    }
    for (int r = 0; r < records; ++r) {
        if (!taken[size_t(r)]) continue;
        clusters = SaturatingAdd(
            clusters,
            std::max<qint64>(1, FileClusters(qint64(f.FileCount[size_t(r)]) * 32, clusterSize)));
    }
    // Figures held at their limit stay there rather than wrap.
    qint64 bytes;
    if (__builtin_mul_overflow(clusters, qint64(clusterSize), &bytes))
        return std::numeric_limits<qint64>::max();
    return bytes;
}

void ShowSelectionFigures(DriveList& list) {
    list.SUMNAM = QString::number(list.SelCount) + QStringLiteral("個合計");
    if (Comparing(list)) {
        // A comparison's selection sums changes: nothing would be freed or copied by them.
        list.SUMDSP = PlainSize(list.SelTotal, list.UnitMode, true);
        list.DLSDSP.clear();
        list.MOVDSP.clear();
        list.MOVDSPNegative = false;
        list.DestinationLeft.reset();
        return;
    }
    list.SUMDSP = PlainSize(list.SelTotal, list.UnitMode);
    // An imported scan cannot be deleted from, and its free space is not known.
    list.DLSDSP =
        ImportedDriveOf(QString(list.CurrentDrive))
            ? QStringLiteral("不明")
            : PlainSize(std::min(SaturatingAdd(list.DriveFree, list.SelTotal - list.SelKeptByLinks),
                                 list.DriveTotal),
                        list.UnitMode);
    QString text;
    bool negative = false;
    std::optional<qint64> room;
    const QString dest = list.Destination.left(1).toUpper();
    const bool hasRows = list.RowCount > 0 && !list.OverviewShown;
    const QString listed = hasRows ? QString(list.CurrentDrive).toUpper() : QString();
    if (hasRows && !dest.isEmpty() && dest != listed && platform::LetterIndex(dest.at(0)) >= 0) {
        const int index = platform::LetterIndex(dest.at(0));
        qint64 freeSpace = 0;
        qint32 cluster = 0;
        const bool removable = app::Ctx().DriveTypes[size_t(index)] == 2;
        RemovableCacheEntry& cached = RemovableCache()[size_t(index)];
        if (removable && cached.clusterSize != 0) {
            freeSpace = cached.freeSpace;
            cluster = cached.clusterSize;
        } else {
            DriveList probe;
            ReadDrive(probe, dest + u':');
            freeSpace = probe.DriveFree;
            cluster = probe.ClusterSize;
            if (removable) cached = {cluster, freeSpace};
        }
        if (cluster != 0) {
            const qint64 left = SaturatingAdd(freeSpace, -NeededSpace(list, cluster));
            text = PlainSize(left, list.UnitMode);
            room = left;
            negative = left < 0;
        }
    }
    list.MOVDSP = text;
    list.MOVDSPNegative = negative;
    list.DestinationLeft = room;
}

namespace {

// A running figure in the unit that suits its size, one decimal.
QString RoughSize(qint64 bytes) {
    if (bytes < kMB)
        return QString::number(double(bytes) / double(kKB), 'f', 1) + QStringLiteral(" KB");
    if (bytes < kGB)
        return QString::number(double(bytes) / double(kMB), 'f', 1) + QStringLiteral(" MB");
    return QString::number(double(bytes) / double(kGB), 'f', 1) + QStringLiteral(" GB");
}

}  // namespace

QString ListingProgressText(const DriveList& list, qint64 elapsedMs, bool shortText) {
    const qint64 s = std::max<qint64>(0, elapsedMs / 1000);
    const QString clock = QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    QString text =
        QStringLiteral("読み取り中  ") + GroupDigits(list.RowCount) + QStringLiteral(" フォルダ  ");
    if (!shortText) text += GroupDigits(list.FileTotal) + QStringLiteral(" ファイル  ");
    return text + RoughSize(list.FileSizeTotal) + QStringLiteral("  ") + clock +
           QStringLiteral("   ");
}

int ListingPercent(qint64 foldersRead, qint64 foldersBefore) {
    if (foldersBefore <= 0) return 0;
    return int(std::clamp<qint64>(foldersRead * 100 / foldersBefore, 0, 99));
}

}  // namespace scan
