#include "interchange/ExportCommand.h"

#include "interchange/JsonWriter.h"
#include "interchange/ScanExport.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "platform/SafeWrite.h"
#include "scan/DriveInfo.h"
#include "scan/FolderScan.h"
#include "scan/FolderWalk.h"
#include "scan/ReportCommand.h"

namespace interchange {
using scan::Put;

bool ParseExportArguments(const QStringList& args, ExportOptions& out, QString& error) {
    out = ExportOptions();
    bool seen = false;
    bool haveFile = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--export" && !seen) {
            seen = true;
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                error = QStringLiteral("--export には書き出すファイル名 (標準出力は -) が必要です");
                return false;
            }
            out.output = args[++i];
            haveFile = true;
        } else if (a.startsWith(u"--")) {
            error = QStringLiteral("不明なオプション: ") + a;
            return false;
        } else if (out.drive.isEmpty()) {
            out.drive = a;
        } else {
            error = QStringLiteral("ドライブは一つだけです: ") + a;
            return false;
        }
    }
    if (!haveFile) {
        error = QStringLiteral("--export には書き出すファイル名 (標準出力は -) が必要です");
        return false;
    }
    if (out.drive.isEmpty()) {
        error = QStringLiteral("--export にはドライブかフォルダーが必要です");
        return false;
    }
    return true;
}

int RunExport(const ExportOptions& options, QIODevice& out, QIODevice& err, bool progress,
              const QByteArray& programVersion, qint64 timestamp) {
    QString error;
    const int index = scan::ResolveReportDrive(options.drive, error);
    if (index < 0) {
        Put(err, QStringLiteral("foldex: ") + error + u'\n');
        return scan::kExitUnreadable;
    }
    const QString drive = QString(QChar(u'A' + index)) + u':';
    scan::DriveList list;
    scan::ReadDrive(list, drive);
    bool rootOk = false;
    const QByteArray nativeRoot = platform::NativePath(drive + u'\\', &rootOk);
    if (list.ClusterSize == 0 || list.DriveTotal == 0 || !rootOk) {
        Put(err, QStringLiteral("foldex: ") + scan::UnreadableDriveText(drive, options.drive, 0) +
                     u'\n');
        return scan::kExitUnreadable;
    }

    const bool toStdout = options.output == u"-";
    platform::ReplacingFile file;
    if (!toStdout && !file.open(platform::NativeFromArg(options.output))) {
        Put(err, QStringLiteral("foldex: 書き込めません: ") + options.output +
                     QStringLiteral(" (") + platform::ErrorText(file.error()) +
                     QStringLiteral(")\n"));
        return scan::kExitWriteFailed;
    }
    QString writeError;
    JsonStream json([&](const char* data, qsizetype size) {
        if (toStdout) {
            if (out.write(data, size) == size) return true;
            writeError = out.errorString();
            return false;
        }
        if (file.write(data, size)) return true;
        writeError = platform::ErrorText(file.error());
        return false;
    });

    ExportFigures figures;
    figures.clusterSize = list.ClusterSize;
    figures.dirEntriesPerCluster = scan::DirEntriesPerClusterFor(list.ClusterSize);
    figures.allocated = scan::OccupiedAsAllocated(list);
    figures.nativeRoot = nativeRoot;
    figures.letter = index;
    ScanExport sink(json, figures);
    if (!toStdout) sink.LeaveOut(file.folderIdentity(), file.temporaryName());
    bool scanFailed = false;
    sink.ReportFailure = [&](const QString& text) {
        scanFailed = true;
        Put(err, QStringLiteral("foldex: ") + text + u'\n');
    };
    scan::ProgressLine progressLine(err);
    if (progress) {
        sink.ShowProgress = [&](const QString& folder) {
            progressLine.show(sink.folderCount(), sink.fileCount(), folder);
        };
    }

    sink.begin(programVersion, timestamp);
    int rootError = 0;
    try {
        rootError = scan::WalkFolders(nativeRoot, drive + u'\\',
                                      scan::WorkerCount(scan::ReadThreadsKnob()), sink)
                        .rootError;
    } catch (const std::exception& e) {
        // Exhausted memory: as the report, the file holds what was read, and says it failed.
        sink.ReportFailure(QString::fromLocal8Bit(e.what()));
    }
    progressLine.clear();
    if (rootError != 0) {
        // Nothing was listed, so nothing has been handed to the output yet.
        json.discard();
        Put(err, QStringLiteral("foldex: ") +
                     scan::UnreadableDriveText(drive, options.drive, rootError) + u'\n');
        return scan::kExitUnreadable;
    }
    for (const QString& line : sink.unreadableLines())
        Put(err, QStringLiteral("foldex: ") + line + u'\n');
    bool ok = sink.end();
    if (ok && !toStdout) {
        ok = file.commit();
        if (!ok) writeError = platform::ErrorText(file.error());
    }
    if (!ok) {
        Put(err, QStringLiteral("foldex: 書き込めません: ") + options.output +
                     (writeError.isEmpty() ? QString() : QStringLiteral(" (") + writeError + u')') +
                     u'\n');
        return scan::kExitWriteFailed;
    }
    return scanFailed ? scan::kExitScanFailed : scan::kExitOk;
}

}  // namespace interchange
