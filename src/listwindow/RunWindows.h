#pragma once
// Starts the program's windows: the entry routine opens the first list window, and the
// program runs until the last one closes.
#include <QString>

namespace listwindow {
// argc and argv go to QApplication; commandLine is the drive argument (may be empty), or
// with importFile true an exported scan's file to show as a drive of its own.
int RunWindows(int& argc, char** argv, const QString& commandLine, bool importFile = false);
// Lets command-line arguments and the windows open exported scans as drives of their own.
void InstallImports(bool forceFirstArgument = false);
// True when a window system can be reached (a display, Wayland, or a platform chosen
// through QT_QPA_PLATFORM).
bool DisplayAvailable();
}  // namespace listwindow
