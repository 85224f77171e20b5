#include "platform/Trash.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <QDateTime>
#include <cerrno>
#include <utility>

#include "platform/DriveMap.h"
#include "platform/MountTable.h"
#include "platform/NativeIo.h"
#include "platform/SafeWrite.h"

#ifndef STATX_MNT_ID
#define STATX_MNT_ID 0x00001000U
#endif

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

// Trash folders are held by descriptor only; a link where one should be is refused.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// $XDG_DATA_HOME, else ~/.local/share: the home trash's folder.
QByteArray DataFolder() {
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
    return NormaliseNative(data);
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

// An open folder's place: its device, inode and, where the kernel tells it, its mount.
struct Place {
    dev_t device = 0;
    quint64 inode = 0;
    quint64 mount = 0;
    bool mountKnown = false;
};

bool Examine(int fd, Place& place) {
    struct statx stx;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, STATX_INO | STATX_MNT_ID, &stx) != 0)
        return false;
    place.device = makedev(stx.stx_dev_major, stx.stx_dev_minor);
    place.inode = quint64(stx.stx_ino);
    place.mountKnown = (stx.stx_mask & STATX_MNT_ID) != 0;
    place.mount = place.mountKnown ? quint64(stx.stx_mnt_id) : 0;
    return true;
}

// The top folder of an open folder's file system, reached through "..": the highest folder
// on its device and mount. -1 with errno when the folder cannot be examined.
int OpenTop(int folderFd, dev_t& device) {
    int fd = ::openat(folderFd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    Place here;
    if (fd < 0) return -1;
    if (!Examine(fd, here)) {
        CloseQuietly(fd);
        return -1;
    }
    device = here.device;
    for (;;) {
        const int up = ::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        Place above;
        if (up < 0) break;
        if (!Examine(up, above) || above.device != here.device || above.inode == here.inode ||
            (above.mountKnown && here.mountKnown && above.mount != here.mount)) {
            ::close(up);
            break;
        }
        ::close(fd);
        fd = up;
        here = above;
    }
    return fd;
}

// A folder of the trash below the open folder parentFd, made 0700 where missing: a real
// folder (never a link) on the device of what goes in. With own, also the user's alone: theirs
// and closed to everyone else (0700). -1 with the reason in error.
int OpenTrashFolder(int parentFd, const QByteArray& name, dev_t device, bool own, int& error) {
    if (::mkdirat(parentFd, name.constData(), 0700) != 0 && errno != EEXIST) {
        error = errno;
        return -1;
    }
    const int fd = ::openat(parentFd, name.constData(), kFolderFlags);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat st;
    error = 0;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISDIR(st.st_mode))
        error = ENOTDIR;
    else if (st.st_dev != device)
        error = EXDEV;
    else if (own && (st.st_uid != ::getuid() || (st.st_mode & 0777) != 0700))
        error = EACCES;
    if (error == 0) return fd;
    ::close(fd);
    return -1;
}

// files/ and info/ of the trash rootFd, made where missing, held open; folders the user may
// write, on the device of what goes in.
bool OpenSubfolders(int rootFd, dev_t device, TrashPlace& trash, int& error) {
    for (const char* sub : {"files", "info"}) {
        const int fd = OpenTrashFolder(rootFd, sub, device, false, error);
        if (fd < 0) return false;
        (sub[0] == 'f' ? trash.filesFd : trash.infoFd) = fd;
        if (::faccessat(rootFd, sub, W_OK | X_OK, 0) != 0) {
            error = errno;
            return false;
        }
    }
    return true;
}

// The trash at rootFd (taken over) when its subfolders can be used, recorded as root.
bool Ready(int rootFd, const QByteArray& root, const QByteArray& topdir, dev_t device,
           TrashPlace& trash, int& error) {
    TrashPlace t;
    const bool ok = OpenSubfolders(rootFd, device, t, error);
    ::close(rootFd);
    if (!ok) return false;
    t.root = root;
    t.topdir = topdir;
    trash = std::move(t);
    return true;
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

bool RenameNoReplace(int fromDir, const QByteArray& from, int toDir, const QByteArray& to) {
    if (::renameat2(fromDir, from.constData(), toDir, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    // File systems without the flag: the caller saw no entry at the target just before.
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat st;
    if (::fstatat(toDir, to.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(fromDir, from.constData(), toDir, to.constData()) == 0;
}

}  // namespace

TrashPlace::~TrashPlace() {
    CloseQuietly(filesFd);
    CloseQuietly(infoFd);
}

TrashPlace::TrashPlace(TrashPlace&& other) noexcept
    : root(std::move(other.root)),
      topdir(std::move(other.topdir)),
      filesFd(std::exchange(other.filesFd, -1)),
      infoFd(std::exchange(other.infoFd, -1)) {}

TrashPlace& TrashPlace::operator=(TrashPlace&& other) noexcept {
    if (this != &other) {
        CloseQuietly(filesFd);
        CloseQuietly(infoFd);
        root = std::move(other.root);
        topdir = std::move(other.topdir);
        filesFd = std::exchange(other.filesFd, -1);
        infoFd = std::exchange(other.infoFd, -1);
    }
    return *this;
}

TrashPlace FindTrash(const QByteArray& nativePath, int* error) {
    const QByteArray path = ResolvedPath(nativePath);
    struct stat st;
    int fd = -1;
    if (!path.startsWith('/') || ::lstat(path.constData(), &st) != 0 ||
        (fd = ::open(Parent(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)) < 0) {
        if (error) *error = errno ? errno : ENOENT;
        return {};
    }
    TrashPlace trash = FindTrashAt(fd, error);
    ::close(fd);
    return trash;
}

TrashPlace FindTrashAt(int folderFd, int* error) {
    int e = 0;
    const auto fail = [&](int code) {
        if (error) *error = code;
        return TrashPlace{};
    };
    dev_t device = 0;
    const int top = OpenTop(folderFd, device);
    if (top < 0) return fail(errno);
    TrashPlace trash;

    const QByteArray data = DataFolder();
    dev_t homeDevice = 0;
    if (!data.isEmpty() && DeviceOfNearest(data + "/Trash", homeDevice) && homeDevice == device) {
        ::close(top);
        // The data folder is the user's own, links and all; from there on, no link.
        if (!MakeTree(data)) return fail(errno);
        const int dataFd = ::open(data.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (dataFd < 0) return fail(errno);
        const int root = OpenTrashFolder(dataFd, "Trash", device, false, e);
        ::close(dataFd);
        if (root < 0 || !Ready(root, data + "/Trash", {}, device, trash, e)) return fail(e);
        return trash;
    }

    const QByteArray topdir = PathOfDescriptor(top);
    if (!topdir.startsWith('/')) {
        ::close(top);
        return fail(ENAMETOOLONG);
    }
    const QByteArray uid = QByteArray::number(qulonglong(::getuid()));
    // An administrator's .Trash is shared: only a real sticky folder, never a link.
    const int shared = ::openat(top, ".Trash", kFolderFlags);
    if (shared >= 0) {
        struct stat st;
        if (::fstat(shared, &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) &&
            st.st_dev == device) {
            const int root = OpenTrashFolder(shared, uid, device, true, e);
            if (root >= 0 && Ready(root, Join(topdir, ".Trash/") + uid, topdir, device, trash, e)) {
                ::close(shared);
                ::close(top);
                return trash;
            }
        }
        ::close(shared);
    }
    const QByteArray own = ".Trash-" + uid;
    const int root = OpenTrashFolder(top, own, device, true, e);
    ::close(top);
    if (root < 0 || !Ready(root, Join(topdir, own.constData()), topdir, device, trash, e))
        return fail(e);
    return trash;
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
    const int parentFd = ::open(Parent(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0) return fail(errno);
    const bool moved =
        MoveToTrashAt(trash, parentFd, LastName(path), path, nullptr, trashedAs, error);
    ::close(parentFd);
    return moved;
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
        const QByteArray info = candidate + ".trashinfo";
        const int fd = ::openat(trash.infoFd, info.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail(errno);
        }
        struct stat taken;
        if (::fstatat(trash.filesFd, candidate.constData(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
            ::close(fd);
            ::unlinkat(trash.infoFd, info.constData(), 0);
            continue;
        }
        if (!WriteFully(fd, text.constData(), text.size()) || ::fsync(fd) != 0) {
            const int e = errno;
            CloseQuietly(fd);
            ::unlinkat(trash.infoFd, info.constData(), 0);
            return fail(e);
        }
        if (::close(fd) != 0) {
            const int e = errno;
            ::unlinkat(trash.infoFd, info.constData(), 0);
            return fail(e);
        }
        if (!RenameNoReplace(parentFd, name, trash.filesFd, candidate)) {
            const int e = errno;
            ::unlinkat(trash.infoFd, info.constData(), 0);
            if (e == EEXIST || e == ENOTEMPTY) continue;  // taken meanwhile
            return fail(e);
        }
        if (trashedAs) *trashedAs = trash.files() + '/' + candidate;
        return true;
    }
    return fail(EEXIST);
}

}  // namespace platform
