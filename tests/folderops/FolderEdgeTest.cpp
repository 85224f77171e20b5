// Trees deeper than any path may be, folders that cannot be read, and the move that must keep
// data: every outcome is either done or said.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>

#include "OpsFixture.h"
#include "folderops/OpsText.h"
#include "platform/DirReader.h"
#include "scan/TreeRows.h"

using namespace folderops;
using opstest::Env;
using opstest::Exists;
using opstest::Listed;
using opstest::Put;
using opstest::ScriptHost;
using testsupport::TempDrive;

namespace {

constexpr int kLevels = 120;  // past the descriptors a chain keeps open
const QByteArray kName(90, 'd');

// A chain of kLevels folders below root/top with a file in each, made from descriptors (its
// paths pass PATH_MAX). Returns the file count.
int MakeDeep(const QByteArray& root) {
    int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(::mkdirat(fd, "top", 0777), 0);
    int next = ::openat(fd, "top", O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
    for (int i = 0; i < kLevels; ++i) {
        const QByteArray file = "f" + QByteArray::number(i);
        const int out = ::openat(fd, file.constData(), O_WRONLY | O_CREAT, 0644);
        EXPECT_EQ(::write(out, file.constData(), size_t(file.size())), file.size());
        ::close(out);
        EXPECT_EQ(::mkdirat(fd, kName.constData(), 0777), 0);
        next = ::openat(fd, kName.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    ::close(fd);
    return kLevels;
}

// The files of such a chain, walked from descriptors: each level's file with its content.
int CountDeep(const QByteArray& root) {
    int fd = ::open((root + "/top").constData(), O_RDONLY | O_DIRECTORY);
    int found = 0;
    for (int i = 0; fd >= 0; ++i) {
        const QByteArray file = "f" + QByteArray::number(i);
        char buffer[16] = {};
        const int in = ::openat(fd, file.constData(), O_RDONLY);
        if (in >= 0 && ::read(in, buffer, sizeof buffer) == file.size() &&
            QByteArray(buffer) == file)
            ++found;
        if (in >= 0) ::close(in);
        const int next = ::openat(fd, kName.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    return found;
}

}  // namespace

TEST(FolderDepth, TreesDeeperThanAnyPathGoWhole) {
    Env env;
    enum Kind { Copy, Move, Delete };
    for (const bool fallback : {false, true}) {
        platform::ForceOpenatFallback(fallback);
        for (const Kind kind : {Copy, Move, Delete}) {
            SCOPED_TRACE(std::string(fallback ? "openat: " : "openat2: ") + (kind == Copy ? "copy"
                                                                             : kind == Move
                                                                                 ? "move"
                                                                                 : "delete"));
            TempDrive src(u'T'), dst(u'U');
            ASSERT_EQ(MakeDeep(src.native()), kLevels);
            Listed l(src.drive());
            ASSERT_EQ(l.list.ListRowCount, kLevels + 3);  // root, top, the chain, the total
            l.list.ShownLevel = 1;
            scan::ApplyLevelLimit(l.list);
            l.select({"top"});
            ScriptHost host;
            FolderOps ops(l.list, host, env.home.native());
            const RunEnd end = kind == Copy   ? ops.CopyCommand("U:", 1)
                               : kind == Move ? ops.MoveCommand("U:", 1)
                                              : ops.DeleteCommand();
            EXPECT_EQ(end, RunEnd::Finished);
            ASSERT_FALSE(host.asked.isEmpty());
            EXPECT_EQ(host.asked.last(), FinishedText(VerbOf(kind == Copy   ? kOpCopy
                                                             : kind == Move ? kOpMove
                                                                            : kOpDelete)));
            EXPECT_EQ(CountDeep(dst.native()), kind == Delete ? 0 : kLevels);
            EXPECT_EQ(Exists(src.native() + "/top"), kind == Copy);
            if (kind == Copy) {
                EXPECT_EQ(CountDeep(src.native()), kLevels);
            }
            l.list.ShownLevel = 0;  // every level, as the new scan is compared
            scan::ApplyLevelLimit(l.list);
            opstest::ExpectSameAsNewScan(l, src.drive());
        }
    }
    platform::ForceOpenatFallback(false);
}

TEST(FolderMove, AnEmptyNewerDestinationFileNeverCostsTheSource) {
    Env env;
    for (const bool unattended : {false, true}) {
        SCOPED_TRACE(unattended ? "unattended: overwritten" : "attended: the source stays");
        TempDrive src(u'T'), dst(u'U');
        Put(src.native(), "d/f", QByteArray(1000, 's'));
        opstest::SetMTime(src.native() + "/d/f", 1500000000);
        Put(dst.native(), "d/f", {});
        opstest::SetMTime(dst.native() + "/d/f", 1600000000);
        Listed l(src.drive());
        l.select({"d"});
        ScriptHost host;
        host.unattended = unattended;
        FolderOps ops(l.list, host, env.home.native());
        EXPECT_EQ(ops.MoveCommand("U:", 1), RunEnd::Finished);
        EXPECT_EQ(opstest::Read(dst.native() + "/d/f"), unattended ? QByteArray(1000, 's') : "");
        EXPECT_EQ(opstest::Read(src.native() + "/d/f"), unattended ? "" : QByteArray(1000, 's'));
        EXPECT_EQ(Exists(src.native() + "/d"), !unattended) << "its folder stays with it";
        EXPECT_EQ(host.asked.last(), unattended
                                         ? FinishedText("移動")
                                         : FinishedLeftText(FinishedText("移動"), "移動", 1));
        opstest::ExpectSameAsNewScan(l, src.drive());
    }
}

TEST(FolderCopy, AnUnreadableSubfolderIsReportedNeverCopiedEmpty) {
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        TempDrive src(u'T'), dst(u'U');
        Put(src.native(), "d/f", "1");
        Put(src.native(), "d/closed/secret", "2");
        Put(src.native(), "d/open/g", "3");
        // Root hands the drive to the user the body runs as; another user owns it already.
        for (const char* rel :
             {"", "/d", "/d/f", "/d/closed", "/d/closed/secret", "/d/open", "/d/open/g"})
            if (::geteuid() == 0) {
                ASSERT_EQ(::chown((src.native() + rel).constData(), 65534, 65534), 0) << rel;
            }
        ASSERT_EQ(::chmod(dst.native().constData(), 0777), 0);
        ASSERT_EQ(::chmod((src.native() + "/d/closed").constData(), 0), 0);
        testsupport::RunUnprivileged([&] {
            Env env;
            Listed l(src.drive());
            l.list.ShownLevel = 1;
            scan::ApplyLevelLimit(l.list);
            l.select({"d"});
            ScriptHost host;
            FolderOps ops(l.list, host, env.home.native());
            EXPECT_EQ(move ? ops.MoveCommand("U:", 1) : ops.CopyCommand("U:", 1), RunEnd::Finished);
            const QString verb = move ? "移動" : "コピー";
            EXPECT_TRUE(host.asked.contains(
                UnreadableText("T:\\d\\closed", platform::ErrorText(EACCES), verb)));
            EXPECT_EQ(host.asked.last(), FinishedLeftText(FinishedText(verb), verb, 1));
            EXPECT_FALSE(Exists(dst.native() + "/d/closed")) << "never made empty";
            EXPECT_EQ(opstest::Read(dst.native() + "/d/open/g"), "3");
            EXPECT_EQ(opstest::Read(dst.native() + "/d/f"), "1");
            // A move leaves what it could not read, and the folders that hold it.
            EXPECT_EQ(Exists(src.native() + "/d/closed"), true);
            EXPECT_EQ(Exists(src.native() + "/d/open"), !move);
            if (move) {
                l.list.ShownLevel = 0;
                scan::ApplyLevelLimit(l.list);
                opstest::ExpectSameAsNewScan(l, src.drive());
            }
        });
        ::chmod((src.native() + "/d/closed").constData(), 0700);
    }
}
