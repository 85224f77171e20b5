#include "platform/SafeWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>

#include "platform/FileSys.h"
#include "platform/NativeIo.h"

namespace platform {
namespace {

QByteArray FolderPart(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return ".";
    if (slash == 0) return "/";
    return path.left(slash);
}

// A file nobody may write, or that this user may not write, is kept as it is.
bool WriteProtected(int dirFd, const QByteArray& name, const struct stat& st) {
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
    return ::faccessat(dirFd, name.constData(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

// A link's contents; empty (with errno) when it cannot be read.
QByteArray LinkTarget(const QByteArray& link) {
    QByteArray out(4096, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::readlink(link.constData(), out.data(), size_t(out.size()));
        if (n < 0) return {};
        if (n < out.size()) return out.left(n);
        out.resize(out.size() * 2);
    }
}

}  // namespace

bool WriteFully(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

qint64 StreamDevice::writeData(const char* data, qint64 size) {
    if (WriteFully(fd_, data, size)) return size;
    setErrorString(ErrorText(errno));
    return -1;
}

ReplacingFile::~ReplacingFile() {
    cancel();
}

bool ReplacingFile::fail(int e) {
    if (error_ == 0) error_ = e != 0 ? e : EIO;
    return false;
}

Identity ReplacingFile::folderIdentity() const {
    struct stat st;
    if (dirFd_ < 0 || temp_.isEmpty() || ::fstat(dirFd_, &st) != 0) return {};
    return {quint64(st.st_dev), quint64(st.st_ino)};
}

bool ReplacingFile::open(const QByteArray& nativePath) {
    cancel();
    error_ = 0;
    QByteArray target = nativePath;
    struct stat st;
    bool exists = ::lstat(target.constData(), &st) == 0;
    // Written through a link, as a shell redirection would, rather than replacing it: to its
    // target, which is made when it does not exist yet.
    for (int links = 0; exists && S_ISLNK(st.st_mode); ++links) {
        const QByteArray next = LinkTarget(target);
        if (links >= 40 || next.isEmpty()) return fail(links >= 40 ? ELOOP : errno);
        target = next.startsWith('/') ? next : FolderPart(target) + '/' + next;
        exists = ::lstat(target.constData(), &st) == 0;
    }
    if (exists && S_ISDIR(st.st_mode)) return fail(EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        fd_ = ::open(target.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
        return fd_ >= 0 || fail(errno);
    }
    name_ = LastName(target);
    if (name_.isEmpty() || name_ == "." || name_ == "..") return fail(EISDIR);
    dirFd_ = ::open(FolderPart(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) return fail(errno);
    if (exists && WriteProtected(dirFd_, name_, st)) {
        cancel();
        return fail(EACCES);
    }
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = TemporaryName();
        fd_ = ::openat(dirFd_, temp_.constData(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, exists ? 0600 : 0666);
        if (fd_ < 0 && errno != EEXIST) {
            const int e = errno;
            temp_.clear();
            cancel();
            return fail(e);
        }
    }
    if (fd_ < 0) {
        temp_.clear();
        cancel();
        return fail(EEXIST);
    }
    // The old file's owner and permission bits stay (an owner only root may give, the group
    // where the writer belongs to it); a new file gets what the umask allows.
    if (exists && ::fchown(fd_, st.st_uid, st.st_gid) != 0)
        static_cast<void>(::fchown(fd_, uid_t(-1), st.st_gid));
    if (exists && ::fchmod(fd_, st.st_mode & 07777) != 0 && errno != EPERM) {
        const int e = errno;
        cancel();
        return fail(e);
    }
    return true;
}

bool ReplacingFile::write(const char* data, qsizetype size) {
    if (fd_ < 0) return fail(EBADF);
    if (error_ != 0) return false;
    return WriteFully(fd_, data, size) || fail(errno);
}

bool ReplacingFile::commit() {
    if (fd_ < 0) return fail(EBADF);
    if (error_ != 0) {
        cancel();
        return false;
    }
    // Delayed allocation may only find the disk full now.
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        const int e = errno;
        cancel();
        return fail(e);
    }
    const int closing = fd_;
    fd_ = -1;
    if (::close(closing) != 0 && errno != EINTR) {
        const int e = errno;
        cancel();
        return fail(e);
    }
    if (temp_.isEmpty()) return true;  // written in place
    if (::renameat(dirFd_, temp_.constData(), dirFd_, name_.constData()) != 0) {
        const int e = errno;
        cancel();
        return fail(e);
    }
    temp_.clear();
    ::fsync(dirFd_);  // the rename itself; a failure here loses nothing
    CloseQuietly(dirFd_);
    dirFd_ = -1;
    return true;
}

void ReplacingFile::cancel() {
    CloseQuietly(fd_);
    fd_ = -1;
    if (!temp_.isEmpty() && dirFd_ >= 0) {
        const int saved = errno;
        ::unlinkat(dirFd_, temp_.constData(), 0);
        errno = saved;
    }
    temp_.clear();
    CloseQuietly(dirFd_);
    dirFd_ = -1;
}

void GuardStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The other direction: a read of a closed input and a write to a closed output fail.
        const int got = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
        if (got >= 0 && got != fd) {
            ::dup2(got, fd);
            ::close(got);
        }
    }
}

bool CloseStdout(int* error) {
    *error = 0;
    if (::close(STDOUT_FILENO) != 0 && errno != EINTR) {
        *error = errno;
        return false;
    }
    return true;
}

QByteArray TemporaryName() {
    static std::atomic<quint64> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const quint64 mix =
        quint64(now) * 0x9E3779B97F4A7C15ull ^ (quint64(::getpid()) << 32) ^ counter.fetch_add(1);
    // Short, so that a name near the file system's limit still gets a temporary file.
    return ".foldex-" + QByteArray::number(mix, 16) + ".tmp";
}

}  // namespace platform
