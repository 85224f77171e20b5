#include "platform/ProgramDir.h"

#include <QCoreApplication>
#include <QFile>
#include "platform/DriveMap.h"
#include "platform/NativeIo.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace platform {

QByteArray ExecutableFolder() {
    char buf[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    QByteArray exe;
    if (n > 0) {
        exe = QByteArray(buf, n);
    } else if (QCoreApplication::instance()) {
        exe = QFile::encodeName(QCoreApplication::applicationFilePath());
    }
    const qsizetype slash = exe.lastIndexOf('/');
    if (slash < 0) return "/";
    return slash == 0 ? QByteArray("/") : exe.left(slash);
}

bool FolderWritable(const QByteArray& nativeFolder) {
    return !nativeFolder.isEmpty() && ::access(nativeFolder.constData(), W_OK | X_OK) == 0;
}

bool InstalledFolder(const QByteArray& nativeFolder) {
    return nativeFolder.startsWith("/usr/");
}

QByteArray HomeOverride() {
    const QByteArray v = qgetenv("FOLDEX_HOME");
    if (v.isEmpty()) return {};
    return AbsolutePath(v);
}

QByteArray ConfigFolder() {
    QByteArray base = qgetenv("XDG_CONFIG_HOME");
    if (base.isEmpty() || !base.startsWith('/')) {
        QByteArray home = qgetenv("HOME");
        if (home.isEmpty()) home = "/tmp";
        base = home + "/.config";
    }
    return NormaliseNative(base + "/foldex");
}

bool EnsureFolder(const QByteArray& nativeFolder, int mode, int* error) {
    if (error) *error = ENOENT;
    if (nativeFolder.isEmpty()) return false;
    QByteArray path;
    for (const QByteArray& part : nativeFolder.split('/')) {
        if (part.isEmpty()) {
            if (path.isEmpty()) path = "/";
            continue;
        }
        if (!path.endsWith('/')) path += '/';
        path += part;
        if (::mkdir(path.constData(), mode_t(mode)) != 0 && errno != EEXIST) {
            if (error) *error = errno;
            return false;
        }
    }
    struct stat st {};
    if (::stat(nativeFolder.constData(), &st) != 0) {
        if (error) *error = errno;
        return false;
    }
    if (error) *error = S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    return S_ISDIR(st.st_mode);
}

}  // namespace platform
