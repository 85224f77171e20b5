#include "interchange/EarlierScan.h"

#include <QDateTime>
#include <QFile>

#include "interchange/ScanImport.h"
#include "interchange/Snapshot.h"
#include "platform/PathMap.h"
#include "scan/Compare.h"

namespace interchange {

QString SnapshotTimeText(qint64 taken) {
    return QDateTime::fromSecsSinceEpoch(taken).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool ReadEarlierScan(const QByteArray& nativeFile, scan::FigureTree& out, QString& error) {
    const QString shown = platform::DisplayName(platform::ArgFromNative(nativeFile));
    if (LooksLikeScanExport(nativeFile)) {
        const bool ok = scan::FiguresFromSource(
            [&](const QString& root, scan::FolderSink& sink, QString& e) {
                return ImportScanFile(nativeFile, root, sink, e);
            },
            out, error);
        if (!ok) error = shown + QStringLiteral(": ") + error;
        return ok;
    }
    // Anything else must prove itself a snapshot; its own message names the file.
    return LoadSnapshot(nativeFile, QByteArray(), out, error);
}

bool FindSnapshot(const QByteArray& source, const QString& when, SnapshotInfo& found,
                  QString& error) {
    const std::vector<SnapshotInfo> kept =
        source.isEmpty() ? std::vector<SnapshotInfo>{} : ListSnapshots(source);
    QString wanted = when.trimmed();
    wanted.replace(u'T', u' ');
    wanted.replace(u'/', u'-');
    for (const SnapshotInfo& s : kept) {
        if (wanted == QLatin1String("last") || SnapshotTimeText(s.taken).startsWith(wanted)) {
            found = s;
            return true;
        }
    }
    error = kept.empty()
                ? QStringLiteral("比較できる以前の一覧 (スナップショット) がありません")
                : QStringLiteral("その時刻の一覧 (スナップショット) がありません: ") + when +
                      QStringLiteral(" (最新: ") + SnapshotTimeText(kept.front().taken) + u')';
    return false;
}

}  // namespace interchange
