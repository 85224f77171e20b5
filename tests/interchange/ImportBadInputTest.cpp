#include <gtest/gtest.h>

#include <cerrno>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QTemporaryDir>
#include <functional>

#include "ImportFixture.h"
#include "platform/FileSys.h"

using namespace importtest;

namespace {

QByteArray Nested(int depth) {
    QByteArray s = "[1,2,{},";
    for (int i = 0; i < depth; ++i) s += "[{\"name\":\"d\",\"dsize\":4096},";
    s += "{\"name\":\"f\",\"asize\":1,\"dsize\":4096}";
    s += QByteArray(depth, ']');
    s += "]";
    return s;
}

QByteArray WithFile(const QByteArray& fileInfo) {
    return "[1,2,{},[{\"name\":\"/r\"},{" + fileInfo + "}]]";
}

// A device that makes its content as it is read: head, then filler bytes up to size.
class Generated : public QIODevice {
  public:
    // failAt >= 0: the read at that byte fails, as a disk that gives up does.
    Generated(QByteArray head, char filler, qint64 size, qint64 failAt = -1)
        : head_(std::move(head)), filler_(filler), size_(size), failAt_(failAt) {}
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 max) override {
        if (failAt_ >= 0 && at_ >= failAt_) return -1;
        qint64 n = 0;
        while (n < max && at_ < size_) {
            data[n++] = at_ < head_.size() ? head_[at_] : filler_;
            ++at_;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    QByteArray head_;
    char filler_;
    qint64 size_;
    qint64 failAt_;
    qint64 at_ = 0;
};

struct CountingSink : scan::FolderSink {
    int folders = 0;
    bool enter(scan::WalkedFolder&) override { return ++folders, true; }
    bool leave() override { return true; }
};

long PeakKilobytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace

TEST_F(ImportFixture, BadInputIsRefusedWithItsPlace) {
    const QByteArray every = WithFile("\"name\":\"f\",\"asize\":12,\"dsize\":4096");
    const struct {
        const char* what;
        QByteArray content;
        const char* message;  // a part of the message
    } cases[] = {
        {"empty", "", "途中で終わっています"},
        {"truncated", every.left(every.size() - 9), "途中で終わっています"},
        {"truncated in a string", every.left(30), "途中で終わっています"},
        {"not JSON", "hello world", "JSON ではありません"},
        {"JSON of another kind", "{\"a\":1}", "エクスポートファイルではありません"},
        {"not JSON inside", "[1,2,{},[{\"name\":\"/r\"},{\"name\":'x'}]]", "32 バイト目"},
        {"an export of another kind", "[1,2,{},{\"name\":\"/r\"}]", "ルートのフォルダー"},
        {"major version 2", "[2,0,{},[{\"name\":\"/r\"}]]", "メジャー版 2"},
        {"text after the value", every + " []", "余分なデータ"},
        {"negative size", WithFile("\"name\":\"f\",\"asize\":-1"), "負の数"},
        {"1e400", WithFile("\"name\":\"f\",\"asize\":1e400"), "整数ではありません"},
        {"a fraction", WithFile("\"name\":\"f\",\"dsize\":1.5"), "整数ではありません"},
        {"2^64", WithFile("\"name\":\"f\",\"asize\":18446744073709551616"), "大きすぎます"},
        {"2^63", WithFile("\"name\":\"f\",\"dsize\":9223372036854775808"), "大きすぎます"},
        {"an endless number", WithFile("\"name\":\"f\",\"asize\":" + QByteArray(100, '7')),
         "数値が長すぎます"},
        {"a size as text", WithFile("\"name\":\"f\",\"asize\":\"12\""), "数値が必要です"},
        {"a name with a slash", WithFile("\"name\":\"a/b\""), "'/'"},
        {"an empty name", WithFile("\"name\":\"\""), "名前が空です"},
        {"a parent as a name", WithFile("\"name\":\"..\""), "名前が"},
        {"a NUL in a name", WithFile("\"name\":\"a\\u0000b\""), "NUL"},
        {"no name", WithFile("\"asize\":1"), "name がありません"},
        {"a lone surrogate", WithFile("\"name\":\"\\ud800x\""), "サロゲート"},
        {"a control character", WithFile("\"name\":\"a\tb\""), "制御文字"},
        {"a bad escape", WithFile("\"name\":\"a\\qb\""), "エスケープ"},
        {"a flag as a number", WithFile("\"name\":\"f\",\"read_error\":1"), "真偽値"},
        {"a name of 100 KiB", WithFile("\"name\":\"" + QByteArray(100 * 1024, 'n') + "\""),
         "長すぎます"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Report r = ReportOfImport(write("bad.json", c.content));
        EXPECT_FALSE(r.listed);
        EXPECT_TRUE(r.err.contains("バイト目: ")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        // Nothing of a bad file is listed.
        EXPECT_TRUE(r.rows.isEmpty());
    }
    // The place is the byte where the fault begins, counted from 1: a fault in the first
    // byte is in byte 1.
    const struct {
        QByteArray content;
        QByteArray fault;
    } places[] = {{WithFile("\"name\":\"f\",\"asize\":-1"), "-1"}, {"x[1,0]", "x"}};
    for (const auto& p : places) {
        const Report r = ReportOfImport(write("bad.json", p.content));
        EXPECT_TRUE(
            r.err.contains(": " + QByteArray::number(p.content.indexOf(p.fault) + 1) + " バイト目"))
            << r.err.toStdString();
    }
}

TEST_F(ImportFixture, ASumPastTheLargestFigureNamesItsFolderInJapanese) {
    // Two files in a\b whose sizes add up past 2^63 - 1; another pair in c, each on its own.
    const QByteArray scan =
        "[1,2,{},[{\"name\":\"/r\"},[{\"name\":\"a\"},[{\"name\":\"b\"},"
        "{\"name\":\"f\",\"asize\":9223372036854775807},{\"name\":\"g\",\"asize\":1}]],"
        "[{\"name\":\"c\"},{\"name\":\"h\",\"asize\":5}]]]";
    const Report r = ReportOfImport(write("huge.json", scan));
    ASSERT_TRUE(r.listed) << r.err.toStdString();
    const QString said = QString::fromUtf8(r.err);
    // Said once, with the folder's whole path and what happened to its figures.
    EXPECT_EQ(said.count(u'\n'), 1) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral(
        ":\\a\\b: 合計が扱える最大の値 (9,223,372,036,854,775,807 バイト) を超えた")))
        << said.toStdString();
    EXPECT_FALSE(said.contains(platform::ErrorText(EOVERFLOW))) << said.toStdString();
}

TEST_F(ImportFixture, AFifoThatNothingWritesIsRefusedInsteadOfWaitedForEver) {
    testsupport::RunUnprivileged([] {
        ::alarm(120);  // a reader that waits for ever ends here, and the test fails
        QTemporaryDir dir;
        const QByteArray fifo = QFile::encodeName(dir.path()) + "/scan.fifo";
        ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
        // Named as a drive it is looked at first, then imported; --import reads it at once.
        EXPECT_TRUE(interchange::LooksLikeScanExport(fifo));
        for (const char* how : {"as a drive", "by --import"}) {
            SCOPED_TRACE(how);
            const Report r = ReportOfImport(fifo);
            EXPECT_FALSE(r.listed);
            EXPECT_TRUE(QString::fromUtf8(r.err).contains(
                QStringLiteral("scan.fifo: この FIFO に書き込んでいるプログラムがありません")))
                << r.err.toStdString();
        }
        ::alarm(0);
    });
}

TEST_F(ImportFixture, AnyNestingIsReadWithoutRecursion) {
    // 10,001 levels: what the export writes of such a tree comes back.
    for (const int depth : {10000, 10001, 100000}) {
        SCOPED_TRACE(depth);
        const Report r = ReportOfImport(write("deep.json", Nested(depth)));
        ASSERT_TRUE(r.listed) << r.err.toStdString();
        ASSERT_EQ(r.rows.size(), size_t(depth) + 1);
        EXPECT_EQ(r.folders.Level[size_t(depth) - 1], depth - 1);
        EXPECT_EQ(r.folders.FileCount[size_t(depth) - 1], 1);
        // A block for each folder but the root, and one for the file.
        EXPECT_EQ(r.folders.SubtreeTotal[0], qint64(depth - 1) * 4096 + 4096);
    }
}

TEST(ImportLimits, PastTheLimitOfFoldersOrFilesTheImportStopsAndSaysSo) {
    const interchange::ImportLimits limits{3, 2000};
    const QByteArray folder = ",[{\"name\":\"d\"}]";
    const QByteArray file = ",{\"name\":\"f\"}";
    const QByteArray files = file.repeated(2000);
    const struct {
        const char* what;
        QByteArray entries;   // in the root
        const char* message;  // empty: read
    } cases[] = {
        {"the limits reached", folder + folder + files, ""},
        {"a folder too many", folder + folder + folder, "フォルダーが多すぎます (上限 3)"},
        {"a file too many", files + file, "ファイルが多すぎます (上限 2,000)"},
        {"a mount point counts as a folder",
         folder + folder + ",{\"name\":\"m\",\"excluded\":\"otherfs\"}", "フォルダーが多すぎます"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray content = "[1,2,{},[{\"name\":\"/r\"}" + c.entries + "]]";
        QBuffer in(&content);
        in.open(QIODevice::ReadOnly);
        CountingSink sink;
        QString error;
        const bool read = interchange::ReadScanExport(in, "Z:\\", sink, error, limits);
        EXPECT_EQ(read, *c.message == 0) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.message))) << error.toStdString();
        EXPECT_EQ(sink.folders, read ? 3 : 0);
    }
}

TEST(ImportMemory, HugeInputIsReadInBoundedMemory) {
    testsupport::RunInChild([] {
        const long before = PeakKilobytes();
        const qint64 huge = qint64(2) << 30;
        const struct {
            QByteArray head;
            char filler;
            const char* message;
        } cases[] = {
            // 2 GiB of one name, of one number, of blanks before a value that never comes.
            {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"", 'a', "長すぎます"},
            {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"f\",\"asize\":1", '0', "長すぎます"},
            {"[1,2,{},[{\"name\":\"/r\"},", ' ', "途中で終わっています"},
        };
        for (const auto& c : cases) {
            // The blanks are read to their end: a quarter of the size keeps the test short.
            Generated in(c.head, c.filler, c.filler == ' ' ? huge / 8 : huge);
            in.open(QIODevice::ReadOnly);
            CountingSink sink;
            QString error;
            EXPECT_FALSE(interchange::ReadScanExport(in, "Z:\\", sink, error));
            EXPECT_TRUE(error.contains(QString::fromUtf8(c.message))) << error.toStdString();
            EXPECT_EQ(sink.folders, 0);
        }
        EXPECT_LT(PeakKilobytes() - before, 16 * 1024) << "peak grew by kB";

        // A million folders: about a hundred bytes each while the file is read and handed
        // over, as a scan keeps (it was four hundred).
        const int count = 1000000;
        QByteArray many;
        many.reserve(qsizetype(count) * 40);  // no peak of its own from growing
        many += "[1,2,{},[{\"name\":\"/r\"}";
        for (int i = 0; i < count; ++i)
            many += ",[{\"name\":\"d" + QByteArray::number(i) + "\",\"dsize\":4096}]";
        many += "]]";
        const long start = PeakKilobytes();
        QBuffer in(&many);
        in.open(QIODevice::ReadOnly);
        CountingSink sink;
        QString error;
        EXPECT_TRUE(interchange::ReadScanExport(in, "Z:\\", sink, error)) << error.toStdString();
        EXPECT_EQ(sink.folders, count + 1);
        // AddressSanitizer gives every allocation red zones: there the figure measures the
        // sanitizer, and only a gross growth is caught.
#if defined(__SANITIZE_ADDRESS__)
        const long allowed = 4 * 160;
#else
        const long allowed = 160;
#endif
        EXPECT_LT((PeakKilobytes() - start) * 1024 / count, allowed) << "bytes a folder";
    });
}

TEST(ImportReadError, AFailedReadIsNoEndOfFile) {
    // Blanks, then the device fails: not a short file, and never a success.
    Generated in("[1,2,{},[{\"name\":\"/r\"}", ' ', 1 << 20, 200000);
    in.open(QIODevice::ReadOnly);
    CountingSink sink;
    QString error;
    EXPECT_FALSE(interchange::ReadScanExport(in, "Z:\\", sink, error));
    EXPECT_TRUE(error.contains(QStringLiteral("読み込めません"))) << error.toStdString();
    EXPECT_EQ(sink.folders, 0);
}
