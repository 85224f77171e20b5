#include "platform/FileSys.h"

#include <QList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/DriveMap.h"
#include "platform/NativeIo.h"
#include "platform/PathMap.h"
#include "platform/SafeWrite.h"

namespace platform {
namespace {

void SetError(int* error, int value) {
    if (error) *error = value;
}

std::vector<char32_t> Folded(const QString& text) {
    const QList<uint> ucs4 = text.toCaseFolded().toUcs4();
    return std::vector<char32_t>(ucs4.begin(), ucs4.end());
}

// Glob match with one backtracking point for the last "*" seen.
bool GlobMatch(const std::vector<char32_t>& p, const std::vector<char32_t>& s) {
    size_t pi = 0, si = 0;
    size_t starP = SIZE_MAX, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == U'?' || p[pi] == s[si])) {
            ++pi;
            ++si;
        } else if (pi < p.size() && p[pi] == U'*') {
            starP = pi++;
            starS = si;
        } else if (starP != SIZE_MAX) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'*') ++pi;
    return pi == p.size();
}

void FillAttributes(DirEntry& e) {
    e.attributes = 0;
    if (e.isDir) e.attributes |= kAttrDirectory;
    if (e.nativeName.startsWith('.')) e.attributes |= kAttrHidden;
}

void FromStat(const struct stat& st, DirEntry& e) {
    e.isDir = S_ISDIR(st.st_mode);
    e.isLink = S_ISLNK(st.st_mode);
    e.regular = S_ISREG(st.st_mode);
    e.size = e.isDir ? 0 : qint64(st.st_size);
    e.allocated = qint64(st.st_blocks) * 512;
    e.links = quint32(st.st_nlink);
    e.mtime = qint64(st.st_mtim.tv_sec);
    e.device = quint64(st.st_dev);
    e.inode = quint64(st.st_ino);
    FillAttributes(e);
    if (!e.isLink && !(st.st_mode & S_IWUSR)) e.attributes |= kAttrReadOnly;
    if (e.attributes == 0) e.attributes = kAttrNormal;
}

// Only the d_type is known when an entry cannot be examined.
void FromDirent(const struct dirent* d, DirEntry& e) {
    e.isDir = d->d_type == DT_DIR;
    e.isLink = d->d_type == DT_LNK;
    e.regular = d->d_type == DT_REG;
    e.size = 0;
    e.mtime = 0;
    e.device = 0;
    e.inode = quint64(d->d_ino);
    FillAttributes(e);
    if (e.attributes == 0) e.attributes = kAttrNormal;
}

bool IsDriveRoot(const QByteArray& nativeDir) {
    QByteArray rest;
    return Drives().indexFor(NormaliseNative(nativeDir), &rest) >= 0 && rest.isEmpty();
}

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return ".";
    if (slash == 0) return "/";
    return path.left(slash);
}

// Copies length bytes from offset at through the kernel where it can, else through a buffer.
bool CopyRange(int in, int out, off_t at, off_t length) {
    off_t inAt = at, outAt = at;
    bool kernel = true;
    while (length > 0) {
        if (kernel) {
            const ssize_t n = ::copy_file_range(in, &inAt, out, &outAt, size_t(length), 0);
            if (n > 0) {
                length -= n;
                continue;
            }
            if (n == 0) return true;  // the file shrank meanwhile
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
                errno != ENOTSUP && errno != EBADF && errno != ETXTBSY) {
                return false;
            }
            kernel = false;  // the plain loop takes over where the kernel cannot
        }
        static thread_local char buffer[1 << 16];
        const ssize_t n =
            ::pread(in, buffer, size_t(std::min<off_t>(length, off_t(sizeof buffer))), inAt);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (::lseek(out, outAt, SEEK_SET) < 0 || !WriteFully(out, buffer, n)) return false;
        inAt += n;
        outAt += n;
        length -= n;
    }
    return true;
}

// Copies the rest of in to out, to its end (a file may say less of its size than it holds).
bool CopyToEnd(int in, int out) {
    // The kernel copies in place where it can; the plain loop takes over where it cannot.
    qint64 copied = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n > 0) {
            copied += n;
            continue;
        }
        if (n == 0) {
            if (copied > 0) return true;
            break;  // some file systems report 0 for files they cannot copy this way
        }
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
            errno == ENOTSUP || errno == EBADF || errno == ETXTBSY) {
            break;
        }
        return false;
    }
    static thread_local char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (!WriteFully(out, buffer, n)) return false;
    }
}

// Copies a regular file of the given stat. A sparse one is copied by its data only, holes
// staying holes, so that it occupies no more than it did.
bool CopyBytes(int in, int out, const struct stat& st) {
    const off_t size = st.st_size;
    if (size == 0 || off_t(st.st_blocks) * 512 >= size) return CopyToEnd(in, out);
    for (off_t at = 0; at < size;) {
        const off_t data = ::lseek(in, at, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) break;  // nothing but a hole to the end
            // No word on holes: everything is data.
            return ::lseek(in, 0, SEEK_SET) == 0 && ::lseek(out, 0, SEEK_SET) == 0 &&
                   CopyToEnd(in, out);
        }
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0 || hole > size) hole = size;
        if (!CopyRange(in, out, data, hole - data)) return false;
        at = hole;
    }
    // A file that ends in a hole ends where it did.
    struct stat now;
    if (::fstat(out, &now) != 0) return false;
    return now.st_size >= size || ::ftruncate(out, size) == 0;
}

// Permissions and times are kept where the file system can hold them.
bool Unsupported(int e) {
    return e == EPERM || e == ENOTSUP || e == EOPNOTSUPP;
}

// A folder at name, which a file or link is never put in place of (EISDIR).
bool FolderStandsAt(int dirFd, const QByteArray& name, int* error) {
    struct stat old;
    if (::fstatat(dirFd, name.constData(), &old, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(old.st_mode)) {
        return false;
    }
    SetError(error, EISDIR);
    return true;
}

// Makes an entry under a temporary name in destDir (make returns false with errno on failure,
// EEXIST for a name taken) and renames it over destName, so that nothing half made is ever
// seen under that name.
template <typename Make>
bool MakeThenRename(int destDir, const QByteArray& destName, int* error, Make make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray temp = TemporaryName();
        if (!make(temp)) {
            if (errno == EEXIST) continue;
            SetError(error, errno);
            return false;
        }
        if (::renameat(destDir, temp.constData(), destDir, destName.constData()) != 0) {
            const int e = errno;
            ::unlinkat(destDir, temp.constData(), 0);
            SetError(error, e);
            return false;
        }
        return true;
    }
    SetError(error, EEXIST);
    return false;
}

// Gives a copy the source's owner and group where the caller may (root may), then its mode
// and times. A set-user-ID or set-group-ID bit stays only where the copy's owner or group
// is the source's: a copy made by root of another user's set-ID program must not become
// root's.
bool KeepOwnerModeAndTimes(const struct stat& st, int fd) {
    struct stat now;
    if (::fstat(fd, &now) != 0) return false;
    if ((now.st_uid != st.st_uid || now.st_gid != st.st_gid) &&
        ::fchown(fd, st.st_uid, st.st_gid) != 0 && now.st_gid != st.st_gid) {
        ::fchown(fd, uid_t(-1), st.st_gid);  // a group of the caller's own
    }
    if (::fstat(fd, &now) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    if (now.st_uid != st.st_uid) mode &= ~mode_t(S_ISUID);
    if (now.st_gid != st.st_gid) mode &= ~mode_t(S_ISGID);
    if (::fchmod(fd, mode) != 0 && !Unsupported(errno)) return false;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return ::futimens(fd, times) == 0 || Unsupported(errno);
}

}  // namespace

bool MatchPattern(const QString& pattern, const QString& name) {
    if (pattern == u"*" || pattern == u"*.*") return true;
    const std::vector<char32_t> s = Folded(name);
    if (GlobMatch(Folded(pattern), s)) return true;
    // As on the platform, "x.*" also matches "x" without an extension.
    if (pattern.endsWith(u".*")) return GlobMatch(Folded(pattern.chopped(2)), s);
    return false;
}

namespace {

// Lists the open folder fd (taken over and closed).
bool ListFd(int fd, const QString& pattern, std::vector<DirEntry>& out, int* error,
            bool kindsOnly = false) {
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        SetError(error, errno);
        CloseQuietly(fd);
        return false;
    }
    const bool all = pattern == u"*" || pattern == u"*.*";
    bool ok = true;
    for (;;) {
        errno = 0;
        const struct dirent* d = ::readdir(dir);
        if (!d) {
            if (errno != 0) {
                SetError(error, errno);
                ok = false;
            }
            break;
        }
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
        DirEntry e;
        e.nativeName = QByteArray(d->d_name);
        e.name = NameFromNative(e.nativeName);
        if (!all && !MatchPattern(pattern, e.name)) continue;
        struct stat st;
        if (kindsOnly && d->d_type != DT_UNKNOWN) {
            FromDirent(d, e);
        } else if (::fstatat(::dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            FromStat(st, e);
        } else if (errno == ENOENT) {
            continue;  // gone since it was read
        } else {
            FromDirent(d, e);
        }
        out.push_back(std::move(e));
    }
    ::closedir(dir);
    return ok;
}

bool ValidName(const QByteArray& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/');
}

}  // namespace

bool ListDir(const QByteArray& nativeDir, const QString& pattern, std::vector<DirEntry>& out,
             int* error) {
    out.clear();
    SetError(error, 0);
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    // A drive may be mapped onto a link; every other folder is entered only when real.
    if (!IsDriveRoot(nativeDir)) flags |= O_NOFOLLOW;
    const int fd = ::open(nativeDir.constData(), flags);
    if (fd < 0) {
        SetError(error, errno);
        return false;
    }
    return ListFd(fd, pattern, out, error);
}

bool ListAt(int dirFd, std::vector<DirEntry>& out, int* error, bool kindsOnly) {
    out.clear();
    SetError(error, 0);
    // A description of its own: the listing's position is not shared with the caller's.
    const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, errno);
        return false;
    }
    return ListFd(fd, QStringLiteral("*"), out, error, kindsOnly);
}

bool StatAt(int dirFd, const QByteArray& name, DirEntry& out, int* error) {
    SetError(error, 0);
    struct stat st;
    if (!ValidName(name) || ::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        SetError(error, ValidName(name) ? errno : EINVAL);
        return false;
    }
    out = DirEntry();
    out.nativeName = name;
    out.name = NameFromNative(name);
    FromStat(st, out);
    return true;
}

bool StatOpen(int fd, DirEntry& out, int* error) {
    SetError(error, 0);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        SetError(error, errno);
        return false;
    }
    out = DirEntry();
    FromStat(st, out);
    return true;
}

namespace {

// The entry name is still the one expected (any entry when none is).
bool StillIs(int dirFd, const QByteArray& name, const Identity* expect, int* error) {
    if (!ValidName(name)) {
        SetError(error, EINVAL);
        return false;
    }
    if (!expect || !expect->known()) return true;
    struct stat st;
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        SetError(error, errno);
        return false;
    }
    if (quint64(st.st_dev) != expect->device || quint64(st.st_ino) != expect->inode) {
        SetError(error, ESTALE);
        return false;
    }
    return true;
}

}  // namespace

bool DeleteFileAt(int dirFd, const QByteArray& name, const Identity* expect, int* error) {
    SetError(error, 0);
    if (!StillIs(dirFd, name, expect, error)) return false;
    if (::unlinkat(dirFd, name.constData(), 0) != 0) {
        SetError(error, errno);
        return false;
    }
    return true;
}

bool RemoveDirAt(int dirFd, const QByteArray& name, const Identity* expect, int* error) {
    SetError(error, 0);
    if (!StillIs(dirFd, name, expect, error)) return false;
    if (::unlinkat(dirFd, name.constData(), AT_REMOVEDIR) != 0) {
        SetError(error, errno);
        return false;
    }
    return true;
}

bool MakeDirAt(int dirFd, const QByteArray& name, int* error, unsigned mode) {
    SetError(error, 0);
    if (!ValidName(name)) {
        SetError(error, EINVAL);
        return false;
    }
    if (::mkdirat(dirFd, name.constData(), mode_t(mode)) != 0) {
        SetError(error, errno);
        return false;
    }
    return true;
}

bool StatEntry(const QByteArray& nativePath, DirEntry& out, int* error) {
    SetError(error, 0);
    struct stat st;
    if (nativePath.isEmpty() ||
        ::fstatat(AT_FDCWD, nativePath.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        SetError(error, nativePath.isEmpty() ? ENOENT : errno);
        return false;
    }
    out = DirEntry();
    out.nativeName = LastName(nativePath);
    out.name = NameFromNative(out.nativeName);
    FromStat(st, out);
    return true;
}

bool SetAttributesNormal(const QByteArray& nativePath, int* error) {
    SetError(error, 0);
    struct stat st;
    if (::fstatat(AT_FDCWD, nativePath.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        SetError(error, errno);
        return false;
    }
    if (S_ISLNK(st.st_mode) || (st.st_mode & S_IWUSR)) return true;
    if (::fchmodat(AT_FDCWD, nativePath.constData(), (st.st_mode & 07777) | S_IWUSR,
                   AT_SYMLINK_NOFOLLOW) != 0) {
        SetError(error, errno);
        return false;
    }
    return true;
}

bool DeleteFileNative(const QByteArray& nativePath, int* error) {
    SetError(error, 0);
    if (::unlink(nativePath.constData()) != 0) {
        SetError(error, errno);
        return false;
    }
    return true;
}

bool MakeDirNative(const QByteArray& nativePath, int* error) {
    SetError(error, 0);
    if (::mkdir(nativePath.constData(), 0777) != 0) {
        SetError(error, errno);
        return false;
    }
    return true;
}

bool CopyFileNative(const QByteArray& source, const QByteArray& destination, int* error,
                    bool deferSync) {
    SetError(error, 0);
    const QByteArray destName = LastName(destination);
    if (destName.isEmpty() || destName == "." || destName == "..") {
        SetError(error, EISDIR);
        return false;
    }
    const int from = ::open(FolderOf(source).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (from < 0) {
        SetError(error, errno);
        return false;
    }
    const int to = ::open(FolderOf(destination).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (to < 0) {
        SetError(error, errno);
        CloseQuietly(from);
        return false;
    }
    const bool ok = CopyFileAt(from, LastName(source), to, destName, error, deferSync);
    const int e = errno;
    CloseQuietly(from);
    CloseQuietly(to);
    errno = e;
    return ok;
}

bool CopyFileAt(int sourceDir, const QByteArray& name, int dirFd, const QByteArray& destName,
                int* error, bool deferSync, Identity* copied, int* keepFd) {
    SetError(error, 0);
    int in = -1, out = -1;
    QByteArray temp;
    int failure = 0;

    auto fail = [&](int e) {
        failure = e != 0 ? e : EIO;
        return false;
    };
    auto run = [&]() -> bool {
        if (!ValidName(name)) return fail(EINVAL);
        if (!ValidName(destName)) return fail(EISDIR);
        struct stat st;
        if (::fstatat(sourceDir, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            return fail(errno);
        }
        if (!S_ISREG(st.st_mode)) return fail(ENOTSUP);
        in = ::openat(sourceDir, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (in < 0) return fail(errno == ELOOP ? ENOTSUP : errno);
        if (::fstat(in, &st) != 0) return fail(errno);
        if (!S_ISREG(st.st_mode)) return fail(ENOTSUP);
        if (copied) *copied = {quint64(st.st_dev), quint64(st.st_ino)};

        struct stat old;
        const bool replacing =
            ::fstatat(dirFd, destName.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
        if (replacing && S_ISDIR(old.st_mode)) return fail(EISDIR);
        const bool syncNow = !deferSync || replacing;

        for (int attempt = 0; attempt < 100 && out < 0; ++attempt) {
            temp = TemporaryName();
            out = ::openat(dirFd, temp.constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (out < 0 && errno != EEXIST) {
                temp.clear();
                return fail(errno);
            }
        }
        if (out < 0) {
            temp.clear();
            return fail(EEXIST);
        }
        if (!CopyBytes(in, out, st)) return fail(errno);
        if (!KeepOwnerModeAndTimes(st, out)) return fail(errno);
        if (keepFd) {
            // Held by what it is, not by name: later names of the same file link to it.
            *keepFd = ::openat(dirFd, temp.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
            struct stat made, kept;
            if (*keepFd >= 0 && (::fstat(out, &made) != 0 || ::fstat(*keepFd, &kept) != 0 ||
                                 made.st_ino != kept.st_ino || made.st_dev != kept.st_dev)) {
                CloseQuietly(*keepFd);
                *keepFd = -1;
            }
        }
        if (syncNow && ::fsync(out) != 0 && errno != EINVAL && errno != EROFS) return fail(errno);
        const int closing = out;
        out = -1;
        if (::close(closing) != 0 && errno != EINTR) return fail(errno);
        if (::renameat(dirFd, temp.constData(), dirFd, destName.constData()) != 0) {
            return fail(errno);
        }
        temp.clear();
        if (syncNow) ::fsync(dirFd);  // the rename itself; a failure here loses nothing
        return true;
    };

    if (keepFd) *keepFd = -1;
    const bool ok = run();
    CloseQuietly(out);
    if (!temp.isEmpty()) ::unlinkat(dirFd, temp.constData(), 0);
    CloseQuietly(in);
    if (!ok) {
        if (keepFd && *keepFd >= 0) {
            CloseQuietly(*keepFd);
            *keepFd = -1;
        }
        SetError(error, failure);
        errno = failure;
    }
    return ok;
}

bool LinkCopyAt(int fileFd, int destDir, const QByteArray& destName, int* error) {
    SetError(error, 0);
    if (!ValidName(destName)) {
        SetError(error, EINVAL);
        return false;
    }
    if (FolderStandsAt(destDir, destName, error)) return false;
    // The kernel's name of the open file: links it wherever it now is, by what it is.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fileFd);
    return MakeThenRename(destDir, destName, error, [&](const QByteArray& temp) {
        return ::linkat(AT_FDCWD, self.constData(), destDir, temp.constData(), AT_SYMLINK_FOLLOW) ==
               0;
    });
}

bool CopyFolderAttributes(int sourceFd, int destFd, int* error) {
    SetError(error, 0);
    struct stat st;
    if (::fstat(sourceFd, &st) != 0 || !KeepOwnerModeAndTimes(st, destFd)) {
        SetError(error, errno);
        return false;
    }
    return true;
}

bool CopyLinkAt(int sourceDir, const QByteArray& name, int destDir, const QByteArray& destName,
                int* error) {
    SetError(error, 0);
    if (!ValidName(name) || !ValidName(destName)) {
        SetError(error, EINVAL);
        return false;
    }
    QByteArray target(4096, '\0');
    for (;;) {
        const ssize_t n =
            ::readlinkat(sourceDir, name.constData(), target.data(), size_t(target.size()));
        if (n < 0) {
            SetError(error, errno == EINVAL ? ENOTSUP : errno);  // EINVAL: not a link
            return false;
        }
        if (n < target.size()) {
            target.truncate(n);
            break;
        }
        target.resize(target.size() * 2);
    }
    struct stat st;
    if (::fstatat(sourceDir, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        SetError(error, errno);
        return false;
    }
    if (FolderStandsAt(destDir, destName, error)) return false;
    return MakeThenRename(destDir, destName, error, [&](const QByteArray& temp) {
        if (::symlinkat(target.constData(), destDir, temp.constData()) != 0) return false;
        // The link's own time, so that the next copy finds the two the same; its owner where
        // the caller may give it (root).
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(destDir, temp.constData(), times, AT_SYMLINK_NOFOLLOW);
        ::fchownat(destDir, temp.constData(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
        return true;
    });
}

bool SyncFileSystem(const QByteArray& nativePath, int* error) {
    SetError(error, 0);
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, errno);
        return false;
    }
    const bool ok = ::syncfs(fd) == 0;
    if (!ok) SetError(error, errno);
    CloseQuietly(fd);
    return ok;
}

bool ReadRegularFile(const QByteArray& nativePath, QByteArray& out, qint64 limit, int* error) {
    out.clear();
    SetError(error, 0);
    // Non-blocking: a FIFO planted under the name must not hang the reader.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        SetError(error, errno);
        return false;
    }
    struct stat st;
    int e = 0;
    if (::fstat(fd, &st) != 0)
        e = errno;
    else if (!S_ISREG(st.st_mode))
        e = EINVAL;
    else if (st.st_size > limit)
        e = EFBIG;
    if (e == 0) {
        out.resize(qsizetype(st.st_size));
        qsizetype got = 0;
        // The file may have grown or shrunk since fstat: read until its end, within limit.
        for (;;) {
            if (got == out.size()) {
                if (qint64(out.size()) >= limit + 1) break;
                out.resize(qsizetype(std::min<qint64>(limit + 1, qint64(out.size()) + 65536)));
            }
            const ssize_t n = ::read(fd, out.data() + got, size_t(out.size() - got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                e = errno;
                break;
            }
            if (n == 0) break;
            got += n;
        }
        out.resize(got);
        if (e == 0 && qint64(got) > limit) e = EFBIG;
    }
    CloseQuietly(fd);
    if (e == 0) return true;
    out.clear();
    SetError(error, e);
    return false;
}

namespace {
bool FromIdentity(const struct stat& st, Identity& out, bool* stream) {
    out = {quint64(st.st_dev), quint64(st.st_ino)};
    if (stream) *stream = !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
    return true;
}
}  // namespace

bool IdentityOf(int fd, Identity& out, bool* stream) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && FromIdentity(st, out, stream);
}

bool IdentityOf(const QByteArray& nativePath, Identity& out, bool* stream) {
    struct stat st;
    return ::stat(nativePath.constData(), &st) == 0 && FromIdentity(st, out, stream);
}

QString ErrorText(int error) {
    char buffer[512];
    buffer[0] = '\0';
    // GNU strerror_r may return a static text instead of filling the buffer.
    const auto pick = [&](auto result) -> const char* {
        if constexpr (std::is_same_v<decltype(result), int>) {
            return buffer;
        } else {
            return result ? result : buffer;
        }
    };
    const char* text = pick(::strerror_r(error, buffer, sizeof buffer));
    return QString::fromLocal8Bit(text);
}

}  // namespace platform
