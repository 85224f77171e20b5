// A listing compared with an earlier scan of the same tree: every folder's changes against
// two listings made independently, through a snapshot and through an ncdu export.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QMap>
#include <QProcess>

#include "common/ListFixture.h"
#include "common/TestSupport.h"
#include "interchange/EarlierScan.h"
#include "interchange/Snapshot.h"
#include "scan/Compare.h"
#include "scan/FigureView.h"
#include "scan/TreeRows.h"

namespace {

struct Figures {
    qint64 files = 0, bytes = 0, alloc = 0, subtree = 0;
    bool operator==(const Figures&) const = default;
};
using ByPath = QMap<QString, Figures>;

// Each folder's own figures and subtree total by its path below the root ("" the root).
ByPath FiguresByPath(const scan::DriveList& l) {
    ByPath out;
    const scan::FolderTable& t = l.Folders;
    for (int f = 0; f < scan::Records(l); ++f) {
        const size_t i = size_t(f);
        out.insert(f == 0 ? QString() : scan::FolderPath(l, f),
                   {t.FileCount[i], t.FileSize[i], t.AllocSize[i], t.SubtreeTotal[i]});
    }
    return out;
}

class CompareTest : public ::testing::Test {
  protected:
    testsupport::TempHome home;
    testsupport::TempDrive drive;

    QByteArray at(const char* relative) const { return drive.native() + '/' + relative; }
    void dir(const char* relative) const { ::mkdir(at(relative).constData(), 0755); }

    // The earlier tree: awkward names, a folder of bytes that are not UTF-8, nested subtrees.
    void SetUp() override {
        app::SetSettingsNative(home.settingsFile());
        for (const char* d :
             {"日本語 フォルダ", "日本語 フォルダ/深い", "日本語 フォルダ/深い/さらに",
              "back\\slash", "ctl\x01name", "bad\xff\xfe", "Upper", "lower", "same", "same/inner"})
            dir(d);
        testsupport::WriteAll(at("日本語 フォルダ/ファイル.txt"), QByteArray(4096, 'x'));
        testsupport::WriteAll(at("日本語 フォルダ/深い/さらに/z"), QByteArray(4097, 'x'));
        testsupport::WriteAll(at("back\\slash/a"), QByteArray(10000, 'x'));
        testsupport::WriteAll(at("bad\xff\xfe/x\xc0"), QByteArray(5000, 'x'));
        testsupport::WriteAll(at("Upper/u"), QByteArray(300, 'x'));
        testsupport::WriteAll(at("lower/l"), QByteArray(22, 'x'));
        testsupport::WriteAll(at("same/inner/s"), QByteArray(7, 'x'));
    }
    void TearDown() override { app::SetSettingsNative({}); }

    // Grown, shrunk, added, removed, renamed, and a nested subtree gone.
    void change() {
        testsupport::WriteAll(at("日本語 フォルダ/ファイル.txt"), QByteArray(20000, 'x'));
        testsupport::WriteAll(at("back\\slash/a"), QByteArray(10, 'x'));
        dir("新規 フォルダ");
        dir("新規 フォルダ/中");
        testsupport::WriteAll(at("新規 フォルダ/中/n"), QByteArray(12345, 'x'));
        testsupport::WriteAll(at("bad\xff\xfe/y"), QByteArray(1, 'x'));
        ASSERT_TRUE(QDir(QFile::decodeName(at("Upper"))).removeRecursively());
        ASSERT_EQ(::rename(at("lower").constData(), at("lower2").constData()), 0);
        ASSERT_TRUE(QDir(QFile::decodeName(at("日本語 フォルダ/深い"))).removeRecursively());
    }
};

// The comparison's rows against the two listings: every path of either once, marked, with
// now − then as its figures, in a tree whose subtree changes add up.
void ExpectChanges(const scan::DriveList& c, const ByPath& then, const ByPath& now) {
    ASSERT_TRUE(scan::Comparing(c));
    const scan::FolderTable& t = c.Folders;
    const int records = scan::Records(c);
    QStringList paths;
    for (int f = 0; f < records; ++f) {
        const size_t i = size_t(f);
        const QString path = f == 0 ? QString() : scan::FolderPath(c, f);
        SCOPED_TRACE(path.toStdString());
        paths << path;
        const bool wasThere = then.contains(path), isThere = now.contains(path);
        EXPECT_EQ(scan::ChangeOf(c, f), !wasThere  ? scan::kChangeNew
                                        : !isThere ? scan::kChangeGone
                                                   : scan::kChangeSame);
        const Figures a = then.value(path), b = now.value(path);
        EXPECT_EQ((Figures{t.FileCount[i], t.FileSize[i], t.AllocSize[i], t.SubtreeTotal[i]}),
                  (Figures{b.files - a.files, b.bytes - a.bytes, b.alloc - a.alloc,
                           b.subtree - a.subtree}));
        if (f > 0) {
            const int p = t.Parent[i];
            EXPECT_TRUE(p >= 0 && p < f && t.Level[i] == t.Level[size_t(p)] + 1);
        }
        qint64 own = 0;
        for (int g = f; g < scan::SubtreeEnd(t, f, records); ++g) own += t.AllocSize[size_t(g)];
        EXPECT_EQ(own, t.SubtreeTotal[i]) << "a subtree's change is the sum of its folders'";
    }
    QStringList both = then.keys() + now.keys();
    both.removeDuplicates();
    both.sort();
    paths.sort();
    EXPECT_EQ(paths, both);
}

TEST_F(CompareTest, EveryKindOfChangeMatchesTwoListingsAndLeavingRestoresTheList) {
    testsupport::ListFixture before({.grid = true, .indentStep = 16});
    before.fill(drive.drive());
    const ByPath then = FiguresByPath(before.list);
    // Through the snapshot format, as the window and the report keep it.
    scan::FigureTree kept;
    QString error;
    ASSERT_TRUE(interchange::DecodeSnapshot(
        interchange::EncodeSnapshot(scan::TakeFigures(before.list)), kept, error))
        << error.toStdString();
    // Written straight from the folder table, as the report and the window keep it: the same.
    QByteArray streamed;
    ASSERT_TRUE(interchange::WriteSnapshot(scan::FigureView(before.list),
                                           [&](const char* data, qsizetype size) {
                                               streamed.append(data, size);
                                               return true;
                                           }));
    EXPECT_EQ(streamed, interchange::EncodeSnapshot(scan::TakeFigures(before.list)));

    change();
    testsupport::ListFixture after({.grid = true, .indentStep = 16});
    scan::DriveList& l = after.list;
    after.fill(drive.drive());
    const ByPath now = FiguresByPath(l);
    const QStringList listed = testsupport::RowTexts(l);

    scan::EnterComparison(l, kept, QStringLiteral("then"));
    ExpectChanges(l, then, now);
    EXPECT_TRUE(then.contains(QStringLiteral("lower")) && now.contains(QStringLiteral("lower2")))
        << "a renamed folder is gone at its old name and new at the new one";
    // The total row: the drive's growth and the change of its file count.
    const scan::RowFigures total = scan::ShownFigures(l, l.RowCount - 1);
    EXPECT_EQ(total.alloc, now[QString()].subtree - then[QString()].subtree);
    qint64 files = 0;
    for (const Figures& f : now) files += f.files;
    for (const Figures& f : then) files -= f.files;
    EXPECT_EQ(total.files, files);

    // Levels: a collapsed row shows its subtree's changes; sorted, the largest growth first.
    l.ShownLevel = 1;
    scan::ApplyLevelLimit(l);
    for (int r = 1; r + 1 < l.RowCount; ++r) {
        const int f = l.Folders.Order[size_t(r)];
        EXPECT_EQ(scan::ShownFigures(l, r).alloc, l.Folders.SubtreeTotal[size_t(f)]);
    }
    l.ShownLevel = 0;
    scan::ApplyLevelLimit(l);
    l.SortKind = 2;
    scan::SortRows(l);
    for (int r = 1; r + 1 < l.RowCount; ++r)
        EXPECT_GE(scan::ShownFigures(l, r - 1).subtree, scan::ShownFigures(l, r).subtree);
    l.SortKind = 0;
    scan::ApplyLevelLimit(l);

    // A gone folder is named so, a growth signed.
    const QStringList shown = testsupport::RowTexts(l);
    EXPECT_TRUE(shown.filter(QStringLiteral("Upper  （消失）|")).size() == 1)
        << shown.join('\n').toStdString();
    EXPECT_TRUE(shown.filter(QStringLiteral("新規 フォルダ  （新規）|")).size() == 1);
    EXPECT_EQ(shown.filter(QStringLiteral("中  （新規）|+1|+12,345|")).size(), 1) << "the new file";

    scan::LeaveComparison(l);
    EXPECT_FALSE(scan::Comparing(l));
    EXPECT_EQ(testsupport::RowTexts(l), listed);
    EXPECT_EQ(FiguresByPath(l), now);
}

TEST_F(CompareTest, AnNcduExportOfTheEarlierTreeGivesTheSameChanges) {
    const QByteArray exported = home.native() + "/old.json";
    QProcess ncdu;
    ncdu.start(QStringLiteral("ncdu"), {QStringLiteral("-o"), QFile::decodeName(exported),
                                        QFile::decodeName(drive.native())});
    ASSERT_TRUE(ncdu.waitForFinished(60000) && ncdu.exitCode() == 0) << "ncdu did not run";
    testsupport::ListFixture before({.grid = false, .indentStep = 16});
    before.fill(drive.drive());
    const ByPath then = FiguresByPath(before.list);
    change();
    testsupport::ListFixture after({.grid = false, .indentStep = 16});
    after.fill(drive.drive());
    const ByPath now = FiguresByPath(after.list);

    scan::FigureTree old;
    QString error;
    ASSERT_TRUE(interchange::ReadEarlierScan(exported, old, error)) << error.toStdString();
    scan::DriveList& l = after.list;
    scan::EnterComparison(l, old, QStringLiteral("ncdu"));
    // ncdu counts room its own way; the folders, their marks, counts and bytes are the scan's.
    for (int f = 0; f < scan::Records(l); ++f) {
        const QString path = f == 0 ? QString() : scan::FolderPath(l, f);
        SCOPED_TRACE(path.toStdString());
        const bool wasThere = then.contains(path), isThere = now.contains(path);
        EXPECT_EQ(scan::ChangeOf(l, f), !wasThere  ? scan::kChangeNew
                                        : !isThere ? scan::kChangeGone
                                                   : scan::kChangeSame);
        EXPECT_EQ(l.Folders.FileCount[size_t(f)], now.value(path).files - then.value(path).files);
        EXPECT_EQ(l.Folders.FileSize[size_t(f)], now.value(path).bytes - then.value(path).bytes);
    }
}

TEST_F(CompareTest, WhatIsNoEarlierScanIsRefusedWithAMessage) {
    const struct {
        const char* name;
        QByteArray bytes;
        const char* said;
    } files[] = {
        {"text", "just text\n", "スナップショットではありません"},
        {"half export", "[1,0,{\"progname\":\"x\"},[{\"name\":\"/\"}", ""},
        {"empty", "", ""},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const QByteArray path = home.native() + "/earlier";
        testsupport::WriteAll(path, f.bytes);
        scan::FigureTree out;
        QString error;
        EXPECT_FALSE(interchange::ReadEarlierScan(path, out, error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(error.contains(QString::fromUtf8(f.said))) << error.toStdString();
    }
}

}  // namespace
