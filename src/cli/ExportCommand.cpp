#include "cli/ExportCommand.h"

#include "interchange/JsonWriter.h"
#include "interchange/ScanExport.h"
#include "interchange/SnapshotStore.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "platform/SafeWrite.h"
#include "scan/DriveInfo.h"
#include "scan/FolderScan.h"
#include "scan/FolderWalk.h"
#include "settings/OptionKeys.h"

namespace cli {
using namespace interchange;

int RunExport(const ReportOptions& options, QIODevice& out, QIODevice& err, bool progress,
              const QByteArray& programVersion, qint64 timestamp) {
    QString error;
    const int index = ResolveReportDrive(options.drive, error);
    if (index < 0) {
        PutError(err, error);
        return kExitUnreadable;
    }
    const QString drive = QString(QChar(u'A' + index)) + u':';
    scan::DriveList list;
    scan::ReadDrive(list, drive);
    bool rootOk = false;
    const QByteArray nativeRoot = platform::NativePath(drive + u'\\', &rootOk);
    if (list.ClusterSize == 0 || list.DriveTotal == 0 || !rootOk) {
        PutError(err, UnreadableDriveText(drive, options.drive, 0));
        return kExitUnreadable;
    }

    const bool toStdout = options.output == u"-";
    platform::ReplacingFile file;
    if (!toStdout && !file.open(platform::NativeFromArg(options.output))) {
        PutError(err, QStringLiteral("書き込めません: ") + options.output + QStringLiteral(" (") +
                          file.errorText() + u')');
        return kExitWriteFailed;
    }
    QString writeError;
    JsonStream json([&](const char* data, qsizetype size) {
        if (toStdout) {
            if (out.write(data, size) == size) return true;
            writeError = out.errorString();
            return false;
        }
        if (file.write(data, size)) return true;
        writeError = file.errorText();
        return false;
    });

    ExportFigures figures;
    figures.clusterSize = list.ClusterSize;
    figures.dirEntriesPerCluster = scan::DirEntriesPerClusterFor(list.ClusterSize);
    figures.allocated = scan::OccupiedAsAllocated(list);
    figures.nativeRoot = nativeRoot;
    figures.letter = index;
    ScanExport sink(json, figures);
    // A complete export is a listing of the drive: its folder figures are kept as a snapshot.
    const bool keepSnapshot = app::OptBool("KeepSnapshots");
    scan::FigureTree snapshot;
    if (keepSnapshot) sink.KeepFigures(&snapshot);
    if (!toStdout) sink.LeaveOut(file.folderIdentity(), file.temporaryName());
    bool scanFailed = false;
    sink.ReportFailure = [&](const QString& text) {
        scanFailed = true;
        PutError(err, text);
    };
    ProgressLine progressLine(err);
    if (progress) {
        sink.ShowProgress = [&](const QString& folder) {
            progressLine.show(sink.folderCount(), sink.fileCount(), folder);
        };
    }

    sink.begin(programVersion, timestamp);
    int rootError = 0;
    try {
        rootError =
            scan::WalkFolders(nativeRoot, drive + u'\\', scan::WorkerCount(ReadThreadsKnob()), sink)
                .rootError;
    } catch (const std::exception& e) {
        // Exhausted memory: as the report, the file holds what was read, and says it failed.
        sink.ReportFailure(QString::fromLocal8Bit(e.what()));
    }
    progressLine.clear();
    if (rootError != 0) {
        // Nothing was listed, so nothing has been handed to the output yet.
        json.discard();
        PutError(err, UnreadableDriveText(drive, options.drive, rootError));
        return kExitUnreadable;
    }
    for (const QString& line : sink.unreadableLines()) PutError(err, line);
    bool ok = sink.end();
    if (ok && !toStdout) {
        ok = file.commit();
        if (!ok) writeError = file.errorText();
    }
    if (!ok) {
        PutError(err,
                 QStringLiteral("書き込めません: ") + options.output +
                     (writeError.isEmpty() ? QString() : QStringLiteral(" (") + writeError + u')'));
        return kExitWriteFailed;
    }
    if (keepSnapshot && !scanFailed) {
        snapshot.sumSubtrees();
        snapshot.Source = nativeRoot;
        QString snapshotError;
        // The export itself is done: a snapshot that cannot be kept is only a warning.
        if (!KeepSnapshot(snapshot, snapshotError)) PutError(err, snapshotError);
    }
    return scanFailed ? kExitScanFailed : kExitOk;
}

}  // namespace cli
