// The largest files below a folder, from the scan's sizes and read again from the disk,
// against what find lists on the same tree.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QProcess>
#include <algorithm>
#include <utility>
#include <vector>

#include "common/ListFixture.h"
#include "common/TestSupport.h"
#include "scan/LargestFiles.h"

using testsupport::ListFixture;
using testsupport::TempDrive;

namespace {

using SizedPath = std::pair<qint64, QByteArray>;  // size, path below the folder

// find's plain files below folder, largest first (names may hold a newline: NUL ends each).
std::vector<SizedPath> Find(const QByteArray& folder) {
    // The folder goes by the environment: its bytes stay as they are.
    qputenv("FOLDEX_FIND_DIR", folder);
    QProcess p;
    p.start(QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("find \"$FOLDEX_FIND_DIR\" -type f -printf '%s %P\\0' | sort -z -n")});
    EXPECT_TRUE(p.waitForFinished(10000));
    std::vector<SizedPath> out;
    for (const QByteArray& line : p.readAllStandardOutput().split('\0')) {
        if (line.isEmpty()) continue;
        const qsizetype blank = line.indexOf(' ');
        out.push_back({line.left(blank).toLongLong(), line.mid(blank + 1)});
    }
    return out;
}

// Largest first; names of one size (a file's hard links) in byte order.
std::vector<SizedPath> Ordered(std::vector<SizedPath> v) {
    std::sort(v.begin(), v.end(), [](const SizedPath& a, const SizedPath& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    return v;
}

std::vector<SizedPath> Listed(const scan::LargestFiles& found) {
    std::vector<SizedPath> out;
    for (const scan::LargeFile& f : found.files)
        out.push_back({f.size, f.below.isEmpty() ? f.name : f.below + '/' + f.name});
    return Ordered(out);
}

// Sizes are all different, so the n largest are one set; each hard link is listed by name.
class LargestFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const QByteArray root = t.native();
        // Plain calls: names that are not UTF-8 reach the disk as they are.
        auto write = [&](const QByteArray& rel, qint64 size) {
            const int fd =
                ::open((root + '/' + rel).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            ASSERT_GE(fd, 0) << rel.constData();
            const QByteArray bytes(size, 'x');
            ASSERT_EQ(::write(fd, bytes.constData(), size_t(size)), ssize_t(size));
            ASSERT_EQ(::close(fd), 0);
        };
        auto dir = [&](const QByteArray& rel) {
            ASSERT_EQ(::mkdir((root + '/' + rel).constData(), 0755), 0) << rel.constData();
        };
        dir("写真");
        dir("写真/2024 夏");
        dir("odd\xE6");
        dir("line\nbreak");
        dir("links");
        write("top.bin", 900);
        write("写真/大きい 画像.jpg", 70000);
        write("写真/2024 夏/海.jpg", 50001);
        write("写真/2024 夏/小.txt", 17);
        write("odd\xE6/bytes\xFF.dat", 30002);
        write("line\nbreak/new\nline.bin", 40003);
        write("links/one", 20004);
        ASSERT_EQ(::link((root + "/links/one").constData(), (root + "/写真/one again").constData()),
                  0);
        write("empty", 0);
        // A link to a big file is a file of its own small size, never the file.
        write("big-target.iso", 90000);
        ASSERT_EQ(::symlink((root + "/big-target.iso").constData(),
                            (root + "/写真/2024 夏/link.iso").constData()),
                  0);
        ASSERT_EQ(Find(root).size(), 10u);
        l.scan(t.drive(), 0);
    }
    int Record(const QByteArray& rel) const {
        const scan::FolderTable& f = l.list.Folders;
        for (int r = 0; r + 1 < l.list.ListRowCount; ++r)
            if (f.nativePath(r) == t.native() + (rel.isEmpty() ? "" : "/" + rel)) return r;
        return -1;
    }

    TempDrive t;
    ListFixture l{{.readThreads = 0}};
};

TEST_F(LargestFilesTest, AgreesWithFindFromTheScanAndReadAgain) {
    const struct {
        QByteArray folder;
        size_t n;
    } cases[] = {{"", 100}, {"", 3}, {"写真", 100}, {"写真", 2}, {"odd\xE6", 100}};
    for (const bool kept : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.folder.toStdString() + " n=" + std::to_string(c.n) +
                         (kept ? " from the scan" : " read again"));
            ListFixture& list = l;
            // A list without its file table reads the subtree again.
            if (!kept) list.list.Files.reset();
            const int r = Record(c.folder);
            ASSERT_GE(r, 0);
            EXPECT_EQ(scan::SizesKept(list.list, r), kept);
            int folders = 0;
            const scan::LargestFiles found = scan::FindLargestFiles(
                list.list, r, c.n, [&](const QString&) { return ++folders > 0; });
            std::vector<SizedPath> want =
                Ordered(Find(c.folder.isEmpty() ? t.native() : t.native() + '/' + c.folder));
            if (want.size() > c.n) want.resize(c.n);
            EXPECT_EQ(Listed(found), want);
            EXPECT_EQ(found.fromScan, kept);
            EXPECT_EQ(found.vanished, 0);
            EXPECT_EQ(found.unreadable, 0);
            // Read again, the progress names each folder below the first.
            EXPECT_EQ(folders > 0, !kept && c.folder != "odd\xE6");
            for (const scan::LargeFile& f : found.files) {
                struct stat st {};
                ASSERT_EQ(::lstat(scan::LargeFilePath(list.list, r, f).constData(), &st), 0);
                EXPECT_EQ(f.links, st.st_nlink);
                EXPECT_EQ(f.mtime, st.st_mtim.tv_sec);
                EXPECT_EQ(f.allocated, qint64(st.st_blocks) * 512);
            }
        }
        if (kept) l.scan(t.drive(), 0);
    }
}

TEST_F(LargestFilesTest, FilesGoneSinceTheScanAreLeftOutAndCounted) {
    ASSERT_EQ(::unlink((t.native() + "/big-target.iso").constData()), 0);
    const scan::LargestFiles found = scan::FindLargestFiles(l.list, 0, 2);
    std::vector<SizedPath> want = Ordered(Find(t.native()));
    want.resize(2);
    EXPECT_EQ(Listed(found), want);
    EXPECT_EQ(found.vanished, 1);
}

// A read stopped before the first subfolder keeps what it found: the files of the folder itself.
TEST_F(LargestFilesTest, AStoppedReadKeepsWhatItFoundSoFar) {
    l.list.Files.reset();
    const scan::LargestFiles found =
        scan::FindLargestFiles(l.list, 0, 100, [](const QString&) { return false; });
    EXPECT_TRUE(found.stopped);
    std::vector<SizedPath> want;
    for (const SizedPath& f : Ordered(Find(t.native())))
        if (!f.second.contains('/')) want.push_back(f);
    EXPECT_EQ(Listed(found), want);
}

// Clicking a heading sorts by that column; the same heading again turns the order round.
TEST(LargestModelTest, SortsByEachColumn) {
    std::vector<scan::LargeFile> files = {
        {"b", "Beta", 10, 4096, 300, 1},
        {"", "alpha", 30, 0, 100, 2},
        {"a", "gamma", 20, 8192, 200, 1},
    };
    scan::LargestModel m(files, 0);
    const struct {
        int column;
        Qt::SortOrder order;
        std::vector<QByteArray> names;
    } cases[] = {
        {scan::LargestModel::Name, Qt::AscendingOrder, {"alpha", "Beta", "gamma"}},
        {scan::LargestModel::Size, Qt::DescendingOrder, {"alpha", "gamma", "Beta"}},
        {scan::LargestModel::Allocated, Qt::AscendingOrder, {"alpha", "Beta", "gamma"}},
        {scan::LargestModel::Time, Qt::DescendingOrder, {"Beta", "gamma", "alpha"}},
        {scan::LargestModel::Folder, Qt::AscendingOrder, {"alpha", "gamma", "Beta"}},
    };
    for (const auto& c : cases) {
        m.sort(c.column, c.order);
        std::vector<QByteArray> got;
        for (int r = 0; r < m.rowCount(); ++r) got.push_back(m.file(r).name);
        EXPECT_EQ(got, c.names) << c.column;
    }
    m.sort(scan::LargestModel::Size, Qt::DescendingOrder);
    EXPECT_EQ(m.data(m.index(0, scan::LargestModel::Name), Qt::DisplayRole).toString(),
              QStringLiteral("alpha  [リンク 2]"));
}

}  // namespace
