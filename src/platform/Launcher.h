#pragma once
// Starting the desktop's programs for a folder: the file manager (its D-Bus service, else
// xdg-open) and a terminal. Programs are started directly with their arguments as bytes,
// never through a shell, so no name can be misread; the started program is let go at once.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace platform {

// The calls out of the program, which a test replaces with a double that records them.
class ProcessStarter {
  public:
    virtual ~ProcessStarter() = default;
    // True when the session bus offers org.freedesktop.FileManager1 (running or activatable).
    virtual bool FileManagerService();
    // Calls ShowFolders or ShowItems of that service with file URIs; false with a reason.
    virtual bool CallFileManager(const QString& method, const QStringList& uris, QString& why);
    // The program's path when it can be run (a name is looked up on PATH); empty when not.
    virtual QByteArray FindProgram(const QByteArray& name);
    // Starts program (a path) with args in folder workDir and lets it go; false with errno.
    virtual bool Start(const QByteArray& program, const QList<QByteArray>& args,
                       const QByteArray& workDir, int& error);
};

// The file URI of a native path, every byte kept (percent-encoded where it must be).
QString FileUri(const QByteArray& nativePath);

// Shows a folder in the file manager, or with item (a native path inside it) the folder with
// that item chosen. False with a reason fit to show.
bool ShowInFileManager(ProcessStarter& starter, const QByteArray& nativeFolder,
                       const QByteArray& nativeItem, QString& why);
// Opens a terminal in the folder: x-terminal-emulator, else $TERMINAL, else the first of a
// short list that is installed. False with a reason fit to show.
bool OpenTerminal(ProcessStarter& starter, const QByteArray& nativeFolder, QString& why);

}  // namespace platform
