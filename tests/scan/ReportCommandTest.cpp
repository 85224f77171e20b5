#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QBuffer>
#include <QFile>
#include <cerrno>

#include "common/TestSupport.h"
#include "common/TmpfsMount.h"
#include "grid/Grid.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "scan/FolderStates.h"
#include "scan/ReportCommand.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"
#include "settings/Settings.h"

using namespace scan;

TEST(ReportArguments, ParsesEveryOption) {
    ReportOptions o;
    QString error;
    ASSERT_TRUE(ParseReportArguments({"D:", "--csv", "--output", "x.csv", "--level", "2", "--unit",
                                      "mb", "--sort", "total", "--full-path"},
                                     o, error));
    EXPECT_EQ(o.drive, "D:");
    EXPECT_TRUE(o.csv);
    EXPECT_EQ(o.output, "x.csv");
    EXPECT_EQ(o.level, 2);
    EXPECT_EQ(o.unit, 2);
    EXPECT_EQ(o.sort, 2);
    EXPECT_TRUE(o.fullPath);
    ASSERT_TRUE(ParseReportArguments({"--unit", "KB", "/tmp", "--sort", "size"}, o, error));
    EXPECT_EQ(o.drive, "/tmp");
    EXPECT_EQ(o.unit, 1);
    EXPECT_EQ(o.sort, 1);
    EXPECT_FALSE(o.csv);
}

TEST(ReportArguments, RejectsBadInput) {
    ReportOptions o;
    for (const QStringList& args :
         {QStringList{}, QStringList{"--csv"}, QStringList{"D:", "E:"},
          QStringList{"D:", "--level"}, QStringList{"D:", "--level", "-1"},
          QStringList{"D:", "--level", "two"}, QStringList{"D:", "--unit", "GB"},
          QStringList{"D:", "--sort", "name"}, QStringList{"D:", "--bogus"},
          QStringList{"D:", "--output", ""}}) {
        QString error;
        EXPECT_FALSE(ParseReportArguments(args, o, error)) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

using testsupport::RunUnprivileged;

namespace {

struct Captured {
    DriveList list;           // a copy of the figures the writer saw
    QList<QStringList> rows;  // the cells of each row as written
    bool csv = false;
    QString path;
    int calls = 0;
};

ReportWriters Capture(Captured& c, bool succeed = true) {
    ReportWriters w;
    auto keep = [&c, succeed](const DriveList& list, bool csv) {
        ++c.calls;
        c.csv = csv;
        c.list.PathsFlag = list.PathsFlag;
        c.list.FullPath = list.FullPath;
        c.list.UnitMode = list.UnitMode;
        c.list.SelCount = list.SelCount;
        c.list.ListRowCount = list.ListRowCount;
        c.rows.clear();
        QString scratch;
        for (int r = 0; r < list.RowCount; ++r) {
            QStringList cells;
            for (int k = 0; k < 5; ++k) cells << scan::RowCellText(list, r, k, scratch).toString();
            c.rows << cells;
        }
        return succeed;
    };
    w.toDevice = [keep](const DriveList& l, bool csv, QIODevice& dev, QString*) {
        dev.write("written");
        return keep(l, csv);
    };
    w.toFile = [keep, &c](const DriveList& l, bool csv, const QByteArray& path, QString* e) {
        c.path = QFile::decodeName(path);
        if (e) *e = "disk full";
        return keep(l, csv);
    };
    return w;
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
};

}  // namespace

TEST_F(ReportFixture, WritesTheListOfADriveLetter) {
    Captured c;
    ReportOptions o;
    o.drive = "T:\\small";  // a drive path means its drive
    o.csv = true;
    EXPECT_EQ(RunReport(o, Capture(c), out, err, false), kExitOk);
    EXPECT_EQ(c.calls, 1);
    EXPECT_TRUE(c.csv);
    ASSERT_EQ(c.rows.size(), 5);
    EXPECT_EQ(c.rows[0][0], "T:\\");
    EXPECT_EQ(c.rows[1][0], "big");
    EXPECT_EQ(c.list.SelCount, 0);
    EXPECT_EQ(out.data(), QByteArray("written"));
    EXPECT_TRUE(err.data().isEmpty());
}

TEST_F(ReportFixture, LevelUnitAndSort) {
    Captured c;
    ReportOptions o;
    o.drive = "T:";
    o.level = 1;
    o.unit = 1;
    o.sort = 1;
    ASSERT_EQ(RunReport(o, Capture(c), out, err, false), kExitOk);
    // Level 1: root, big (collapsed with its subtree), small, total.
    ASSERT_EQ(c.rows.size(), 4);
    EXPECT_EQ(c.list.UnitMode, 1);
    EXPECT_TRUE(c.list.PathsFlag);
    EXPECT_TRUE(c.list.FullPath);
    // Largest occupied size first: the collapsed "big" holds 9000 bytes in three clusters.
    EXPECT_EQ(c.rows[0][0].trimmed(), "big");
    EXPECT_TRUE(c.rows[0][3].endsWith(" KB "));
}

TEST_F(ReportFixture, FolderPathBecomesADriveAndOutputFileIsUsed) {
    Captured c;
    ReportOptions o;
    o.drive = QFile::decodeName(drive.native() + "/big");
    o.output = "/nowhere/out.txt";
    o.fullPath = true;
    EXPECT_EQ(RunReport(o, Capture(c, false), out, err, false), kExitWriteFailed);
    EXPECT_EQ(c.path, "/nowhere/out.txt");
    ASSERT_EQ(c.rows.size(), 3);
    EXPECT_TRUE(c.rows[0][0].endsWith(":\\"));
    EXPECT_EQ(c.rows[1][0], "sub");
    EXPECT_TRUE(c.list.PathsFlag);
    EXPECT_TRUE(QString::fromUtf8(err.data()).contains("disk full"));
    EXPECT_TRUE(out.data().isEmpty());
}

TEST_F(ReportFixture, MissingDriveOrFolderIsUnreadable) {
    Captured c;
    ReportOptions o;
    o.drive = "Q:";
    EXPECT_EQ(RunReport(o, Capture(c), out, err, false), kExitUnreadable);
    o.drive = QFile::decodeName(drive.native() + "/no such folder");
    EXPECT_EQ(RunReport(o, Capture(c), out, err, false), kExitUnreadable);
    EXPECT_EQ(c.calls, 0);
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
        Captured c;
        ReportOptions o;
        o.drive = "T:";
        EXPECT_EQ(RunReport(o, Capture(c), out, err, false), kExitOk);
        EXPECT_EQ(c.calls, 1);
        // One line like du's, with the folder's path and the reason.
        EXPECT_EQ(QString::fromUtf8(err.data()),
                  QStringLiteral("foldex: 読み取れません: ") + QFile::decodeName(drive.native()) +
                      "/locked (" + platform::ErrorText(EACCES) + ")\n");

        // The root itself: exit 3, and the message names the folder as it was given.
        err.buffer().clear();
        err.seek(0);
        o.drive = QFile::decodeName(drive.native() + "/locked");
        EXPECT_EQ(RunReport(o, Capture(c), out, err, false), kExitUnreadable);
        EXPECT_TRUE(QString::fromUtf8(err.data()).contains(o.drive)) << err.data().constData();
    });
    ::chmod((drive.native() + "/locked").constData(), 0755);

    // A folder whose name is not UTF-8, named on the command line byte for byte.
    Captured c;
    ReportOptions o;
    o.drive = platform::ArgFromNative(drive.native() + "/bad\xff\x80");
    EXPECT_EQ(RunReport(o, Capture(c), out, err, false), kExitOk) << err.data().constData();
    ASSERT_EQ(c.rows.size(), 2);
    EXPECT_EQ(c.rows[1][1], "1");
}

TEST_F(ReportFixture, FiguresPastTheirLimitAreWrittenButFail) {
    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    for (int i = 0; i < 4; ++i) {
        QFile f(QFile::decodeName(disk.path() + "/huge" + QByteArray::number(i)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(1) << 62));
    }
    Captured c;
    ReportOptions o;
    o.drive = QFile::decodeName(disk.path());
    EXPECT_EQ(RunReport(o, Capture(c), out, err, false), kExitScanFailed);
    EXPECT_EQ(c.calls, 1);
    EXPECT_TRUE(QString::fromUtf8(err.data()).contains(platform::ErrorText(EOVERFLOW)));
}

TEST_F(ReportFixture, DrivesTableIsAligned) {
    grid::Grid g;
    grid::InitGrid(g, 0);
    DriveList list;
    list.Grid = &g;
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
