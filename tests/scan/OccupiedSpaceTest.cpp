// Occupied space as the disk holds it: sparse files, hard links, empty files and links, on the
// machine's own disk and on a tmpfs, against du.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QProcess>
#include <QTemporaryDir>

#include "common/ListFixture.h"
#include "common/TmpfsMount.h"
#include "platform/DriveMap.h"
#include "scan/FillList.h"
#include "scan/TreeRows.h"
#include "settings/Settings.h"

namespace {

qint64 Du(const QStringList& options, const QByteArray& path) {
    QProcess du;
    du.start(QStringLiteral("du"), options + QStringList{QFile::decodeName(path)});
    EXPECT_TRUE(du.waitForFinished(60000));
    return du.readAllStandardOutput().split('\t').first().toLongLong();
}

qint64 OwnBlocks(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 ? qint64(st.st_blocks) * 512 : -1;
}

void Write(const QByteArray& path, qint64 at, const QByteArray& data) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::pwrite(fd, data.constData(), size_t(data.size()), at), data.size());
    ASSERT_EQ(::close(fd), 0);
}

// A sparse file, a file with five names in two folders and one outside the drive, empty
// files, links and small files.
void MakeTree(const QByteArray& root, const QByteArray& outside) {
    for (const char* dir : {"/vm", "/a", "/b", "/b/deep", "/empty"})
        ASSERT_EQ(::mkdir((root + dir).constData(), 0777), 0);
    Write(root + "/vm/disk.img", 5 << 20, QByteArray(1 << 20, 'd'));
    ASSERT_EQ(::truncate((root + "/vm/disk.img").constData(), qint64(64) << 20), 0);
    Write(root + "/a/shared", 0, QByteArray(1 << 20, 's'));
    for (const char* name : {"/a/shared2", "/b/shared3", "/b/deep/shared4", "/b/shared5"})
        ASSERT_EQ(::link((root + "/a/shared").constData(), (root + name).constData()), 0);
    Write(outside + "/kept", 0, QByteArray(300000, 'k'));
    ASSERT_EQ(::link((outside + "/kept").constData(), (root + "/b/kept").constData()), 0);
    Write(root + "/empty/zero", 0, {});
    Write(root + "/b/small", 0, "tiny");
    ASSERT_EQ(::symlink("a/shared", (root + "/link").constData()), 0);
}

}  // namespace

TEST(OccupiedSpace, TheRootTotalIsWhatDuCounts) {
    testsupport::TmpfsMount tmpfs("200m");
    ASSERT_TRUE(tmpfs.mounted()) << tmpfs.failure();
    QTemporaryDir disk;
    for (const QByteArray& place : {QFile::encodeName(disk.path()), tmpfs.path()}) {
        SCOPED_TRACE(place.constData());
        const QByteArray root = place + "/drive";
        const QByteArray outside = place + "/outside";
        ASSERT_EQ(::mkdir(root.constData(), 0777), 0);
        ASSERT_EQ(::mkdir(outside.constData(), 0777), 0);
        MakeTree(root, outside);
        if (::testing::Test::HasFatalFailure()) return;
        platform::Drives().set(platform::LetterIndex(u'T'), root);
        // Listed as the window lists a drive: its own allocation, a total row.
        testsupport::TempHome home;
        testsupport::ListFixture s({.readThreads = 0});
        s.fill(QStringLiteral("T:"));
        ASSERT_FALSE(s.list.ClusterChosen);
        const scan::FolderTable& t = s.list.Folders;
        // Every name counts in the file figures; the room of a file only once.
        EXPECT_EQ(t.SubtreeTotal[0], Du({"-sx", "-B1"}, root) - OwnBlocks(root));
        EXPECT_EQ(s.list.AllocTotal, t.SubtreeTotal[0]);
        // Every name counts in the file figures: the sparse file, five names of 1 MB, the
        // file linked from outside, an empty file, a small one and the link itself.
        EXPECT_EQ(s.list.FileSizeTotal, (qint64(64) << 20) + (5 << 20) + 300000 + 0 + 4 + 8);
        EXPECT_EQ(s.list.FileTotal, 10);
        const int vm = s.rowOf(QStringLiteral("vm"));
        ASSERT_GE(vm, 0);
        // The sparse file takes what it holds, not its 64 MB.
        EXPECT_EQ(t.AllocSize[size_t(vm)], Du({"-sxS", "-B1"}, root + "/vm"));
        EXPECT_LT(t.AllocSize[size_t(vm)], qint64(2) << 20);
        EXPECT_EQ(t.FileSize[size_t(vm)], qint64(64) << 20);
        // The five names of one file: counted at the first, in the list's order.
        const int a = s.rowOf(QStringLiteral("a"));
        const int b = s.rowOf(QStringLiteral("b"));
        ASSERT_GE(a, 0);
        ASSERT_GE(b, 0);
        EXPECT_EQ(t.FileCount[size_t(a)], 2);
        EXPECT_EQ(t.AllocSize[size_t(a)], OwnBlocks(root + "/a/shared") + OwnBlocks(root + "/a"));
        EXPECT_EQ(t.AllocSize[size_t(b)], OwnBlocks(root + "/b") + OwnBlocks(root + "/b/small") +
                                              OwnBlocks(root + "/b/kept"));
        EXPECT_EQ(t.FileSize[size_t(b)], (2 << 20) + 300000 + 4);
        // A delete frees a hard-linked file's room only with every one of its names.
        const struct {
            const char* name;
            std::vector<QString> rows;
            qint64 kept;
        } selections[] = {
            {"a: three names stay in b", {"a"}, OwnBlocks(root + "/a/shared")},
            {"a, b and deep: every name", {"a", "b", "deep"}, OwnBlocks(root + "/b/kept")},
            {"b: its other name lies outside the drive", {"b"}, OwnBlocks(root + "/b/kept")},
            {"vm: no links", {"vm"}, 0},
        };
        for (const auto& sel : selections) {
            SCOPED_TRACE(sel.name);
            for (int r = 0; r < s.folderRows(); ++r) s.grid.st.rowSelected[size_t(r)] = 0;
            for (const QString& name : sel.rows) s.grid.st.rowSelected[size_t(s.rowOf(name))] = -1;
            scan::CountSelection(s.list);
            EXPECT_EQ(s.list.SelKeptByLinks, sel.kept);
        }
        // A chosen cluster size: each file's size rounded up to it, the folder's clusters,
        // and a hard-linked file still once.
        testsupport::ListFixture what({.clusterChosen = true});  // 4096-byte clusters, chosen
        what.scan(QStringLiteral("T:"), 0);
        const scan::FolderTable& w = what.list.Folders;
        const int wa = what.rowOf(QStringLiteral("a"));
        const int wb = what.rowOf(QStringLiteral("b"));
        const int wvm = what.rowOf(QStringLiteral("vm"));
        EXPECT_EQ(w.AllocSize[size_t(wa)], (1 << 20) + 4096);
        EXPECT_EQ(w.AllocSize[size_t(wb)], 4096 + 4096 + 303104);  // small, kept, the folder
        EXPECT_EQ(w.AllocSize[size_t(wvm)], (qint64(64) << 20) + 4096);
        platform::Drives().set(platform::LetterIndex(u'T'), {});
    }
}
