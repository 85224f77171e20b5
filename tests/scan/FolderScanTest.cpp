#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <vector>

#include "common/ListFixture.h"
#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "scan/FolderScan.h"
#include "scan/FolderSource.h"
#include "scan/SizeFormat.h"

using testsupport::ListFixture;
using testsupport::RunUnprivileged;
using testsupport::TempDrive;

namespace {

// Figures checked by hand: each file rounded up to 4096-byte clusters, as with a chosen size.
const testsupport::ListOptions kByHand{.clusterChosen = true};

QString Native(const TempDrive& d, const QByteArray& rel) {
    return QFile::decodeName(d.native() + "/" + rel);
}

void Sparse(const TempDrive& d, const QByteArray& rel, qint64 size) {
    d.writeFile(rel);
    QFile f(Native(d, rel));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.resize(size));
}

void Link(const TempDrive& d, const QByteArray& target, const QByteArray& rel) {
    ASSERT_TRUE(QFile::link(QFile::decodeName(target), Native(d, rel)));
}

}  // namespace

TEST(ClusterRules, FilesRoundUpToWholeClusters) {
    EXPECT_EQ(scan::FileClusters(0, 4096), 0);
    EXPECT_EQ(scan::FileClusters(1, 4096), 1);
    EXPECT_EQ(scan::FileClusters(4096, 4096), 1);
    EXPECT_EQ(scan::FileClusters(4097, 4096), 2);
    const qint64 threeGb = 3 * scan::kGB;
    EXPECT_EQ(scan::FileClusters(threeGb, 4096), threeGb / 4096);
    EXPECT_EQ(scan::FileClusters(threeGb + 1, 4096), threeGb / 4096 + 1);
}

TEST(ClusterRules, DirectoryClusters) {
    // 512-byte clusters hold 7 entries.
    EXPECT_EQ(scan::DirectoryClusters(false, 7, 7), 1);
    EXPECT_EQ(scan::DirectoryClusters(false, 8, 7), 2);
    EXPECT_EQ(scan::DirectoryClusters(false, 0, 7), 1);
    EXPECT_EQ(scan::DirectoryClusters(true, 100, 7), 0);
    // Beyond 16 bits the estimate gives up.
    EXPECT_EQ(scan::DirectoryClusters(false, 32767 * 7 + 1, 7), 0);
    EXPECT_EQ(scan::RowIndentFor(10, 3), 32);
    EXPECT_EQ(scan::RowIndentFor(20000, 2), 0);
}

TEST(FolderScan, SizesClustersAndPlaceholder) {
    TempDrive d;
    d.writeFile("files/zero");
    d.writeFile("files/one", "x");
    d.writeFile("files/full", QByteArray(4096, 'a'));
    d.writeFile("files/over", QByteArray(4097, 'a'));
    Sparse(d, "big/three_gb", 3 * scan::kGB);
    d.makeDir("empty");
    ListFixture s(kByHand);
    s.scan(d.drive(), 0);
    ASSERT_EQ(s.folderRows(), 4);
    EXPECT_EQ(s.cell(0, 0), d.drive() + u'\\');
    const int files = s.rowOf("files");
    ASSERT_GE(files, 0);
    const auto& t = s.list.Folders;
    EXPECT_EQ(t.FileCount[files], 4);
    EXPECT_EQ(t.FileSize[files], 1 + 4096 + 4097);
    // 1 + 1 + 2 file clusters and one directory cluster.
    EXPECT_EQ(t.AllocSize[files], 5 * 4096);
    const int big = s.rowOf("big");
    EXPECT_EQ(t.FileSize[big], 3 * scan::kGB);
    EXPECT_EQ(t.AllocSize[big], 3 * scan::kGB + 4096);
    const int empty = s.rowOf("empty");
    EXPECT_EQ(t.AllocSize[empty], 4096);
    EXPECT_EQ(t.FileCount[empty], 0);
    // The root holds no files: no clusters of its own.
    EXPECT_EQ(t.AllocSize[0], 0);
    EXPECT_EQ(t.SubtreeTotal[0], 5 * 4096 + 3 * scan::kGB + 4096 + 4096);
    EXPECT_EQ(s.list.FileTotal, 5);
    EXPECT_EQ(s.list.FolderTotal, 3);
    EXPECT_EQ(s.list.Files.FileTableCount, 5);
    EXPECT_EQ(s.list.Depth, 0);
    // The subtree total is shown once the subtree is done.
    EXPECT_EQ(s.cell(0, 4), scan::CellSize(t.SubtreeTotal[0], 0));
    EXPECT_EQ(s.cell(files, 2), scan::CellSize(1 + 4096 + 4097, 0));
    EXPECT_EQ(s.cell(files, 1), QStringLiteral("4"));
    for (int r = 1; r < 4; ++r) EXPECT_EQ(t.Parent[r], 0);
}

TEST(FolderScan, SmallClustersCountDirectoryEntries) {
    TempDrive d;
    for (int i = 0; i < 8; ++i) d.writeFile("eight/f" + QByteArray::number(i), "abc");
    d.writeFile("seven/a");
    ListFixture s(kByHand);
    s.list.ClusterSize = 512;
    s.list.DirEntriesPerCluster = 512 / 64 - 1;
    s.scan(d.drive(), 0);
    EXPECT_EQ(s.list.Folders.AllocSize[s.rowOf("eight")], (2 + 8) * 512);
    // A file of 0 bytes counts but takes no cluster.
    EXPECT_EQ(s.list.Folders.AllocSize[s.rowOf("seven")], 512);
    EXPECT_EQ(s.list.Folders.FileCount[s.rowOf("seven")], 1);
}

TEST(FolderScan, OrderAndSkipRules) {
    TempDrive d;
    d.makeDir("b");
    d.makeDir("A");
    d.makeDir("c");
    d.makeDir("}skipped/inner");
    d.writeFile(".hidden/file", "12");
    d.writeFile(".dotfile", "123");
    ListFixture s(kByHand);
    s.scan(d.drive(), 0);
    ASSERT_EQ(s.folderRows(), 5);
    EXPECT_EQ(s.cell(1, 0), ".hidden");
    EXPECT_EQ(s.cell(2, 0), "A");
    EXPECT_EQ(s.cell(3, 0), "b");
    EXPECT_EQ(s.cell(4, 0), "c");
    EXPECT_EQ(s.list.FolderTotal, 4);
    EXPECT_EQ(s.list.Folders.FileCount[0], 1);
    EXPECT_EQ(s.list.Folders.FileSize[1], 2);
    EXPECT_EQ(s.list.Folders.HasChildren[0], 1);
    EXPECT_EQ(s.list.Folders.HasChildren[2], 0);
}

TEST(FolderScan, NineLevelsWrapTheGridLevel) {
    TempDrive d;
    d.makeDir("1/2/3/4/5/6/7/8");
    ListFixture s(kByHand);
    s.scan(d.drive(), 0);
    ASSERT_EQ(s.folderRows(), 9);
    for (int r = 0; r < 9; ++r) {
        EXPECT_EQ(s.grid.st.rowLevel[r], r & 7) << r;
        EXPECT_EQ(s.list.Folders.Level[r], r) << r;
        EXPECT_EQ(s.grid.st.rowIndent[r], 10 * r + 2);
        if (r > 0) {
            EXPECT_EQ(s.list.Folders.Parent[r], r - 1);
        }
    }
    EXPECT_EQ(s.list.Folders.SubtreeTotal[0], 8 * 4096);
}

TEST(FolderScan, OddNamesKeepTheirBytes) {
    TempDrive d;
    const QList<QByteArray> names = {"日本語フォルダ", "with blank", "ctl\x01x", "back\\slash",
                                     "bad\xff\xfeutf8"};
    // Names that are not UTF-8 cannot pass through QFile: made natively.
    for (const QByteArray& n : names) {
        ASSERT_TRUE(platform::MakeDirNative(d.native() + "/" + n));
        ASSERT_TRUE(platform::MakeDirNative(d.native() + "/" + n + "/f"));
    }
    ListFixture s(kByHand);
    s.scan(d.drive(), 0);
    ASSERT_EQ(s.folderRows(), 1 + 2 * names.size());
    for (const QByteArray& n : names) {
        const int r = s.rowOf(platform::NameFromNative(n));
        ASSERT_GE(r, 0) << n.toHex().constData();
        EXPECT_EQ(s.list.Folders.native(r), n);
        EXPECT_EQ(s.list.Folders.nativePath(r), d.native() + "/" + n);
        EXPECT_EQ(s.list.Folders.HasChildren[r], 1);
        EXPECT_EQ(s.cell(r + 1, 0), QStringLiteral("f"));
        // The shown name never carries a separator of the platform's paths.
        EXPECT_FALSE(s.cell(r, 0).contains(u'\\'));
    }
}

TEST(FolderScan, LinksAreFilesNeverFollowed) {
    TempDrive d;
    d.writeFile("real/data", QByteArray(100, 'x'));
    d.makeDir("links");
    Link(d, "../real/data", "links/to_file");
    Link(d, d.native() + "/real", "links/to_folder");
    Link(d, "nowhere/at/all", "links/dangling");
    Link(d, "..", "links/loop");
    ListFixture s(kByHand);
    s.scan(d.drive(), 0);
    EXPECT_EQ(s.folderRows(), 3);
    const int r = s.rowOf("links");
    EXPECT_EQ(s.list.Folders.FileCount[r], 4);
    const qint64 own = QByteArray("../real/data").size() + (d.native() + "/real").size() +
                       QByteArray("nowhere/at/all").size() + 2;
    EXPECT_EQ(s.list.Folders.FileSize[r], own);
    EXPECT_EQ(s.list.Folders.HasChildren[r], 0);
}

TEST(FolderScan, UnreadableFolderHasNoFiles) {
    // Runs as an unprivileged user so that the missing permission binds under root too.
    RunUnprivileged([] {
        TempDrive d;
        d.writeFile("locked/secret", "abc");
        d.makeDir("locked/sub");
        const QString locked = Native(d, "locked");
        QFile::setPermissions(locked, QFileDevice::Permissions());
        ASSERT_FALSE(QDir(locked).isReadable());
        ListFixture s(kByHand);
        s.scan(d.drive(), 0);
        QFile::setPermissions(
            locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        ASSERT_EQ(s.folderRows(), 2);
        EXPECT_EQ(s.list.Folders.FileCount[1], 0);
        EXPECT_EQ(s.list.Folders.AllocSize[1], 4096);
    });
}

TEST(FolderScan, FolderRemovedDuringTheScan) {
    TempDrive d;
    for (int i = 0; i < 200; ++i) d.makeDir("d" + QByteArray::number(1000 + i));
    d.writeFile("z_last/inner/file", "abc");
    d.writeFile("z_last/own", "abcd");
    ListFixture s(kByHand);
    int calls = 0;
    s.list.ProcessEvents = [&] {
        if (calls++ == 0) QDir(Native(d, "z_last")).removeRecursively();
    };
    s.scan(d.drive(), 0);
    EXPECT_GE(calls, 1);
    const int r = s.rowOf("z_last");
    ASSERT_GE(r, 0);
    EXPECT_EQ(s.list.Folders.FileCount[r], 0);
    EXPECT_EQ(s.list.Folders.AllocSize[r], 4096);
    EXPECT_EQ(s.folderRows(), 202);
    EXPECT_EQ(s.list.Depth, 0);
}

TEST(FolderScan, StopFlagEndsTheWalk) {
    TempDrive d;
    for (int i = 0; i < 300; ++i) d.writeFile("d" + QByteArray::number(1000 + i) + "/f", "a");
    for (int threads : {0, 2}) {
        ListFixture s(kByHand);
        s.list.ProcessEvents = [&] { s.list.StopFlag = true; };
        s.scan(d.drive(), threads);
        EXPECT_EQ(s.folderRows(), 128) << threads;
        EXPECT_TRUE(s.list.StopFlag);
        // The root was not finished: no subtree total was written for it.
        EXPECT_EQ(s.list.Folders.SubtreeTotal[0], 0);
    }
}

TEST(FolderScan, FileTableGrowsAndLetsEventsRun) {
    TempDrive d;
    for (int i = 0; i < 1500; ++i) d.writeFile("many/f" + QByteArray::number(i));
    ListFixture s(kByHand);
    int calls = 0;
    s.list.ProcessEvents = [&] { ++calls; };
    s.scan(d.drive(), 0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(s.list.Files.bound(), 1500);  // no room left over once the list is done
    EXPECT_EQ(s.list.Files.FileTableCount, 1500);
    for (int k = 0; k < 1500; ++k) ASSERT_EQ(s.list.Files.FileOwner[k], 1);
}

TEST(FolderScan, ThreadedReadingGivesTheSameTables) {
    TempDrive d;
    QRandomGenerator rng(77);
    QList<QByteArray> folders = {""};
    for (int i = 0; i < 400; ++i) {
        const QByteArray parent = folders[rng.bounded(int(folders.size()))];
        const QByteArray name = (rng.bounded(2) ? "Dir" : "dir") + QByteArray::number(i % 37) +
                                "_" + QByteArray::number(i);
        const QByteArray path = parent.isEmpty() ? name : parent + "/" + name;
        d.makeDir(path);
        folders << path;
    }
    for (int i = 0; i < 3000; ++i) {
        const QByteArray folder = folders[rng.bounded(int(folders.size()))];
        d.writeFile((folder.isEmpty() ? "" : folder + "/") + "f" + QByteArray::number(i),
                    QByteArray(int(rng.bounded(9000)), 'q'));
    }
    ListFixture one(kByHand);
    one.scan(d.drive(), 0);
    ASSERT_EQ(one.folderRows(), 401);
    for (int threads : {1, 3, 8}) {
        ListFixture many(kByHand);
        many.scan(d.drive(), threads);
        ASSERT_EQ(many.folderRows(), one.folderRows());
        const auto& a = one.list.Folders;
        const auto& b = many.list.Folders;
        for (int r = 0; r < one.folderRows(); ++r) {
            ASSERT_EQ(a.name(r), b.name(r)) << r;
            ASSERT_EQ(a.Parent[r], b.Parent[r]);
            ASSERT_EQ(a.Level[r], b.Level[r]);
            ASSERT_EQ(a.SubtreeTotal[r], b.SubtreeTotal[r]);
            ASSERT_EQ(a.native(r), b.native(r));
            for (int c = 0; c < 5; ++c) ASSERT_EQ(one.cell(r, c), many.cell(r, c)) << r;
        }
        ASSERT_EQ(one.list.Files.FileTableCount, many.list.Files.FileTableCount);
        for (int k = 0; k < one.list.Files.FileTableCount; ++k) {
            ASSERT_EQ(one.list.Files.FileBytes[k], many.list.Files.FileBytes[k]);
            ASSERT_EQ(one.list.Files.FileOwner[k], many.list.Files.FileOwner[k]);
        }
        EXPECT_EQ(one.list.FolderTotal, many.list.FolderTotal);
    }
}

TEST(FolderSource, ReadAheadStaysWithinItsBudget) {
    TempDrive d;
    for (int i = 0; i < 60; ++i)
        for (int k = 0; k < 40; ++k)
            d.writeFile("w" + QByteArray::number(i) + "/f" + QByteArray::number(k));
    scan::FolderSource source(d.native(), 3, 100);
    ASSERT_TRUE(source.valid());
    scan::FolderListing root;
    const auto rootTask = source.root(root);
    ASSERT_EQ(root.subs.size(), 60u);
    const auto tasks = source.children(rootTask);
    ASSERT_EQ(tasks.size(), 60u);
    size_t files = 0;
    for (const auto& t : tasks) files += source.take(t).fileSizes.size();
    EXPECT_EQ(files, 60u * 40u);
    // A reader stops taking work once 100 entries wait; the listings in flight may pass it.
    EXPECT_LE(source.peakWaiting(), 100u + 4u * 41u);
}

TEST(FolderSource, ReadersRunAheadInTheScansOrderAndStopWithTheSource) {
    // 20 folders of 5 folders of one file each; the scan's order is pre-order by name.
    TempDrive d;
    std::vector<QByteArray> preOrder;
    for (int i = 0; i < 20; ++i) {
        const QByteArray a = "a" + QByteArray::number(i).rightJustified(2, '0');
        preOrder.push_back(a);
        for (int k = 0; k < 5; ++k) {
            preOrder.push_back(a + "/b" + QByteArray::number(k));
            d.writeFile(preOrder.back() + "/f");
        }
    }
    // One reader, held back once 40 entries wait: two whole subtrees of 16 entries (a folder
    // counts its files, its subfolders and itself), then a02 (6) and a02/b0 (2) fill it.
    scan::FolderSource source(d.native(), 1, 40);
    scan::FolderListing root;
    const auto rootTask = source.root(root);
    auto tasks = source.children(rootTask);
    ASSERT_EQ(tasks.size(), 20u);
    source.waitUntilSettled();
    // Every folder gets one more file, last folder first: a folder that still shows its old
    // count was read before it changed, so the folders read ahead form a prefix of the
    // reader's own order.
    for (auto it = preOrder.rbegin(); it != preOrder.rend(); ++it) d.writeFile(*it + "/g");
    std::vector<bool> readAhead;
    for (size_t i = 0; i < tasks.size(); ++i) {
        const scan::FolderListing a = source.take(tasks[i]);
        readAhead.push_back(a.fileSizes.size() == 0);
        const auto subs = source.children(tasks[i]);
        ASSERT_EQ(subs.size(), 5u);
        for (const auto& sub : subs) readAhead.push_back(source.take(sub).fileSizes.size() == 1);
    }
    ASSERT_EQ(readAhead.size(), preOrder.size());
    const size_t ahead = size_t(std::count(readAhead.begin(), readAhead.end(), true));
    // The scan's order: a reader that went breadth first would have read a01 before a00/b0.
    for (size_t i = 0; i < readAhead.size(); ++i)
        EXPECT_EQ(readAhead[i], i < ahead) << preOrder[i].constData();
    // Past the first subtree, and exactly as far as the budget lets it: 6 + 6 + 2 folders.
    EXPECT_EQ(ahead, 14u);

    // A skipped folder is not handed out; a take after the stop does not wait.
    scan::FolderSource again(d.native(), 2);
    const auto againRoot = again.root(root);
    tasks = again.children(againRoot);
    again.skip(tasks[1]);
    again.stop();
    (void)again.take(tasks[19]);
}

TEST(FolderScan, MountPointsAreListedNotEntered) {
    TempDrive d;
    d.writeFile("mnt/inside/file", "abc");
    d.writeFile("plain/file", "abc");
    // A mount table in which the folder "mnt" is a mount point (a bind mount, say).
    const QByteArray table =
        "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "30 20 8:1 /elsewhere " +
        d.native() + "/mnt rw - ext4 /dev/sda1 rw\n";
    platform::MountSources sources;
    sources.mountInfoText = table;
    platform::LoadDrives({}, sources);
    platform::Drives().set(platform::LetterIndex(u'T'), d.native());
    ListFixture s(kByHand);
    s.scan(d.drive(), 0);
    platform::ForgetDrives();
    const int mnt = s.rowOf("mnt");
    ASSERT_GE(mnt, 0);
    EXPECT_EQ(s.list.Folders.FileCount[mnt], 0);
    EXPECT_EQ(s.list.Folders.HasChildren[mnt], 0);
    EXPECT_EQ(s.list.Folders.AllocSize[mnt], 4096);
    EXPECT_EQ(s.rowOf("inside"), -1);
    EXPECT_EQ(s.list.Folders.FileCount[s.rowOf("plain")], 1);
    EXPECT_EQ(s.list.FolderTotal, 2);
}
