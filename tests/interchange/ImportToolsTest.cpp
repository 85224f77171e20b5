#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QMap>
#include <QProcess>

#include "ImportFixture.h"

using namespace importtest;

namespace {

// A tree with the awkward names of the scan tests: Japanese, blanks, a backslash, a control
// character, bytes that are not UTF-8, names that differ in case, a hidden folder, a folder
// the scan leaves out, a link, empty folders and files around the block size.
struct ToolTree : ImportFixture {
    testsupport::TempDrive drive;
    void SetUp() override {
        ImportFixture::SetUp();
        drive.writeFile("top.txt", "abc");
        drive.writeFile("日本語 フォルダ/ファイル.txt", QByteArray(4096, 'x'));
        drive.writeFile("日本語 フォルダ/深い/さらに/z", QByteArray(4097, 'y'));
        drive.writeFile("blank name /f ", QByteArray(1, 'b'));
        drive.writeFile("back\\slash/a", QByteArray(10000, 'c'));
        drive.writeFile(
            "ctl\x01"
            "char/\x02",
            "");
        drive.writeFile("bad\xff\xfe/also\xc0", QByteArray(5000, 'd'));
        drive.writeFile("Upper/x", "1");
        drive.writeFile("lower/x", "22");
        drive.writeFile(".hidden/h", "333");
        drive.writeFile("}left out/n", "4444");
        drive.makeDir("empty/inner");
        ASSERT_EQ(::symlink("top.txt", (drive.native() + "/link").constData()), 0);
    }
    QByteArray exportWith(const QString& tool, const QStringList& args) {
        const QByteArray file = home.native() + "/" + tool.toUtf8() + ".json";
        QProcess p;
        p.start(tool, args + QStringList{"-o", QFile::decodeName(file),
                                         QFile::decodeName(drive.native())});
        EXPECT_TRUE(p.waitForFinished(60000)) << tool.toStdString() << " did not run";
        EXPECT_EQ(p.exitCode(), 0) << tool.toStdString();
        return file;
    }
    // Directories here take one 4096-byte block, as a scan counts them (not so on tmpfs).
    bool directoryBlocksComparable() const {
        struct stat st;
        return ::stat((drive.native() + "/empty").constData(), &st) == 0 && st.st_blocks == 8;
    }
};

// Folder figures by the path a person reads, for exports that keep no exact bytes.
QMap<QString, QList<qint64>> ByShownPath(const Report& r, bool withAlloc) {
    QMap<QString, QList<qint64>> out;
    std::vector<QString> path(r.folders.bound());
    for (int i = 0; i + 1 < r.rows.size(); ++i) {
        const QString name = platform::DisplayName(r.rows[i][0]);
        path[size_t(i)] = i == 0 ? QString() : path[size_t(r.folders.Parent[i])] + u'/' + name;
        QList<qint64> v{r.folders.Level[i], r.folders.FileCount[i], r.folders.FileSize[i]};
        if (withAlloc) v << r.folders.AllocSize[i] << r.folders.SubtreeTotal[i];
        out.insert(path[size_t(i)], v);
    }
    return out;
}

}  // namespace

TEST_F(ToolTree, NcduExportReadsBackAsTheScan) {
    const Report scanned = ListOf(drive.drive());
    ASSERT_TRUE(scanned.listed) << scanned.err.toStdString();
    const Report imported = ReportOfImport(exportWith("ncdu", {}));
    ASSERT_TRUE(imported.listed) << imported.err.toStdString();
    ASSERT_EQ(imported.rows.size(), scanned.rows.size());
    ASSERT_EQ(scanned.rows.size(), 14);  // every folder but the one left out, and the total
    const bool alloc = directoryBlocksComparable();
    for (int i = 0; i + 1 < scanned.rows.size(); ++i) {
        SCOPED_TRACE(scanned.rows[i][0].toStdString());
        // Row for row, the same folder by its exact bytes.
        if (i > 0) {
            EXPECT_EQ(imported.folders.native(int(i)), scanned.folders.native(int(i)));
        }
        EXPECT_EQ(imported.folders.Level[i], scanned.folders.Level[i]);
        EXPECT_EQ(imported.folders.FileCount[i], scanned.folders.FileCount[i]);
        EXPECT_EQ(imported.folders.FileSize[i], scanned.folders.FileSize[i]);
        EXPECT_EQ(imported.folders.State[i], scanned.folders.State[i]);
        if (alloc) {
            EXPECT_EQ(imported.folders.AllocSize[i], scanned.folders.AllocSize[i]);
            EXPECT_EQ(imported.folders.SubtreeTotal[i], scanned.folders.SubtreeTotal[i]);
        }
    }
    EXPECT_EQ(imported.fileTotal, scanned.fileTotal);
    EXPECT_EQ(imported.rows.last(), scanned.rows.last());
}

TEST_F(ToolTree, GduExportReadsBackAsTheScan) {
    const Report scanned = ListOf(drive.drive());
    ASSERT_TRUE(scanned.listed) << scanned.err.toStdString();
    const Report imported = ReportOfImport(exportWith("gdu", {"-n"}));
    ASSERT_TRUE(imported.listed) << imported.err.toStdString();
    // gdu writes bytes that are not UTF-8 as U+FFFD, so folders are matched by their shown
    // paths, where such bytes show as U+FFFD too. It writes no dsize for a folder, which then
    // occupies nothing (the format's default): occupied figures are not the scan's.
    EXPECT_EQ(ByShownPath(imported, false), ByShownPath(scanned, false));
    EXPECT_EQ(imported.fileTotal, scanned.fileTotal);
}
