#include "platform/SafeWrite.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>

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

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool DescriptorNumber(const QByteArray& name) {
    if (name.isEmpty() || name.size() > 9) return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// N when path names descriptor N of this process (/dev/fd/N, /proc/self/fd/N, /proc/PID/fd/N
// with this PID; /dev/stdout leads there); -1 otherwise.
int OwnDescriptor(const QByteArray& path) {
    const QByteArray name = LastName(path);
    if (!DescriptorNumber(name)) return -1;
    struct stat folder, own;
    if (::stat(FolderPart(path).constData(), &folder) != 0) return -1;
    for (const char* fds : {"/proc/self/fd", "/proc/thread-self/fd"}) {
        if (::stat(fds, &own) == 0 && SameFile(folder, own)) return name.toInt();
    }
    return -1;
}

// Whether link is a descriptor of another process (/proc/PID/fd/N), and whether that
// descriptor appends.
bool ForeignDescriptor(const QByteArray& link, bool* appends) {
    const QByteArray name = LastName(link);
    const QByteArray folder = FolderPart(link);
    struct statfs fs;
    if (!DescriptorNumber(name) || LastName(folder) != "fd" ||
        ::statfs(folder.constData(), &fs) != 0 || fs.f_type != PROC_SUPER_MAGIC)
        return false;
    *appends = false;
    QByteArray info;
    if (ReadWholeFile(FolderPart(folder) + "/fdinfo/" + name, info, 1 << 16)) {
        for (const QByteArray& line : info.split('\n')) {
            if (line.startsWith("flags:"))
                *appends = (std::strtol(line.mid(6).trimmed().constData(), nullptr, 8) & O_APPEND);
        }
    }
    return true;
}

bool ProtectedLink(const QByteArray& link, const struct stat& st) {
    struct stat folder;
    if (::stat(FolderPart(link).constData(), &folder) != 0) return false;
    return LinkBarred(folder.st_mode, folder.st_uid, st.st_uid, ::geteuid());
}

}  // namespace

bool LinkBarred(unsigned folderMode, unsigned folderOwner, unsigned linkOwner, unsigned caller) {
    return (folderMode & S_ISVTX) != 0 && (folderMode & S_IWOTH) != 0 && linkOwner != folderOwner &&
           linkOwner != caller;
}

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

bool ReplacingFile::failClosed(int e) {
    cancel();
    return fail(e);
}

QString ReplacingFile::errorText() const {
    const QString text = ErrorText(error_);
    switch (refusal_) {
        case Refusal::ProtectedLink:
            return text +
                   QStringLiteral(
                       ": 誰でも書き込めるフォルダーにある他のユーザーのリンクはたどりません");
        case Refusal::FolderNotWritable:
            return text +
                   QStringLiteral(": フォルダーに書き込めないため、ファイルを置き換えられません");
        case Refusal::None:
            break;
    }
    return text;
}

bool ReplacingFile::open(const QByteArray& nativePath) {
    cancel();
    error_ = 0;
    refusal_ = Refusal::None;
    QByteArray target = nativePath;
    struct stat st;
    bool exists = false;
    // Written through a link, as a shell redirection would, rather than replacing it: to its
    // target, which is made when it does not exist yet.
    for (int links = 0;; ++links) {
        if (const int own = OwnDescriptor(target); own >= 0) return openDescriptor(own);
        exists = ::lstat(target.constData(), &st) == 0;
        if (!exists || !S_ISLNK(st.st_mode)) break;
        bool appends = false;
        if (ForeignDescriptor(target, &appends)) return openForeignDescriptor(target, appends);
        if (ProtectedLink(target, st)) {
            refusal_ = Refusal::ProtectedLink;
            return fail(EACCES);
        }
        const QByteArray next = LinkTarget(target);
        if (links >= 40 || next.isEmpty()) return fail(links >= 40 ? ELOOP : errno);
        target = next.startsWith('/') ? next : FolderPart(target) + '/' + next;
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
    if (exists && WriteProtected(dirFd_, name_, st)) return failClosed(EACCES);
    // A new file in its place would leave the other names with the old text.
    if (exists && st.st_nlink > 1) return openInPlace(st);
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = TemporaryName();
        fd_ = ::openat(dirFd_, temp_.constData(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, exists ? 0600 : 0666);
        if (fd_ < 0 && errno != EEXIST) {
            const int e = errno;
            temp_.clear();
            // The file may be writable, but whoever closed its folder keeps it as it is.
            if (exists && (e == EACCES || e == EPERM)) refusal_ = Refusal::FolderNotWritable;
            return failClosed(e);
        }
    }
    if (fd_ < 0) {
        temp_.clear();
        return failClosed(EEXIST);
    }
    // The old file's owner, group and permission bits stay; a new file gets what the umask
    // allows. Only root may give a file away, and others only a group of theirs: where the new
    // file cannot have them, the old one is written instead.
    if (exists && ::fchown(fd_, st.st_uid, st.st_gid) != 0) {
        CloseQuietly(fd_);
        fd_ = -1;
        ::unlinkat(dirFd_, temp_.constData(), 0);
        temp_.clear();
        return openInPlace(st);
    }
    if (exists && ::fchmod(fd_, st.st_mode & 07777) != 0 && errno != EPERM)
        return failClosed(errno);
    return true;
}

bool ReplacingFile::openDescriptor(int fd) {
    // Shared with the caller: its offset, and its appending where it appends.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY || (flags & O_PATH) == O_PATH)
        return fail(EBADF);
    fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    return fd_ >= 0 || fail(errno);
}

bool ReplacingFile::openForeignDescriptor(const QByteArray& link, bool appends) {
    // Opened through the kernel, which knows what the descriptor holds (a pipe, a deleted file).
    const int fd =
        ::open(link.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (appends ? O_APPEND : 0));
    if (fd < 0) return fail(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        CloseQuietly(fd);
        return fail(e);
    }
    if (appends || !S_ISREG(st.st_mode)) {
        fd_ = fd;
        return true;
    }
    target_ = fd;  // its file from the start, as a redirection, once all of it is at hand
    return openSpool();
}

bool ReplacingFile::openInPlace(const struct stat& st) {
    // Not blocking on a pipe that took the file's name meanwhile.
    target_ = ::openat(dirFd_, name_.constData(),
                       O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (target_ < 0) return failClosed(errno);
    struct stat now;
    if (::fstat(target_, &now) != 0) return failClosed(errno);
    if (!SameFile(now, st) || !S_ISREG(now.st_mode)) return failClosed(EAGAIN);  // swapped
    if (::fcntl(target_, F_SETFL, O_WRONLY) != 0) return failClosed(errno);
    return openSpool();
}

bool ReplacingFile::openSpool() {
    // Unnamed, so nobody meets it half-written; beside the file where its folder allows.
    fd_ = ::openat(dirFd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    const QByteArray tmp = qgetenv("TMPDIR");
    for (const QByteArray& folder : {tmp, QByteArray("/tmp")}) {
        if (fd_ < 0 && !folder.isEmpty())
            fd_ = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    }
    return fd_ >= 0 || failClosed(errno);
}

bool ReplacingFile::commitInPlace() {
    struct stat spool;
    if (::fstat(fd_, &spool) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return failClosed(errno);
    const off_t size = spool.st_size;
    // The room first, where the file system can promise it: on a full disk the old text stays.
    if (size > 0 && ::fallocate(target_, FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        return failClosed(errno);
    if (::lseek(target_, 0, SEEK_SET) != 0) return failClosed(errno);
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (off_t done = 0; done < size;) {
        const ssize_t n = ::read(fd_, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return failClosed(n < 0 ? errno : EIO);
        if (!WriteFully(target_, buffer.constData(), n)) return failClosed(errno);
        done += n;
    }
    if (::ftruncate(target_, size) != 0) return failClosed(errno);
    if (::fsync(target_) != 0 && errno != EINVAL && errno != EROFS) return failClosed(errno);
    const int closing = target_;
    target_ = -1;
    if (::close(closing) != 0 && errno != EINTR) return failClosed(errno);
    cancel();  // the unnamed file goes with its descriptor
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
    if (target_ >= 0) return commitInPlace();
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
    CloseQuietly(target_);
    target_ = -1;
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
