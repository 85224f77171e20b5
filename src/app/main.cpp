// FOLDEX: how the space of a drive is spread over its folders.
#include <QGuiApplication>

#include "cli/Headless.h"
#include "listwindow/RunWindows.h"
#include "platform/Locale.h"
#include "platform/SafeWrite.h"
#include "settings/Application.h"

namespace {

// A command without a window: its application object draws without a display.
int Headless(int argc, char** argv, const cli::CommandLine& line) {
    cli::PrepareHeadless();
    QGuiApplication qapp(argc, argv);
    return cli::RunHeadless(line);
}

int Main(app::Application& application, int argc, char** argv) {
    cli::CommandLine line;
    if (const int rc = cli::ReadCommandLine(argc, argv, line); rc >= 0) return rc;
    if (line.command != cli::Command::Window) return Headless(argc, argv, line);
    const bool importFile = !line.options.importFile.isEmpty();
    const QString drive = importFile ? line.options.importFile : line.options.drive;
    if (!listwindow::DisplayAvailable()) {
        // Says so, and shows the drive overview instead.
        return Headless(argc, argv, cli::WithoutDisplay());
    }
    return listwindow::RunWindows(application, argc, argv, drive, importFile);
}

}  // namespace

int main(int argc, char** argv) {
    platform::UseUtf8Locale();
    platform::GuardStandardStreams();
    // The one owner of the program's state, for the headless commands and the windows alike.
    app::Application application;
    return cli::FinishStdout(Main(application, argc, argv));
}
