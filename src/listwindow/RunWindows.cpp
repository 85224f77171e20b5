#include "listwindow/RunWindows.h"

#include <QApplication>

#include "app/Startup.h"
#include "dialogs/AppIcon.h"
#include "dialogs/MessageBox.h"
#include "listwindow/ListForm.h"

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
    return QApplication::exec();
}

}  // namespace listwindow
