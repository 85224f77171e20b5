#include "platform/DirReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/NativeIo.h"
#include "platform/PathMap.h"

#ifndef STATX_MNT_ID
#define STATX_MNT_ID 0x00001000U
#endif

namespace platform {

struct DirNode {
    DirRef parent;
    QByteArray name;
    int fd = -1;
    size_t users = 0;  // subfolders still to be opened, and openings that go through it
    bool permanent = false;
    std::shared_ptr<std::atomic<int>> kept;

    ~DirNode() {
        if (fd >= 0 && !permanent) {
            CloseQuietly(fd);
            if (kept) --*kept;
        }
        // A chain of a hundred thousand folders is let go one by one, not recursively.
        DirRef p = std::move(parent);
        while (p && p.use_count() == 1) {
            DirRef next = std::move(p->parent);
            p = std::move(next);
        }
    }
};

namespace {

// openat2 is missing on old kernels and refused by some sandboxes; then every name is
// opened with openat and the mount is checked afterwards.
std::atomic<bool> g_noOpenat2{false};

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;

bool StatFolder(int fd, struct statx& stx) {
    return ::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC,
                   STATX_TYPE | STATX_INO | STATX_MNT_ID | STATX_BLOCKS, &stx) == 0;
}

qint64 Allocated(const struct statx& stx) {
    return (stx.stx_mask & STATX_BLOCKS) ? qint64(stx.stx_blocks) * 512 : 0;
}

quint64 DeviceOf(const struct statx& stx) {
    return quint64(makedev(stx.stx_dev_major, stx.stx_dev_minor));
}

}  // namespace

void ForceOpenatFallback(bool force) {
    g_noOpenat2.store(force);
}

void ReadOpenatSetting() {
    const char* env = std::getenv("FOLDEX_NO_OPENAT2");
    if (env && env[0] == '1') g_noOpenat2.store(true);
}

DirReader::DirReader(const QByteArray& nativeRoot) {
    ReadOpenatSetting();
    rootFd_ = ::open(nativeRoot.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd_ < 0) {
        error_ = errno;
        return;
    }
    struct statx stx;
    if (!StatFolder(rootFd_, stx)) {
        error_ = errno;
        CloseQuietly(rootFd_);
        rootFd_ = -1;
        return;
    }
    rootDevice_ = DeviceOf(stx);
    rootInode_ = quint64(stx.stx_ino);
    rootMountKnown_ = (stx.stx_mask & STATX_MNT_ID) != 0;
    rootMount_ = rootMountKnown_ ? quint64(stx.stx_mnt_id) : 0;
    kept_ = std::make_shared<std::atomic<int>>(0);
    rootNode_ = std::make_shared<DirNode>();
    rootNode_->fd = rootFd_;
    rootNode_->permanent = true;
}

DirReader::~DirReader() {
    rootNode_.reset();
    CloseQuietly(rootFd_);
}

int OpenSubfolder(int dirFd, const QByteArray& name, int& error) {
    if (!g_noOpenat2.load(std::memory_order_relaxed)) {
        struct open_how how;
        std::memset(&how, 0, sizeof how);
        how.flags = quint64(kDirFlags);
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_BENEATH;
        // EAGAIN: a rename or mount raced the lookup; a few tries, then the plain way with
        // its own checks.
        for (int tries = 0; tries < 8; ++tries) {
            const long fd = ::syscall(SYS_openat2, dirFd, name.constData(), &how, sizeof how);
            if (fd >= 0) return int(fd);
            if (errno == EINTR || errno == EAGAIN) continue;
            if (errno != ENOSYS && errno != EPERM) {
                error = errno;
                return -1;
            }
            g_noOpenat2.store(true, std::memory_order_relaxed);
            break;
        }
    }
    for (;;) {
        const int fd = ::openat(dirFd, name.constData(), kDirFlags);
        if (fd >= 0) return fd;
        if (errno == EINTR) continue;
        error = errno;
        return -1;
    }
}

int DirReader::openOne(int dirFd, const QByteArray& name, int& error) const {
    return OpenSubfolder(dirFd, name, error);
}

void DirReader::release(DirNode* node) {
    if (node->users > 0) --node->users;
    if (node->users == 0 && !node->permanent && node->fd >= 0) {
        CloseQuietly(node->fd);
        node->fd = -1;
        --*kept_;
    }
}

int DirReader::openChild(const DirRef& parent, const QByteArray& name, int& error,
                         struct statx* refused) {
    // The nearest folder with an open descriptor, and the names from there down.
    std::vector<const QByteArray*> names{&name};
    DirNode* base = parent.get();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        while (base->fd < 0 && base->parent) {
            names.push_back(&base->name);
            base = base->parent.get();
        }
        ++base->users;  // held open while it is used
    }
    int fd = base->fd;
    bool owned = false;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        const int next = openOne(fd, **it, error);
        // The folder itself may not be opened: what its entry says of it, from its parent.
        if (next < 0 && refused && *it == &name &&
            ::statx(fd, name.constData(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                    STATX_TYPE | STATX_BLOCKS | STATX_MNT_ID, refused) != 0)
            refused->stx_mask = 0;
        if (owned) CloseQuietly(fd);
        fd = next;
        owned = true;
        if (fd < 0) break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    release(base);
    return fd;
}

void DirReader::claim(const DirRef& node, size_t count) {
    if (!node) return;
    std::lock_guard<std::mutex> lock(mutex_);
    node->users += count + 1;
    release(node.get());
}

void DirReader::drop(const DirRef& parent) {
    if (!parent) return;
    std::lock_guard<std::mutex> lock(mutex_);
    release(parent.get());
}

void DirReader::read(const DirRef& parent, const QByteArray& name, DirListing& out,
                     const std::atomic<bool>* cancel) {
    out = DirListing();
    if (rootFd_ < 0) {
        out.error = error_ ? error_ : EBADF;
        return;
    }
    int fd = -1;
    int error = 0;
    struct statx refused;
    refused.stx_mask = 0;
    if (!parent) {
        // The root is read through its own descriptor: a root that may be read but not
        // searched (r--) is listed as such a folder below it would be.
        fd = ::fcntl(rootFd_, F_DUPFD_CLOEXEC, 0);
        if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0) error = errno;
    } else {
        fd = openChild(parent, name, error, &refused);
        // This subfolder no longer needs its parent's descriptor.
        drop(parent);
    }
    if (fd < 0 || error != 0) {
        CloseQuietly(fd);
        out.error = error ? error : EBADF;
        // A folder that may not be read still occupies its own blocks (du counts them), when
        // it is a real folder of this drive and not a mount point or a folder gone or replaced.
        const bool refusedHere =
            out.error != EXDEV && out.error != ENOENT && out.error != ENOTDIR && out.error != ELOOP;
        if (refusedHere && (refused.stx_mask & STATX_TYPE) && S_ISDIR(refused.stx_mode) &&
            DeviceOf(refused) == rootDevice_ &&
            (!rootMountKnown_ || !(refused.stx_mask & STATX_MNT_ID) ||
             quint64(refused.stx_mnt_id) == rootMount_))
            out.ownAlloc = Allocated(refused);
        return;
    }
    struct statx stx;
    if (!StatFolder(fd, stx)) {
        out.error = errno;
        CloseQuietly(fd);
        return;
    }
    out.device = DeviceOf(stx);
    out.inode = quint64(stx.stx_ino);
    out.ownAlloc = Allocated(stx);
    // Never onto another device, and never across a mount of the same one (a bind mount
    // that appeared during the scan) where openat2 could not refuse it.
    const bool otherMount =
        rootMountKnown_ && (stx.stx_mask & STATX_MNT_ID) && quint64(stx.stx_mnt_id) != rootMount_;
    if (parent && (out.device != rootDevice_ || otherMount)) {
        out.error = EXDEV;
        CloseQuietly(fd);
        return;
    }
    // getdents64 straight into a large buffer: fewer calls than readdir's, no DIR stream.
    alignas(8) static thread_local char buffer[1 << 16];
    // Allocated blocks and links come with the same call: the room a file really takes.
    const unsigned statMask = STATX_TYPE | STATX_SIZE | STATX_BLOCKS | STATX_INO | STATX_NLINK;
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
                // A real directory by its entry: its device is checked when it is opened.
                DirListing::Sub sub;
                sub.nativeName = QByteArray(n);
                sub.name = NameFromNative(sub.nativeName);
                out.dirs.push_back(std::move(sub));
                continue;
            }
            // Not a directory by its entry, or a file system that does not say: the stat
            // tells, asked for no more than the type and size. An entry that cannot be
            // examined counts as a file of 0 bytes, and the folder as not fully read.
            struct statx e;
            if (::statx(fd, n, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, statMask, &e) != 0) {
                if (errno == ENOENT) continue;  // gone since it was read
                if (out.error == 0) out.error = errno;
                out.fileSizes.push_back(0);
                out.fileAlloc.push_back(0);
                if (detail_) {
                    FileDetail f;
                    f.nativeName = QByteArray(n);
                    f.examined = false;
                    out.files.push_back(std::move(f));
                }
                continue;
            }
            if (!S_ISDIR(e.stx_mode)) {
                if (e.stx_nlink > 1 && (e.stx_mask & STATX_INO))
                    out.linked.push_back(
                        {quint32(out.fileSizes.size()), quint32(e.stx_nlink), quint64(e.stx_ino)});
                out.fileSizes.push_back(qint64(e.stx_size));
                out.fileAlloc.push_back(Allocated(e));
                if (detail_) {
                    FileDetail f;
                    f.nativeName = QByteArray(n);
                    f.size = qint64(e.stx_size);
                    f.allocated = Allocated(e);
                    f.inode = quint64(e.stx_ino);
                    f.links = e.stx_nlink;
                    f.regular = S_ISREG(e.stx_mode);
                    out.files.push_back(std::move(f));
                }
                continue;
            }
            DirListing::Sub sub;
            sub.nativeName = QByteArray(n);
            sub.name = NameFromNative(sub.nativeName);
            out.dirs.push_back(std::move(sub));
        }
    }
    if (out.ok && !out.dirs.empty()) {
        auto node = parent ? std::make_shared<DirNode>() : rootNode_;
        if (parent) {
            node->parent = parent;
            node->name = name;
            node->kept = kept_;
            if (kept_->load() < kKeptBudget) {
                node->fd = fd;
                fd = -1;
                ++*kept_;
            }
        }
        out.node = std::move(node);
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
