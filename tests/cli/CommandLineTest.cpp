// The one parser of the command line, and the commands as the program runs them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <future>
#include <thread>

#include "cli/CommandLine.h"
#include "cli/Headless.h"
#include "common/HomeFixture.h"
#include "common/TestSupport.h"
#include "platform/PathMap.h"
#include "settings/Settings.h"

using namespace cli;

TEST(CommandLine, EveryCommandWithItsOptions) {
    struct Case {
        QStringList args;
        Command command;
        ReportOptions want;
    };
    auto with = [](auto set) {
        ReportOptions o;
        set(o);
        return o;
    };
    const Case cases[] = {
        {{}, Command::Window, {}},
        {{"D:\\TEMP"}, Command::Window, with([](ReportOptions& o) { o.drive = "D:\\TEMP"; })},
        {{"--import", "scan.json"}, Command::Window, with([](ReportOptions& o) {
             o.importFile = "scan.json";
         })},
        {{"--report", "D:", "--csv", "--output", "x.csv", "--level", "2", "--unit", "mb", "--sort",
          "total", "--full-path"},
         Command::Report,
         with([](ReportOptions& o) {
             o.drive = "D:";
             o.csv = true;
             o.output = "x.csv";
             o.level = 2;
             o.unit = 2;
             o.sort = 2;
             o.fullPath = true;
         })},
        {{"--unit", "KB", "/tmp", "--report", "--sort", "size"},
         Command::Report,
         with([](ReportOptions& o) {
             o.drive = "/tmp";
             o.unit = 1;
             o.sort = 1;
         })},
        {{"--report", "D:", "--unit", "Gb"}, Command::Report, with([](ReportOptions& o) {
             o.drive = "D:";
             o.unit = 3;
         })},
        {{"--report", "D:", "--changed", "--compare", "last"},
         Command::Report,
         with([](ReportOptions& o) {
             o.drive = "D:";
             o.compare = "last";
             o.changedOnly = true;
         })},
        {{"--report", "--import", "-"}, Command::Report, with([](ReportOptions& o) {
             o.importFile = "-";
         })},
        // A value is taken as it stands, even when it looks like an option.
        {{"--report", "D:", "--output", "--csv"}, Command::Report, with([](ReportOptions& o) {
             o.drive = "D:";
             o.output = "--csv";
         })},
        {{"--export", "-", "D:"}, Command::Export, with([](ReportOptions& o) {
             o.output = "-";
             o.drive = "D:";
         })},
        {{"/tmp", "--export", "out.json"}, Command::Export, with([](ReportOptions& o) {
             o.output = "out.json";
             o.drive = "/tmp";
         })},
        {{"--drives"}, Command::Drives, {}},
        // The version and the usage win wherever they stand, the first of them.
        {{"--report", "D:", "--bogus", "--version"}, Command::Version, {}},
        {{"-h", "-v"}, Command::Help, {}},
        {{"--export", "-v"}, Command::Version, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        CommandLine line;
        QString error;
        bool usage = true;
        ASSERT_TRUE(ParseCommandLine(c.args, line, error, usage)) << error.toStdString();
        EXPECT_FALSE(usage);
        EXPECT_EQ(line.command, c.command);
        if (c.command == Command::Version || c.command == Command::Help) continue;
        const ReportOptions& o = line.options;
        EXPECT_EQ(o.drive, c.want.drive);
        EXPECT_EQ(o.importFile, c.want.importFile);
        EXPECT_EQ(o.csv, c.want.csv);
        EXPECT_EQ(o.output, c.want.output);
        EXPECT_EQ(o.level, c.want.level);
        EXPECT_EQ(o.unit, c.want.unit);
        EXPECT_EQ(o.sort, c.want.sort);
        EXPECT_EQ(o.fullPath, c.want.fullPath);
        EXPECT_EQ(o.compare, c.want.compare);
        EXPECT_EQ(o.changedOnly, c.want.changedOnly);
    }
}

TEST(CommandLine, WrongArgumentsAreNamed) {
    struct Case {
        QStringList args;
        const char* error;
        bool usage;  // the usage text follows: only where no command was named
    };
    const Case cases[] = {
        {{"--report"}, "--report にはドライブかフォルダーが必要です", false},
        {{"--report", "--csv"}, "--report にはドライブかフォルダーが必要です", false},
        {{"--report", "D:", "E:"}, "ドライブは一つだけです: E:", false},
        {{"--report", "D:", "--level"}, "--level には値が必要です", false},
        {{"--report", "D:", "--level", "-1"}, "--level は 0 以上の数です: -1", false},
        {{"--report", "D:", "--level", "two"}, "--level は 0 以上の数です: two", false},
        {{"--report", "D:", "--unit", "TB"}, "--unit は KB か MB か GB です: TB", false},
        {{"--report", "D:", "--sort", "name"},
         "--sort は size か total か growth です: name",
         false},
        {{"--report", "D:", "--sort", "growth"}, "--sort growth は --compare と使います", false},
        {{"--report", "D:", "--compare", ""}, "--compare の比較先が空です", false},
        {{"--report", "D:", "--changed"}, "--changed は --compare と使います", false},
        {{"--export", "-", "D:", "--changed"}, "不明なオプション: --changed", false},
        {{"D:", "--changed"}, "不明なオプション: --changed", true},
        {{"--report", "D:", "--bogus"}, "不明なオプション: --bogus", false},
        {{"--report", "D:", "--output", ""}, "--output のファイル名が空です", false},
        {{"--report", "--report", "D:"}, "不明なオプション: --report", false},
        {{"--report", "--import", "a", "D:"}, "--import のときドライブは指定できません: D:", false},
        {{"--report", "--import", "a", "--import", "b"},
         "--import にはエクスポートファイルを一つ指定します",
         false},
        {{"--report", "--import", ""}, "--import にはエクスポートファイルを一つ指定します", false},
        {{"--export"}, "--export には書き出すファイル名 (標準出力は -) が必要です", false},
        {{"--export", "", "D:"},
         "--export には書き出すファイル名 (標準出力は -) が必要です",
         false},
        {{"--export", "-"}, "--export にはドライブかフォルダーが必要です", false},
        {{"--export", "-", "D:", "E:"}, "ドライブは一つだけです: E:", false},
        {{"--export", "-", "D:", "--csv"}, "不明なオプション: --csv", false},
        {{"--export", "-", "--import", "a"}, "不明なオプション: --import", false},
        {{"--export", "-", "D:", "--export", "x"}, "不明なオプション: --export", false},
        {{"--export", "-", "--report", "D:"}, "--export と --report は一緒に使えません", false},
        {{"--drives", "D:"}, "--drives に引数は要りません", false},
        {{"--report", "D:", "--drives"}, "--drives に引数は要りません", false},
        {{"--csv"}, "不明なオプション: --csv", true},
        {{"D:", "--bogus"}, "不明なオプション: --bogus", true},
        {{"--import"}, "--import にはエクスポートファイルを一つ指定します", false},
        {{"D:", "--import", "a"}, "--import のときドライブは指定できません: D:", false},
        {{"D:", "E:"}, "ドライブは一つだけです: E:", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        CommandLine line;
        QString error;
        bool usage = !c.usage;
        EXPECT_FALSE(ParseCommandLine(c.args, line, error, usage));
        EXPECT_EQ(error, QString::fromUtf8(c.error));
        EXPECT_EQ(usage, c.usage);
    }
}

namespace {

using CommandFixture = testsupport::HomeFixture;

int Read(const QList<QByteArray>& args, CommandLine& line) {
    QList<QByteArray> all{"foldex"};
    all += args;
    std::vector<char*> argv;
    for (QByteArray& a : all) argv.push_back(a.data());
    return ReadCommandLine(int(argv.size()), argv.data(), line);
}

}  // namespace

TEST_F(CommandFixture, ExitCodesBeforeAnyCommandRuns) {
    const QByteArray file = write("scan.json", "[1,0,{},[{\"name\":\"/x\"}]]");
    const struct {
        QList<QByteArray> args;
        int exit;  // -1: a command or the window runs
        Command command;
    } cases[] = {
        {{"--version"}, kExitOk, Command::Version},
        {{"--report", "--help"}, kExitOk, Command::Help},
        {{"--bogus"}, kExitBadArguments, Command::Window},
        {{"--report"}, kExitBadArguments, Command::Report},
        // The window's export file must be there before any window opens.
        {{"--import", home.native() + "/none.json"}, kExitUnreadable, Command::Window},
        {{"--import", home.native()}, kExitUnreadable, Command::Window},
        {{"--import", file}, -1, Command::Window},
        {{"--report", "--import", home.native() + "/none.json"}, -1, Command::Report},
        {{"T:"}, -1, Command::Window},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QByteArrayList(c.args).join(' ').toStdString());
        CommandLine line;
        EXPECT_EQ(Read(c.args, line), c.exit);
        EXPECT_EQ(line.command, c.command);
    }
    CommandLine line;
    ASSERT_EQ(Read({"--import", file}, line), -1);
    EXPECT_EQ(line.options.importFile, platform::ArgFromNative(file));
}

TEST_F(CommandFixture, ExportedScansOnTheCommandLine) {
    const QByteArray sniffed =
        write("sniffed", "  \n[ 1 ,0,{},[{\"name\":\"/x\"},{\"name\":\"f\",\"asize\":3}]]");
    const QByteArray plain = write("plain.txt", "[2,0]");
    const QByteArray bad =
        write("bad.json", "[1,2,{},[{\"name\":\"/r\"},{\"name\":\"f\",\"asize\":-1}]]");
    const struct {
        const char* what;
        QStringList args;
        int exit;
        const char* said;  // a pattern in what standard error says, or in the CSV
    } cases[] = {
        {"a file named where a drive is expected, sniffed",
         {"--report", "--csv", platform::ArgFromNative(sniffed)},
         kExitOk,
         "\"1\",\" *3\",\" *0\""},
        {"any other file is no drive",
         {"--report", platform::ArgFromNative(plain)},
         kExitUnreadable,
         "plain.txt"},
        {"a broken export",
         {"--report", "--import", platform::ArgFromNative(bad)},
         kExitUnreadable,
         "バイト目: "},
        {"no such export",
         {"--report", "--import", QFile::decodeName(home.native() + "/none.json")},
         kExitUnreadable,
         "ファイルがありません: "},
        {"an export named as the drive of an export",
         {"--export", "-", platform::ArgFromNative(sniffed)},
         kExitUnreadable,
         "を読めません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CommandLine line;
        QString error;
        bool usage = false;
        ASSERT_TRUE(ParseCommandLine(c.args, line, error, usage)) << error.toStdString();
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        EXPECT_EQ(RunCommand(line, out, err, false), c.exit);
        const QString said = QString::fromUtf8(c.exit == kExitOk ? out.data() : err.data());
        EXPECT_TRUE(said.contains(QRegularExpression(QString::fromUtf8(c.said))))
            << said.toStdString();
        if (c.exit != kExitOk) {
            EXPECT_TRUE(out.data().isEmpty());
        }
    }
}

TEST_F(CommandFixture, NamesOnStandardErrorCannotDriveTheTerminal) {
    const QByteArray tree = home.native() + "/tree";
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(tree)));
    testsupport::WriteAll(tree + "/f", "abc");
    const QByteArray badName =
        write("badname.json", "[1,0,{},[{\"name\":\"/r\"},[{\"name\":\"a/\\u001b[2J\"}]]]");
    // A title, a clear screen, a new line and the one-code CSI of C1.
    const QByteArray escapes = "\x1b]0;t\x07\x1b[2J\n\xc2\x9b";
    const char* const kShown = "^[]0;t^G^[[2J^JM-^[";
    const struct {
        const char* what;
        QList<QByteArray> args;
        int exit;
        const char* shown;
    } cases[] = {
        {"a folder that is not there", {"--report", tree + "/" + escapes}, kExitUnreadable, kShown},
        {"an output that cannot be written",
         {"--report", tree, "--output", "/nowhere/" + escapes},
         kExitWriteFailed,
         kShown},
        {"an export that cannot be written",
         {"--export", "/nowhere/" + escapes, tree},
         kExitWriteFailed,
         kShown},
        {"a name in an import", {"--report", "--import", badName}, kExitUnreadable, "a/^[[2J"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList args;
        for (const QByteArray& a : c.args) args << platform::ArgFromNative(a);
        CommandLine line;
        QString error;
        bool usage = false;
        ASSERT_TRUE(ParseCommandLine(args, line, error, usage)) << error.toStdString();
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        EXPECT_EQ(RunCommand(line, out, err, false), c.exit);
        // Whole lines of the program, every byte printable: the codes show in caret notation.
        const QByteArray said = err.data();
        ASSERT_TRUE(said.endsWith('\n')) << said.constData();
        EXPECT_FALSE(said.contains("\xc2\x9b")) << said.constData();
        for (const QByteArray& l : said.chopped(1).split('\n')) {
            EXPECT_TRUE(l.startsWith("foldex: ")) << said.constData();
            for (const char b : l) EXPECT_GE(uchar(b), 0x20) << said.constData();
        }
        EXPECT_TRUE(said.contains(c.shown)) << said.constData();
    }
}

TEST_F(CommandFixture, AnExportThroughAPipeOrFifoIsReadOnce) {
    const QByteArray scan = "[1,0,{},[{\"name\":\"/x\"},{\"name\":\"f\",\"asize\":3}]]";
    const QByteArray fifo = home.native() + "/scan.fifo";
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "a named FIFO" : "a pipe, as <(cat scan.json) gives it");
        QByteArray path = fifo;
        std::thread writer;
        int fds[2] = {-1, -1};
        if (named) {
            // The writer opens once, writes and is gone, as `cat scan.json > fifo` is.
            writer = std::thread([&] {
                const int fd = ::open(fifo.constData(), O_WRONLY);
                if (fd >= 0 && ::write(fd, scan.constData(), size_t(scan.size())) >= 0) ::close(fd);
            });
        } else {
            ASSERT_EQ(::pipe(fds), 0);
            ASSERT_EQ(::write(fds[1], scan.constData(), size_t(scan.size())), scan.size());
            ::close(fds[1]);
            path = "/dev/fd/" + QByteArray::number(fds[0]);
        }
        CommandLine line;
        QString error;
        bool usage = false;
        ASSERT_TRUE(ParseCommandLine({"--report", "--csv", platform::ArgFromNative(path)}, line,
                                     error, usage));
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        auto run =
            std::async(std::launch::async, [&] { return RunCommand(line, out, err, false); });
        if (run.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) {
            ADD_FAILURE() << "the import waits for a second writer";
            ::close(::open(fifo.constData(), O_WRONLY | O_NONBLOCK));  // let it go
        }
        EXPECT_EQ(run.get(), kExitOk) << err.data().constData();
        EXPECT_TRUE(QString::fromUtf8(out.data()).contains(QRegularExpression("\"1\",\" *3\"")))
            << out.data().constData();
        if (writer.joinable()) writer.join();
        if (fds[0] >= 0) ::close(fds[0]);
    }
}

TEST_F(CommandFixture, DriveOverviewThatCannotBeWrittenSaysSo) {
    CommandLine line;
    line.command = Command::Drives;
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    ASSERT_EQ(RunCommand(line, out, err, false), kExitOk);
    EXPECT_TRUE(out.data().startsWith(QStringLiteral("Drive名").toUtf8()));
    QBuffer closed;
    closed.open(QIODevice::ReadOnly);
    EXPECT_EQ(RunCommand(line, closed, err, false), kExitWriteFailed);
    EXPECT_TRUE(QString::fromUtf8(err.data()).startsWith("foldex: 標準出力に書き込めません ("))
        << err.data().constData();
    // A window is no command that runs here.
    EXPECT_EQ(RunCommand(CommandLine(), out, err, false), kExitBadArguments);
}
