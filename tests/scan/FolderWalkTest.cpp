// The walk on trees nobody prepares for: deeper than PATH_MAX and than 255 levels, with
// and without openat2; every folder's state; sums past 2^63.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <climits>
#include <functional>
#include <limits>

#include "common/ListFixture.h"
#include "common/TestSupport.h"
#include "common/TmpfsMount.h"
#include "grid/Grid.h"
#include "platform/DirReader.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "scan/FillList.h"
#include "scan/FolderScan.h"
#include "scan/FolderStates.h"
#include "scan/TreeRows.h"
#include "settings/Settings.h"

using testsupport::ListFixture;
using testsupport::RunUnprivileged;
using testsupport::TempDrive;

namespace {

// Makes a chain of folders below root, one name per level, each holding one file of
// `bytes` bytes; every step relative to the last folder, so the chain may pass PATH_MAX.
void MakeChain(const QByteArray& root, int levels, const QByteArray& name, int bytes) {
    int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdirat(fd, name.constData(), 0755), 0) << i;
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(next, 0) << i;
        ::close(fd);
        fd = next;
        const int file = ::openat(fd, "f", O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(file, 0);
        ASSERT_EQ(::write(file, QByteArray(bytes, 'x').constData(), size_t(bytes)), bytes);
        ::close(file);
    }
    ::close(fd);
}

struct CleanUp {
    QByteArray root;
    ~CleanUp() { testsupport::RemoveTree(root); }
};

// The walk as on a kernel without openat2, for the life of the object.
struct Fallback {
    explicit Fallback(bool on) { platform::ForceOpenatFallback(on); }
    ~Fallback() { platform::ForceOpenatFallback(false); }
};

// Figures checked by hand: each file rounded up to 4096-byte clusters, as with a chosen size.
const testsupport::ListOptions kByHand{.clusterChosen = true};

}  // namespace

TEST(FolderWalk, DeepChainsAreWalkedWholeWithAndWithoutOpenat2) {
    struct Case {
        int levels;
        QByteArray name;
    };
    // 300 and 5,000 levels (past 255 and past PATH_MAX), and 40 levels of 255-byte names.
    const Case cases[] = {{300, "d"}, {5000, "d"}, {40, QByteArray(255, 'n')}};
    for (const Case& c : cases) {
        TempDrive d;
        CleanUp clean{d.native()};
        MakeChain(d.native(), c.levels, c.name, 1);
        for (const bool fallback : {false, true}) {
            Fallback mode(fallback);
            for (const int threads : {0, 2}) {
                SCOPED_TRACE(testing::Message() << c.levels << " levels, fallback " << fallback
                                                << ", threads " << threads);
                ListFixture s(kByHand);
                s.scan(d.drive(), threads);
                ASSERT_EQ(s.folderRows(), c.levels + 1);
                const auto& t = s.list.Folders;
                EXPECT_EQ(s.list.FileTotal, c.levels);
                EXPECT_EQ(s.list.FolderTotal, c.levels);
                EXPECT_EQ(s.list.Depth, 0);
                for (int r = 1; r <= c.levels; ++r) {
                    ASSERT_EQ(t.Level[r], r);
                    ASSERT_EQ(t.Parent[r], r - 1);
                    ASSERT_EQ(t.FileCount[r], 1) << r;
                    ASSERT_EQ(t.State[r], scan::kFolderRead) << r;
                    ASSERT_EQ(t.SubtreeTotal[r], qint64(c.levels - r + 1) * 2 * 4096) << r;
                }
                // The deepest folder's path, made from native names, reaches the disk.
                const QByteArray deepest = t.nativePath(c.levels);
                EXPECT_EQ(deepest.size(), d.native().size() + c.levels * (c.name.size() + 1));
                if (c.levels * (c.name.size() + 1) > PATH_MAX) {
                    EXPECT_GT(deepest.size(), PATH_MAX);
                }
            }
        }
    }
}

TEST(FolderWalk, LevelsPast255StayBelowTheirParentInTheLevelLimit) {
    ListFixture l({.settings = true});
    TempDrive d;
    CleanUp clean{d.native()};
    MakeChain(d.native(), 600, "d", 1);
    l.list.ShownLevel = 1;
    scan::FillList(l.list, d.drive());
    // The root, one top-level folder holding the whole chain, the total row.
    ASSERT_EQ(l.grid.st.rowCount, 3);
    // What the file system gave the chain: a folder occupies 4096 bytes on ext4, none on tmpfs.
    EXPECT_EQ(l.list.Folders.ShownAlloc[1], testsupport::AllocatedTree(d.native() + "/d"));
    scan::ApplyLevelLimit(l.list);
    scan::ComputeTreeFlags(l.list);  // levels beyond 255 in the tree flags
    l.list.ShownLevel = 0;
    scan::ApplyLevelLimit(l.list);
    scan::ComputeTreeFlags(l.list);
    EXPECT_EQ(l.grid.st.rowCount, 602);
    EXPECT_EQ(l.grid.st.rowTreeFlags[599], 1 | 2);
}

TEST(FolderWalk, EveryFolderHasAState) {
    TempDrive d;
    d.writeFile("locked/inner/file", "abc");
    d.writeFile("open/file", "abc");
    d.writeFile("goes/file", "abc");
    d.writeFile("z/file", "abc");
    d.makeDir(" lead");
    d.makeDir("lead");
    testsupport::TmpfsMount mounted("64k");
    ASSERT_TRUE(mounted.mounted()) << mounted.failure();
    d.makeDir("mnt");
    ASSERT_EQ(::mount(mounted.path().constData(), (d.native() + "/mnt").constData(), nullptr,
                      MS_BIND, nullptr),
              0);
    testsupport::WriteAll(mounted.path() + "/inside", "abc");
    ASSERT_EQ(::chmod(d.native().constData(), 0777), 0);  // the unprivileged child's drive
    ASSERT_EQ(::chmod((d.native() + "/locked").constData(), 0), 0);
    for (const bool fallback : {false, true}) {
        SCOPED_TRACE(fallback ? "without openat2" : "with openat2");
        Fallback mode(fallback);
        // Not root, so that the locked folder is locked.
        RunUnprivileged([&] {
            ListFixture s(kByHand);
            // A folder that goes away while the scan is elsewhere.
            s.list.ShowProgress = [&](const QString& name) {
                if (name == " lead")
                    ::rename((d.native() + "/goes").constData(),
                             (d.native() + "/gone").constData());
            };
            s.scan(d.drive(), 0);
            const auto& t = s.list.Folders;
            const int locked = s.rowOf("locked");
            ASSERT_GE(locked, 0);
            EXPECT_EQ(t.State[locked], scan::kFolderUnreadable);
            EXPECT_EQ(t.StateError[locked], EACCES);
            EXPECT_EQ(t.FileCount[locked], 0);
            EXPECT_EQ(s.rowOf("inner"), -1);
            EXPECT_EQ(t.State[s.rowOf("open")], scan::kFolderRead);
            EXPECT_EQ(t.State[s.rowOf("goes")], scan::kFolderVanished);
            EXPECT_EQ(t.State[s.rowOf("z")], scan::kFolderRead);
            // Leading blanks belong to the name on disk.
            EXPECT_EQ(t.nativePath(s.rowOf(" lead")), d.native() + "/ lead");
            EXPECT_EQ(t.nativePath(s.rowOf("lead")), d.native() + "/lead");
            const int mnt = s.rowOf("mnt");
            ASSERT_GE(mnt, 0);
            EXPECT_EQ(t.State[mnt], scan::kFolderNotEntered);
            EXPECT_EQ(t.FileCount[mnt], 0);
            // The report names what it could not read, and why.
            scan::DriveList copy;
            copy.Folders = t;
            copy.ListRowCount = s.list.ListRowCount;
            const QStringList lines = scan::UnreadableFolderLines(copy);
            ASSERT_EQ(lines.size(), 2);
            EXPECT_EQ(lines[0], QStringLiteral("読み取れません: ") + QFile::decodeName(d.native()) +
                                    "/goes (" + platform::ErrorText(ENOENT) + ")");
            EXPECT_EQ(lines[1], QStringLiteral("読み取れません: ") + QFile::decodeName(d.native()) +
                                    "/locked (" + platform::ErrorText(EACCES) + ")");
            EXPECT_EQ(scan::FolderStateTip(copy, locked),
                      QStringLiteral("読み取れません: ") + platform::ErrorText(EACCES));
        });
        ::rename((d.native() + "/gone").constData(), (d.native() + "/goes").constData());
    }
    ::chmod((d.native() + "/locked").constData(), 0755);
    ::umount2((d.native() + "/mnt").constData(), MNT_DETACH);
}

TEST(FolderWalk, ABindMountThatAppearsDuringTheScanIsNotEntered) {
    TempDrive d;
    d.writeFile("a/file", "abc");
    d.writeFile("b/file", "abc");
    for (int i = 0; i < 50; ++i) d.writeFile("src/f" + QByteArray::number(i), "abc");
    d.makeDir("z");
    for (const bool fallback : {false, true}) {
        SCOPED_TRACE(fallback ? "without openat2" : "with openat2");
        Fallback mode(fallback);
        ListFixture s(kByHand);
        bool mounted = false;
        s.list.ShowProgress = [&](const QString& name) {
            if (name != "b" || mounted) return;
            mounted = ::mount((d.native() + "/src").constData(), (d.native() + "/z").constData(),
                              nullptr, MS_BIND, nullptr) == 0;
        };
        s.scan(d.drive(), 0);
        // The tests run as root (CI does): a bind mount that cannot be made fails the test.
        ASSERT_TRUE(mounted) << "cannot bind-mount (" << std::strerror(errno) << ")";
        ::umount2((d.native() + "/z").constData(), MNT_DETACH);
        const int z = s.rowOf("z");
        ASSERT_GE(z, 0);
        EXPECT_EQ(s.list.Folders.State[z], scan::kFolderNotEntered);
        EXPECT_EQ(s.list.Folders.FileCount[z], 0);
        EXPECT_EQ(s.list.FileTotal, 52);
    }
}

TEST(FolderWalk, SumsPastTwoToTheSixtyThirdSaturateAndAreReported) {
    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    // Four sparse files of 2^62 bytes: their sum needs 65 bits.
    ASSERT_TRUE(testsupport::MakeSparseFiles(disk.path(), 4, qint64(1) << 62));
    const int index = platform::LetterIndex(u'U');
    const QByteArray previous = platform::Drives().root(index);
    platform::Drives().set(index, disk.path());
    ListFixture s(kByHand);
    QStringList failures;
    s.list.ReportFailure = [&](const QString& text) { failures << text; };
    s.scan(QStringLiteral("U:"), 0);
    platform::Drives().set(index, previous);
    const qint64 most = std::numeric_limits<qint64>::max();
    EXPECT_EQ(s.list.FileTotal, 4);
    EXPECT_EQ(s.list.Folders.FileSize[0], most);
    EXPECT_EQ(s.list.Folders.SubtreeTotal[0], most);
    EXPECT_EQ(s.list.FileSizeTotal, most);
    ASSERT_EQ(failures.size(), 1);
    // The folder's path, and what happened, in the interface's language.
    EXPECT_TRUE(failures[0].startsWith(QStringLiteral("U:"))) << failures[0].toStdString();
    EXPECT_TRUE(
        failures[0].endsWith(QStringLiteral(": 合計が扱える最大の値 (9,223,372,036,854,775,807 "
                                            "バイト) を超えたので、その値で示します")))
        << failures[0].toStdString();
    // The cell shows the largest figure it can, never a minus sign.
    EXPECT_FALSE(s.cell(0, 4).contains(u'-'));
}

TEST(FolderWalk, ARootThatMayBeReadButNotSearchedIsListedAsSuchAFolderBelowIt) {
    TempDrive d;
    d.writeFile("file", "abc");
    d.writeFile("sub/file", "abc");
    ASSERT_EQ(::chmod(d.native().constData(), 0444), 0);
    RunUnprivileged([&] {
        ListFixture s(kByHand);
        s.scan(d.drive(), 0);
        // Its names are listed; what lies in them cannot be examined.
        EXPECT_EQ(s.list.RootError, 0);
        ASSERT_EQ(s.folderRows(), 2);
        EXPECT_EQ(s.cell(1, 0), "sub");
        EXPECT_EQ(s.list.Folders.State[0], scan::kFolderUnreadable);
        EXPECT_EQ(s.list.Folders.StateError[0], EACCES);
        EXPECT_EQ(s.list.Folders.State[1], scan::kFolderUnreadable);
        EXPECT_EQ(s.list.FileTotal, 1);
    });
    ::chmod(d.native().constData(), 0755);
}
