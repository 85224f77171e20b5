// What a copy or move keeps of its sources (owners, modes, set-ID bits, holes, hard links),
// what it never touches (a folder that took a listed one's name), the files never deleted,
// and trees far deeper than any recursion could walk.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>

#include <QScopeGuard>

#include "OpsFixture.h"
#include "common/TmpfsMount.h"
#include "folderops/LinkedCopies.h"
#include "folderops/OpsText.h"
#include "scan/TreeRows.h"

using namespace folderops;
using opstest::Env;
using opstest::Exists;
using opstest::Listed;
using opstest::Put;
using opstest::ScriptHost;
using testsupport::TempDrive;

namespace {

struct stat Stat(const QByteArray& native) {
    struct stat st {};
    EXPECT_EQ(::lstat(native.constData(), &st), 0) << native.constData();
    return st;
}

uid_t Nobody() {
    const passwd* pw = ::getpwnam("nobody");
    return pw ? pw->pw_uid : uid_t(65534);
}

gid_t NoGroup() {
    const group* gr = ::getgrnam("nogroup");
    return gr ? gr->gr_gid : gid_t(65534);
}

RunEnd RunOp(FolderOps& ops, Operation op) {
    return op == kOpCopy   ? ops.CopyCommand("U:", 1)
           : op == kOpMove ? ops.MoveCommand("U:", 1)
                           : ops.DeleteCommand();
}

// Shows the first level only, so that a selected folder goes whole.
void Collapse(Listed& l) {
    l.list.ShownLevel = 1;
    scan::ApplyLevelLimit(l.list);
}

// Opens each folder of a chain of kDeep levels named "d" below root/top, from descriptors.
int DeepLevels(const QByteArray& root) {
    int fd = ::open((root + "/top").constData(), O_RDONLY | O_DIRECTORY);
    int levels = 0;
    while (fd >= 0) {
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        if (fd >= 0) ++levels;
    }
    return levels;
}

}  // namespace

// Owner, group and mode of files and folders: as root they are the source's (as cp -a and mv
// keep them); a set-ID bit is kept only on a copy whose owner or group is the source's.
TEST(FolderKeep, OwnersModesAndSetIdBits) {
    Env env;
    const bool root = ::geteuid() == 0;
    for (const Operation op : {kOpCopy, kOpMove}) {
        SCOPED_TRACE(VerbOf(op).toStdString());
        TempDrive src(u'T'), dst(u'U');
        Put(src.native(), "d/prog", "#!/bin/sh\n");
        Put(src.native(), "d/private/secret", "mine");
        Put(src.native(), "d/readonly/kept", "in");
        ASSERT_EQ(::chmod((src.native() + "/d/prog").constData(), 06755), 0);
        ASSERT_EQ(::chmod((src.native() + "/d/private").constData(), 0700), 0);
        // (A move could not empty a read-only source folder for an ordinary user.)
        if (op == kOpCopy) {
            ASSERT_EQ(::chmod((src.native() + "/d/readonly").constData(), 0555), 0);
        }
        const uid_t owner = root ? Nobody() : ::geteuid();
        const gid_t group = root ? NoGroup() : ::getegid();
        if (root) {
            // Another user's set-ID program, copied by root.
            for (const char* p : {"/d", "/d/prog", "/d/private", "/d/private/secret"})
                ASSERT_EQ(::lchown((src.native() + p).constData(), owner, group), 0);
            ASSERT_EQ(::chmod((src.native() + "/d/prog").constData(), 06755), 0);
        }
        Listed l(src.drive());
        Collapse(l);
        l.select({"d"});
        ScriptHost host;
        FolderOps ops(l.list, host, env.home.native());
        ASSERT_EQ(RunOp(ops, op), RunEnd::Finished) << host.asked.join("\n").toStdString();
        const struct stat prog = Stat(dst.native() + "/d/prog");
        EXPECT_EQ(prog.st_uid, owner);
        EXPECT_EQ(prog.st_gid, group);
        EXPECT_EQ(prog.st_mode & 07777, 06755u);
        const struct stat priv = Stat(dst.native() + "/d/private");
        EXPECT_EQ(priv.st_mode & 07777, 0700u) << "a private folder stays private";
        EXPECT_EQ(priv.st_uid, owner);
        EXPECT_EQ(Stat(dst.native() + "/d/private/secret").st_uid, owner);
        EXPECT_EQ(Stat(dst.native() + "/d").st_uid, owner);
        EXPECT_EQ(Stat(dst.native() + "/d/readonly").st_mode & 07777,
                  op == kOpCopy ? 0555u : 0755u);
        EXPECT_EQ(opstest::Read(dst.native() + "/d/readonly/kept"), "in")
            << "a read-only folder gets its mode once its contents are in";
        EXPECT_EQ(Exists(src.native() + "/d"), op == kOpCopy);
        ::chmod((dst.native() + "/d/readonly").constData(), 0755);
        ::chmod((src.native() + "/d/readonly").constData(), 0755);
    }
    // Someone else's set-ID program copied by an ordinary user becomes theirs, without the
    // bits; one of their own keeps them.
    if (!root) return;
    TempDrive src(u'T'), dst(u'U');
    Put(src.native(), "d/rootprog", "#!/bin/sh\n");
    Put(src.native(), "d/ownprog", "#!/bin/sh\n");
    for (const QByteArray& p : {src.native(), src.native() + "/d", dst.native()})
        ASSERT_EQ(::chmod(p.constData(), 0777), 0);
    ASSERT_EQ(::chmod((src.native() + "/d/rootprog").constData(), 06755), 0);
    ASSERT_EQ(::lchown((src.native() + "/d/ownprog").constData(), Nobody(), NoGroup()), 0);
    ASSERT_EQ(::chmod((src.native() + "/d/ownprog").constData(), 06755), 0);
    testsupport::RunUnprivileged([&] {
        QTemporaryDir app;
        Listed l(src.drive());
        Collapse(l);
        l.select({"d"});
        ScriptHost host;
        FolderOps ops(l.list, host, QFile::encodeName(app.path()));
        ASSERT_EQ(ops.CopyCommand("U:", 1), RunEnd::Finished);
        const struct stat theirs = Stat(dst.native() + "/d/rootprog");
        EXPECT_EQ(theirs.st_uid, ::geteuid());
        EXPECT_EQ(theirs.st_mode & 07777, 0755u);
        EXPECT_EQ(Stat(dst.native() + "/d/ownprog").st_mode & 07777, 06755u);
    });
}

// Holes stay holes and names of one file stay names of one file, in a copy and in a move.
TEST(FolderKeep, SparseFilesAndHardLinks) {
    Env env;
    for (const Operation op : {kOpCopy, kOpMove}) {
        SCOPED_TRACE(VerbOf(op).toStdString());
        TempDrive src(u'T'), dst(u'U');
        Put(src.native(), "d/a/one", "shared bytes");
        Put(src.native(), "d/lone", "alone");
        ASSERT_EQ(::mkdir((src.native() + "/d/b").constData(), 0755), 0);
        ASSERT_EQ(::link((src.native() + "/d/a/one").constData(),
                         (src.native() + "/d/b/two").constData()),
                  0);
        ASSERT_EQ(::link((src.native() + "/d/a/one").constData(),
                         (src.native() + "/d/three").constData()),
                  0);
        // 64 MiB holding 8 KiB in its middle.
        const int fd =
            ::open((src.native() + "/d/sparse").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const QByteArray data(8192, 'x');
        ASSERT_EQ(::pwrite(fd, data.constData(), size_t(data.size()), 32 << 20), data.size());
        ASSERT_EQ(::ftruncate(fd, 64 << 20), 0);
        ::close(fd);
        const struct stat sparse = Stat(src.native() + "/d/sparse");
        Listed l(src.drive());
        Collapse(l);
        l.select({"d"});
        ScriptHost host;
        FolderOps ops(l.list, host, env.home.native());
        ASSERT_EQ(RunOp(ops, op), RunEnd::Finished) << host.asked.join("\n").toStdString();
        const struct stat copied = Stat(dst.native() + "/d/sparse");
        EXPECT_EQ(copied.st_size, 64 << 20);
        EXPECT_LE(copied.st_blocks, sparse.st_blocks + 16) << "the holes were filled";
        const QByteArray middle = opstest::Read(dst.native() + "/d/sparse").mid(32 << 20, 8192);
        EXPECT_EQ(middle, data);
        const struct stat one = Stat(dst.native() + "/d/a/one");
        EXPECT_EQ(one.st_nlink, 3u);
        EXPECT_EQ(Stat(dst.native() + "/d/b/two").st_ino, one.st_ino);
        EXPECT_EQ(Stat(dst.native() + "/d/three").st_ino, one.st_ino);
        EXPECT_EQ(opstest::Read(dst.native() + "/d/b/two"), "shared bytes");
        EXPECT_EQ(Stat(dst.native() + "/d/lone").st_nlink, 1u);
        EXPECT_EQ(Exists(src.native() + "/d"), op == kOpCopy);
    }
}

// A real folder moved in from elsewhere under the name of a listed subfolder not yet reached
// is neither emptied nor carried along: it is asked about (or logged) as a changed folder.
TEST(FolderKeep, AFolderThatTookAListedOnesNameIsLeftAlone) {
    Env env;
    for (const Operation op : {kOpDelete, kOpMove}) {
        for (const bool unattended : {false, true}) {
            SCOPED_TRACE(VerbOf(op).toStdString() + (unattended ? " unattended" : ""));
            TempDrive src(u'T'), dst(u'U');
            Put(src.native(), "sel/a/f", "listed");
            Put(src.native(), "sel/b/c/g", "listed too");
            Put(src.native(), "other/x/keep", "not selected");
            Listed l(src.drive());
            Collapse(l);
            l.select({"sel"});
            ScriptHost host;
            host.unattended = unattended;
            bool swapped = false;
            host.onTitle = [&] {
                if (swapped) return;
                swapped = true;
                const QByteArray c = src.native() + "/sel/b/c";
                ASSERT_EQ(::rename(c.constData(), (src.native() + "/other/c").constData()), 0);
                ASSERT_EQ(::rename((src.native() + "/other/x").constData(), c.constData()), 0);
            };
            FolderOps ops(l.list, host, env.home.native());
            EXPECT_EQ(RunOp(ops, op), RunEnd::Finished);
            ASSERT_TRUE(swapped);
            EXPECT_EQ(opstest::Read(src.native() + "/sel/b/c/keep"), "not selected");
            EXPECT_FALSE(Exists(dst.native() + "/sel/b/c/keep"));
            EXPECT_EQ(opstest::Read(src.native() + "/other/c/g"), "listed too");
            EXPECT_FALSE(Exists(src.native() + "/sel/a")) << "the rest went";
            const QString changed = ChangedText("T:\\sel\\b\\c", VerbOf(op));
            if (unattended) {
                ASSERT_EQ(host.opened.size(), 1);
                EXPECT_EQ(opstest::Read(host.opened[0]),
                          ChangedLogLine("T:\\sel\\b\\c", VerbOf(op)).toUtf8());
            } else {
                EXPECT_TRUE(host.asked.contains(changed)) << host.asked.join("\n").toStdString();
            }
            EXPECT_EQ(host.asked.last(), FinishedLeftText(FinishedText(VerbOf(op)), VerbOf(op), 1));
        }
    }
}

// Files named like a Windows system's swap and cache files: a copy copies them, a delete and a
// move's source never remove them, and the closing message says they stayed.
TEST(FolderKeep, FilesNeverDeletedAreCopiedAndSaidToStay) {
    Env env;
    for (const Operation op : {kOpCopy, kOpMove, kOpDelete}) {
        SCOPED_TRACE(VerbOf(op).toStdString());
        TempDrive src(u'T'), dst(u'U');
        Put(src.native(), "d/PageFile.sys", "swap");
        Put(src.native(), "d/sub/schedlog.txt", "log");
        Put(src.native(), "d/sub/plain", "plain");
        Listed l(src.drive());
        Collapse(l);
        l.select({"d"});
        ScriptHost host;
        FolderOps ops(l.list, host, env.home.native());
        EXPECT_EQ(RunOp(ops, op), RunEnd::Finished);
        const bool copies = op != kOpDelete;
        EXPECT_EQ(opstest::Read(dst.native() + "/d/PageFile.sys"), copies ? "swap" : "");
        EXPECT_EQ(opstest::Read(dst.native() + "/d/sub/schedlog.txt"), copies ? "log" : "");
        EXPECT_EQ(opstest::Read(src.native() + "/d/PageFile.sys"), "swap");
        EXPECT_EQ(opstest::Read(src.native() + "/d/sub/schedlog.txt"), "log");
        EXPECT_EQ(Exists(src.native() + "/d/sub/plain"), op == kOpCopy);
        EXPECT_EQ(host.asked.last(),
                  op == kOpCopy ? FinishedText(VerbOf(op))
                                : FinishedLeftText(FinishedText(VerbOf(op)), VerbOf(op), 2));
    }
}

// A chain far deeper than any recursion could walk: each operation goes through it whole.
// (On a tmpfs of its own: a disk would spend minutes writing 100,000 folders back.)
TEST(FolderKeep, ChainsOfAHundredThousandFolders) {
    Env env;
    testsupport::TmpfsMount disk("1g");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    const bool hadTmp = qEnvironmentVariableIsSet("TMPDIR");
    const QByteArray tmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", disk.path());
    const auto restore = qScopeGuard([&] {
        if (hadTmp)
            qputenv("TMPDIR", tmp);
        else
            qunsetenv("TMPDIR");
    });
    constexpr int kDeep = 100000;
    for (const Operation op : {kOpCopy, kOpMove, kOpDelete}) {
        SCOPED_TRACE(VerbOf(op).toStdString());
        TempDrive src(u'T'), dst(u'U');
        src.makeDir("top");
        int fd = ::open((src.native() + "/top").constData(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < kDeep && fd >= 0; ++i) {
            ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
            const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        ASSERT_GE(fd, 0);
        Put(src.native(), "top/f", "at the top");
        ::close(fd);
        Listed l(src.drive());
        ASSERT_EQ(l.list.ListRowCount, kDeep + 3);
        Collapse(l);
        l.select({"top"});
        ScriptHost host;
        FolderOps ops(l.list, host, env.home.native());
        ASSERT_EQ(RunOp(ops, op), RunEnd::Finished);
        EXPECT_EQ(host.asked.last(), FinishedText(VerbOf(op)));
        EXPECT_EQ(DeepLevels(dst.native()), op == kOpDelete ? 0 : kDeep);
        EXPECT_EQ(DeepLevels(src.native()), op == kOpCopy ? kDeep : 0);
        EXPECT_EQ(Exists(src.native() + "/top"), op == kOpCopy);
        testsupport::RemoveTree(src.native() + "/top");
        testsupport::RemoveTree(dst.native() + "/top");
    }
}

// The copies held for further names: let go after the last name, never more than the cap held
// (a further copy past it is refused and its descriptor closed, so a run never runs out).
TEST(FolderKeep, LinkedCopiesHoldAtMostTheirCap) {
    const auto open = [] { return ::open("/", O_PATH | O_CLOEXEC); };
    const auto isOpen = [](int fd) { return ::fcntl(fd, F_GETFD) != -1; };
    LinkedCopies links;
    const int first = open();
    ASSERT_TRUE(links.Add(1, 1, first, 2));
    EXPECT_EQ(links.Find(1, 1), first);
    links.Used(1, 1);
    EXPECT_EQ(links.Find(1, 1), first) << "one name still to come";
    links.Used(1, 1);
    EXPECT_EQ(links.Find(1, 1), -1);
    EXPECT_FALSE(isOpen(first));
    std::vector<int> held;
    for (size_t i = 0; i < LinkedCopies::kMostHeld; ++i) {
        held.push_back(open());
        ASSERT_TRUE(links.Add(2, i, held.back(), 1));
    }
    EXPECT_TRUE(links.Full());
    const int refused = open();
    EXPECT_FALSE(links.Add(3, 0, refused, 1));
    EXPECT_FALSE(isOpen(refused));
    EXPECT_EQ(links.Find(3, 0), -1);
    links.Clear();
    for (const int fd : held) EXPECT_FALSE(isOpen(fd));
}
