#include "platform/Launcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/FileSys.h"
#include "platform/PathMap.h"

extern char** environ;

namespace platform {
namespace {

const QString kFileManager = QStringLiteral("org.freedesktop.FileManager1");

// Terminals tried when neither the system's choice nor $TERMINAL is there.
constexpr const char* kTerminals[] = {"gnome-terminal", "konsole",    "xfce4-terminal",
                                      "mate-terminal",  "lxterminal", "qterminal",
                                      "kitty",          "alacritty",  "xterm"};

bool Executable(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.constData(), X_OK) == 0;
}

QString Shown(const QByteArray& native) {
    return DisplayName(NameFromNative(native));
}

}  // namespace

bool ProcessStarter::FileManagerService() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusConnectionInterface* dbus = bus.interface();
    if (!dbus) return false;
    if (dbus->isServiceRegistered(kFileManager).value()) return true;
    // A service the bus starts on the first call counts too.
    const QDBusReply<QStringList> names = bus.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListActivatableNames")));
    return names.isValid() && names.value().contains(kFileManager);
}

bool ProcessStarter::CallFileManager(const QString& method, const QStringList& uris, QString& why) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kFileManager, QStringLiteral("/org/freedesktop/FileManager1"), kFileManager, method);
    call << uris << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ErrorMessage) return true;
    why = reply.errorMessage();
    return false;
}

QByteArray ProcessStarter::FindProgram(const QByteArray& name) {
    if (name.isEmpty()) return {};
    if (name.contains('/')) return Executable(name) ? name : QByteArray();
    const char* path = std::getenv("PATH");
    const QByteArray dirs = path ? QByteArray(path) : QByteArray("/usr/local/bin:/usr/bin:/bin");
    for (const QByteArray& dir : dirs.split(':')) {
        const QByteArray candidate = (dir.isEmpty() ? QByteArray(".") : dir) + '/' + name;
        if (Executable(candidate)) return candidate;
    }
    return {};
}

bool ProcessStarter::Start(const QByteArray& program, const QList<QByteArray>& args,
                           const QByteArray& workDir, int& error) {
    // Everything the child needs is made before the fork: after it only plain system calls.
    std::vector<QByteArray> keep;
    keep.reserve(size_t(args.size()) + 1);
    keep.push_back(program);
    for (const QByteArray& a : args) keep.push_back(a);
    std::vector<char*> argv;
    for (QByteArray& a : keep) argv.push_back(a.data());
    argv.push_back(nullptr);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        error = errno;
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        error = errno;
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // The started program belongs to no one here: a grandchild in a session of its own,
        // so it outlives the window and leaves no zombie.
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
        int e = 0;
        if (!workDir.isEmpty() && ::chdir(workDir.constData()) != 0) {
            e = errno;
        } else {
            ::execve(argv[0], argv.data(), environ);
            e = errno;
        }
        [[maybe_unused]] const ssize_t n = ::write(report[1], &e, sizeof e);
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int e = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &e, sizeof e);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    if (n == ssize_t(sizeof e)) {
        error = e;
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = EAGAIN;
        return false;
    }
    return true;
}

QString FileUri(const QByteArray& nativePath) {
    return QStringLiteral("file://") + QString::fromLatin1(nativePath.toPercentEncoding("/"));
}

bool ShowInFileManager(ProcessStarter& starter, const QByteArray& nativeFolder,
                       const QByteArray& nativeItem, QString& why) {
    const QString fail = QStringLiteral("ファイル マネージャーで開けません: ") +
                         Shown(nativeItem.isEmpty() ? nativeFolder : nativeItem);
    if (starter.FileManagerService()) {
        QString reason;
        if (nativeItem.isEmpty()) {
            if (starter.CallFileManager(QStringLiteral("ShowFolders"), {FileUri(nativeFolder)},
                                        reason))
                return true;
        } else if (starter.CallFileManager(QStringLiteral("ShowItems"), {FileUri(nativeItem)},
                                           reason)) {
            return true;
        }
        // A service that refuses still leaves xdg-open to try.
    }
    const QByteArray program = starter.FindProgram("xdg-open");
    if (program.isEmpty()) {
        why =
            fail + QStringLiteral("\r\n(ファイル マネージャーのサービスも xdg-open もありません)");
        return false;
    }
    // xdg-open cannot choose an item: it opens the folder that holds it.
    int error = 0;
    if (starter.Start(program, {nativeFolder}, QByteArray(), error)) return true;
    why = fail + QStringLiteral("\r\n(xdg-open: ") + ErrorText(error) + u')';
    return false;
}

bool OpenTerminal(ProcessStarter& starter, const QByteArray& nativeFolder, QString& why) {
    QList<QByteArray> names{"x-terminal-emulator"};
    if (const char* t = std::getenv("TERMINAL"); t && *t) names << QByteArray(t);
    for (const char* n : kTerminals) names << QByteArray(n);
    for (const QByteArray& name : names) {
        const QByteArray program = starter.FindProgram(name);
        if (program.isEmpty()) continue;
        // The terminal's shell starts in its working folder.
        int error = 0;
        if (starter.Start(program, {}, nativeFolder, error)) return true;
        why = QStringLiteral("端末を開けません: ") + Shown(nativeFolder) + QStringLiteral("\r\n(") +
              QString::fromLocal8Bit(name) + QStringLiteral(": ") + ErrorText(error) + u')';
        return false;
    }
    why = QStringLiteral(
        "端末を開けません: 端末のプログラムが見つかりません "
        "(x-terminal-emulator、$TERMINAL、xterm など)");
    return false;
}

}  // namespace platform
