// FOLDEX: how the space of a drive is spread over its folders.
#include <QDateTime>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <cerrno>
#include <cstdio>

#include "export/ListExport.h"
#include "interchange/ExportCommand.h"
#include "interchange/ScanImport.h"
#include "listwindow/RunWindows.h"
#include "platform/DirReader.h"
#include "platform/FileSys.h"
#include "platform/Locale.h"
#include "platform/PathMap.h"
#include "platform/SafeWrite.h"
#include "scan/ReportCommand.h"
#include "settings/Application.h"
#include "settings/Context.h"
#include "settings/Startup.h"

namespace {

void PrintLine(const QString& s) {
    std::printf("%s\n", s.toLocal8Bit().constData());
}

QString VersionLine() {
    return QStringLiteral("FOLDEX Ver.") +
           app::BuildVersionText(app::kVersionMajor, app::kVersionMinor, app::kVersionRevision);
}

void PrintUsage() {
    PrintLine(QStringLiteral("使い方: foldex [ドライブ | --import ファイル]"));
    PrintLine(
        QStringLiteral("        foldex --report (ドライブ | --import ファイル) [--csv] "
                       "[--output ファイル] [--level N]"));
    PrintLine(
        QStringLiteral("                        [--unit KB|MB] [--sort size|total] [--full-path]"));
    PrintLine(QStringLiteral("        foldex --export ファイル ドライブ"));
    PrintLine(QStringLiteral("        foldex --drives"));
    PrintLine(QStringLiteral("  ドライブ     D: や D:\\TEMP、またはフォルダーのパス"));
    PrintLine(
        QStringLiteral("  --import     エクスポートされたスキャン (ncdu 形式の JSON) を"
                       "読み取り専用のドライブとして開く"));
    PrintLine(QStringLiteral("  --report     フォルダー毎サイズ一覧をテキストか CSV で書き出す"));
    PrintLine(QStringLiteral(
        "  --export     走査結果を JSON (ncdu 形式) で書き出す (ファイル - は標準出力)"));
    PrintLine(QStringLiteral("  --drives     ドライブの一覧を表示"));
    PrintLine(QStringLiteral("  --version    バージョンを表示して終了"));
    PrintLine(QStringLiteral("  --help       この説明を表示して終了"));
}

void PrintError(const QString& s) {
    std::fprintf(stderr, "foldex: %s\n", s.toLocal8Bit().constData());
}

// Qt's own notes (a missing runtime folder and the like) would mix with the report's
// messages; only failures get through.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) PrintError(message);
}

int HeadlessCommand(int argc, char** argv, const QStringList& args) {
    qInstallMessageHandler(QuietMessages);
    // The grid draws into images with fonts, which needs a GUI application but no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication qapp(argc, argv);
    interchange::InstallScanImport();
    app::EntryRoutine();
    // Unbuffered: a failed write is seen where it happens, not lost in a buffer at exit.
    QFile out;
    QFile err;
    if (!out.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !err.open(fileno(stderr), QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 1;
    if (args.contains(QLatin1String("--drives"))) {
        if (args.size() > 1) {
            PrintError(QStringLiteral("--drives に引数は要りません"));
            return scan::kExitBadArguments;
        }
        const int rc = scan::RunDrives(out);
        if (rc == scan::kExitWriteFailed)
            PrintError(QStringLiteral("標準出力に書き込めません (") + out.errorString() + u')');
        return rc;
    }
    QString error;
    if (args.contains(QLatin1String("--export"))) {
        interchange::ExportOptions exportOptions;
        if (args.contains(QLatin1String("--report"))) {
            PrintError(QStringLiteral("--export と --report は一緒に使えません"));
            return scan::kExitBadArguments;
        }
        if (!interchange::ParseExportArguments(args, exportOptions, error)) {
            PrintError(error);
            return scan::kExitBadArguments;
        }
        const QByteArray version =
            app::BuildVersionText(app::kVersionMajor, app::kVersionMinor, app::kVersionRevision)
                .toUtf8();
        return interchange::RunExport(exportOptions, out, err, platform::StdErrIsTerminal(),
                                      version, QDateTime::currentSecsSinceEpoch());
    }
    scan::ReportOptions options;
    QStringList rest = args;
    rest.removeOne(QLatin1String("--report"));
    if (!scan::ParseReportArguments(rest, options, error)) {
        PrintError(error);
        return scan::kExitBadArguments;
    }
    const QDateTime now = QDateTime::currentDateTime();
    scan::ReportWriters writers;
    auto format = [](bool csv) { return csv ? exportlist::Format::Csv : exportlist::Format::Text; };
    writers.toDevice = [&](const scan::DriveList& list, bool csv, QIODevice& device, QString* e) {
        return exportlist::WriteList(list, format(csv), device, now, e);
    };
    writers.toFile = [&](const scan::DriveList& list, bool csv, const QByteArray& path,
                         QString* e) {
        return exportlist::SaveListFile(list, format(csv), path, now, e);
    };
    return scan::RunReport(options, writers, out, err, platform::StdErrIsTerminal());
}

// Whatever went to standard output must have arrived: a full disk or a closed stream is a
// failure, not a success.
int FinishStdout(int rc) {
    int error = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) error = errno ? errno : EIO;
    int closeError = 0;
    if (!platform::CloseStdout(&closeError) && error == 0) error = closeError;
    if (error != 0) {
        PrintError(QStringLiteral("標準出力に書き込めません (") + platform::ErrorText(error) +
                   u')');
        return rc == 0 ? scan::kExitWriteFailed : rc;
    }
    return rc;
}

int Main(app::Application& application, int argc, char** argv) {
    // Byte for byte: a folder whose name is not UTF-8 can still be named here.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << platform::ArgFromNative(QByteArray(argv[i]));
    for (const QString& a : args) {
        if (a == QLatin1String("--version") || a == QLatin1String("-v")) {
            PrintLine(VersionLine());
            return 0;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            PrintUsage();
            return 0;
        }
    }
    if (args.contains(QLatin1String("--report")) || args.contains(QLatin1String("--drives")) ||
        args.contains(QLatin1String("--export"))) {
        return HeadlessCommand(argc, argv, args);
    }
    QString drive;
    bool importFile = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--import")) {
            if (i + 1 >= args.size() || !drive.isEmpty()) {
                PrintError(QStringLiteral("--import にはエクスポートファイルを一つ指定します"));
                return scan::kExitBadArguments;
            }
            drive = args[++i];
            importFile = true;
            platform::DirEntry entry;
            if (!platform::StatEntry(platform::NativeFromArg(drive), entry) || entry.isDir) {
                PrintError(QStringLiteral("ファイルがありません: ") + platform::DisplayName(drive));
                return scan::kExitUnreadable;
            }
            continue;
        }
        if (a.startsWith(QLatin1String("--"))) {
            PrintError(QStringLiteral("不明なオプション: ") + a);
            PrintUsage();
            return scan::kExitBadArguments;
        }
        if (drive.isEmpty()) drive = a;
    }
    if (!listwindow::DisplayAvailable()) {
        PrintError(
            QStringLiteral("画面 (DISPLAY) がないため、ウィンドウを開けません。"
                           "ドライブの一覧を表示します。\n"
                           "foldex: no display (DISPLAY or WAYLAND_DISPLAY): the window cannot "
                           "open; the drive overview follows."));
        QStringList drives{QStringLiteral("--drives")};
        return HeadlessCommand(argc, argv, drives);
    }
    return listwindow::RunWindows(application, argc, argv, drive, importFile);
}

}  // namespace

int main(int argc, char** argv) {
    platform::UseUtf8Locale();
    platform::GuardStandardStreams();
    // The one owner of the program's state, for the headless commands and the windows alike.
    app::Application application;
    return FinishStdout(Main(application, argc, argv));
}
