// The text report and the CSV against hand-checked files, and the file writing.
#include <gtest/gtest.h>

#include <limits>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <ostream>
#include <vector>

#include <sys/stat.h>

#include <cerrno>
#include <iterator>

#include "common/ListFixture.h"
#include "common/TestSupport.h"
#include "common/TmpfsMount.h"
#include "export/ListExport.h"
#include "grid/Grid.h"
#include "platform/FileSys.h"
#include "platform/NativeIo.h"
#include "platform/PathMap.h"
#include "scan/DriveList.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"

// Readable QString values in failure messages.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

using exportlist::Format;
const QChar kSep(2);
const QString kJapanese =
    QStringLiteral("日本語のとても長いフォルダ名前を持つテスト用ディレクトリ");
const QString kQuoted = QStringLiteral("say \"hi\", world");

using testsupport::Folder;

// A finished list as the scan and the list filling leave it, in the given unit.
struct ExportList : testsupport::ListFixture {
    ExportList(const std::vector<Folder>& folders, int unit)
        : ListFixture({.laidOut = true, .headerTwips = 20 * 15}) {
        records(folders, unit);
        list.VOLDSP = QStringLiteral("c:   SYSTEM");
    }
};

std::vector<Folder> Tree() {
    return {
        {0, "C:\\", 2, 1536, 8192},
        {1, "Docs", 12, 1048576, 1069056},
        {2, kJapanese, 3, 3000, 12288},
        {2, kQuoted, 1, 10, 4096},
        {1, "Music", 123456, 5'000'000'000, 5'000'003'584},
    };
}

const QDateTime kNow(QDate(2026, 12, 7), QTime(8, 5, 9));

QByteArray Expected(const char* name) {
    QFile f(QStringLiteral(FOLDEX_TEST_DATA "/") + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

QByteArray Written(const scan::DriveList& list, Format format) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    EXPECT_TRUE(exportlist::WriteList(list, format, buffer, kNow, &error)) << error.toStdString();
    return buffer.data();
}

void SetKbFigures(scan::DriveList& list) {
    list.TOTDSP = QStringLiteral("9,765,625 KB ");
    list.USEDSP = QStringLiteral("4,883,884 KB ");
    list.FREDSP = QStringLiteral("4,881,741 KB ");
    list.SUMDSP = QStringLiteral("0 KB ");
    list.DLSDSP = QStringLiteral("4,881,741 KB ");
}

TEST(ListExport, TextReportOfATreeInKilobytes) {
    ExportList e(Tree(), 1);
    SetKbFigures(e.list);
    EXPECT_EQ(QString::fromUtf8(Written(e.list, Format::Text)),
              QString::fromUtf8(Expected("tree_kb.txt")));
}

TEST(ListExport, CsvOfATreeInKilobytesQuotesEveryField) {
    ExportList e(Tree(), 1);
    const QByteArray csv = Written(e.list, Format::Csv);
    EXPECT_EQ(QString::fromUtf8(csv), QString::fromUtf8(Expected("tree_kb.csv")));
    // The long name stays whole, its quotes doubled.
    EXPECT_TRUE(csv.contains(kJapanese.toUtf8()));
    EXPECT_TRUE(csv.contains("\"say \"\"hi\"\", world\""));
}

TEST(ListExport, SortedListInMegabytesStartsPathsAtTheFirstColumn) {
    ExportList e(Tree(), 2);
    e.list.TOTDSP = QStringLiteral("9,536.7 MB ");
    e.list.USEDSP = QStringLiteral("4,769.4 MB ");
    e.list.FREDSP = QStringLiteral("4,767.3 MB ");
    e.list.SUMDSP = QStringLiteral("0.0 MB ");
    e.list.DLSDSP = QStringLiteral("4,767.3 MB ");
    e.list.SortKind = 1;
    e.list.FullPath = true;
    e.grid.st.treeLines = 0;
    scan::SortRows(e.list);
    scan::ShowPaths(e.list);
    EXPECT_EQ(QString::fromUtf8(Written(e.list, Format::Text)),
              QString::fromUtf8(Expected("sorted_mb.txt")));
    EXPECT_EQ(QString::fromUtf8(Written(e.list, Format::Csv)),
              QString::fromUtf8(Expected("sorted_mb.csv")));
}

scan::RowFigures Figures(qint64 files, qint64 bytes, qint64 alloc, qint64 subtree) {
    scan::RowFigures f;
    f.files = files;
    f.bytes = bytes;
    f.alloc = alloc;
    f.subtree = subtree;
    return f;
}

TEST(ListExport, RowLineColumns) {
    const QString line = exportlist::ReportRowLine("Name", Figures(7, 1, 2, 3), 0, 7, 0);
    EXPECT_EQ(line.indexOf("Name"), 6);
    EXPECT_EQ(line.indexOf('7'), 51);
    EXPECT_EQ(line.indexOf('1'), 68);
    EXPECT_EQ(line.size(), 99);
    // The total row puts its third cell under the occupied size and nothing after it.
    scan::RowFigures total = Figures(5, 10, 99, 0);
    total.total = true;
    EXPECT_EQ(exportlist::ReportRowLine("3 Folders ", total, 0, 1, 0),
              QStringLiteral("3 Folders") + QString(42, u' ') + "5" + QString(15, u' ') + "10" +
                  QString(13, u' ') + "99");
    // A value wider than its column widens it and shifts the rest, one blank between.
    const QString w =
        exportlist::ReportRowLine("x", Figures(1234567, 1234567890123456, 0, 0), 0, 1, 0);
    EXPECT_EQ(w.mid(47, 8), "1234567 ");
    EXPECT_EQ(w.mid(54, 23), " 1,234,567,890,123,456 ");
    EXPECT_EQ(w.mid(90), QStringLiteral("0") + QString(14, u' ') + "0");
}

TEST(ListExport, NoFigureEverLosesADigit) {
    // Huge figures in every unit, through the cells the list, the report and the CSV share.
    const qint64 sizes[] = {99'999'999'999LL,
                            100'000'000'000LL,
                            999'999'999'999LL,
                            1'000'000'000'000LL,
                            1'460'000'000'000LL,
                            100'000'000'000'000LL,
                            std::numeric_limits<qint64>::max()};
    const qint32 counts[] = {99'999, 123'456, 10'000'000, std::numeric_limits<qint32>::max()};
    for (const int unit : {0, 1, 2, 3}) {
        for (const qint64 size : sizes) {
            for (const qint32 count : counts) {
                SCOPED_TRACE(QStringLiteral("unit %1, %2 bytes, %3 files")
                                 .arg(unit)
                                 .arg(size)
                                 .arg(count)
                                 .toStdString());
                const QString cell = scan::CellSize(size, unit);
                const QString plain = scan::PlainSize(size, unit);
                EXPECT_TRUE(cell.contains(plain)) << cell.toStdString();
                const QString line =
                    exportlist::ReportRowLine("x", Figures(count, size, size, size), unit, 1, 0);
                // Read back, the line gives every figure whole, in order.
                QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
                fields.removeAll(QStringLiteral("KB"));
                fields.removeAll(QStringLiteral("MB"));
                fields.removeAll(QStringLiteral("GB"));
                const QString number = plain.split(u' ').first();
                EXPECT_EQ(fields,
                          QStringList({"x", QString::number(count), number, number, number}))
                    << line.toStdString();
                // Figures that fit keep their columns: the first size ends at column 69.
                if (cell.trimmed().size() <= 14 && count <= 99'999) {
                    EXPECT_EQ(line.indexOf(u' ' + number) + 1 + number.size(), unit == 0 ? 69 : 65);
                }
            }
        }
    }
}

TEST(ListExport, LongNamesStopBeforeTheFileCount) {
    const QString ascii(60, u'a');
    const scan::RowFigures small = Figures(1, 2, 3, 4);
    // From column 7: columns 7..47 hold the name, nothing of it shows after the count.
    const QString line = exportlist::ReportRowLine(ascii, small, 0, 7, 0);
    EXPECT_EQ(line.left(47), QString(6, u' ') + QString(41, u'a'));
    EXPECT_EQ(line.mid(47, 8), "    1   ");
    EXPECT_EQ(line.count(u'a'), 41);
    // A wide character that would cover column 48 is left out, its place blank.
    const QString jp(30, QChar(0x65E5));
    const QString j = exportlist::ReportRowLine(jp, small, 0, 2, 0);
    EXPECT_EQ(j.left(1), " ");
    EXPECT_EQ(j.count(QChar(0x65E5)), 23);  // columns 2..47
    // From column 3 the 23rd would cover column 48: column 47 stays blank.
    const QString k = exportlist::ReportRowLine(jp, small, 0, 3, 0);
    EXPECT_EQ(k.count(QChar(0x65E5)), 22);
    EXPECT_EQ(k.mid(24, 6), "     1");
    // Too deep to show its name at all.
    EXPECT_EQ(exportlist::ReportRowLine(ascii, small, 0, 49, 0).count(u'a'), 0);
}

TEST(ListExport, NameCaseFollowsTheFirstColumn) {
    ExportList e({{0, "C:\\", 0, 0, 0}, {1, "MixedÄ", 0, 0, 0}}, 0);
    e.grid.st.columnCase[0] = 1;
    EXPECT_TRUE(Written(e.list, Format::Csv).contains("\"mixedä\""));
    EXPECT_TRUE(Written(e.list, Format::Text).contains("  mixedä"));
    e.grid.st.columnCase[0] = 2;
    EXPECT_TRUE(Written(e.list, Format::Csv).contains("\"MIXEDÄ\""));
    e.grid.st.columnCase[0] = 3;  // other styles leave the file's names alone
    EXPECT_TRUE(Written(e.list, Format::Csv).contains("\"MixedÄ\""));
}

TEST(ListExport, UndecodableBytesLeaveValidUtf8) {
    // A name byte that was not UTF-8 is kept by the path mapping as a lone surrogate.
    ExportList e({{0, "C:\\", 0, 0, 0}, {1, QStringLiteral("ab") + QChar(0xDCFF), 0, 0, 0}}, 0);
    const QByteArray csv = Written(e.list, Format::Csv);
    EXPECT_TRUE(csv.contains("\"ab\xEF\xBF\xBD\""));
    EXPECT_TRUE(QString::fromUtf8(csv).toUtf8() == csv);
}

TEST(ListExport, FormatByExtension) {
    EXPECT_EQ(exportlist::FormatForName("list.csv"), Format::Csv);
    EXPECT_EQ(exportlist::FormatForName("/tmp/LIST.Csv"), Format::Csv);
    EXPECT_EQ(exportlist::FormatForName("LogC.TXT"), Format::Text);
    EXPECT_EQ(exportlist::FormatForName("list.csv.txt"), Format::Text);
    EXPECT_EQ(exportlist::FormatForName("csv"), Format::Text);
    EXPECT_EQ(exportlist::FormatForName("/tmp/a.csv/report"), Format::Text);
}

TEST(ListExport, SaveReplacesAFileOnlyWhenWritten) {
    ExportList e(Tree(), 1);
    SetKbFigures(e.list);
    QTemporaryDir dir;
    const QString path = dir.filePath("LogC.TXT");
    QString error;
    ASSERT_TRUE(
        exportlist::SaveListFile(e.list, Format::Text, QFile::encodeName(path), kNow, &error));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), Expected("tree_kb.txt"));
    f.close();
    // No temporary file stays behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"LogC.TXT"});

    // A folder that does not exist: an error, and nothing written.
    EXPECT_FALSE(exportlist::SaveListFile(
        e.list, Format::Csv, QFile::encodeName(dir.filePath("no/x.csv")), kNow, &error));
    EXPECT_FALSE(error.isEmpty());

    // A full device reports its failure.
    if (QFile::exists("/dev/full")) {
        error.clear();
        EXPECT_FALSE(exportlist::SaveListFile(e.list, Format::Text, "/dev/full", kNow, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    // A device that takes everything.
    EXPECT_TRUE(exportlist::SaveListFile(e.list, Format::Csv, "/dev/null", kNow, &error));
}

// A strict reader of comma-separated values (RFC 4180): fields quoted or plain, quotes
// doubled inside quoted ones, records ended by CR LF. Anything else is malformed: a
// quote inside a plain field, text after a closing quote, an unclosed quote.
bool ReadCsv(const QString& text, std::vector<QStringList>& records) {
    records.clear();
    QStringList record;
    QString field;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text.at(i) == u'"') {
            ++i;
            for (;;) {
                if (i >= n) return false;
                if (text.at(i) == u'"') {
                    if (i + 1 < n && text.at(i + 1) == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text.at(i++);
            }
        } else {
            while (i < n && text.at(i) != u',' && text.at(i) != u'\r') {
                if (text.at(i) == u'"' || text.at(i) == u'\n') return false;
                field += text.at(i++);
            }
        }
        record << field;
        field.clear();
        if (i < n && text.at(i) == u',') {
            ++i;
            continue;
        }
        if (i + 1 < n + 1 && text.mid(i, 2) == QStringLiteral("\r\n")) {
            i += 2;
            records.push_back(record);
            record.clear();
            continue;
        }
        return false;
    }
    return record.isEmpty();
}

TEST(ListExport, EveryAwkwardNameIsOneCsvFieldThatReadsBackAsShown) {
    // The names of the scan's odd-name tests, as the path mapping holds them: substituted
    // characters (U+F000 + code) for quote, backslash, colon and control codes, U+DCxx for
    // bytes that are not UTF-8.
    const QString names[] = {
        QStringLiteral("evil\",\"9,999\",\"1\",\"2\",\"3"),
        QStringLiteral("say \"hi\""),
        QStringLiteral("evil") + QChar(0xF022) + QStringLiteral(",") + QChar(0xF022) +
            QStringLiteral("9,999") + QChar(0xF022),
        QStringLiteral("q") + QChar(0xF022) + QChar(0xF022) + QStringLiteral("q"),
        QChar(0xF022) + QStringLiteral("lead quote"),
        QStringLiteral(" lead and trail "),
        QStringLiteral("line") + QChar(0xF00A) + QStringLiteral("break") + QChar(0xF00D),
        QStringLiteral("back") + QChar(0xF05C) + QStringLiteral("slash") + QChar(0xF03A),
        QStringLiteral("bad") + QChar(0xDCFF) + QChar(0xDC80) + QStringLiteral("name"),
        QStringLiteral("del\u007F c1\u009B[31m"),
        kJapanese,
        QStringLiteral("comma,,and;semicolon"),
    };
    std::vector<Folder> folders = {{0, "C:\\", 0, 0, 0}};
    for (const QString& n : names) folders.push_back({1, n, 1, 10, 4096});
    ExportList e(folders, 0);
    const QString csv = QString::fromUtf8(Written(e.list, Format::Csv));
    std::vector<QStringList> records;
    ASSERT_TRUE(ReadCsv(csv, records)) << csv.toStdString();
    ASSERT_EQ(records.size(), std::size(names) + 3);  // heading, root, names, total
    for (size_t i = 0; i < std::size(names); ++i) {
        const QStringList& r = records[i + 2];
        ASSERT_EQ(r.size(), 5) << i;
        // The field is the name as the list shows it, and nothing leaks into the figures.
        EXPECT_EQ(r[0], platform::DisplayName(names[i])) << i;
        EXPECT_EQ(r[1], QStringLiteral("1")) << i;
        // Nothing a terminal would take as the start of a control sequence.
        for (const QChar c : r[0])
            EXPECT_FALSE(c.unicode() < 32 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F)) << i;
    }
}

TEST(ListExport, AFailedSaveKeepsTheOlderFileAndSaysWhy) {
    ExportList e(Tree(), 1);
    QTemporaryDir dir;
    const QByteArray native = QFile::encodeName(dir.path());
    // Only names that are UTF-8: a temporary file would be one.
    auto entries = [&] {
        QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        names.removeIf([](const QString& n) { return n.contains(QChar::ReplacementCharacter); });
        return names;
    };

    // A device that refuses the write stands in for a failing stream.
    class Failing : public QBuffer {
      protected:
        qint64 writeData(const char*, qint64) override { return -1; }
    } failing;
    failing.open(QIODevice::WriteOnly);
    QString error;
    EXPECT_FALSE(exportlist::WriteList(e.list, Format::Csv, failing, kNow, &error));
    EXPECT_FALSE(error.isEmpty());
    // The folder cannot take the temporary file: the older file stays as it was. Permissions
    // bind only below root, so this part runs as an unprivileged user.
    testsupport::RunUnprivileged([&e] {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath("old.csv");
        {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            ASSERT_EQ(old.write("older report\r\n"), 14);
        }
        ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        ASSERT_FALSE(QFile(dir.filePath("probe")).open(QIODevice::WriteOnly));
        QString error;
        EXPECT_FALSE(
            exportlist::SaveListFile(e.list, Format::Csv, QFile::encodeName(path), kNow, &error));
        EXPECT_FALSE(error.isEmpty());
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("older report\r\n"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.csv"});
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    // A report made read-only is left as it is, by root too.
    testsupport::WriteAll(native + "/kept.txt", "kept report\r\n");
    ASSERT_EQ(::chmod((native + "/kept.txt").constData(), 0444), 0);
    error.clear();
    EXPECT_FALSE(
        exportlist::SaveListFile(e.list, Format::Text, native + "/kept.txt", kNow, &error));
    EXPECT_EQ(error, platform::ErrorText(EACCES));
    EXPECT_EQ(testsupport::ReadAll(native + "/kept.txt"), "kept report\r\n");

    // A name that is not UTF-8 is written byte for byte.
    const QByteArray odd = native + "/rep\xff\x80.txt";
    ASSERT_TRUE(exportlist::SaveListFile(e.list, Format::Csv, odd, kNow, &error));
    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(odd, bytes));
    EXPECT_EQ(bytes, Written(e.list, Format::Csv));
    ::chmod((native + "/kept.txt").constData(), 0644);
    ::unlink(odd.constData());
    EXPECT_EQ(entries(), QStringList{"kept.txt"});  // no temporary file stays behind

    // A full disk: the small report never fits, the old one stays whole.
    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    const QByteArray report = disk.path() + "/report.txt";
    testsupport::WriteAll(report, "older report\r\n");
    testsupport::FillDisk(disk.path());
    error.clear();
    EXPECT_FALSE(exportlist::SaveListFile(e.list, Format::Text, report, kNow, &error));
    EXPECT_EQ(error, platform::ErrorText(ENOSPC));
    EXPECT_EQ(testsupport::ReadAll(report), "older report\r\n");
    EXPECT_EQ(QDir(QFile::decodeName(disk.path())).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

}  // namespace

namespace {

TEST(ReportRowLineTest, OddNamesAreShownReadablyAndKeepTheColumns) {
    const scan::RowFigures f = Figures(1, 2, 3, 4);
    const QString plain = exportlist::ReportRowLine(QStringLiteral("abcdefghi"), f, 0, 1, 0);
    const QString odd = exportlist::ReportRowLine(QStringLiteral("tab\uF009here"), f, 0, 1, 0);
    EXPECT_TRUE(odd.startsWith(QStringLiteral("tab^Ihere")));
    EXPECT_EQ(odd.mid(9), plain.mid(9));
    const QString slash = exportlist::ReportRowLine(QStringLiteral("a\uF05Cb"), f, 0, 1, 0);
    EXPECT_TRUE(slash.startsWith(QStringLiteral("a\\b ")));
}

}  // namespace
