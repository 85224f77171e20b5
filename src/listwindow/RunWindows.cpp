#include "listwindow/RunWindows.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "dialogs/AppIcon.h"
#include "dialogs/DialogParts.h"
#include "dialogs/MessageBox.h"
#include "interchange/ScanImport.h"
#include "listwindow/ListForm.h"
#include "platform/PathMap.h"
#include "print/widget/PrintParts.h"
#include "scan/ImportDrives.h"
#include "settings/Application.h"
#include "settings/Context.h"
#include "settings/Startup.h"

namespace listwindow {

bool DisplayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

std::function<QString(const QString& argument)> InstallImports(bool forceFirstArgument) {
    // An export named where a drive is expected is shown as a drive of its own; a file that
    // is no export then says so when its drive is filled.
    return [force = forceFirstArgument](const QString& argument) mutable {
        const QByteArray native = platform::NativeFromArg(argument);
        const bool take = force || interchange::LooksLikeScanExport(native);
        force = false;
        if (!take) return QString();
        QString error;
        const int index = scan::AddImportedDrive(native, interchange::ImportScanFile, error);
        return index < 0 ? QString() : QString(QChar(u'A' + index)) + QStringLiteral(":\\");
    };
}

int RunWindows(app::Application& application, int& argc, char** argv, const QString& commandLine,
               bool importFile) {
    app::Hooks hooks;
    hooks.commandLineResolver = InstallImports(importFile);
    dialogs::AddDesktopHooks(hooks);
    application.setHooks(std::move(hooks));
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("FOLDEX"));
    QApplication::setWindowIcon(dialogs::AppIcon());
    // Qt's own dialogs (save, open, colour, font, print) speak the interface's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    app::EntryRoutine([] { return new ListForm(); },
                      [](QObject* w) { static_cast<ListForm*>(w)->LoadShow(); }, commandLine);
    // The first window may already be closed, during the scan of the command line's drive.
    if (application.context().OpenWindows <= 0) return 0;
    const int rc = QApplication::exec();
    // The windows the application keeps go while there is still a widget application.
    application.drop<dialogs::DialogWindows>();
    application.drop<print::PrintParts>();
    return rc;
}

}  // namespace listwindow
