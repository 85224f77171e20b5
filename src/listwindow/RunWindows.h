#pragma once
// Starts the program's windows: the entry routine opens the first list window, and the
// program runs until the last one closes.
#include <QString>
#include <functional>

namespace app {
class Application;
}

namespace listwindow {
// Runs the windows for the application main created: it gets the desktop's hooks. argc and
// argv go to QApplication; commandLine is the drive argument (may be empty), or with
// importFile true an exported scan's file to show as a drive of its own.
int RunWindows(app::Application& application, int& argc, char** argv, const QString& commandLine,
               bool importFile = false);
// Lets the windows open exported scans as drives of their own, and returns the application's
// commandLineResolver that does so for command-line arguments.
std::function<QString(const QString& argument)> InstallImports(bool forceFirstArgument = false);
// True when a window system can be reached (a display, Wayland, or a platform chosen
// through QT_QPA_PLATFORM).
bool DisplayAvailable();
}  // namespace listwindow
