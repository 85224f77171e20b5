#include "listwindow/RunWindows.h"

#include <QApplication>

#include "dialogs/AppIcon.h"
#include "dialogs/MessageBox.h"
#include "listwindow/ListForm.h"
#include "settings/Context.h"
#include "settings/Startup.h"

namespace listwindow {

bool DisplayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int RunWindows(int& argc, char** argv, const QString& commandLine) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("FOLDEX"));
    QApplication::setWindowIcon(dialogs::AppIcon());
    dialogs::InstallStdMessageBox();
    app::EntryRoutine([] { return new ListForm(); },
                      [](QObject* w) { static_cast<ListForm*>(w)->LoadShow(); }, commandLine);
    // The first window may already be closed, during the scan of the command line's drive.
    if (app::Ctx().OpenWindows <= 0) return 0;
    return QApplication::exec();
}

}  // namespace listwindow
