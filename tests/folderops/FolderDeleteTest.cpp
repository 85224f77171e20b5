#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>
#include <QTemporaryDir>

#include "OpsFixture.h"
#include "common/TmpfsMount.h"
#include "folderops/OpsText.h"
#include "scan/TreeRows.h"

using namespace folderops;
using opstest::Env;
using opstest::Exists;
using opstest::Listed;
using opstest::ScriptHost;
using testsupport::TempDrive;

TEST(FolderDelete, AnswersAndChecksThatStopBeforeAnything) {
    Env env;
    TempDrive d;
    d.writeFile("a/f", "1");
    d.writeFile("a/x/f", "2");
    d.writeFile("b/f", "3");
    d.writeFile("RECYCLED/f", "4");
    d.writeFile("WINDOWS/win.com", "5");
    d.writeFile("WINDOWS/x.DLL", "6");
    struct Case {
        const char* name;
        QByteArray select;
        std::deque<int> answers;
        int asked;
        QString firstText;
        int firstFlags;
    };
    const Case cases[] = {
        {"subfolder question No",
         "a",
         {kAnswerNo},
         1,
         UnselectedSubfoldersText("a", "削除", QStringLiteral("　・x|")),
         kYesNo | kSecondDefault},
        {"first confirmation Cancel",
         "b",
         {kAnswerCancel},
         1,
         QStringLiteral("選択されたフォルダーを 削除します"),
         kOkCancel | kSecondDefault},
        {"second confirmation No",
         "b",
         {kAnswerOk, kAnswerNo},
         2,
         QStringLiteral("選択されたフォルダーを 削除します"),
         kOkCancel | kSecondDefault},
        {"recycle bin", "RECYCLED", {}, 1, RecycleBinText("削除"), kOk},
        {"Windows folder with a DLL, No",
         "WINDOWS",
         {kAnswerNo},
         1,
         SystemFolderText("WINDOWS", "削除", false, true),
         kYesNo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Listed l(d.drive());
        l.select({c.select});
        ScriptHost host;
        host.answers = c.answers;
        FolderOps ops(l.list, host, env.home.native());
        EXPECT_EQ(ops.DeleteCommand(), RunEnd::NotStarted);
        EXPECT_EQ(host.begun, 0);
        ASSERT_EQ(host.asked.size(), c.asked);
        EXPECT_EQ(host.asked[0], c.firstText);
        EXPECT_EQ(host.flags[0], c.firstFlags);
        for (const char* f : {"a/f", "a/x/f", "b/f", "RECYCLED/f", "WINDOWS/x.DLL"})
            EXPECT_TRUE(Exists(d.native() + '/' + f)) << f;
    }
    // The second confirmation's text, as the second question.
    Listed l(d.drive());
    l.select({"b"});
    ScriptHost host;
    host.answers = {kAnswerOk, kAnswerNo};
    FolderOps(l.list, host, env.home.native()).DeleteCommand();
    EXPECT_EQ(host.asked.value(1),
              QStringLiteral("ここで削除したフォルダーは|ごみ箱から復元することはで"
                             "きません！||本当に\x05削除していいですか？"));
}

TEST(FolderDelete, SystemFolderRules) {
    Env env;
    struct Case {
        const char* name;
        QChar letter;
        QByteArray folder;  // holds one file
        QByteArray file;
        Operation operation;
        bool asked;  // a question (delete) or a refusal (move)
        bool goesOn;
    };
    const Case cases[] = {
        {"WINDOWS with WIN.COM only passes", u'T', "WINDOWS", "WIN.COM", kOpDelete, false, true},
        {"RECYCLED below the top level passes", u'T', "a/RECYCLED", "f", kOpDelete, false, true},
        {"usr on C: is asked about before a delete", u'C', "usr", "f", kOpDelete, true, true},
        {"usr on C: is never moved", u'C', "usr", "f", kOpMove, true, false},
        {"usr on another drive is a folder", u'T', "usr", "f", kOpMove, false, true},
        {"lib below the top level on C:", u'C', "a/lib", "f", kOpMove, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive d(c.letter);
        d.writeFile(c.folder + '/' + c.file, "x");
        Listed l(d.drive());
        l.select({c.folder});
        if (c.folder.contains('/')) l.select({c.folder.left(c.folder.indexOf('/'))});
        ScriptHost host;
        FolderOps ops(l.list, host, env.home.native());
        EXPECT_EQ(ops.CheckSelection(c.operation), c.goesOn);
        const QString name = QString::fromUtf8(c.folder.mid(c.folder.lastIndexOf('/') + 1));
        const QString question =
            SystemFolderText(name, VerbOf(c.operation), c.operation == kOpMove, false);
        EXPECT_EQ(host.asked.contains(question), c.asked);
        if (c.asked) {
            EXPECT_EQ(host.flags[0], c.operation == kOpMove ? kOk : kYesNo);
        }
    }
}

TEST(FolderDelete, RemovesSelectedFoldersExactlyAndCorrectsTheList) {
    Env env;
    TempDrive d;
    QTemporaryDir outside;
    const QByteArray out = QFile::encodeName(outside.path());
    testsupport::WriteAll(out + "/precious", "keep me");
    d.writeFile("a/f1", QByteArray(5000, 'x'));
    d.writeFile("a/sub/f2", "2");
    d.writeFile("a/keep/PageFile.SYS", "swap");
    d.writeFile("a/keep/other", "3");
    d.writeFile("b/f", "4");
    const QList<QByteArray> odd = {"ctl\x01\x1f", "back\\slash", "bad\xff\xfe", "日本語 空白",
                                   ".hidden"};
    for (const QByteArray& name : odd)
        opstest::Put(d.native(), "odd/" + name + "/deep/" + name, "5");
    d.makeDir("links");
    ASSERT_EQ(::symlink(out.constData(), (d.native() + "/links/to-folder").constData()), 0);
    ASSERT_EQ(
        ::symlink((out + "/precious").constData(), (d.native() + "/links/to-file").constData()), 0);

    Listed l(d.drive());
    l.select({"a", "a/sub", "a/keep", "odd", "links"});
    for (const QByteArray& name : odd) l.select({"odd/" + name, "odd/" + name + "/deep"});
    ScriptHost host;
    FolderOps ops(l.list, host, env.home.native());
    EXPECT_EQ(ops.DeleteCommand(), RunEnd::Finished);
    // The file never deleted stayed, and the closing message says so.
    EXPECT_EQ(host.asked.last(), FinishedLeftText(FinishedText("削除"), "削除", 1));
    EXPECT_EQ(host.asked.size(), 3) << "two confirmations and the closing message";
    EXPECT_EQ(host.ended, 1);
    EXPECT_EQ(host.afterRuns, 1);

    EXPECT_FALSE(Exists(d.native() + "/a/f1"));
    EXPECT_FALSE(Exists(d.native() + "/a/sub"));
    EXPECT_TRUE(Exists(d.native() + "/a/keep/PageFile.SYS"));
    EXPECT_FALSE(Exists(d.native() + "/a/keep/other"));
    EXPECT_TRUE(Exists(d.native() + "/b/f"));
    EXPECT_FALSE(Exists(d.native() + "/odd"));
    EXPECT_FALSE(Exists(d.native() + "/links"));
    EXPECT_EQ(testsupport::ReadAll(out + "/precious"), "keep me");
    EXPECT_TRUE(host.opened.isEmpty());

    EXPECT_EQ(l.grid.st.rowIcon[size_t(l.rowOfPath("a/sub"))], 14);
    EXPECT_EQ(l.grid.st.rowIcon[size_t(l.rowOfPath("odd"))], 14);
    opstest::ExpectSameAsNewScan(l, d.drive());
}

TEST(FolderDelete, TheRootOfAMappedDriveStays) {
    Env env;
    TempDrive d;
    d.writeFile("rootfile", "r");
    d.writeFile("x/f", "x");
    d.writeFile("y/f", "y");
    for (const bool sorted : {false, true}) {
        SCOPED_TRACE(sorted ? "rows with paths (no displayed children)" : "tree");
        d.writeFile("rootfile", "r");
        d.writeFile("x/f", "x");
        Listed l(d.drive());
        if (sorted) {
            for (int r = 0; r + 1 < l.rows(); ++r) l.grid.st.rowIndent.set(r, 2);
        }
        l.select({"", "x"});
        ScriptHost host;
        FolderOps ops(l.list, host, env.home.native());
        EXPECT_EQ(ops.DeleteCommand(), RunEnd::Finished);
        EXPECT_TRUE(Exists(d.native()));
        EXPECT_FALSE(Exists(d.native() + "/rootfile"));
        EXPECT_FALSE(Exists(d.native() + "/x"));
        EXPECT_TRUE(Exists(d.native() + "/y/f"));
        opstest::ExpectSameAsNewScan(l, d.drive());
    }
}

TEST(FolderDelete, AMountInsideASelectedFolderIsNeverEntered) {
    Env env;
    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    testsupport::WriteAll(disk.path() + "/inside", "on another file system");
    for (const bool unattended : {false, true}) {
        SCOPED_TRACE(unattended ? "unattended" : "attended");
        TempDrive d;
        d.writeFile("a/f", "1");
        d.makeDir("a/mnt");
        d.makeDir("a/bound");
        ASSERT_EQ(::mount(disk.path().constData(), (d.native() + "/a/mnt").constData(), nullptr,
                          MS_BIND, nullptr),
                  0);
        Listed l(d.drive());
        l.select({"a", "a/mnt", "a/bound"});
        ScriptHost host;
        host.unattended = unattended;
        FolderOps ops(l.list, host, env.home.native());
        EXPECT_EQ(ops.DeleteCommand(), RunEnd::Finished);
        opstest::ExpectSameAsNewScan(l, d.drive());
        ::umount2((d.native() + "/a/mnt").constData(), MNT_DETACH);
        EXPECT_EQ(testsupport::ReadAll(disk.path() + "/inside"), "on another file system");
        EXPECT_FALSE(Exists(d.native() + "/a/f"));
        EXPECT_FALSE(Exists(d.native() + "/a/bound"));
        const QString path = d.drive() + QStringLiteral("\\a\\mnt");
        if (unattended) {
            ASSERT_EQ(host.opened.size(), 1);
            EXPECT_EQ(testsupport::ReadAll(host.opened[0]), OtherFileSystemLogLine(path).toUtf8());
        } else {
            EXPECT_TRUE(host.asked.contains(OtherFileSystemText(path, "削除")));
        }
    }
}

TEST(FolderDelete, AFolderThatCannotBeRemovedIsAskedAboutOrLogged) {
    Env env;
    struct Case {
        const char* name;
        bool tickAtLocked;  // 退席SEL ticked while the run works on the locked folder
        std::deque<int> answers;
        RunEnd end;
        bool laterDeleted;
    };
    const Case cases[] = {
        {"attended, No stops the run",
         false,
         {kAnswerOk, kAnswerYes, kAnswerNo},
         RunEnd::Stopped,
         false},
        {"attended, Yes goes on",
         false,
         {kAnswerOk, kAnswerYes, kAnswerYes},
         RunEnd::Finished,
         true},
        {"ticked part-way: logged", true, {}, RunEnd::Finished, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive d;
        d.writeFile("a-first/f", "1");
        d.writeFile("locked/f", "2");
        d.writeFile("z-later/f", "3");
        ASSERT_EQ(::chmod(d.native().constData(), 0777), 0);
        for (const char* f : {"a-first", "a-first/f", "locked", "locked/f", "z-later", "z-later/f"})
            ASSERT_EQ(::chmod((d.native() + '/' + f).constData(), 0777), 0);
        ASSERT_EQ(::chmod((d.native() + "/locked").constData(), 0555), 0);
        ASSERT_EQ(::chmod((d.native() + "/locked/f").constData(), 0444), 0);
        testsupport::RunUnprivileged([&] {
            QTemporaryDir app;
            Listed l(d.drive());
            l.select({"a-first", "locked", "z-later"});
            ScriptHost host;
            host.answers = c.answers;
            host.onTitle = [&] {
                if (c.tickAtLocked && host.titles.last().startsWith(u"a-first"))
                    host.unattended = true;
            };
            FolderOps ops(l.list, host, QFile::encodeName(app.path()));
            EXPECT_EQ(ops.DeleteCommand(), c.end);
            const QString path = d.drive() + QStringLiteral("\\locked");
            // Its file could not go: asked or logged, with the reason, and the closing
            // message says that something stayed.
            const QString reason = platform::ErrorText(EACCES);
            EXPECT_EQ(host.asked.contains(FilesNotRemovedText(path, 1, reason, "削除")),
                      !c.tickAtLocked);
            EXPECT_EQ(host.asked.last() == FinishedLeftText(FinishedText("削除"), "削除", 1),
                      c.end == RunEnd::Finished);
            EXPECT_FALSE(Exists(d.native() + "/a-first"));
            EXPECT_TRUE(Exists(d.native() + "/locked/f"));
            struct stat st;
            ASSERT_EQ(::lstat((d.native() + "/locked/f").constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0444u) << "no mode is changed to force a removal";
            EXPECT_EQ(!Exists(d.native() + "/z-later"), c.laterDeleted);
            if (c.tickAtLocked) {
                ASSERT_EQ(host.opened.size(), 1);
                EXPECT_EQ(host.opened[0], QFile::encodeName(app.path()) + "/temp.txt");
                EXPECT_EQ(testsupport::ReadAll(host.opened[0]),
                          FileNotRemovedLogLine(path + QStringLiteral("\\f"), reason).toUtf8());
            } else {
                EXPECT_TRUE(host.opened.isEmpty());
            }
            opstest::ExpectSameAsNewScan(l, d.drive());
        });
    }
}

TEST(FolderDelete, TheStopButtonEndsTheRunAtTheNextFile) {
    Env env;
    TempDrive d;
    for (int i = 0; i < 6; ++i) d.writeFile("many/f" + QByteArray::number(i), "x");
    d.writeFile("next/f", "y");
    Listed l(d.drive());
    l.select({"many", "next"});
    struct Host : ScriptHost {
        int turns = 0;
        void Turn() override {
            // The first turns belong to the questions' folder titles; stop after two files.
            if (begun && ++turns == 3) Stop();
        }
    } host;
    FolderOps ops(l.list, host, env.home.native());
    EXPECT_EQ(ops.DeleteCommand(), RunEnd::Cancelled);
    EXPECT_FALSE(host.asked.contains(FinishedText("削除")));
    int left = 0;
    for (int i = 0; i < 6; ++i) left += Exists(d.native() + "/many/f" + QByteArray::number(i));
    EXPECT_EQ(left, 4);
    EXPECT_TRUE(Exists(d.native() + "/next/f"));
    opstest::ExpectSameAsNewScan(l, d.drive());
}

TEST(FolderDelete, ACollapsedRowShowsTheSumsOfWhatIsLeft) {
    Env env;
    TempDrive d;
    d.writeFile("b/f", QByteArray(9000, 'b'));
    d.writeFile("b/sub/pagefile.sys", QByteArray(5000, 'p'));
    d.writeFile("b/sub/other", "o");
    d.writeFile("c/f", "c");
    Listed l(d.drive());
    l.list.ShownLevel = 1;
    scan::ApplyLevelLimit(l.list);
    l.select({"b"});
    ScriptHost host;
    FolderOps ops(l.list, host, env.home.native());
    EXPECT_EQ(ops.DeleteCommand(), RunEnd::Finished);
    EXPECT_TRUE(Exists(d.native() + "/b/sub/pagefile.sys"));
    Listed fresh(d.drive());
    fresh.list.ShownLevel = 1;
    scan::ApplyLevelLimit(fresh.list);
    ASSERT_EQ(l.rows(), fresh.rows());
    for (int r = 0; r < l.rows(); ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(l.cells(r), fresh.cells(r));
        EXPECT_EQ(l.grid.st.rowMark[size_t(r)], fresh.grid.st.rowMark[size_t(r)]);
    }
    EXPECT_EQ(l.list.SelTotal,
              l.list.Folders.ShownAlloc[size_t(l.list.Folders.Order[size_t(l.rowOfPath("b"))])]);
}
