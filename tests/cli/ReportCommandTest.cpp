#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <cerrno>

#include "cli/CommandLine.h"
#include "cli/ExportCommand.h"
#include "cli/ReportCommand.h"
#include "common/ListFixture.h"
#include "common/TestSupport.h"
#include "common/TmpfsMount.h"
#include "grid/Grid.h"
#include "interchange/EarlierScan.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"
#include "settings/Settings.h"

using namespace cli;
using testsupport::RunUnprivileged;

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(8, 5, 9));

// The CSV's lines after its headings, each as its fields (no field here holds a quote).
std::vector<QStringList> CsvRows(const QByteArray& csv) {
    std::vector<QStringList> rows;
    QStringList lines = QString::fromUtf8(csv).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.last().isEmpty()) << "the last line has no end";
    lines.removeLast();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].startsWith(u'"') && lines[i].endsWith(u'"')) << lines[i].toStdString();
        rows.push_back(lines[i].mid(1, lines[i].size() - 2).split(QStringLiteral("\",\"")));
    }
    return rows;
}

struct ReportFixture : ::testing::Test {
    testsupport::TempHome home;
    testsupport::TempDrive drive;
    QBuffer out, err;
    void SetUp() override {
        app::SetSettingsNative(home.settingsFile());
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        drive.writeFile("small/f", "abc");
        drive.writeFile("big/sub/g", QByteArray(9000, 'x'));
    }
    void TearDown() override { app::SetSettingsNative({}); }
    int run(const ReportOptions& o) { return RunReport(o, out, err, false, kNow); }
    // The arguments as the program parses them, run into fresh output; -1 when refused.
    int runArgs(const QStringList& args) {
        CommandLine line;
        QString error;
        bool usage = false;
        if (!ParseCommandLine(args, line, error, usage)) {
            ADD_FAILURE() << error.toStdString();
            return -1;
        }
        out.buffer().clear();
        out.seek(0);
        return run(line.options);
    }
};

}  // namespace

TEST_F(ReportFixture, WritesTheListOfADriveLetter) {
    ReportOptions o;
    o.drive = "T:\\small";  // a drive path means its drive
    o.csv = true;
    EXPECT_EQ(run(o), kExitOk);
    const std::vector<QStringList> rows = CsvRows(out.data());
    ASSERT_EQ(rows.size(), 5u);  // the root, big, sub, small and the total
    EXPECT_EQ(rows[0][0], "T:\\");
    EXPECT_EQ(rows[1][0], "big");
    EXPECT_EQ(rows[3][0], "small");
    EXPECT_EQ(rows[3][1], "1");
    EXPECT_TRUE(err.data().isEmpty());
}

TEST_F(ReportFixture, LevelUnitAndSort) {
    ReportOptions o;
    o.drive = "T:";
    o.level = 1;
    o.unit = 1;
    o.sort = 1;
    o.csv = true;
    ASSERT_EQ(run(o), kExitOk);
    // Level 1: root, big (collapsed with its subtree), small, total.
    const std::vector<QStringList> rows = CsvRows(out.data());
    ASSERT_EQ(rows.size(), 4u);
    // Largest occupied size first: the collapsed "big" holds 9000 bytes in three clusters.
    EXPECT_EQ(rows[0][0].trimmed(), "big");
    EXPECT_TRUE(rows[0][3].endsWith(" KB ")) << rows[0][3].toStdString();
}

TEST_F(ReportFixture, UnitGbInTheTextAndTheCsv) {
    // 3.5 GB and 3 bytes of files in "small": one decimal, as MB has.
    ASSERT_TRUE(testsupport::MakeSparseFiles(drive.native() + "/small", 1, 7 * (qint64(1) << 29)));
    for (const bool csv : {false, true}) {
        SCOPED_TRACE(csv ? "csv" : "text");
        QStringList args = {"--report", "T:", "--unit", "GB"};
        if (csv) args << "--csv";
        ASSERT_EQ(runArgs(args), kExitOk) << err.data().constData();
        if (csv) {
            const std::vector<QStringList> rows = CsvRows(out.data());
            ASSERT_EQ(rows.size(), 5u);
            ASSERT_EQ(rows[3][0], "small");
            EXPECT_EQ(rows[3][1], "2");
            EXPECT_EQ(rows[3][2], QString(11, u' ') + "3.5 GB ");
            // 9000 bytes round to nothing in GB, and still say so.
            EXPECT_EQ(rows[2][2].trimmed(), "0.0 GB");
        } else {
            const QStringList lines = QString::fromUtf8(out.data()).split(QStringLiteral("\r\n"));
            const auto small = std::find_if(lines.begin(), lines.end(), [](const QString& l) {
                return l.startsWith(QStringLiteral("  small "));
            });
            ASSERT_NE(small, lines.end()) << out.data().constData();
            EXPECT_EQ(small->split(u' ', Qt::SkipEmptyParts).mid(1, 3),
                      QStringList({"2", "3.5", "GB"}))
                << small->toStdString();
        }
    }
}

TEST_F(ReportFixture, ChangesSinceTheLastReportASnapshotTimeOrAnExport) {
    // Each complete report keeps a snapshot; the next one compares with it.
    ReportOptions first;
    first.drive = "T:";
    const QByteArray exported = home.native() + "/before.json";
    {
        ReportOptions e;
        e.drive = "T:";
        e.output = QFile::decodeName(exported);
        QBuffer o2, e2;
        o2.open(QIODevice::WriteOnly);
        e2.open(QIODevice::WriteOnly);
        ASSERT_EQ(RunExport(e, o2, e2, false, "test", 0), kExitOk) << e2.data().constData();
    }
    ASSERT_EQ(run(first), kExitOk);
    drive.writeFile("big/sub/g", QByteArray(30000, 'x'));  // grown by 21,000 bytes
    drive.writeFile("new folder/n", "12345");
    ASSERT_TRUE(QDir(QFile::decodeName(drive.native() + "/small")).removeRecursively());

    // The comparisons themselves keep nothing, so each finds the same earlier state.
    app::PutOptInt(QStringLiteral("KeepSnapshots"), 0);
    const std::vector<interchange::SnapshotInfo> kept = interchange::ListSnapshots(drive.native());
    ASSERT_FALSE(kept.empty()) << "the report kept a snapshot";
    const QString when = interchange::SnapshotTimeText(kept.front().taken);
    for (const QString& since : {QStringLiteral("last"), when.left(16), QStringLiteral("20"),
                                 QFile::decodeName(exported)}) {
        SCOPED_TRACE(since.toStdString());
        ASSERT_EQ(runArgs({"--report", "T:", "--csv", "--compare", since, "--sort", "growth"}),
                  kExitOk)
            << err.data().constData();
        EXPECT_TRUE(out.data().startsWith(
            "\"フォルダ名\",\"±ﾌｧｲﾙ数\",\"±ﾌｧｲﾙ･ｻｲｽﾞ\",\"±占有サイズ\",\"±下位合計\",\"状態\""));
        const std::vector<QStringList> rows = CsvRows(out.data());
        ASSERT_EQ(rows.size(), 6u) << out.data().constData();
        QMap<QString, QStringList> by;
        for (size_t r = 0; r + 1 < rows.size(); ++r) {
            by.insert(rows[r][0], rows[r]);
            // Largest growth of the subtree first.
            if (r > 0) {
                EXPECT_GE(rows[r - 1][4].trimmed().remove(u',').toLongLong(),
                          rows[r][4].trimmed().remove(u',').toLongLong());
            }
        }
        EXPECT_EQ(by["big\\sub"][2].trimmed(), "+21,000");
        EXPECT_EQ(by["big\\sub"][5], "");
        EXPECT_EQ(by["new folder"][1], "+1");
        EXPECT_EQ(by["new folder"][5], "新規");
        EXPECT_EQ(by["small"][1], "-1");
        EXPECT_EQ(by["small"][2].trimmed(), "-3");
        EXPECT_EQ(by["small"][5], "消失");
        // The total row: one file gone, one new, 21,000 + 5 − 3 bytes more.
        EXPECT_EQ(rows.back()[1], "0");
        EXPECT_EQ(rows.back()[2].trimmed(), "+21,002");
    }
    // The text report: what it compares with, each "±" one column before its heading, and the
    // signed figures in the columns of the plain report.
    ASSERT_EQ(runArgs({"--report", "T:", "--compare", "last"}), kExitOk);
    const QStringList lines = QString::fromUtf8(out.data()).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("比較　　　　　：") + when + QStringLiteral(" からの増減")))
        << out.data().constData();
    QString heading = lines.filter(QStringLiteral("±Files")).value(0);
    ASSERT_EQ(runArgs({"--report", "T:"}), kExitOk);
    const QStringList plain = QString::fromUtf8(out.data()).split(QStringLiteral("\r\n"));
    EXPECT_EQ(heading.replace(u'±', u' '), plain.filter(QStringLiteral("Files")).value(0));
    const QString small = lines.filter(QRegularExpression(QStringLiteral("^  small "))).value(0);
    EXPECT_EQ(small.split(u' ', Qt::SkipEmptyParts),
              QStringList({"small", "（消失）", "-1", "-3", "-8,192", "-8,192"}));
}

TEST_F(ReportFixture, CompareNamesWhatItCannotFind) {
    ReportOptions o;
    o.drive = "T:";
    o.compare = "1999-01-01";
    EXPECT_EQ(run(o), kExitUnreadable);
    EXPECT_TRUE(QString::fromUtf8(err.data()).contains(QStringLiteral("スナップショット")))
        << err.data().constData();
    EXPECT_TRUE(out.data().isEmpty());
    // A file that is neither a snapshot nor an export.
    const QByteArray junk = home.native() + "/junk.json";
    testsupport::WriteAll(junk, "{not json");
    err.buffer().clear();
    err.seek(0);
    o.compare = QFile::decodeName(junk);
    EXPECT_EQ(run(o), kExitUnreadable);
    EXPECT_TRUE(QString::fromUtf8(err.data()).contains(QStringLiteral("junk.json")))
        << err.data().constData();
}

TEST_F(ReportFixture, FolderPathBecomesADriveAndOutputFileIsUsed) {
    ReportOptions o;
    o.drive = QFile::decodeName(drive.native() + "/big");
    o.output = QFile::decodeName(home.native() + "/out.txt");
    o.fullPath = true;
    EXPECT_EQ(run(o), kExitOk) << err.data().constData();
    EXPECT_TRUE(out.data().isEmpty());
    const QStringList lines =
        QString::fromUtf8(testsupport::ReadAll(home.native() + "/out.txt")).split("\r\n");
    ASSERT_GE(lines.size(), 13);
    EXPECT_EQ(lines[0], kNow.toString("yy/MM/dd  HH:mm:ss"));
    // Under the headings: the folder's own drive, then sub by its path.
    EXPECT_EQ(lines[10].mid(1, 3), ":\\ ") << lines[10].toStdString();
    EXPECT_TRUE(lines[11].startsWith("sub ")) << lines[11].toStdString();

    o.output = "/nowhere/out.txt";
    EXPECT_EQ(run(o), kExitWriteFailed);
    EXPECT_EQ(QString::fromUtf8(err.data()),
              QStringLiteral("foldex: 書き込めません: /nowhere/out.txt (") +
                  platform::ErrorText(ENOENT) + ")\n");
    EXPECT_TRUE(out.data().isEmpty());
}

TEST_F(ReportFixture, MissingDriveOrFolderIsUnreadable) {
    ReportOptions o;
    o.drive = "Q:";
    EXPECT_EQ(run(o), kExitUnreadable);
    o.drive = QFile::decodeName(drive.native() + "/no such folder");
    EXPECT_EQ(run(o), kExitUnreadable);
    EXPECT_TRUE(out.data().isEmpty());
    EXPECT_TRUE(QString::fromUtf8(err.data()).contains("no such folder"));
}

TEST_F(ReportFixture, UnreadableFoldersAreNamedAndOnlyAnUnreadableRootFails) {
    drive.writeFile("locked/inner/f", "abc");
    // Made by bytes: the test helpers go through QString.
    ASSERT_EQ(::mkdir((drive.native() + "/bad\xff\x80").constData(), 0755), 0);
    ASSERT_EQ(::close(::creat((drive.native() + "/bad\xff\x80/f").constData(), 0644)), 0);
    ::chmod(drive.native().constData(), 0777);
    ::chmod(home.native().constData(), 0777);
    ::chmod((drive.native() + "/locked").constData(), 0);
    RunUnprivileged([&] {
        ReportOptions o;
        o.drive = "T:";
        EXPECT_EQ(run(o), kExitOk);
        EXPECT_FALSE(out.data().isEmpty());
        // One line like du's, with the folder's path and the reason.
        EXPECT_EQ(QString::fromUtf8(err.data()),
                  QStringLiteral("foldex: 読み取れません: ") + QFile::decodeName(drive.native()) +
                      "/locked (" + platform::ErrorText(EACCES) + ")\n");

        // The root itself: exit 3, and the message names the folder as it was given.
        err.buffer().clear();
        err.seek(0);
        o.drive = QFile::decodeName(drive.native() + "/locked");
        EXPECT_EQ(run(o), kExitUnreadable);
        EXPECT_TRUE(QString::fromUtf8(err.data()).contains(o.drive)) << err.data().constData();
    });
    ::chmod((drive.native() + "/locked").constData(), 0755);

    // A folder whose name is not UTF-8, named on the command line byte for byte.
    out.buffer().clear();
    out.seek(0);
    ReportOptions o;
    o.drive = platform::ArgFromNative(drive.native() + "/bad\xff\x80");
    o.csv = true;
    EXPECT_EQ(run(o), kExitOk) << err.data().constData();
    const std::vector<QStringList> rows = CsvRows(out.data());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "1");
}

TEST_F(ReportFixture, FiguresPastTheirLimitAreWrittenButFail) {
    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    ASSERT_TRUE(testsupport::MakeSparseFiles(disk.path(), 4, qint64(1) << 62));
    ReportOptions o;
    o.drive = QFile::decodeName(disk.path());
    EXPECT_EQ(run(o), kExitScanFailed);
    EXPECT_FALSE(out.data().isEmpty());
    EXPECT_TRUE(QString::fromUtf8(err.data()).contains(QStringLiteral(":\\: 合計が扱える最大の値")))
        << err.data().constData();
}

TEST_F(ReportFixture, DrivesTableIsAligned) {
    testsupport::ListFixture l;
    scan::DriveList& list = l.list;
    app::Ctx().DriveTypes[size_t(platform::LetterIndex(u'T'))] = 3;
    const QStringList lines = OverviewTable(list);
    app::Ctx().DriveTypes[size_t(platform::LetterIndex(u'T'))] = 0;
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Drive名")));
    bool found = false;
    for (const QString& line : lines) {
        if (!line.startsWith("T:")) continue;
        found = true;
        // Cluster size, total, used and free follow the label.
        EXPECT_GE(line.split(' ', Qt::SkipEmptyParts).size(), 5);
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(list.VOLDSP, QStringLiteral("My Computer"));
}
