// What a written file becomes when its name is not an ordinary file of the writer's: the name
// of an open descriptor, a link in a shared folder, a file with other names or owners.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <functional>

#include "common/TestSupport.h"
#include "common/TmpfsMount.h"
#include "platform/FileSys.h"
#include "platform/SafeWrite.h"

using testsupport::ReadAll;
using testsupport::RunUnprivileged;
using testsupport::WriteAll;

namespace {

constexpr uid_t kNobody = 65534;
constexpr uid_t kDaemon = 1;  // a third user, neither root nor nobody

struct Written {
    bool ok = false;
    int error = 0;
    QString errorText;
};

Written WriteThrough(const QByteArray& path, const QByteArray& bytes) {
    platform::ReplacingFile f;
    Written w;
    w.ok = f.open(path) && f.write(bytes) && f.commit();
    w.error = f.error();
    w.errorText = f.errorText();
    return w;
}

// A folder every user may enter, for tests that write as another user.
QByteArray OpenFolder(const QTemporaryDir& dir) {
    const QByteArray path = QFile::encodeName(dir.path());
    EXPECT_EQ(::chmod(path.constData(), 0755), 0);
    return path;
}

}  // namespace

TEST(ReplacingFile, DescriptorNamesWriteToTheOpenDescriptor) {
    QTemporaryDir dir;
    const QByteArray log = QFile::encodeName(dir.path()) + "/app.log";
    const QByteArray pid = QByteArray::number(::getpid());
    enum class Kind { Appending, AtItsOffset, Pipe };
    const struct {
        const char* what;
        std::function<QByteArray(int)> name;  // for descriptor N
        int number;                           // -1: any; 1 and 2 take the standard streams' place
        bool foreign;                         // held by another process
        Kind kind;
    } cases[] = {
        {"/dev/fd/N appending", [](int n) { return "/dev/fd/" + QByteArray::number(n); }, -1, false,
         Kind::Appending},
        {"/dev/fd/N at its offset", [](int n) { return "/dev/fd/" + QByteArray::number(n); }, -1,
         false, Kind::AtItsOffset},
        {"/dev/fd/N a pipe", [](int n) { return "/dev/fd/" + QByteArray::number(n); }, -1, false,
         Kind::Pipe},
        {"/proc/self/fd/N a pipe", [](int n) { return "/proc/self/fd/" + QByteArray::number(n); },
         -1, false, Kind::Pipe},
        {"/proc/PID/fd/N appending",
         [&](int n) { return "/proc/" + pid + "/fd/" + QByteArray::number(n); }, -1, false,
         Kind::Appending},
        {"/dev/stdout appending", [](int) { return QByteArray("/dev/stdout"); }, 1, false,
         Kind::Appending},
        {"/dev/stdout a pipe", [](int) { return QByteArray("/dev/stdout"); }, 1, false, Kind::Pipe},
        {"/dev/stderr appending", [](int) { return QByteArray("/dev/stderr"); }, 2, false,
         Kind::Appending},
        {"another process's descriptor appending", nullptr, -1, true, Kind::Appending},
        {"another process's pipe", nullptr, -1, true, Kind::Pipe},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray bytes = QByteArray("written to ") + c.what + "\n";
        WriteAll(log, "earlier line\n");
        int fd = -1, reader = -1;
        if (c.kind == Kind::Pipe) {
            int fds[2];
            ASSERT_EQ(::pipe(fds), 0);
            reader = fds[0];
            fd = fds[1];
        } else {
            fd = ::open(log.constData(), O_WRONLY | (c.kind == Kind::Appending ? O_APPEND : 0));
            ASSERT_GE(fd, 0);
            if (c.kind == Kind::AtItsOffset) {
                ASSERT_EQ(::lseek(fd, 0, SEEK_END), 13);
            }
        }
        int saved = -1;
        if (c.number >= 0) {
            std::fflush(nullptr);
            saved = ::dup(c.number);
            ASSERT_EQ(::dup2(fd, c.number), c.number);
            ::close(fd);
            fd = c.number;
        }
        pid_t holder = -1;
        int release[2] = {-1, -1};
        QByteArray name;
        if (c.foreign) {
            // A child holds the descriptor until it is released; this process lets go of it.
            ASSERT_EQ(::pipe(release), 0);
            holder = ::fork();
            ASSERT_GE(holder, 0);
            if (holder == 0) {
                char byte;
                ::close(release[1]);
                static_cast<void>(::read(release[0], &byte, 1));
                _exit(0);
            }
            ::close(release[0]);
            ::close(fd);
            name = "/proc/" + QByteArray::number(holder) + "/fd/" + QByteArray::number(fd);
        } else {
            name = c.name(fd);
        }
        const Written w = WriteThrough(name, bytes);
        if (c.number >= 0) {
            ::dup2(saved, c.number);
            ::close(saved);
        } else if (!c.foreign) {
            ::close(fd);
        }
        if (c.foreign) {
            ::close(release[1]);
            ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);
        }
        EXPECT_TRUE(w.ok) << w.errorText.toStdString();
        if (c.kind == Kind::Pipe) {
            QByteArray got(4096, '\0');
            const ssize_t n = ::read(reader, got.data(), size_t(got.size()));
            ::close(reader);
            EXPECT_EQ(got.left(qMax<ssize_t>(n, 0)), bytes);
        } else {
            EXPECT_EQ(ReadAll(log), "earlier line\n" + bytes);
        }
    }
    // A descriptor that is not open, or open only for reading, is no place to write.
    const int readOnly = ::open(log.constData(), O_RDONLY);
    ASSERT_GE(readOnly, 0);
    for (const QByteArray& name :
         QByteArrayList{"/dev/fd/" + QByteArray::number(readOnly), "/proc/self/fd/999999"}) {
        SCOPED_TRACE(name.constData());
        const Written w = WriteThrough(name, "x");
        EXPECT_FALSE(w.ok);
        EXPECT_EQ(w.error, EBADF);
    }
    ::close(readOnly);
    EXPECT_EQ(ReadAll(log), "earlier line\n");
}

TEST(ReplacingFile, LinksOthersLeftInSharedStickyFoldersAreRefused) {
    const bool root = ::geteuid() == 0;
    const uid_t self = ::geteuid();
    QTemporaryDir dir(QStringLiteral("/tmp/foldex-links-XXXXXX"));
    const QByteArray base = OpenFolder(dir);
    // The files the links lead to, open to everyone, so that only the link decides.
    const QByteArray targets = base + "/targets";
    ASSERT_EQ(::mkdir(targets.constData(), 0777), 0);
    ASSERT_EQ(::chmod(targets.constData(), 0777), 0);
    const struct {
        const char* what;
        mode_t folderMode;
        uid_t folderOwner;
        uid_t linkOwner;
        bool asNobody;
        bool refused;
    } cases[] = {
        {"root through nobody's link in root's sticky folder", 01777, 0, kNobody, false, true},
        {"nobody through another user's link in root's sticky folder", 01777, 0, kDaemon, true,
         true},
        {"root through its own link", 01777, 0, 0, false, false},
        {"nobody through its own link", 01777, 0, kNobody, true, false},
        {"root through the link of the folder's owner", 01777, kNobody, kNobody, false, false},
        {"root through nobody's link in a folder that is not sticky", 0777, 0, kNobody, false,
         false},
        {"root through nobody's link in a sticky folder only root writes", 01755, 0, kNobody, false,
         false},
    };
    // The rule itself, for every row, whoever runs the test.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const uid_t caller = c.asNobody ? kNobody : 0;
        EXPECT_EQ(platform::LinkBarred(c.folderMode, c.folderOwner, c.linkOwner, caller),
                  c.refused);
    }
    // Through the real files: as root every row; an ordinary user can make no file of another
    // user's, so there each row stands with its users all the test's own (links and folders
    // of its own: written through).
    int n = 0;
    for (auto c : cases) {
        SCOPED_TRACE(c.what);
        if (!root) {
            c.folderOwner = c.linkOwner = self;
            c.asNobody = false;
            c.refused = false;
        }
        const QByteArray folder = base + "/shared" + QByteArray::number(n);
        const QByteArray target = targets + "/victim" + QByteArray::number(n++);
        const QByteArray link = folder + "/report.txt";
        ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
        if (root) {
            ASSERT_EQ(::chown(folder.constData(), c.folderOwner, c.folderOwner), 0);
        }
        ASSERT_EQ(::chmod(folder.constData(), c.folderMode), 0);
        WriteAll(target, "kept\n");
        if (root) {
            ASSERT_EQ(::chown(target.constData(), kNobody, kNobody), 0);
        }
        ASSERT_EQ(::chmod(target.constData(), 0666), 0);
        ASSERT_EQ(::symlink(target.constData(), link.constData()), 0);
        if (root) {
            ASSERT_EQ(::lchown(link.constData(), c.linkOwner, c.linkOwner), 0);
        }
        const QByteArray bytes = QByteArray("report by ") + c.what + "\n";
        const auto check = [&] {
            const Written w = WriteThrough(link, bytes);
            EXPECT_EQ(w.ok, !c.refused) << w.errorText.toStdString();
            if (c.refused) {
                EXPECT_EQ(w.error, EACCES);
                // The system's words, and why.
                EXPECT_TRUE(w.errorText.startsWith(platform::ErrorText(EACCES) + ": "))
                    << w.errorText.toStdString();
            }
            EXPECT_EQ(ReadAll(target), c.refused ? QByteArray("kept\n") : bytes);
            struct stat st;
            ASSERT_EQ(::lstat(link.constData(), &st), 0);
            EXPECT_TRUE(S_ISLNK(st.st_mode));
        };
        if (c.asNobody) {
            RunUnprivileged(check);
        } else {
            check();
        }
    }
}

TEST(ReplacingFile, FilesThatCannotBeReplacedWholeAreWrittenInPlace) {
    const bool root = ::geteuid() == 0;
    QTemporaryDir dir(QStringLiteral("/tmp/foldex-inplace-XXXXXX"));
    const QByteArray base = OpenFolder(dir);
    const QByteArray older(300, 'o');  // longer than any report here: the rest must go
    const uid_t me = root ? kNobody : ::geteuid();
    const gid_t myGroup = root ? kNobody : ::getegid();
    const struct {
        const char* what;
        bool needsRoot;  // files of others are made by root and written by nobody
        mode_t folderMode;
        uid_t owner;
        gid_t group;
        bool hardLink;
        bool refused;
    } cases[] = {
        {"a file with a second name", false, 0777, me, myGroup, true, false},
        {"another user's file", true, 0777, 0, 0, false, false},
        {"the writer's file of a group the writer is not in", true, 0777, kNobody, 0, false, false},
        {"another user's file with a second name", true, 0777, 0, 0, true, false},
        {"a file in a folder the writer may not write", false, 0555, me, myGroup, false, true},
        {"a file with a second name in such a folder", false, 0555, me, myGroup, true, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) continue;  // no second user to own the file
        const QByteArray folder = base + "/f" + QByteArray::number(n++);
        const QByteArray file = folder + "/report.txt";
        const QByteArray other = folder + "/second name.txt";
        ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
        WriteAll(file, older);
        if (c.hardLink) {
            ASSERT_EQ(::link(file.constData(), other.constData()), 0);
        }
        if (root) {
            ASSERT_EQ(::chown(folder.constData(), me, myGroup), 0);
            ASSERT_EQ(::chown(file.constData(), c.owner, c.group), 0);
        }
        ASSERT_EQ(::chmod(file.constData(), 0666), 0);
        ASSERT_EQ(::chmod(folder.constData(), c.folderMode), 0);
        struct stat before;
        ASSERT_EQ(::stat(file.constData(), &before), 0);
        const QByteArray bytes = QByteArray("report on ") + c.what + "\n";
        RunUnprivileged([&] {
            const Written w = WriteThrough(file, bytes);
            EXPECT_EQ(w.ok, !c.refused) << w.errorText.toStdString();
            if (c.refused) {
                EXPECT_EQ(w.error, EACCES);
                EXPECT_TRUE(w.errorText.startsWith(platform::ErrorText(EACCES) + ": "))
                    << w.errorText.toStdString();
            }
        });
        ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
        const QByteArray now = c.refused ? older : bytes;
        EXPECT_EQ(ReadAll(file), now);
        struct stat after;
        ASSERT_EQ(::stat(file.constData(), &after), 0);
        // The same file: its owner, group, mode and every name.
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_uid, c.owner);
        EXPECT_EQ(after.st_gid, c.group);
        EXPECT_EQ(after.st_mode & 07777, 0666u);
        EXPECT_EQ(after.st_nlink, c.hardLink ? 2u : 1u);
        if (c.hardLink) {
            EXPECT_EQ(ReadAll(other), now);
        }
        // Nothing left beside it.
        EXPECT_EQ(QDir(QFile::decodeName(folder)).entryList(QDir::Files | QDir::Hidden).size(),
                  c.hardLink ? 2 : 1);
    }
}

TEST(ReplacingFile, AFileWrittenInPlaceOnAFullDiskKeepsItsText) {
    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    const QByteArray file = disk.path() + "/report.txt";
    const QByteArray other = disk.path() + "/second name.txt";
    WriteAll(file, "older report\n");
    ASSERT_EQ(::link(file.constData(), other.constData()), 0);
    // Both names get what fits; then more than the disk holds changes neither.
    const Written fits = WriteThrough(file, QByteArray(8192, 'n'));
    EXPECT_TRUE(fits.ok) << fits.errorText.toStdString();
    EXPECT_EQ(ReadAll(other), QByteArray(8192, 'n'));
    const Written tooMuch = WriteThrough(file, QByteArray(1 << 20, 'x'));
    EXPECT_FALSE(tooMuch.ok);
    EXPECT_EQ(tooMuch.error, ENOSPC);
    EXPECT_EQ(ReadAll(file), QByteArray(8192, 'n'));
    EXPECT_EQ(ReadAll(other), QByteArray(8192, 'n'));
}
