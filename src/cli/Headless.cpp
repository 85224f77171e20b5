#include "cli/Headless.h"

#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <cstdio>

#include "cli/ExportCommand.h"
#include "platform/DirReader.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "platform/SafeWrite.h"
#include "settings/Context.h"
#include "settings/Startup.h"

namespace cli {
namespace {

void PrintLine(const QString& s) {
    std::printf("%s\n", s.toLocal8Bit().constData());
}

void PrintError(const QString& s) {
    std::fputs(ErrorLine(s).toLocal8Bit().constData(), stderr);
}

// Qt's own notes (a missing runtime folder and the like) would mix with the report's
// messages; only failures get through.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) PrintError(message);
}

}  // namespace

int ReadCommandLine(int argc, char** argv, CommandLine& line) {
    // Byte for byte: a folder whose name is not UTF-8 can still be named here.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << platform::ArgFromNative(QByteArray(argv[i]));
    QString error;
    bool usage = false;
    if (!ParseCommandLine(args, line, error, usage)) {
        PrintError(error);
        if (usage)
            for (const QString& s : UsageLines()) PrintLine(s);
        return kExitBadArguments;
    }
    if (line.command == Command::Version) {
        PrintLine(VersionLine());
        return kExitOk;
    }
    if (line.command == Command::Help) {
        for (const QString& s : UsageLines()) PrintLine(s);
        return kExitOk;
    }
    const QString& file = line.options.importFile;
    if (line.command == Command::Window && !file.isEmpty()) {
        platform::DirEntry entry;
        if (!platform::StatEntry(platform::NativeFromArg(file), entry) || entry.isDir) {
            PrintError(QStringLiteral("ファイルがありません: ") + platform::DisplayName(file));
            return kExitUnreadable;
        }
    }
    return -1;
}

CommandLine WithoutDisplay() {
    PrintError(
        QStringLiteral("画面 (DISPLAY) がないため、ウィンドウを開けません。"
                       "ドライブの一覧を表示します。"));
    PrintError(
        QStringLiteral("no display (DISPLAY or WAYLAND_DISPLAY): the window cannot "
                       "open; the drive overview follows."));
    CommandLine line;
    line.command = Command::Drives;
    return line;
}

void PrepareHeadless() {
    qInstallMessageHandler(QuietMessages);
    // The grid draws into images with fonts, which needs a GUI application but no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

int RunHeadless(const CommandLine& line) {
    app::EntryRoutine();
    // Unbuffered: a failed write is seen where it happens, not lost in a buffer at exit.
    platform::StreamDevice out(fileno(stdout));
    platform::StreamDevice err(fileno(stderr));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !err.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return kExitWriteFailed;
    return RunCommand(line, out, err, platform::StdErrIsTerminal());
}

int RunCommand(const CommandLine& line, QIODevice& out, QIODevice& err, bool progress) {
    switch (line.command) {
        case Command::Drives: {
            const int rc = RunDrives(out);
            if (rc == kExitWriteFailed)
                PutError(err,
                         QStringLiteral("標準出力に書き込めません (") + out.errorString() + u')');
            return rc;
        }
        case Command::Export: {
            const QByteArray version =
                app::BuildVersionText(app::kVersionMajor, app::kVersionMinor, app::kVersionRevision)
                    .toUtf8();
            return RunExport(line.options, out, err, progress, version,
                             QDateTime::currentSecsSinceEpoch());
        }
        case Command::Report:
            return RunReport(line.options, out, err, progress, QDateTime::currentDateTime());
        case Command::Window:
        case Command::Version:
        case Command::Help:
            break;
    }
    return kExitBadArguments;  // not a command that runs here
}

int FinishStdout(int rc) {
    int error = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) error = errno ? errno : EIO;
    int closeError = 0;
    if (!platform::CloseStdout(&closeError) && error == 0) error = closeError;
    if (error != 0) {
        PrintError(QStringLiteral("標準出力に書き込めません (") + platform::ErrorText(error) +
                   u')');
        return rc == 0 ? kExitWriteFailed : rc;
    }
    return rc;
}

}  // namespace cli
