#include <gtest/gtest.h>

#include "ImportFixture.h"

using namespace importtest;

namespace {

// Every field of the format, escapes, names that are not UTF-8, a folder left unread, mount
// points not entered, a pattern exclusion and a file with two links.
const QByteArray kEveryField =
    "[1,2,{\"progname\":\"hand\",\"progver\":\"0.1\",\"timestamp\":1700000000},\n"
    "[{\"name\":\"/srv/data\",\"asize\":4096,\"dsize\":4096,\"dev\":2049,\"ino\":2,"
    "\"uid\":0,\"gid\":0,\"mode\":16877,\"mtime\":1700000000},\n"
    " {\"name\":\"top.bin\",\"asize\":5000,\"dsize\":8192,\"ino\":11,\"nlink\":1,"
    "\"uid\":1000,\"gid\":1000,\"mode\":33188,\"mtime\":1},\n"
    " [{\"name\":\"Docs\",\"asize\":4096,\"dsize\":8192},\n"
    "  [{\"name\":\"sub\\u00e9\\ud83d\\ude00\",\"asize\":4096},\n"
    "   {\"name\":\"tab\\tq\\\"b\\\\s\\u0041\",\"asize\":1,\"dsize\":4096}],\n"
    "  {\"name\":\"a.txt\",\"asize\":10},\n"
    "  {\"name\":\"hard1\",\"asize\":3000,\"dsize\":4096,\"ino\":77,\"hlnkc\":true,\"nlink\":2}],\n"
    " {\"name\":\"mnt\",\"excluded\":\"otherfs\"},\n"
    " {\"name\":\"proc\",\"excluded\":\"kernfs\"},\n"
    " {\"name\":\"skip.tmp\",\"asize\":999,\"excluded\":\"pattern\"},\n"
    " [{\"name\":\"locked\",\"asize\":4096,\"dsize\":4096,\"read_error\":true}],\n"
    " [{\"name\":\"bad\xff\xfe\"},{\"name\":\"link\",\"asize\":7,\"notreg\":true}],\n"
    " [{\"name\":\"esc\\udcff\",\"future_field\":{\"x\":[1,2]}}],\n"
    " [{\"name\":\"}hidden\"},{\"name\":\"x\",\"asize\":5}],\n"
    " [{\"name\":\"Zlinks\",\"dsize\":4096},\n"
    "  {\"name\":\"hard2\",\"asize\":3000,\"dsize\":4096,\"ino\":77,\"hlnkc\":true,\"nlink\":2},\n"
    "  {\"name\":\"other-dev\",\"asize\":3000,\"dsize\":4096,\"dev\":9,\"ino\":77,\"nlink\":2}]\n"
    "]]\n";

}  // namespace

TEST_F(ImportFixture, EveryFieldGivesTheRowsAndFigures) {
    const Report r = ReportOfImport(write("every.json", kEveryField));
    ASSERT_TRUE(r.listed) << r.err.toStdString();
    struct Row {
        QByteArray native;  // the root keeps the path the export names
        int level;
        qint32 files;
        qint64 bytes;
        qint64 alloc;
        qint64 subtree;
        int state;
    };
    // Folders in the order a scan walks them: names without regard to case.
    // An entry without dsize occupies nothing, as the format says.
    const std::vector<Row> want = {
        {"/srv/data", 0, 1, 5000, 8192, 36864, scan::kFolderRead},
        {"bad\xff\xfe", 1, 1, 7, 0, 0, scan::kFolderRead},
        {"Docs", 1, 2, 3010, 8192 + 0 + 4096, 16384, scan::kFolderRead},
        {"sub\xc3\xa9\xf0\x9f\x98\x80", 2, 1, 1, 0 + 4096, 4096, scan::kFolderRead},
        {"esc\xff", 1, 0, 0, 0, 0, scan::kFolderRead},
        {"locked", 1, 0, 0, 4096, 4096, scan::kFolderUnreadable},
        {"mnt", 1, 0, 0, 0, 0, scan::kFolderNotEntered},
        {"proc", 1, 0, 0, 0, 0, scan::kFolderNotEntered},
        // The second link takes no room; the same inode on another device does.
        {"Zlinks", 1, 2, 6000, 4096 + 0 + 4096, 8192, scan::kFolderRead},
    };
    ASSERT_EQ(r.rows.size(), qsizetype(want.size() + 1));  // and the total row
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        const Row& w = want[i];
        EXPECT_EQ(r.folders.native(int(i)), w.native);
        EXPECT_EQ(r.folders.Level[i], w.level);
        EXPECT_EQ(r.folders.FileCount[i], w.files);
        EXPECT_EQ(r.folders.FileSize[i], w.bytes);
        EXPECT_EQ(r.folders.AllocSize[i], w.alloc);
        EXPECT_EQ(r.folders.SubtreeTotal[i], w.subtree);
        EXPECT_EQ(r.folders.State[i], w.state);
    }
    // Names shown through the bijection: the bytes come back exactly.
    EXPECT_EQ(r.rows[0][0], r.volume.left(2) + u'\\');
    EXPECT_EQ(platform::NativeFromName(r.rows[1][0]), want[1].native);
    EXPECT_EQ(platform::NativeFromName(r.rows[4][0]), want[4].native);
    EXPECT_EQ(r.fileTotal, 7);
    EXPECT_EQ(r.allocTotal, 36864);
    // The drive is the file's: its occupied total, free space unknown, read-only.
    EXPECT_TRUE(r.volume.contains("every.json")) << r.volume.toStdString();
    EXPECT_TRUE(r.volume.contains("読み取り専用"));
    EXPECT_TRUE(r.totals.contains("不明")) << r.totals.toStdString();
    // The unread folder is named by the path the export gives, as a scan names it.
    EXPECT_TRUE(r.err.contains("/srv/data/locked")) << r.err.toStdString();
}
