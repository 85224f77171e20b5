#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QTemporaryDir>

#include "OpsFixture.h"
#include "common/TmpfsMount.h"
#include "folderops/OpsText.h"
#include "platform/DriveMap.h"

using namespace folderops;
using opstest::Env;
using opstest::Exists;
using opstest::Listed;
using opstest::MTime;
using opstest::Put;
using opstest::ScriptHost;
using opstest::SetMTime;
using testsupport::TempDrive;

namespace {

constexpr qint64 kOld = 1500000000;  // 2017
constexpr qint64 kNew = 1600000000;  // 2020

int Mode(const QByteArray& native) {
    struct stat st;
    return ::lstat(native.constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

bool HasTempFiles(const QByteArray& folder) {
    return !QDir(QFile::decodeName(folder))
                .entryList({".foldex-*"}, QDir::Hidden | QDir::Files)
                .isEmpty();
}

}  // namespace

TEST(FolderCopy, DestinationChecks) {
    Env env;
    TempDrive d;
    d.writeFile("a/f", "1");
    Listed l(d.drive());
    struct Case {
        QString destination;
        std::optional<qint64> left;
        QString result, message;
    };
    const Case cases[] = {
        {"", 100, "", ChooseDestinationText("コピー")},
        {"t:", 100, "", ChooseDestinationText("コピー")},
        {"U:", std::nullopt, "", InsertMediumText("U:")},
        {"U:", -1024, "", NoRoomText("U:")},
        {"U:", -1, "", NoRoomText("U:")},
        {"U:", 0, "U:", ""},
        {"U:", 1024, "U:", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destination.toStdString() + "|" + std::to_string(c.left.value_or(-99)));
        ScriptHost host;
        FolderOps ops(l.list, host, env.home.native());
        EXPECT_EQ(ops.CheckDest(kOpCopy, c.destination, c.left), c.result);
        EXPECT_EQ(host.asked.value(0), c.message);
    }
    EXPECT_EQ(
        ChooseDestinationText("移動"),
        QStringLiteral("移動先のドライブを、画面下の\x01ドライブ･リスト\x00から選択してください"));
}

TEST(FolderCopy, CopiesExactlyAndAgainWithoutQuestions) {
    Env env;
    TempDrive src(u'T'), dst(u'U');
    Put(src.native(), "d/f", "content");
    Put(src.native(), "d/sub/g\\h\x01", "odd");
    Put(src.native(), "d/sub/bad\xff", "bytes");
    ASSERT_EQ(::chmod((src.native() + "/d/f").constData(), 0640), 0);
    SetMTime(src.native() + "/d/f", kOld);
    ASSERT_EQ(::symlink("../elsewhere", (src.native() + "/d/link").constData()), 0);
    SetMTime(src.native() + "/d/link", kOld);

    Listed l(src.drive());
    l.select({"d", "d/sub"});
    ScriptHost host;
    FolderOps ops(l.list, host, env.home.native());
    EXPECT_EQ(ops.CopyCommand("U:", 1), RunEnd::Finished);
    EXPECT_EQ(host.asked.value(0),
              ConfirmText("コピー", "U:", src.drive() + QStringLiteral("\\d")));
    EXPECT_EQ(host.asked.last(), FinishedText("コピー"));
    EXPECT_EQ(opstest::Read(dst.native() + "/d/f"), "content");
    EXPECT_EQ(MTime(dst.native() + "/d/f"), kOld);
    EXPECT_EQ(Mode(dst.native() + "/d/f"), 0640);
    EXPECT_EQ(opstest::Read(dst.native() + "/d/sub/g\\h\x01"), "odd");
    EXPECT_EQ(opstest::Read(dst.native() + "/d/sub/bad\xff"), "bytes");
    char target[64] = {};
    ASSERT_EQ(::readlink((dst.native() + "/d/link").constData(), target, sizeof target - 1), 12);
    EXPECT_STREQ(target, "../elsewhere");
    EXPECT_EQ(MTime(dst.native() + "/d/link"), kOld);
    EXPECT_EQ(opstest::Read(src.native() + "/d/f"), "content");
    EXPECT_EQ(host.afterRuns, 0) << "a copy leaves the list alone";

    // Again onto the copy: the folder question, no file question, the closing message.
    ScriptHost again;
    FolderOps(l.list, again, env.home.native()).CopyCommand("U:", 1);
    ASSERT_EQ(again.asked.size(), 3);
    EXPECT_EQ(again.asked[1], FolderExistsText("U:", "U:\\d"));
    EXPECT_EQ(again.flags[1], kYesNo | kSecondDefault);
    EXPECT_EQ(again.asked[2], FinishedText("コピー"));
}

TEST(FolderCopy, ANewerDestinationFile) {
    Env env;
    struct Case {
        const char* name;
        bool move;
        bool unattended;
        std::deque<int> answers;  // after the confirmations
        RunEnd end;
        QByteArray destination;  // afterwards
        bool sourceStays;
    };
    const Case cases[] = {
        {"copy, No keeps it", false, false, {kAnswerNo}, RunEnd::Finished, "newer", true},
        {"copy, Yes overwrites", false, false, {kAnswerYes}, RunEnd::Finished, "older", true},
        {"Cancel ends the run", false, false, {kAnswerCancel}, RunEnd::Stopped, "newer", true},
        {"unattended overwrites", false, true, {}, RunEnd::Finished, "older", true},
        {"move, No keeps both", true, false, {kAnswerNo}, RunEnd::Finished, "newer", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive src(u'T'), dst(u'U');
        Put(src.native(), "d/f", "older");
        SetMTime(src.native() + "/d/f", kOld);
        Put(dst.native(), "d/f", "newer");
        SetMTime(dst.native() + "/d/f", kNew);
        Listed l(src.drive());
        l.select({"d"});
        ScriptHost host;
        host.unattended = c.unattended;
        host.answers = {kAnswerOk};
        if (c.move) host.answers.push_back(kAnswerYes);
        if (!c.unattended) host.answers.push_back(kAnswerYes);  // the folder question
        host.answers.insert(host.answers.end(), c.answers.begin(), c.answers.end());
        FolderOps ops(l.list, host, env.home.native());
        EXPECT_EQ(c.move ? ops.MoveCommand("U:", 1) : ops.CopyCommand("U:", 1), c.end);
        EXPECT_EQ(opstest::Read(dst.native() + "/d/f"), c.destination);
        EXPECT_EQ(Exists(src.native() + "/d/f"), c.sourceStays);
        const QString question =
            OverwriteText("U:\\d", "f", "T:\\d\\f", kOld, "U:\\d\\f", kNew, c.move);
        EXPECT_EQ(host.asked.contains(question), !c.unattended);
        EXPECT_EQ(host.asked.contains(FolderExistsText("U:", "U:\\d")), !c.unattended);
        // A move's No keeps the source, and the closing message counts it.
        const QString finished = FinishedText(c.move ? "移動" : "コピー");
        EXPECT_EQ(host.asked.last(), c.end != RunEnd::Finished ? question
                                     : c.move ? FinishedLeftText(finished, "移動", 1)
                                              : finished);
        if (c.move) opstest::ExpectSameAsNewScan(l, src.drive());
    }
    EXPECT_EQ(StampText(QDateTime(QDate(2024, 3, 5), QTime(7, 9)).toSecsSinceEpoch()),
              QStringLiteral("2024/03/05 07:09"));
}

TEST(FolderMove, MovesFileByFileAndKeepsAFolderWhoseCopyFailed) {
    Env env;
    TempDrive src(u'T'), dst(u'U');
    Put(src.native(), "d/same", "source");
    SetMTime(src.native() + "/d/same", kOld);
    Put(dst.native(), "d/same", "dest!!");
    SetMTime(dst.native() + "/d/same", kOld);
    Put(src.native(), "d/ok/f", "moved");
    Put(src.native(), "d/bad/blocked", "cannot go");
    Put(src.native(), "d/bad/fine", "goes");
    Put(dst.native(), "d/bad/blocked/in-the-way", "a folder where the file would go");
    QTemporaryDir outside;
    const QByteArray out = QFile::encodeName(outside.path());
    testsupport::WriteAll(out + "/target", "untouched");
    ASSERT_EQ(::symlink(out.constData(), (src.native() + "/d/ok/link").constData()), 0);

    Listed l(src.drive());
    l.select({"d", "d/ok", "d/bad"});
    ScriptHost host;
    FolderOps ops(l.list, host, env.home.native());
    EXPECT_EQ(ops.MoveCommand("U:", 1), RunEnd::Finished);
    EXPECT_EQ(opstest::Read(dst.native() + "/d/same"), "source") << "same time: a move copies";
    EXPECT_FALSE(Exists(src.native() + "/d/same"));
    EXPECT_EQ(opstest::Read(dst.native() + "/d/ok/f"), "moved");
    EXPECT_FALSE(Exists(src.native() + "/d/ok"));
    char target[512] = {};
    EXPECT_GT(::readlink((dst.native() + "/d/ok/link").constData(), target, sizeof target - 1), 0);
    EXPECT_EQ(QByteArray(target), out);
    EXPECT_EQ(opstest::Read(out + "/target"), "untouched");
    // The failed file stays with its folder; the other file of that folder has moved.
    EXPECT_EQ(opstest::Read(src.native() + "/d/bad/blocked"), "cannot go");
    EXPECT_FALSE(Exists(src.native() + "/d/bad/fine"));
    EXPECT_EQ(opstest::Read(dst.native() + "/d/bad/fine"), "goes");
    EXPECT_EQ(host.copyFailures.size(), 1);
    EXPECT_TRUE(host.asked.contains(
        NotCopiedText("U:\\d\\bad\\blocked", "T:\\d\\bad\\blocked", "移動", true)));
    EXPECT_TRUE(Exists(src.native() + "/d"));
    EXPECT_EQ(host.afterRuns, 1);
    opstest::ExpectSameAsNewScan(l, src.drive());
}

TEST(FolderCopy, AFullDiskNeverCostsTheOlderDestinationFile) {
    Env env;
    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    TempDrive src(u'T');
    const int u = platform::LetterIndex(u'U');
    const QByteArray previous = platform::Drives().root(u);
    platform::Drives().set(u, disk.path());
    Put(disk.path(), "d/big", "old and valuable");
    SetMTime(disk.path() + "/d/big", kOld);
    Put(src.native(), "d/big", QByteArray(200 * 1024, 'n'));
    SetMTime(src.native() + "/d/big", kNew);
    for (const bool unattended : {false, true}) {
        SCOPED_TRACE(unattended ? "unattended" : "attended");
        Listed l(src.drive());
        l.select({"d"});
        ScriptHost host;
        host.unattended = unattended;
        QTemporaryDir app;
        FolderOps ops(l.list, host, QFile::encodeName(app.path()));
        EXPECT_EQ(ops.MoveCommand("U:", 1), RunEnd::Finished);
        EXPECT_EQ(opstest::Read(disk.path() + "/d/big"), "old and valuable");
        EXPECT_FALSE(HasTempFiles(disk.path() + "/d"));
        EXPECT_EQ(opstest::Read(src.native() + "/d/big").size(), 200 * 1024);
        if (unattended) {
            ASSERT_EQ(host.opened.size(), 1);
            EXPECT_EQ(opstest::Read(host.opened[0]), NotCopiedLogLine("U:\\d\\big").toUtf8());
        } else {
            EXPECT_EQ(host.copyFailures.size(), 1);
        }
        opstest::ExpectSameAsNewScan(l, src.drive());
    }
    platform::Drives().set(u, previous);
}

TEST(FolderCopy, ADestinationThatIsTheSourceOrLiesInsideIt) {
    Env env;
    TempDrive src(u'T');
    Put(src.native(), "d/f", "only copy");
    Put(src.native(), "d/x/g", "inner");
    const int u = platform::LetterIndex(u'U');
    const QByteArray previous = platform::Drives().root(u);
    // The same folder under a second letter: a move must not delete what it "copied".
    platform::Drives().set(u, src.native());
    {
        Listed l(src.drive());
        l.select({"d", "d/x"});
        ScriptHost host;
        FolderOps ops(l.list, host, env.home.native());
        EXPECT_EQ(ops.MoveCommand("U:", 1), RunEnd::Finished);
        EXPECT_EQ(opstest::Read(src.native() + "/d/f"), "only copy");
        EXPECT_EQ(opstest::Read(src.native() + "/d/x/g"), "inner");
        opstest::ExpectSameAsNewScan(l, src.drive());
    }
    // A destination drive inside the source: the copy does not copy itself again and again.
    platform::Drives().set(u, src.native() + "/d/x");
    {
        Listed l(src.drive());
        l.select({"d"});
        l.grid.st.rowIndent.set(l.rowOfPath("d/x"), 2);  // no displayed children: d goes whole
        ScriptHost host;
        FolderOps ops(l.list, host, env.home.native());
        EXPECT_EQ(ops.CopyCommand("U:", 1), RunEnd::Finished);
        EXPECT_EQ(opstest::Read(src.native() + "/d/x/d/f"), "only copy");
        EXPECT_EQ(opstest::Read(src.native() + "/d/x/d/x/g"), "inner");
        EXPECT_FALSE(Exists(src.native() + "/d/x/d/x/d"));
    }
    platform::Drives().set(u, previous);
}

TEST(FolderCopy, AnUnreadableFileIsReportedNeverPassedOver) {
    Env env;
    for (const bool unattended : {false, true}) {
        SCOPED_TRACE(unattended ? "unattended" : "attended");
        TempDrive src(u'T'), dst(u'U');
        Put(src.native(), "d/secret", "no");
        Put(src.native(), "d/open", "yes");
        for (const QByteArray& p : {src.native(), src.native() + "/d", dst.native()})
            ASSERT_EQ(::chmod(p.constData(), 0777), 0);
        ASSERT_EQ(::chmod((src.native() + "/d/open").constData(), 0666), 0);
        ASSERT_EQ(::chmod((src.native() + "/d/secret").constData(), 0), 0);
        testsupport::RunUnprivileged([&] {
            QTemporaryDir app;
            Listed l(src.drive());
            l.select({"d"});
            ScriptHost host;
            host.unattended = unattended;
            FolderOps ops(l.list, host, QFile::encodeName(app.path()));
            EXPECT_EQ(ops.MoveCommand("U:", 1), RunEnd::Finished);
            EXPECT_EQ(opstest::Read(dst.native() + "/d/open"), "yes");
            EXPECT_FALSE(Exists(dst.native() + "/d/secret"));
            EXPECT_TRUE(Exists(src.native() + "/d/secret"));
            EXPECT_FALSE(Exists(src.native() + "/d/open"));
            if (unattended) {
                ASSERT_EQ(host.opened.size(), 1);
                EXPECT_EQ(opstest::Read(host.opened[0]),
                          NotCopiedLogLine("U:\\d\\secret").toUtf8());
            } else {
                EXPECT_EQ(host.copyFailures.size(), 1);
                EXPECT_TRUE(host.asked.contains(
                    NotCopiedText("U:\\d\\secret", "T:\\d\\secret", "移動", true)));
            }
            opstest::ExpectSameAsNewScan(l, src.drive());
        });
    }
}
