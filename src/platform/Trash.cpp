#include "platform/Trash.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDateTime>
#include <cerrno>

#include "platform/DriveMap.h"
#include "platform/MountTable.h"
#include "platform/NativeIo.h"
#include "platform/SafeWrite.h"

namespace platform {
namespace {

// Room left in a file name for ".trashinfo" and a counter.
constexpr qsizetype kMaxTrashName = 255 - 16;

QByteArray Parent(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

QByteArray Join(const QByteArray& folder, const char* name) {
    return (folder == "/" ? QByteArray() : folder) + '/' + name;
}

QByteArray HomeTrash() {
    QByteArray data = qgetenv("XDG_DATA_HOME");
    if (!data.startsWith('/')) {
        QByteArray home = qgetenv("HOME");
        if (!home.startsWith('/')) {
            const passwd* pw = ::getpwuid(::getuid());
            home = pw && pw->pw_dir ? QByteArray(pw->pw_dir) : QByteArray();
        }
        if (!home.startsWith('/')) return {};
        data = home + "/.local/share";
    }
    return NormaliseNative(data) + "/Trash";
}

// The device of the nearest folder of path that exists (links followed).
bool DeviceOfNearest(QByteArray path, dev_t& device) {
    struct stat st;
    for (;;) {
        if (::stat(path.constData(), &st) == 0) {
            device = st.st_dev;
            return true;
        }
        if (path == "/") return false;
        path = Parent(path);
    }
}

bool MakeTree(const QByteArray& path) {
    if (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST) return true;
    if (errno != ENOENT || path == "/") return false;
    return MakeTree(Parent(path)) && (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST);
}

// files/ and info/ of a trash, made where missing; real folders the user may write, on the
// device of what goes in.
bool ReadySubfolders(const QByteArray& root, dev_t device, int& error) {
    for (const char* sub : {"files", "info"}) {
        const QByteArray path = root + '/' + sub;
        struct stat st;
        if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
            error = errno;
            return false;
        }
        if (::lstat(path.constData(), &st) != 0) {
            error = errno;
            return false;
        }
        if (!S_ISDIR(st.st_mode)) {
            error = ENOTDIR;
            return false;
        }
        if (st.st_dev != device) {
            error = EXDEV;
            return false;
        }
        if (::access(path.constData(), W_OK | X_OK) != 0) {
            error = errno;
            return false;
        }
    }
    return true;
}

// A top folder's trash of this user: made 0700 where missing, and only used when it is a
// real folder of the user's own on the same device.
bool ReadyTopTrash(const QByteArray& root, dev_t device, int& error) {
    struct stat st;
    if (::mkdir(root.constData(), 0700) != 0 && errno != EEXIST) {
        error = errno;
        return false;
    }
    if (::lstat(root.constData(), &st) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || st.st_dev != device) {
        error = EACCES;
        return false;
    }
    return ReadySubfolders(root, device, error);
}

QByteArray TrashName(const QByteArray& lastName) {
    if (lastName.size() <= kMaxTrashName) return lastName;
    // Cut between characters, not inside one.
    qsizetype cut = kMaxTrashName;
    while (cut > 0 && (uchar(lastName[cut]) & 0xC0) == 0x80) --cut;
    return lastName.left(cut > 0 ? cut : kMaxTrashName);
}

// The path with its folders' links resolved (the entry itself is never followed), so that the
// top folder found by walking up is the real one and the recorded path leads back.
QByteArray ResolvedPath(const QByteArray& nativePath) {
    const QByteArray path = NormaliseNative(nativePath);
    if (path == "/" || !path.startsWith('/')) return path;
    const QByteArray folder = RealPath(Parent(path));
    if (folder.isEmpty()) return path;
    return (folder == "/" ? QByteArray() : folder) + '/' + LastName(path);
}

bool RenameNoReplace(int fromDir, const QByteArray& from, const QByteArray& to) {
    if (::renameat2(fromDir, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    // File systems without the flag: the caller saw no entry at the target just before.
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat st;
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(fromDir, from.constData(), AT_FDCWD, to.constData()) == 0;
}

}  // namespace

TrashPlace FindTrash(const QByteArray& nativePath, int* error) {
    int e = 0;
    const auto fail = [&](int code) {
        if (error) *error = code;
        return TrashPlace{};
    };
    const QByteArray path = ResolvedPath(nativePath);
    struct stat st;
    if (!path.startsWith('/') || ::lstat(path.constData(), &st) != 0)
        return fail(errno ? errno : ENOENT);
    const dev_t device = st.st_dev;

    const QByteArray home = HomeTrash();
    dev_t homeDevice = 0;
    if (!home.isEmpty() && DeviceOfNearest(home, homeDevice) && homeDevice == device) {
        if (!MakeTree(home)) return fail(errno);
        if (!ReadySubfolders(home, device, e)) return fail(e);
        return {home, {}};
    }

    // The top folder of the path's file system: the highest folder on its device.
    QByteArray topdir = path;
    while (topdir != "/") {
        const QByteArray parent = Parent(topdir);
        if (::stat(parent.constData(), &st) != 0 || st.st_dev != device) break;
        topdir = parent;
    }
    const QByteArray uid = QByteArray::number(qulonglong(::getuid()));
    const QByteArray shared = Join(topdir, ".Trash");
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) &&
        st.st_dev == device) {
        const QByteArray root = shared + '/' + uid;
        if (ReadyTopTrash(root, device, e)) return {root, topdir};
    }
    const QByteArray own = Join(topdir, ".Trash-") + uid;
    if (ReadyTopTrash(own, device, e)) return {own, topdir};
    return fail(e);
}

QByteArray MountBelow(const QByteArray& nativeFolder, bool* ok) {
    bool read = false;
    const QList<MountEntry> mounts = ParseMountInfo(ReadMountInfo(MountSources{}, &read));
    if (ok) *ok = read;
    QByteArray folder = RealPath(nativeFolder);
    if (folder.isEmpty()) folder = NormaliseNative(nativeFolder);
    const QByteArray prefix = folder == "/" ? folder : folder + '/';
    for (const MountEntry& m : mounts) {
        if (m.mountPoint == folder ||
            (m.mountPoint.size() > prefix.size() && m.mountPoint.startsWith(prefix)))
            return m.mountPoint;
    }
    return {};
}

QByteArray TrashInfoPath(const QByteArray& path) {
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(path.size() * 3);
    for (const char c : path) {
        const uchar b = uchar(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            b == '-' || b == '.' || b == '_' || b == '~' || b == '/') {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
    return out;
}

bool MoveToTrash(const TrashPlace& trash, const QByteArray& nativePath, QByteArray* trashedAs,
                 int* error) {
    const auto fail = [&](int code) {
        if (error) *error = code;
        return false;
    };
    if (!trash.valid()) return fail(ENOENT);
    const QByteArray path = ResolvedPath(nativePath);
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) return fail(errno);
    if (S_ISDIR(st.st_mode)) {
        // A mount moved along with its folder would leave the desktop's view of it behind.
        struct stat parent;
        bool ok = false;
        if (path == "/" || ::stat(Parent(path).constData(), &parent) != 0 ||
            parent.st_dev != st.st_dev || !MountBelow(path, &ok).isEmpty() || !ok) {
            return fail(EBUSY);
        }
    }
    return MoveToTrashAt(trash, AT_FDCWD, path, path, nullptr, trashedAs, error);
}

bool MoveToTrashAt(const TrashPlace& trash, int parentFd, const QByteArray& name,
                   const QByteArray& path, const Identity* expect, QByteArray* trashedAs,
                   int* error) {
    const auto fail = [&](int code) {
        if (error) *error = code;
        return false;
    };
    if (!trash.valid()) return fail(ENOENT);
    if (expect && expect->known()) {
        struct stat st;
        if (::fstatat(parentFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return fail(errno);
        if (quint64(st.st_dev) != expect->device || quint64(st.st_ino) != expect->inode)
            return fail(ESTALE);
    }
    QByteArray recorded = path;
    if (!trash.topdir.isEmpty()) {
        const QByteArray prefix = trash.topdir == "/" ? trash.topdir : trash.topdir + '/';
        if (!path.startsWith(prefix)) return fail(EXDEV);
        recorded = path.mid(prefix.size());
    }
    const QByteArray text =
        "[Trash Info]\nPath=" + TrashInfoPath(recorded) + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")).toLatin1() +
        '\n';
    const QByteArray trashName = TrashName(LastName(path));
    for (int n = 1; n < 100000; ++n) {
        const QByteArray candidate = n == 1 ? trashName : trashName + '.' + QByteArray::number(n);
        const QByteArray info = trash.root + "/info/" + candidate + ".trashinfo";
        const int fd =
            ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail(errno);
        }
        const QByteArray target = trash.files() + '/' + candidate;
        struct stat taken;
        if (::lstat(target.constData(), &taken) == 0) {
            ::close(fd);
            ::unlink(info.constData());
            continue;
        }
        if (!WriteFully(fd, text.constData(), text.size()) || ::fsync(fd) != 0) {
            const int e = errno;
            CloseQuietly(fd);
            ::unlink(info.constData());
            return fail(e);
        }
        if (::close(fd) != 0) {
            const int e = errno;
            ::unlink(info.constData());
            return fail(e);
        }
        if (!RenameNoReplace(parentFd, name, target)) {
            const int e = errno;
            ::unlink(info.constData());
            if (e == EEXIST || e == ENOTEMPTY) continue;  // taken meanwhile
            return fail(e);
        }
        if (trashedAs) *trashedAs = target;
        return true;
    }
    return fail(EEXIST);
}

}  // namespace platform
