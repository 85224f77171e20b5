#include "platform/FolderChain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "platform/DirReader.h"
#include "platform/MountTable.h"
#include "platform/NativeIo.h"

#ifndef STATX_MNT_ID
#define STATX_MNT_ID 0x00001000U
#endif

namespace platform {
namespace {

bool Examine(int fd, Identity& id, quint64& mount, bool& mountKnown, int& error) {
    struct statx stx;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT,
                STATX_TYPE | STATX_INO | STATX_MNT_ID, &stx) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISDIR(stx.stx_mode)) {
        error = ENOTDIR;
        return false;
    }
    id.device = quint64(makedev(stx.stx_dev_major, stx.stx_dev_minor));
    id.inode = quint64(stx.stx_ino);
    mountKnown = (stx.stx_mask & STATX_MNT_ID) != 0;
    mount = mountKnown ? quint64(stx.stx_mnt_id) : 0;
    return true;
}

// Kernels that cannot tell a folder's mount: the table as it is now.
bool IsMountPointNow(int fd) {
    const QByteArray path = PathOfDescriptor(fd);
    if (path.isEmpty()) return true;  // cannot tell: not entered
    bool read = false;
    const QList<MountEntry> mounts = ParseMountInfo(ReadMountInfo(MountSources{}, &read));
    if (!read) return true;
    for (const MountEntry& m : mounts)
        if (m.mountPoint == path) return true;
    return false;
}

}  // namespace

QByteArray PathOfDescriptor(int fd) {
    QByteArray out(4096, '\0');
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    for (;;) {
        const ssize_t n = ::readlink(link.constData(), out.data(), size_t(out.size()));
        if (n < 0) return {};
        if (n < out.size()) {
            out.truncate(n);
            // A folder removed meanwhile is shown with " (deleted)": no path then.
            return out.startsWith('/') && !out.endsWith(" (deleted)") ? out : QByteArray();
        }
        out.resize(out.size() * 2);
    }
}

FolderChain::~FolderChain() {
    Reset();
}

void FolderChain::Reset() {
    for (Level& l : levels_) CloseQuietly(l.fd);
    levels_.clear();
    firstOpen_ = 1;
    lost_ = false;
}

bool FolderChain::OpenRoot(const QByteArray& nativeRoot, const Identity* expect, int* error) {
    Reset();
    ReadOpenatSetting();
    int e = 0;
    Level root;
    root.fd = ::open(nativeRoot.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root.fd < 0) {
        e = errno;
    } else if (!Examine(root.fd, root.id, root.mount, root.mountKnown, e)) {
        CloseQuietly(root.fd);
        root.fd = -1;
    } else if (expect && expect->known() && !(root.id == *expect)) {
        CloseQuietly(root.fd);
        root.fd = -1;
        e = ESTALE;
    }
    if (error) *error = e;
    if (root.fd < 0) return false;
    levels_.push_back(root);
    return true;
}

int FolderChain::OpenChild(const Level& parent, const QByteArray& name, Level& out,
                           int& error) const {
    if (name.isEmpty() || name == "." || name == ".." || name.contains('/')) {
        error = EINVAL;
        return -1;
    }
    const int fd = OpenSubfolder(parent.fd, name, error);
    if (fd < 0) return -1;
    out.fd = fd;
    bool ok = Examine(fd, out.id, out.mount, out.mountKnown, error);
    if (ok && out.id.device != parent.id.device) {
        error = EXDEV;
        ok = false;
    }
    if (ok &&
        ((out.mountKnown && parent.mountKnown) ? out.mount != parent.mount : IsMountPointNow(fd))) {
        error = EXDEV;
        ok = false;
    }
    if (!ok) {
        CloseQuietly(fd);
        out.fd = -1;
        return -1;
    }
    return fd;
}

bool FolderChain::Enter(const QByteArray& name, const Identity* expect, int* error) {
    int e = 0;
    if (!valid()) {
        if (error) *error = lost_ ? ESTALE : EBADF;
        return false;
    }
    Level child;
    if (OpenChild(levels_.back(), name, child, e) < 0) {
        if (error) *error = e;
        return false;
    }
    if (expect && expect->known() && !(child.id == *expect)) {
        CloseQuietly(child.fd);
        if (error) *error = ESTALE;
        return false;
    }
    levels_.push_back(child);
    // Past the budget the shallowest held descriptor below the root goes.
    if (levels_.size() - firstOpen_ > size_t(kOpenBudget)) {
        CloseQuietly(levels_[firstOpen_].fd);
        levels_[firstOpen_].fd = -1;
        ++firstOpen_;
    }
    if (error) *error = 0;
    return true;
}

bool FolderChain::Leave(int* error) {
    if (levels_.size() <= 1 || lost_) {
        if (levels_.size() == 1) Reset();
        if (error) *error = lost_ ? ESTALE : 0;
        return !lost_;
    }
    Level gone = levels_.back();
    levels_.pop_back();
    Level& parent = levels_.back();
    int e = 0;
    if (parent.fd < 0) {
        // Let go for the budget: opened again from below and held to what it was.
        const int fd = ::openat(gone.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        Identity id;
        quint64 mount = 0;
        bool mountKnown = false;
        if (fd < 0) {
            e = errno;
        } else if (!Examine(fd, id, mount, mountKnown, e) || !(id == parent.id)) {
            CloseQuietly(fd);
            if (e == 0) e = ESTALE;
        } else {
            parent.fd = fd;
            --firstOpen_;
        }
        if (parent.fd < 0) lost_ = true;
    }
    CloseQuietly(gone.fd);
    if (firstOpen_ > levels_.size()) firstOpen_ = levels_.size();
    if (error) *error = lost_ ? (e ? e : ESTALE) : 0;
    return !lost_;
}

}  // namespace platform
