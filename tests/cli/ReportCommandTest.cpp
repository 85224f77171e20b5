#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>

#include "cli/CommandLine.h"
#include "cli/ExportCommand.h"
#include "cli/ReportCommand.h"
#include "common/ListFixture.h"
#include "common/TestSupport.h"
#include "common/TmpfsMount.h"
#include "grid/Grid.h"
#include "interchange/EarlierScan.h"
#include "platform/DriveCatalog.h"
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

// Rows in tree order with the top-level folders (and the rows below each) in name order: the
// walk lists a folder's subfolders in no set order. A row is top-level when it is indented
// by one step, or, without indentation, holds no "\\".
QStringList InNameOrder(const QStringList& rows) {
    std::vector<QStringList> blocks;
    for (const QString& row : rows) {
        const bool top = row.startsWith(QStringLiteral("  "))
                             ? !row.startsWith(QStringLiteral("   "))
                             : !row.contains(u'\\');
        if (top || blocks.empty()) blocks.emplace_back();
        blocks.back() << row;
    }
    std::sort(blocks.begin(), blocks.end(),
              [](const QStringList& a, const QStringList& b) { return a[0] < b[0]; });
    QStringList out;
    for (const QStringList& b : blocks) out += b;
    return out;
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
    // What "small" occupied, as its file system counts it (a folder takes no block on tmpfs).
    const qint64 smallAlloc = testsupport::AllocatedTree(drive.native() + "/small");
    ASSERT_GT(smallAlloc, 0);
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
    const QString gone = u'-' + QLocale(QLocale::English).toString(smallAlloc);
    EXPECT_EQ(small.split(u' ', Qt::SkipEmptyParts),
              QStringList({"small", "（消失）", "-1", "-3", gone, gone}));
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

TEST_F(ReportFixture, AnImportedScanNeverStandsForTheFolderItsRootNames) {
    // A scan from elsewhere whose root names this drive's folder, with other folders.
    const QByteArray file = home.native() + "/other.json";
    testsupport::WriteAll(file, "[1,2,{\"progname\":\"test\"},[{\"name\":\"" + drive.native() +
                                    "\"},[{\"name\":\"x\"},{\"name\":\"data\",\"asize\":"
                                    "3000000,\"dsize\":3002368}]]]");
    ASSERT_EQ(runArgs({"--report", "T:"}), kExitOk);
    const int folders = 4;  // the root, big, sub and small
    enum Way { kAsDrive, kThroughAPipe, kByImport };
    for (const Way way : {kAsDrive, kThroughAPipe, kByImport}) {
        SCOPED_TRACE(way == kAsDrive ? "as DRIVE" : way == kThroughAPipe ? "a pipe" : "--import");
        for (const bool compare : {true, false}) {
            int fds[2] = {-1, -1};
            QByteArray given = file;
            if (way == kThroughAPipe) {
                // As <(cat other.json) gives it.
                const QByteArray scan = testsupport::ReadAll(file);
                ASSERT_EQ(::pipe(fds), 0);
                ASSERT_EQ(::write(fds[1], scan.constData(), size_t(scan.size())), scan.size());
                ::close(fds[1]);
                given = "/dev/fd/" + QByteArray::number(fds[0]);
            }
            QStringList args = {"--report"};
            if (way == kByImport) args << "--import";
            args << platform::ArgFromNative(given);
            if (compare)
                args << "--compare"
                     << "last";
            err.buffer().clear();
            err.seek(0);
            const int exit = runArgs(args);
            if (fds[0] >= 0) ::close(fds[0]);
            if (compare) {
                // The drive's listings are not the scan's earlier states.
                EXPECT_EQ(exit, kExitUnreadable) << out.data().constData();
                EXPECT_TRUE(
                    QString::fromUtf8(err.data()).contains(QStringLiteral("比較できる以前の一覧")))
                    << err.data().constData();
            } else {
                EXPECT_EQ(exit, kExitOk) << err.data().constData();
                EXPECT_TRUE(out.data().contains("3,000,000")) << out.data().constData();
            }
        }
        // Every snapshot of the drive is a listing of it, and nothing changed since the last.
        for (const interchange::SnapshotInfo& s : interchange::ListSnapshots(drive.native())) {
            scan::FigureTree kept;
            QString error;
            ASSERT_TRUE(interchange::LoadSnapshot(s.file, drive.native(), kept, error))
                << error.toStdString();
            EXPECT_EQ(kept.size(), folders);
        }
        ASSERT_EQ(runArgs({"--report", "T:", "--csv", "--compare", "last"}), kExitOk)
            << err.data().constData();
        const std::vector<QStringList> rows = CsvRows(out.data());
        ASSERT_EQ(rows.size(), size_t(folders) + 1) << out.data().constData();
        for (const QStringList& row : rows) {
            SCOPED_TRACE(row.join(u'|').toStdString());
            EXPECT_EQ(row[1], "0");
            EXPECT_EQ(row[3].trimmed(), "0");
            EXPECT_EQ(row.last(), "");
        }
    }
}

TEST_F(ReportFixture, AComparisonShowsItsFoldersAsAListingDoesAndCanShowOnlyTheChanged) {
    // Two folders of one name: m moved from mv_src to hl, with one file more.
    drive.writeFile("mv_src/m/f", "1");
    drive.makeDir("hl");
    const QByteArray earlier = home.native() + "/earlier.json";
    {
        ReportOptions e;
        e.drive = "T:";
        e.output = QFile::decodeName(earlier);
        QBuffer o2, e2;
        o2.open(QIODevice::WriteOnly);
        e2.open(QIODevice::WriteOnly);
        ASSERT_EQ(RunExport(e, o2, e2, false, "test", 0), kExitOk) << e2.data().constData();
    }
    ASSERT_EQ(::rename((drive.native() + "/mv_src/m").constData(),
                       (drive.native() + "/hl/m").constData()),
              0);
    drive.writeFile("hl/m/g", "22");
    const QString since = QFile::decodeName(earlier);

    // The name column of each folder row as written: the CSV's first field, or the text's
    // line without its figures (its indentation kept).
    auto names = [&](bool csv) {
        QStringList shown;
        if (csv) {
            const std::vector<QStringList> rows = CsvRows(out.data());
            for (size_t r = 0; r + 1 < rows.size(); ++r) shown << rows[r][0];
            return shown;
        }
        const QStringList lines = QString::fromUtf8(out.data()).split(QStringLiteral("\r\n"));
        const QRegularExpression figures(QStringLiteral("(\\s+[-+]?[0-9,]+){4}$"));
        int rules = 0;
        for (const QString& line : lines) {
            if (line.startsWith(QStringLiteral("-----"))) {
                ++rules;
            } else if (rules == 2) {
                QString name = line;
                shown << name.remove(figures);
            }
        }
        return shown;
    };
    const struct {
        QStringList args;
        QStringList names;  // in tree order, the root's name left out
    } cases[] = {
        {{"--full-path"},
         {"big", "big\\sub", "hl", "hl\\m  （新規）", "mv_src", "mv_src\\m  （消失）", "small"}},
        {{"--full-path", "--csv"},
         {"big", "big\\sub", "hl", "hl\\m", "mv_src", "mv_src\\m", "small"}},
        {{"--changed"}, {"  hl", "    m  （新規）", "  mv_src", "    m  （消失）"}},
        {{"--changed", "--full-path", "--csv"}, {"hl", "hl\\m", "mv_src", "mv_src\\m"}},
        {{"--changed", "--level", "1"}, {"  hl", "  mv_src"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const bool csv = c.args.contains(QStringLiteral("--csv"));
        ASSERT_EQ(runArgs(QStringList{"--report", "T:", "--compare", since} + c.args), kExitOk)
            << err.data().constData();
        QStringList shown = names(csv);
        ASSERT_FALSE(shown.isEmpty()) << out.data().constData();
        EXPECT_EQ(shown.takeFirst(), "T:\\");
        EXPECT_EQ(InNameOrder(shown), c.names) << shown.join(u'|').toStdString();
    }
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

TEST_F(ReportFixture, OutputToADescriptorOrThroughSharedFoldersAsARedirectionWould) {
    // Open to every user: some cases write as nobody.
    QTemporaryDir dir(QStringLiteral("/tmp/foldex-output-XXXXXX"));
    const QByteArray base = QFile::encodeName(dir.path());
    ASSERT_EQ(::chmod(base.constData(), 0777), 0);
    ::chmod(drive.native().constData(), 0777);
    ::chmod(home.native().constData(), 0777);
    const bool root = ::geteuid() == 0;
    const QByteArray log = base + "/app.log";
    // Another user's link in a sticky folder everyone writes, as in /tmp.
    const QByteArray shared = base + "/shared";
    const QByteArray planted = shared + "/report.txt";
    if (root) {
        ASSERT_EQ(::mkdir(shared.constData(), 01777), 0);
        ASSERT_EQ(::chmod(shared.constData(), 01777), 0);
        ASSERT_EQ(::symlink(log.constData(), planted.constData()), 0);
        ASSERT_EQ(::lchown(planted.constData(), 65534, 65534), 0);
    }
    // A file the writer may write in a folder they may not.
    const QByteArray closed = base + "/closed";
    ASSERT_EQ(::mkdir(closed.constData(), 0777), 0);
    const QByteArray keptFile = closed + "/report.txt";

    enum class Target { Descriptor, Planted, ClosedFolder };
    const struct {
        const char* what;
        bool exportScan;
        Target target;
        bool needsRoot;
        bool asNobody;
        int exit;
        const char* reason;  // after the system's text; empty when it is written
    } cases[] = {
        {"a report to /dev/fd/N", false, Target::Descriptor, false, false, kExitOk, ""},
        {"an export to /dev/fd/N", true, Target::Descriptor, false, false, kExitOk, ""},
        {"a report through another user's link", false, Target::Planted, true, false,
         kExitWriteFailed, "誰でも書き込めるフォルダーにある他のユーザーのリンクはたどりません"},
        {"an export through another user's link", true, Target::Planted, true, false,
         kExitWriteFailed, "誰でも書き込めるフォルダーにある他のユーザーのリンクはたどりません"},
        {"a report over a file in a closed folder", false, Target::ClosedFolder, false, true,
         kExitWriteFailed, "フォルダーに書き込めないため、ファイルを置き換えられません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) continue;  // no other user to plant the link
        testsupport::WriteAll(log, "earlier line\n");
        ::chmod(log.constData(), 0666);
        testsupport::WriteAll(keptFile, "kept\n");
        ::chmod(keptFile.constData(), 0666);
        ASSERT_EQ(::chmod(closed.constData(), 0777), 0);
        ReportOptions o;
        o.drive = "T:";
        o.csv = true;
        int fd = -1;
        if (c.target == Target::Descriptor) {
            fd = ::open(log.constData(), O_WRONLY | O_APPEND);
            ASSERT_GE(fd, 0);
            o.output = "/dev/fd/" + QString::number(fd);
        } else if (c.target == Target::Planted) {
            o.output = QFile::decodeName(planted);
        } else {
            o.output = QFile::decodeName(keptFile);
            ASSERT_EQ(::chmod(closed.constData(), 0555), 0);
        }
        err.buffer().clear();
        err.seek(0);
        const auto runIt = [&] {
            EXPECT_EQ(c.exportScan ? RunExport(o, out, err, false, "6.0", 0) : run(o), c.exit)
                << err.data().constData();
            if (c.exit == kExitOk) return;
            EXPECT_EQ(QString::fromUtf8(err.data()),
                      QStringLiteral("foldex: 書き込めません: ") + o.output + " (" +
                          platform::ErrorText(EACCES) + ": " + QString::fromUtf8(c.reason) + ")\n");
        };
        if (c.asNobody) {
            RunUnprivileged(runIt);
        } else {
            runIt();
        }
        if (fd >= 0) ::close(fd);
        const QByteArray written = testsupport::ReadAll(log);
        EXPECT_EQ(testsupport::ReadAll(keptFile), "kept\n");
        if (c.exit != kExitOk) {
            EXPECT_EQ(written, "earlier line\n");
        } else {
            // Appended after what the descriptor already held.
            EXPECT_TRUE(written.startsWith("earlier line\n" +
                                           QByteArray(c.exportScan ? "[1," : "\"フォルダ名\"")))
                << written.left(80).constData();
        }
    }
    ::chmod(closed.constData(), 0777);
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

// Folders the scan cannot read or leaves out by rule ("}" names) are each named on standard
// error, by the report and by the export; an unreadable folder still occupies its own blocks,
// so the total is what du counts less the root's own blocks and the folders left out.
TEST_F(ReportFixture, FoldersLeftOutOrUnreadableAreNamedAndCounted) {
    drive.writeFile("}cache/data", QByteArray(20000, 'c'));
    drive.writeFile("small/}old/data", "abc");
    drive.writeFile("locked/inner/f", "abc");
    drive.writeFile("wx-only/f", "abc");
    const QByteArray root = drive.native();
    const qint64 leftOut = testsupport::AllocatedTree(root + "/}cache") +
                           testsupport::AllocatedTree(root + "/small/}old");
    ::chmod(root.constData(), 0777);
    ::chmod(home.native().constData(), 0777);
    ::chmod((root + "/locked").constData(), 0);
    ::chmod((root + "/wx-only").constData(), 0333);
    const QString shown = QFile::decodeName(root);
    const QString denied = " (" + platform::ErrorText(EACCES) + ")\n";
    const QString rule = QStringLiteral(" (名前が } で始まるフォルダーは数えません)\n");
    RunUnprivileged([&] {
        QProcess du;
        du.start(QStringLiteral("du"), {"-sx", "-B1", shown});
        ASSERT_TRUE(du.waitForFinished(60000));
        const qint64 expected = du.readAllStandardOutput().split('\t').first().toLongLong() -
                                testsupport::AllocatedBytes(root) - leftOut;
        ReportOptions o;
        o.drive = "T:";
        o.csv = true;
        ASSERT_EQ(run(o), kExitOk);
        const std::vector<QStringList> rows = CsvRows(out.data());
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back()[3].trimmed().remove(u','), QString::number(expected))
            << out.data().constData();
        const QString report = QString::fromUtf8(err.data());
        EXPECT_EQ(report, "foldex: 読み取れません: " + shown + "/locked" + denied +
                              "foldex: 読み取れません: " + shown + "/wx-only" + denied +
                              "foldex: 除外: " + shown + "/}cache" + rule +
                              "foldex: 除外: " + shown + "/small/}old" + rule);
        // The export says the same.
        QBuffer o2, e2;
        o2.open(QIODevice::WriteOnly);
        e2.open(QIODevice::WriteOnly);
        ReportOptions e;
        e.drive = "T:";
        e.output = "-";
        ASSERT_EQ(RunExport(e, o2, e2, false, "test", 0), kExitOk);
        QStringList lines = report.split(u'\n', Qt::SkipEmptyParts);
        QStringList exported = QString::fromUtf8(e2.data()).split(u'\n', Qt::SkipEmptyParts);
        lines.sort();
        exported.sort();
        EXPECT_EQ(exported, lines);
    });
    ::chmod((root + "/locked").constData(), 0755);
    ::chmod((root + "/wx-only").constData(), 0755);
}

// Mount points holding control codes: --drives shows each in caret notation, never raw (a
// terminal would obey them) and never as a replacement character or a row without figures.
TEST_F(ReportFixture, DrivesShowControlCodesInCaretNotation) {
    struct Case {
        QByteArray name;
        QByteArray escaped;  // as the mount table writes it
        QString shown;
    };
    const Case cases[] = {
        {"cr\rname", "cr\rname", "cr^Mname"},
        {"esc\x1b[2Jclear", "esc\x1b[2Jclear", "esc^[[2Jclear"},
        {"csi\xc2\x9b"
         "2Jname",
         "csi\xc2\x9b"
         "2Jname",
         "csiM-^[2Jname"},
        {"bell\x07"
         "del\x7f",
         "bell\x07"
         "del\x7f",
         "bell^Gdel^?"},
        {"tab\tnl\nend", "tab\\011nl\\012end", "tab^Inl^Jend"},
    };
    const platform::DriveMap saved = platform::Drives();
    const auto savedTypes = app::Ctx().DriveTypes;
    QTemporaryDir tmp;
    const QByteArray base = QFile::encodeName(tmp.path());
    platform::MountSources sources;
    sources.byLabelDir = base + "/no labels";
    sources.sysRoot = base + "/no sys";
    sources.mountInfoText = "20 1 8:2 / / rw - ext4 /dev/sda2 rw\n";
    for (size_t k = 0; k < std::size(cases); ++k) {
        ASSERT_EQ(::mkdir((base + "/" + cases[k].name).constData(), 0755), 0);
        sources.mountInfoText += QByteArray::number(40 + k) + " 20 9:" + QByteArray::number(k) +
                                 " / " + base + "/" + cases[k].escaped + " rw - ext4 /dev/sdz" +
                                 QByteArray::number(k) + " rw\n";
    }
    platform::LoadDrives({}, sources);
    for (int i = 0; i < 26; ++i) app::Ctx().DriveTypes[size_t(i)] = qint16(platform::DriveType(i));
    ASSERT_EQ(RunDrives(out), kExitOk);
    platform::ForgetDrives();
    platform::Drives() = saved;
    app::Ctx().DriveTypes = savedTypes;

    const QByteArray bytes = out.data();
    for (const char c : bytes) EXPECT_TRUE(c == '\n' || quint8(c) >= 0x20) << int(quint8(c));
    EXPECT_FALSE(bytes.contains("\x7f"));
    EXPECT_FALSE(bytes.contains("\xc2\x9b"));
    EXPECT_FALSE(bytes.contains("\xef\xbf\xbd"));  // U+FFFD
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n', Qt::SkipEmptyParts);
    for (size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE(cases[k].shown.toStdString());
        const QString letter = QString(QChar(u'D' + int(k))) + u':';
        const QStringList row = lines.filter(QRegularExpression(u'^' + letter));
        ASSERT_EQ(row.size(), 1) << bytes.constData();
        EXPECT_TRUE(row[0].contains(u'/' + cases[k].shown + u')')) << row[0].toStdString();
        // With its figures: cluster size, total, used and free.
        EXPECT_GE(row[0].section(u')', -1).split(u' ', Qt::SkipEmptyParts).size(), 4)
            << row[0].toStdString();
    }
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
