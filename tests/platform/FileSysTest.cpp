#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/TestSupport.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "platform/SafeWrite.h"

namespace fs = std::filesystem;
using platform::DirEntry;

namespace {

fs::path P(const QByteArray& native) {
    return fs::path(native.toStdString());
}

void Write(const QByteArray& native, const QByteArray& content) {
    std::ofstream f(native.toStdString(), std::ios::binary | std::ios::trunc);
    f.write(content.constData(), content.size());
}

QByteArray Read(const QByteArray& native) {
    std::ifstream f(native.toStdString(), std::ios::binary);
    return QByteArray::fromStdString(
        std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()));
}

const DirEntry* Entry(const std::vector<DirEntry>& list, const QByteArray& nativeName) {
    for (const DirEntry& e : list) {
        if (e.nativeName == nativeName) return &e;
    }
    return nullptr;
}

// Names in a folder other than the given ones: left-over temporary files.
std::vector<std::string> Others(const QByteArray& dir, std::initializer_list<const char*> known) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(P(dir))) {
        const std::string n = e.path().filename().string();
        if (std::find_if(known.begin(), known.end(), [&](const char* k) { return n == k; }) ==
            known.end()) {
            out.push_back(n);
        }
    }
    return out;
}

class FileSysTest : public ::testing::Test {
  protected:
    QTemporaryDir tmp;
    QByteArray root = QFile::encodeName(tmp.path());
    QByteArray at(const QByteArray& rel) const { return root + "/" + rel; }
    // Names that are not UTF-8 and read-only files are beyond QTemporaryDir's clean-up.
    void TearDown() override {
        for (const auto& e : fs::directory_iterator(P(root))) fs::remove_all(e.path());
    }
};

}  // namespace

TEST(MatchPattern, WildcardsAndCase) {
    using platform::MatchPattern;
    EXPECT_TRUE(MatchPattern("*.TXT", "read.me.txt"));
    EXPECT_TRUE(MatchPattern("READ*", "readme"));
    EXPECT_FALSE(MatchPattern("*.txt", "readme.txt.bak"));
    EXPECT_TRUE(MatchPattern("a?c", "AbC"));
    EXPECT_FALSE(MatchPattern("a?c", "ac"));
    EXPECT_FALSE(MatchPattern("a?c", "abbc"));
    EXPECT_TRUE(MatchPattern("*a*b*", "xxaYYbzz"));
    EXPECT_FALSE(MatchPattern("*a*b*", "xxbYYazz"));
    EXPECT_TRUE(MatchPattern("exact", "EXACT"));
    EXPECT_FALSE(MatchPattern("exact", "exact1"));
}

TEST(MatchPattern, StarDotStarAndNamesWithoutDots) {
    using platform::MatchPattern;
    for (const char* name : {"README", ".hidden", "a.b.c", "x", "日本語"}) {
        EXPECT_TRUE(MatchPattern("*.*", QString::fromUtf8(name))) << name;
        EXPECT_TRUE(MatchPattern("*", QString::fromUtf8(name))) << name;
    }
    EXPECT_TRUE(MatchPattern("READ*.*", "readme"));
    EXPECT_TRUE(MatchPattern("name.*", "name"));
    EXPECT_FALSE(MatchPattern("*.txt", "README"));
    EXPECT_FALSE(MatchPattern("name.*", "names"));
}

TEST(MatchPattern, JapaneseAndNonAscii) {
    using platform::MatchPattern;
    EXPECT_TRUE(MatchPattern(u"日本*.txt"_qs, u"日本語の文書.TXT"_qs));
    EXPECT_TRUE(MatchPattern(u"?.txt"_qs, u"表.txt"_qs));
    EXPECT_TRUE(MatchPattern(u"?.txt"_qs, u"𠀋.txt"_qs));  // one character, two UTF-16 units
    EXPECT_FALSE(MatchPattern(u"??.txt"_qs, u"𠀋.txt"_qs));
    EXPECT_TRUE(MatchPattern(u"ＡＢＣ*"_qs, u"ａｂｃ1"_qs));  // fullwidth letters fold too
    EXPECT_TRUE(MatchPattern(u"ÄRGER"_qs, u"ärger"_qs));
    EXPECT_FALSE(MatchPattern(u"日本?"_qs, u"日本"_qs));
}

TEST_F(FileSysTest, ListingKindsAttributesAndLinks) {
    fs::create_directory(P(at("dir")));
    Write(at("file.txt"), "12345");
    Write(at(".hidden"), "x");
    Write(at("ro.txt"), "abc");
    fs::permissions(P(at("ro.txt")), fs::perms::owner_write, fs::perm_options::remove);
    fs::create_directory_symlink(P(at("dir")), P(at("dirlink")));
    fs::create_symlink("nowhere/at/all", P(at("dangling")));

    std::vector<DirEntry> list;
    int error = -1;
    ASSERT_TRUE(platform::ListDir(root, "*.*", list, &error));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(list.size(), 6u);
    EXPECT_FALSE(Entry(list, ".") || Entry(list, ".."));

    const DirEntry* d = Entry(list, "dir");
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->isDir);
    EXPECT_EQ(d->attributes, platform::kAttrDirectory);

    const DirEntry* f = Entry(list, "file.txt");
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->isDir);
    EXPECT_EQ(f->size, 5);
    EXPECT_EQ(f->attributes, platform::kAttrNormal);
    EXPECT_GT(f->mtime, 0);

    const DirEntry* h = Entry(list, ".hidden");
    ASSERT_TRUE(h);
    EXPECT_EQ(h->attributes, platform::kAttrHidden);

    const DirEntry* ro = Entry(list, "ro.txt");
    ASSERT_TRUE(ro);
    EXPECT_EQ(ro->attributes, platform::kAttrReadOnly);

    // A link to a folder is a file of the link's own size, never a folder.
    const DirEntry* l = Entry(list, "dirlink");
    ASSERT_TRUE(l);
    EXPECT_FALSE(l->isDir);
    EXPECT_TRUE(l->isLink);
    EXPECT_EQ(l->attributes & platform::kAttrDirectory, 0u);
    EXPECT_EQ(l->size, qint64(at("dir").size()));

    const DirEntry* g = Entry(list, "dangling");
    ASSERT_TRUE(g);
    EXPECT_TRUE(g->isLink);
    EXPECT_EQ(g->size, qint64(strlen("nowhere/at/all")));

    // Listing a link to a folder does not go through it.
    EXPECT_FALSE(platform::ListDir(at("dirlink"), "*", list, &error));
    EXPECT_NE(error, 0);

    DirEntry e;
    ASSERT_TRUE(platform::StatEntry(at("dirlink"), e));
    EXPECT_TRUE(e.isLink);
    EXPECT_FALSE(e.isDir);
    EXPECT_EQ(e.name, u"dirlink");
}

TEST_F(FileSysTest, ListingFiltersByProgramName) {
    Write(at("Report.TXT"), "");
    Write(at("report.csv"), "");
    Write(at("日本語.txt"), "");
    Write(at("a:b.txt"), "");  // ':' becomes a private-use character in the program
    std::vector<DirEntry> list;
    ASSERT_TRUE(platform::ListDir(root, "*.txt", list));
    std::vector<QByteArray> names;
    for (const auto& e : list) names.push_back(e.nativeName);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<QByteArray>{"Report.TXT", "a:b.txt", "日本語.txt"}));
    const DirEntry* odd = Entry(list, "a:b.txt");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->name, platform::NameFromNative("a:b.txt"));
    EXPECT_FALSE(odd->name.contains(u':'));

    ASSERT_TRUE(platform::ListDir(root, "REPORT.???", list));
    EXPECT_EQ(list.size(), 2u);
}

TEST_F(FileSysTest, OddNativeNamesAreListedExactly) {
    const QByteArray names[] = {"bad\xff\xfename", "back\\slash", "ctl\x01\x1f", " blank ",
                                "タブ\tname"};
    for (const QByteArray& n : names) Write(at(n), n);
    std::vector<DirEntry> list;
    ASSERT_TRUE(platform::ListDir(root, "*.*", list));
    ASSERT_EQ(list.size(), std::size(names));
    for (const QByteArray& n : names) {
        const DirEntry* e = Entry(list, n);
        ASSERT_TRUE(e) << n.toHex().constData();
        EXPECT_EQ(platform::NativeFromName(e->name), n);
        EXPECT_FALSE(e->name.contains(u'\\'));
    }
}

TEST_F(FileSysTest, ListingAMissingFolderFails) {
    std::vector<DirEntry> list;
    int error = 0;
    EXPECT_FALSE(platform::ListDir(at("missing"), "*.*", list, &error));
    EXPECT_EQ(error, ENOENT);
    DirEntry e;
    EXPECT_FALSE(platform::StatEntry(at("missing"), e, &error));
    EXPECT_EQ(error, ENOENT);
}

TEST_F(FileSysTest, AttributesAndDeletionNeverFollowLinks) {
    Write(at("ro"), "x");
    fs::permissions(P(at("ro")), fs::perms::owner_write, fs::perm_options::remove);
    ASSERT_TRUE(platform::SetAttributesNormal(at("ro")));
    EXPECT_TRUE((fs::status(P(at("ro"))).permissions() & fs::perms::owner_write) !=
                fs::perms::none);

    // Through a link, neither the attributes nor the file of its target change.
    Write(at("target"), "keep");
    fs::permissions(P(at("target")), fs::perms::owner_write, fs::perm_options::remove);
    fs::create_symlink(P(at("target")), P(at("link")));
    EXPECT_TRUE(platform::SetAttributesNormal(at("link")));
    EXPECT_EQ(fs::status(P(at("target"))).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_TRUE(platform::DeleteFileNative(at("link")));
    EXPECT_EQ(Read(at("target")), "keep");
}

TEST_F(FileSysTest, CopyKeepsContentTimeAndPermissions) {
    QByteArray content;
    for (int i = 0; i < 300000; ++i) content += char(i * 7 + i / 251);
    Write(at("src.bin"), content);
    fs::permissions(P(at("src.bin")), fs::perms::owner_read | fs::perms::group_read |
                                          fs::perms::others_exec | fs::perms::owner_exec);
    const auto when = fs::file_time_type(std::chrono::nanoseconds(1234567890123456789LL));
    fs::last_write_time(P(at("src.bin")), when);

    Write(at("dst.bin"), "old content");
    ASSERT_TRUE(platform::CopyFileNative(at("src.bin"), at("dst.bin")));
    EXPECT_EQ(Read(at("dst.bin")), content);
    EXPECT_EQ(fs::last_write_time(P(at("dst.bin"))), when);
    EXPECT_EQ(fs::status(P(at("dst.bin"))).permissions(),
              fs::status(P(at("src.bin"))).permissions());
    EXPECT_TRUE(Others(root, {"src.bin", "dst.bin"}).empty());

    // An empty file and a new destination.
    Write(at("empty"), "");
    ASSERT_TRUE(platform::CopyFileNative(at("empty"), at("empty2")));
    EXPECT_TRUE(fs::exists(P(at("empty2"))));
    EXPECT_EQ(fs::file_size(P(at("empty2"))), 0u);
}

TEST_F(FileSysTest, CopyReplacesALinkInsteadOfWritingThroughIt) {
    Write(at("src"), "new");
    Write(at("victim"), "untouched");
    fs::create_symlink(P(at("victim")), P(at("dst")));
    ASSERT_TRUE(platform::CopyFileNative(at("src"), at("dst")));
    EXPECT_FALSE(fs::is_symlink(P(at("dst"))));
    EXPECT_EQ(Read(at("dst")), "new");
    EXPECT_EQ(Read(at("victim")), "untouched");
}

TEST_F(FileSysTest, CopyRefusesAnythingButARegularSource) {
    Write(at("real"), "data");
    fs::create_symlink(P(at("real")), P(at("link")));
    Write(at("dst"), "old");
    int error = 0;
    EXPECT_FALSE(platform::CopyFileNative(at("link"), at("dst"), &error));
    EXPECT_NE(error, 0);
    EXPECT_FALSE(platform::CopyFileNative("/dev/null", at("dst"), &error));
    EXPECT_NE(error, 0);
    fs::create_directory(P(at("folder")));
    EXPECT_FALSE(platform::CopyFileNative(at("folder"), at("dst"), &error));
    EXPECT_EQ(Read(at("dst")), "old");
    EXPECT_TRUE(Others(root, {"real", "link", "dst", "folder"}).empty());
}

TEST_F(FileSysTest, FailedCopiesKeepTheOldDestinationAndLeaveNoTemporaryFile) {
    Write(at("dst"), "old");
    Write(at("src"), "new");
    int error = 0;

    // The source has vanished.
    EXPECT_FALSE(platform::CopyFileNative(at("gone"), at("dst"), &error));
    EXPECT_EQ(error, ENOENT);

    // The destination is a folder.
    fs::create_directory(P(at("sub")));
    Write(at("sub/inner"), "x");
    EXPECT_FALSE(platform::CopyFileNative(at("src"), at("sub"), &error));
    EXPECT_EQ(error, EISDIR);
    EXPECT_EQ(Read(at("sub/inner")), "x");

    // The destination folder does not exist.
    EXPECT_FALSE(platform::CopyFileNative(at("src"), at("nofolder/dst"), &error));
    EXPECT_EQ(error, ENOENT);

    // Reading fails after the temporary file was made: this process's memory file
    // cannot be read at offset 0.
    EXPECT_FALSE(platform::CopyFileNative("/proc/self/mem", at("dst"), &error));
    EXPECT_NE(error, 0);

    EXPECT_EQ(Read(at("dst")), "old");
    EXPECT_TRUE(Others(root, {"dst", "src", "sub"}).empty());
    EXPECT_FALSE(platform::ErrorText(error).isEmpty());
}

// Run in a child process whose file size limit stops the copy part-way.
TEST(FileSysChild, DISABLED_CopyBeyondTheFileSizeLimit) {
    QTemporaryDir tmp;
    const QByteArray root = QFile::encodeName(tmp.path());
    QByteArray big(1 << 20, 'b');
    Write(root + "/src", big);
    Write(root + "/dst", "old");
    int error = 0;
    EXPECT_FALSE(platform::CopyFileNative(root + "/src", root + "/dst", &error));
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(Read(root + "/dst"), "old");
    EXPECT_TRUE(Others(root, {"src", "dst"}).empty());
    fs::remove_all(P(root + "/src"));
    fs::remove_all(P(root + "/dst"));
}

TEST(FileSys, CopyStoppedPartWayKeepsTheOldDestination) {
    QProcess child;
    child.setProgram("/bin/sh");
    child.setArguments({"-c",
                        "trap '' XFSZ; ulimit -f 64 || exit 3; exec \"$0\" "
                        "--gtest_also_run_disabled_tests "
                        "--gtest_filter=FileSysChild.DISABLED_CopyBeyondTheFileSizeLimit",
                        QCoreApplication::applicationFilePath()});
    child.start();
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAllStandardOutput() + child.readAllStandardError();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
}

TEST(FileSys, ErrorTextDescribesTheError) {
    const QString a = platform::ErrorText(ENOENT);
    const QString b = platform::ErrorText(ENOSPC);
    EXPECT_FALSE(a.isEmpty());
    EXPECT_NE(a, b);
}

TEST(ReplacingFile, WritesThroughLinksAndKeepsOwnerAndMode) {
    testsupport::TempHome home;
    const QByteArray dir = home.native();
    // Another owner when root writes; the test's own user otherwise.
    const uid_t owner = ::geteuid() == 0 ? 65534 : ::geteuid();
    const gid_t group = ::geteuid() == 0 ? 65534 : ::getegid();
    Write(dir + "/old.txt", "old");
    ASSERT_EQ(::chmod((dir + "/old.txt").constData(), 0604), 0);
    ASSERT_EQ(::chown((dir + "/old.txt").constData(), owner, group), 0);
    ASSERT_EQ(::symlink("old.txt", (dir + "/to-old").constData()), 0);
    ASSERT_EQ(::symlink("sub/new.txt", (dir + "/to-new").constData()), 0);
    ASSERT_EQ(::mkdir((dir + "/sub").constData(), 0755), 0);
    const struct {
        const char* what;
        QByteArray given;
        QByteArray written;  // the regular file that must hold the bytes
        mode_t mode;         // 0: as the umask makes a new file
    } cases[] = {
        {"a file of another owner", dir + "/old.txt", dir + "/old.txt", 0604},
        {"a link to it", dir + "/to-old", dir + "/old.txt", 0604},
        {"a link to a file not made yet", dir + "/to-new", dir + "/sub/new.txt", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray bytes = QByteArray("written through ") + c.what;
        platform::ReplacingFile f;
        ASSERT_TRUE(f.open(c.given)) << f.error();
        ASSERT_TRUE(f.write(bytes));
        ASSERT_TRUE(f.commit()) << f.error();
        EXPECT_EQ(Read(c.written), bytes);
        struct stat given, written;
        ASSERT_EQ(::lstat(c.given.constData(), &given), 0);
        ASSERT_EQ(::lstat(c.written.constData(), &written), 0);
        EXPECT_EQ(S_ISLNK(given.st_mode), c.given != c.written);
        EXPECT_TRUE(S_ISREG(written.st_mode));
        if (c.mode != 0) {
            EXPECT_EQ(written.st_mode & 07777, c.mode);
            EXPECT_EQ(written.st_uid, owner);
            EXPECT_EQ(written.st_gid, group);
        }
    }
}

TEST(StreamDevice, ABrokenPipeIsNamed) {
    // With SIGPIPE ignored, as a shell may leave it, a write to a pipe nobody reads fails.
    const auto old = ::signal(SIGPIPE, SIG_IGN);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    platform::StreamDevice out(fds[1]);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray bytes(1 << 20, 'x');
    EXPECT_EQ(out.write(bytes), -1);
    EXPECT_EQ(out.errorString(), platform::ErrorText(EPIPE));
    ::close(fds[1]);
    ::signal(SIGPIPE, old);
}
