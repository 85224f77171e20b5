#pragma once
// The entry routine and the small start-up services (help, shell open).

#include <QObject>
#include <QString>
#include <functional>

namespace app {

// The program's folder as a drive path: the folder it was started from, or the
// development folder when it runs from the development tree (a "\WKPROG\" folder right
// behind the drive); never ending in "\".
QString ProgramFolder(const QString& developmentFolder, const QString& startedFrom);

// Sets SystemFolder from WINDIR and the registry's platform family. This platform has
// no registry, so the older family's "\System" applies unless WINDIR names a folder.
void DetectPlatform();
// Reads a registry string; always false here (no registry).
bool ReadRegString(const QString& root, const QString& subKey, const QString& name, QString& value);

// The entry routine. createWindow builds the first list window (slot 0) and
// showWindow shows it without waiting; both may be empty while there is no window.
// commandLine is the drive argument: a drive path ("D:", "D:\\TEMP") or a native folder,
// which becomes a drive of its own (CommandLine then holds its letter and ":").
void EntryRoutine(const std::function<QObject*()>& createWindow = {},
                  const std::function<void(QObject*)>& showWindow = {},
                  const QString& commandLine = {});

// The drive path a command-line argument stands for: drive paths unchanged, a native
// folder as the root of the drive it is (or gets) mapped to; empty when it names nothing.
// The application's commandLineResolver is asked first.
QString CommandLineDrive(const QString& argument);

// Opens the help page beside the executable with the desktop's browser; failures ignored.
void ShowHelp(QObject* owner);
// Opens a file (drive path) with its associated program; the shell's result code
// (above 32 on success).
int ShellOpen(const QString& path);

}  // namespace app
