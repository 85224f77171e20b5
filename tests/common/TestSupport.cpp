#include "common/TestSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include "platform/DriveMap.h"

namespace testsupport {

namespace {

std::string& UnavailableReason() {
    static std::string reason;
    return reason;
}

bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    return ::close(fd) == 0 && written;
}

std::string Failed(const char* what) {
    return std::string(what) + " failed (" + std::strerror(errno) + ")";
}

}  // namespace

void EnterOwnMountNamespace() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid == 0) return;
    std::string& reason = UnavailableReason();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        reason = Failed("unshare(CLONE_NEWUSER | CLONE_NEWNS)") +
                 "; run the tests as root, or allow user namespaces "
                 "(sysctl kernel.unprivileged_userns_clone=1, user.max_user_namespaces > 0)";
        return;
    }
    // The same user inside as outside: files keep their owner and permissions their meaning.
    if (!WriteProcFile("/proc/self/setgroups", "deny") ||
        !WriteProcFile("/proc/self/uid_map",
                       std::to_string(uid) + ' ' + std::to_string(uid) + " 1") ||
        !WriteProcFile("/proc/self/gid_map",
                       std::to_string(gid) + ' ' + std::to_string(gid) + " 1")) {
        reason = Failed("mapping the user into its namespace");
        return;
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        reason = Failed("making the mounts private");
        return;
    }
    // The new namespace grants every capability; keep only the one mounting needs, so that
    // unreadable and unwritable folders stay so.
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    data[CAP_SYS_ADMIN / 32].effective = data[CAP_SYS_ADMIN / 32].permitted =
        1u << (CAP_SYS_ADMIN % 32);
    if (::syscall(SYS_capset, &header, data) != 0) reason = Failed("dropping capabilities");
}

const std::string& MountUnavailableReason() {
    return UnavailableReason();
}

TempDrive::TempDrive(QChar letter) : letter_(letter) {
    root_ = QFile::encodeName(QDir(dir_.path()).canonicalPath());
    const int index = platform::LetterIndex(letter);
    previous_ = platform::Drives().root(index);
    platform::Drives().set(index, root_);
}

TempDrive::~TempDrive() {
    platform::Drives().set(platform::LetterIndex(letter_), previous_);
    RemoveTree(root_);  // deeper than paths reach, or closed folders: beyond QTemporaryDir
}

void TempDrive::makeDir(const QByteArray& relative) const {
    // Byte for byte, each level in turn: a name that is not UTF-8 is made as it is.
    const QByteArray path = root_ + "/" + relative;
    for (qsizetype at = root_.size() + 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        const QByteArray level = path.left(at);
        if (::mkdir(level.constData(), 0755) != 0 && errno != EEXIST)
            ADD_FAILURE() << "cannot make " << level.constData() << ": " << std::strerror(errno);
    }
}

void TempDrive::writeFile(const QByteArray& relative, const QByteArray& content) const {
    const qsizetype slash = relative.lastIndexOf('/');
    if (slash > 0) makeDir(relative.left(slash));
    WriteAll(root_ + "/" + relative, content);
}

TempHome::TempHome() {
    root_ = QFile::encodeName(QDir(dir_.path()).canonicalPath());
    hadPrevious_ = qEnvironmentVariableIsSet("FOLDEX_HOME");
    previous_ = qgetenv("FOLDEX_HOME");
    qputenv("FOLDEX_HOME", root_);
}

TempHome::~TempHome() {
    if (hadPrevious_) {
        qputenv("FOLDEX_HOME", previous_);
    } else {
        qunsetenv("FOLDEX_HOME");
    }
}

QByteArray ReadAll(const QByteArray& nativePath) {
    QFile f(QFile::decodeName(nativePath));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

qint64 AllocatedBytes(const QByteArray& nativePath) {
    struct stat st;
    return ::lstat(nativePath.constData(), &st) == 0 ? qint64(st.st_blocks) * 512 : -1;
}

qint64 AllocatedTree(const QByteArray& nativePath) {
    struct stat top;
    if (::lstat(nativePath.constData(), &top) != 0) return -1;
    qint64 total = qint64(top.st_blocks) * 512;
    if (!S_ISDIR(top.st_mode)) return total;
    // Folders still to read, each opened from its parent: any depth.
    std::vector<int> open{::open(nativePath.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW)};
    if (open.back() < 0) return -1;
    while (!open.empty()) {
        const int fd = open.back();
        open.pop_back();
        DIR* d = ::fdopendir(fd);
        if (!d) {
            ::close(fd);
            return -1;
        }
        while (const dirent* e = ::readdir(d)) {
            const QByteArray name(e->d_name);
            if (name == "." || name == "..") continue;
            struct stat st;
            if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISDIR(st.st_mode) && st.st_dev != top.st_dev) continue;
            total += qint64(st.st_blocks) * 512;
            if (!S_ISDIR(st.st_mode)) continue;
            const int sub = ::openat(fd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (sub >= 0) open.push_back(sub);
        }
        ::closedir(d);
    }
    return total;
}

void RemoveTree(const QByteArray& nativePath) {
    // One descriptor at a time, down by name and back up through "..": any depth, under any
    // limit of open files.
    int fd = ::open(nativePath.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    std::vector<QByteArray> below;
    for (;;) {
        QByteArray sub;
        if (DIR* d = ::fdopendir(::dup(fd))) {
            ::rewinddir(d);
            while (const dirent* e = ::readdir(d)) {
                const QByteArray name(e->d_name);
                if (name == "." || name == "..") continue;
                if (::unlinkat(fd, name.constData(), 0) == 0) continue;
                if (::unlinkat(fd, name.constData(), AT_REMOVEDIR) == 0) continue;
                sub = name;  // a folder with something in it
                break;
            }
            ::closedir(d);
        }
        int next = -1;
        if (!sub.isEmpty()) {
            ::fchmodat(fd, sub.constData(), 0700, 0);  // closed folders of a test
            next = ::openat(fd, sub.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (next >= 0) {
            ::close(fd);
            fd = next;
            below.push_back(sub);
            continue;
        }
        if (below.empty()) break;  // emptied, or nothing more can go
        next = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        if (next < 0) return;
        fd = next;
        const bool gone = ::unlinkat(fd, below.back().constData(), AT_REMOVEDIR) == 0;
        below.pop_back();
        if (!gone) break;  // it cannot be emptied: leave the rest
    }
    ::close(fd);
    ::rmdir(nativePath.constData());
}

void WriteAll(const QByteArray& nativePath, const QByteArray& content) {
    // Byte for byte: a name that is not UTF-8 is written as it is, not through a QString.
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    for (qsizetype done = 0; ok && done < content.size();) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        ok = n > 0 || (n < 0 && errno == EINTR);
        if (n > 0) done += n;
    }
    const int error = errno;
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (!ok)
        ADD_FAILURE() << "cannot write " << nativePath.constData() << ": " << std::strerror(error);
}

void RunInChild(const std::function<void()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0) << "fork failed";
    if (pid == 0) {
        body();
        const bool failed = ::testing::Test::HasFailure();
        std::fflush(nullptr);
        _exit(failed ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status))
        << "the child died (signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << ")";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child failed (see its output above)";
}

void RunUnprivileged(const std::function<void()>& body) {
    RunInChild([&] {
        // The user's own cache folder (snapshots), as every user has one.
        std::optional<QTemporaryDir> cache;
        if (geteuid() == 0) {
            const passwd* pw = getpwnam("nobody");
            const uid_t uid = pw ? pw->pw_uid : 65534;
            const gid_t gid = pw ? pw->pw_gid : 65534;
            if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 ||
                setresuid(uid, uid, uid) != 0 || geteuid() == 0) {
                ADD_FAILURE() << "cannot drop to an unprivileged user";
                return;
            }
            // Root's temporary folder may be closed to the user the body now runs as.
            const QByteArray tmp = qgetenv("TMPDIR");
            if (!tmp.isEmpty() && access(tmp.constData(), W_OK | X_OK) != 0)
                qputenv("TMPDIR", "/tmp");
            cache.emplace();
            qputenv("XDG_CACHE_HOME", QFile::encodeName(cache->path()));
        }
        body();
    });
}

bool MakeSparseFiles(const QByteArray& folder, int count, qint64 size) {
    for (int i = 0; i < count; ++i) {
        QFile f(QFile::decodeName(folder + "/huge" + QByteArray::number(i)));
        if (!f.open(QIODevice::WriteOnly) || !f.resize(size)) return false;
    }
    return true;
}

}  // namespace testsupport
