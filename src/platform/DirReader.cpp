#include "platform/DirReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/NativeIo.h"
#include "platform/PathMap.h"

namespace platform {
namespace {

// openat2 is missing on old kernels and refused by some sandboxes; then the walk goes
// one name at a time.
std::atomic<bool> g_noOpenat2{false};

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;

}  // namespace

DirReader::DirReader(const QByteArray& nativeRoot) {
    rootFd_ = ::open(nativeRoot.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd_ < 0) {
        error_ = errno;
        return;
    }
    struct stat st;
    if (::fstat(rootFd_, &st) != 0) {
        error_ = errno;
        CloseQuietly(rootFd_);
        rootFd_ = -1;
        return;
    }
    rootDevice_ = quint64(st.st_dev);
    rootInode_ = quint64(st.st_ino);
}

DirReader::~DirReader() {
    CloseQuietly(rootFd_);
}

int DirReader::openRelative(const QByteArray& relative, int& error) const {
    error = 0;
    if (relative.isEmpty()) {
        const int fd = ::openat(rootFd_, ".", kDirFlags);
        if (fd < 0) error = errno;
        return fd;
    }
    if (!g_noOpenat2.load(std::memory_order_relaxed)) {
        struct open_how how;
        std::memset(&how, 0, sizeof how);
        how.flags = quint64(kDirFlags);
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_BENEATH;
        for (;;) {
            const long fd = ::syscall(SYS_openat2, rootFd_, relative.constData(), &how, sizeof how);
            if (fd >= 0) return int(fd);
            if (errno == EINTR) continue;
            if (errno == EAGAIN) break;  // the kernel asks for the slow way
            if (errno != ENOSYS && errno != EPERM) {
                error = errno;
                return -1;
            }
            g_noOpenat2.store(true, std::memory_order_relaxed);
            break;
        }
    }
    // One name at a time, never through a link, never onto another device.
    int fd = ::openat(rootFd_, ".", kDirFlags);
    qsizetype start = 0;
    while (fd >= 0 && start <= relative.size()) {
        qsizetype slash = relative.indexOf('/', start);
        if (slash < 0) slash = relative.size();
        const QByteArray name = relative.mid(start, slash - start);
        start = slash + 1;
        if (name.isEmpty()) continue;
        const int next = ::openat(fd, name.constData(), kDirFlags);
        const int e = errno;
        CloseQuietly(fd);
        fd = next;
        if (fd < 0) {
            error = e;
            return -1;
        }
        struct stat st;
        if (::fstat(fd, &st) != 0 || quint64(st.st_dev) != rootDevice_) {
            CloseQuietly(fd);
            error = EXDEV;
            return -1;
        }
    }
    if (fd < 0) error = errno;
    return fd;
}

void DirReader::read(const QByteArray& relative, DirListing& out,
                     const std::atomic<bool>* cancel) const {
    out = DirListing();
    if (rootFd_ < 0) {
        out.error = error_ ? error_ : EBADF;
        return;
    }
    int error = 0;
    const int fd = openRelative(relative, error);
    if (fd < 0) {
        out.error = error;
        return;
    }
    struct stat st;
    // A folder on another device (a mount the path did not show, a btrfs subvolume) is
    // not read: the walk never leaves the drive's device.
    if (!relative.isEmpty() && (::fstat(fd, &st) != 0 || quint64(st.st_dev) != rootDevice())) {
        out.error = EXDEV;
        CloseQuietly(fd);
        return;
    }
    // getdents64 straight into a large buffer: fewer calls than readdir's, no DIR stream.
    alignas(8) static thread_local char buffer[1 << 16];
    out.ok = true;
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            out.ok = false;
            out.error = ECANCELED;
            break;
        }
        const long got = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            // A folder that breaks off while it is read keeps what was read.
            out.error = errno;
            if (out.fileSizes.empty() && out.dirs.empty()) out.ok = false;
            break;
        }
        if (got == 0) break;
        for (long pos = 0; pos < got;) {
            const auto* d = reinterpret_cast<const struct dirent64*>(buffer + pos);
            pos += d->d_reclen;
            const char* n = d->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
            if (d->d_type == DT_DIR) {
                // A real directory by its entry: its device is checked when it is opened,
                // so no stat is needed here.
                DirListing::Sub sub;
                sub.nativeName = QByteArray(n);
                sub.name = NameFromNative(sub.nativeName);
                sub.inode = quint64(d->d_ino);
                out.dirs.push_back(std::move(sub));
                continue;
            }
            // Not a directory by its entry, or a file system that does not say: the stat
            // tells. An entry that cannot be examined counts as a file of 0 bytes.
            if (::fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT) continue;  // gone since it was read
                out.fileSizes.push_back(0);
                continue;
            }
            if (!S_ISDIR(st.st_mode)) {
                out.fileSizes.push_back(qint64(st.st_size));
                continue;
            }
            DirListing::Sub sub;
            sub.nativeName = QByteArray(n);
            sub.name = NameFromNative(sub.nativeName);
            sub.device = quint64(st.st_dev);
            sub.inode = quint64(st.st_ino);
            sub.examined = true;
            out.dirs.push_back(std::move(sub));
        }
    }
    CloseQuietly(fd);
}

bool DeviceGone(int error) {
    return error == ENODEV || error == ENXIO || error == ENOMEDIUM || error == ESTALE ||
           error == EIO;
}

bool StdErrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace platform
