#pragma once
// Where the program keeps its files: FOLDEX_HOME when set, else the executable's
// folder when it is writable, else $XDG_CONFIG_HOME/foldex (~/.config/foldex).
#include <QByteArray>

namespace platform {
// The native folder of the running executable (no trailing '/').
QByteArray ExecutableFolder();
bool FolderWritable(const QByteArray& nativeFolder);
// True for a folder below /usr: the package manager's (an installed program), never the
// program's own folder even when root may write there.
bool InstalledFolder(const QByteArray& nativeFolder);
// The value of FOLDEX_HOME, made absolute; empty when unset.
QByteArray HomeOverride();
// $XDG_CONFIG_HOME/foldex or ~/.config/foldex, not created here.
QByteArray ConfigFolder();
// Creates a folder and its missing parents (each made with mode, less the umask); true when it
// exists afterwards, else false with errno in *error.
bool EnsureFolder(const QByteArray& nativeFolder, int mode = 0755, int* error = nullptr);
}  // namespace platform
