#include <gtest/gtest.h>

#include <algorithm>

#include <QStringList>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "platform/StdMessage.h"
#include "util/FileUtil.h"

namespace fs = std::filesystem;
using namespace util;

namespace {

struct Shown {
    QString text;
    int flags;
    QString title;
};

class FileUtilTest : public ::testing::Test {
  protected:
    testsupport::TempDrive drive{u'T'};
    std::vector<Shown> shown;

    void SetUp() override {
        platform::SetStdMessageHandler(
            [this](const QString& text, int flags, const QString& title) {
                shown.push_back({text, flags, title});
                return 1;
            });
    }
    void TearDown() override {
        platform::SetStdMessageHandler(nullptr);
        // Names that are not UTF-8 are beyond QTemporaryDir's clean-up.
        for (const auto& e : fs::directory_iterator(P(""))) fs::remove_all(e.path());
    }

    QByteArray at(const QByteArray& rel) const { return drive.native() + "/" + rel; }
    fs::path P(const QByteArray& rel) const { return fs::path(at(rel).toStdString()); }
    void write(const QByteArray& rel, const QByteArray& content) const {
        std::ofstream f(at(rel).toStdString(), std::ios::binary | std::ios::trunc);
        f.write(content.constData(), content.size());
    }
    QByteArray read(const QByteArray& rel) const {
        std::ifstream f(at(rel).toStdString(), std::ios::binary);
        return QByteArray::fromStdString(
            std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()));
    }
    bool onlyTheseIn(const QByteArray& dir, std::vector<std::string> names) const {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(P(dir))) {
            found.push_back(e.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        std::sort(names.begin(), names.end());
        return found == names;
    }
};

QStringList Split(const QString& list) {
    if (list.isEmpty()) return {};
    EXPECT_TRUE(list.startsWith(QChar(kListSep)));
    EXPECT_TRUE(list.endsWith(QChar(kListSep)));
    QStringList names = list.mid(1, list.size() - 2).split(QChar(kListSep));
    names.sort();
    return names;
}

}  // namespace

TEST_F(FileUtilTest, ListDirsListsHiddenFoldersButNoLinksOrFiles) {
    drive.makeDir("base/a");
    drive.makeDir("base/.svn");
    write("base/file.txt", "x");
    fs::create_directory_symlink(P("base/a"), P("base/link"));

    const QString one = ListDirs("T:\\base\\a");
    EXPECT_EQ(one, QString(QChar(2)) + QStringLiteral("a") + QChar(2));
    EXPECT_EQ(Split(ListDirs("T:\\base\\*.*")), (QStringList{".svn", "a"}));
    EXPECT_EQ(Split(ListFiles("T:\\base\\*.*")), (QStringList{"file.txt", "link"}));
    EXPECT_EQ(ListDirs("T:\\base\\a\\*.*"), u"");
    EXPECT_EQ(ListFiles("T:\\base\\a\\*.*"), u"");
    EXPECT_EQ(ListDirs("T:\\missing\\*.*"), u"");
    EXPECT_EQ(ListFiles("Q:\\nodrive\\*.*"), u"");
}

TEST_F(FileUtilTest, ListFilesMatchesWithoutRegardToCase) {
    write("Read.TXT", "");
    write("other.txt", "");
    write("data.csv", "");
    EXPECT_EQ(Split(ListFiles("T:\\*.txt")), (QStringList{"Read.TXT", "other.txt"}));
    EXPECT_EQ(Split(ListFiles("T:\\?ATA.*")), (QStringList{"data.csv"}));
}

TEST_F(FileUtilTest, ShortPatternsGiveTheDriveRoot) {
    drive.makeDir("only");
    EXPECT_EQ(ListDirs("T:\\"), u"");  // the root has no file yet
    write("f", "");
    EXPECT_EQ(ListDirs("T:\\"), u"T:\\");
    EXPECT_EQ(ListDirs("T:"), u"T:");
    EXPECT_EQ(ListDirs("abc"), u"");
}

TEST_F(FileUtilTest, ExistenceTests) {
    drive.makeDir("dir");
    write("dir/file.txt", "x");
    fs::create_directory_symlink(P("dir"), P("dirlink"));
    EXPECT_FALSE(FileExist(""));
    EXPECT_TRUE(FileExist("T:\\dir\\file.txt"));
    EXPECT_TRUE(FileExist("T:\\dir\\*.TXT"));
    EXPECT_FALSE(FileExist("T:\\dir\\*.csv"));
    EXPECT_FALSE(FileExist("T:\\dir"));
    EXPECT_TRUE(FileExist("T:\\dirlink"));  // a link is a file
    EXPECT_TRUE(DirExist("T:\\dir"));
    EXPECT_TRUE(DirExist("T:\\d*"));
    EXPECT_FALSE(DirExist("T:\\dir\\file.txt"));
    EXPECT_FALSE(DirExist("T:\\dirlink"));
    EXPECT_FALSE(DirExist("T:\\dirlink\\"));
    EXPECT_FALSE(DirExist("T:\\missing"));
    EXPECT_TRUE(DirExist("T:"));
    EXPECT_TRUE(DirExist("T:\\"));
    // A letter with no drive: "no such root" is still an answer of the platform.
    EXPECT_TRUE(DirExist("Q:"));
    EXPECT_TRUE(DirExist("Q:\\"));
    EXPECT_FALSE(DirExist("Q:\\dir"));
    EXPECT_FALSE(DirExist("T"));
    EXPECT_FALSE(DirExist("Tx\\"));
}

TEST_F(FileUtilTest, DelFileAndKillFile) {
    write("ro.txt", "x");
    fs::permissions(P("ro.txt"), fs::perms::owner_write, fs::perm_options::remove);
    write(".hidden", "x");
    write("font.TTF", "x");
    write("keep", "x");
    fs::create_symlink(P("keep"), P("link"));
    drive.makeDir("dir");

    EXPECT_TRUE(DelFile("T:\\ro.txt"));
    EXPECT_FALSE(fs::exists(P("ro.txt")));
    EXPECT_TRUE(DelFile("T:\\.hidden"));
    EXPECT_FALSE(fs::exists(P(".hidden")));
    EXPECT_TRUE(DelFile("T:\\missing"));
    EXPECT_TRUE(DelFile("T:\\dir"));  // not a file: nothing to do
    EXPECT_TRUE(fs::is_directory(P("dir")));
    EXPECT_TRUE(DelFile("T:\\link"));
    EXPECT_FALSE(fs::is_symlink(P("link")));
    EXPECT_EQ(read("keep"), "x");

    write("ro2", "x");
    fs::permissions(P("ro2"), fs::perms::owner_write, fs::perm_options::remove);
    KillFile("T:\\ro2");
    KillFile("T:\\font.TTF");
    KillFile("T:\\missing");
    KillFile("T:\\dir");
    EXPECT_FALSE(fs::exists(P("ro2")));
    EXPECT_FALSE(fs::exists(P("font.TTF")));
    EXPECT_TRUE(fs::is_directory(P("dir")));
}

TEST_F(FileUtilTest, MakeDirsCreatesEveryLevelButNeverThroughALink) {
    MakeDirs("T:\\a\\b\\c");
    EXPECT_TRUE(fs::is_directory(P("a/b/c")));
    MakeDirs(u"T:\\a\\日本 語\\x\\"_qs);
    EXPECT_TRUE(fs::is_directory(P("a/日本 語/x")));

    write("a/file", "x");
    MakeDirs("T:\\a\\file\\sub");
    EXPECT_EQ(read("a/file"), "x");

    drive.makeDir("real");
    fs::create_directory_symlink(P("real"), P("a/link"));
    MakeDirs("T:\\a\\link\\inside");
    EXPECT_FALSE(fs::exists(P("real/inside")));
}

TEST_F(FileUtilTest, CopyFileSafeCopiesAndKeepsTheTime) {
    write("src.txt", "content");
    const auto when = fs::file_time_type(std::chrono::seconds(1000000000));
    fs::last_write_time(P("src.txt"), when);
    drive.makeDir("out");
    EXPECT_TRUE(CopyFileSafe("T:\\src.txt", "T:\\out\\copy.txt"));
    EXPECT_EQ(read("out/copy.txt"), "content");
    EXPECT_EQ(fs::last_write_time(P("out/copy.txt")), when);
    EXPECT_TRUE(shown.empty());

    // Over a read-only old copy.
    write("src.txt", "newer");
    fs::permissions(P("out/copy.txt"), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_TRUE(CopyFileSafe("T:\\src.txt", "T:\\out\\copy.txt"));
    EXPECT_EQ(read("out/copy.txt"), "newer");
    EXPECT_TRUE(onlyTheseIn("out", {"copy.txt"}));
}

TEST_F(FileUtilTest, CopyFileSafeOntoItselfInOtherCaseCopiesNothing) {
    write("Same.txt", "data");
    EXPECT_FALSE(CopyFileSafe("T:\\Same.txt", "t:\\SAME.TXT"));
    EXPECT_FALSE(fs::exists(P("SAME.TXT")));
    EXPECT_EQ(read("Same.txt"), "data");
    EXPECT_TRUE(shown.empty());
}

TEST_F(FileUtilTest, CopyFileSafeWithoutSourceDoesNothing) {
    write("dst", "old");
    EXPECT_FALSE(CopyFileSafe("T:\\missing", "T:\\dst"));
    EXPECT_EQ(read("dst"), "old");
    EXPECT_TRUE(shown.empty());
}

TEST_F(FileUtilTest, CopyFileSafeReportsTheErrorAndKeepsTheOldDestination) {
    write("src", "new");
    EXPECT_FALSE(CopyFileSafe("T:\\src", "T:\\nofolder\\dst"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, platform::ErrorText(ENOENT) + u"\rファイル：　T:\\nofolder\\dst"_qs);
    EXPECT_EQ(shown[0].flags, 0);
    EXPECT_EQ(shown[0].title, u"FOLDEX32");

    // A link is not copied; the old destination stays as it was.
    shown.clear();
    fs::create_symlink(P("src"), P("srclink"));
    write("dst", "old");
    EXPECT_FALSE(CopyFileSafe("T:\\srclink", "T:\\dst"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.endsWith(u"\rファイル：　T:\\dst"_qs));
    EXPECT_EQ(read("dst"), "old");
    EXPECT_TRUE(onlyTheseIn("", {"src", "srclink", "dst"}));
}

TEST_F(FileUtilTest, AFullDiskIsCalledFullInTheRootToo) {
    for (const char* where : {"T:\\file.txt", "T:\\dir\\file.txt"}) {
        EXPECT_EQ(CopyFailureText(ENOSPC, QString::fromUtf8(where)),
                  platform::ErrorText(ENOSPC) + u"\rファイル：　"_qs + QString::fromUtf8(where));
    }
}

TEST_F(FileUtilTest, OddNamesAreListedAndCopiedByTheirProgramNames) {
    const QByteArray names[] = {"日本語 ファイル.txt", " lead and trail ", "ctl\x01\x07.bin",
                                "bad\xff\x80name",     "back\\slash",      "co:lon?*"};
    drive.makeDir("src");
    drive.makeDir("dst");
    for (const QByteArray& n : names) write("src/" + n, "content of " + n);

    const QStringList listed = Split(ListFiles("T:\\src\\*.*"));
    ASSERT_EQ(listed.size(), qsizetype(std::size(names)));
    for (const QString& name : listed) {
        EXPECT_FALSE(name.contains(u'\\'));
        EXPECT_TRUE(FileExist(u"T:\\src\\"_qs + name));
        EXPECT_TRUE(CopyFileSafe(u"T:\\src\\"_qs + name, u"T:\\dst\\"_qs + name))
            << qPrintable(name);
    }
    EXPECT_TRUE(shown.empty());
    for (const QByteArray& n : names) {
        EXPECT_EQ(read("dst/" + n), "content of " + n) << n.toHex().constData();
    }
    std::vector<std::string> expected;
    for (const QByteArray& n : names) expected.push_back(n.toStdString());
    EXPECT_TRUE(onlyTheseIn("dst", expected));

    for (const QString& name : listed) EXPECT_TRUE(DelFile(u"T:\\dst\\"_qs + name));
    EXPECT_TRUE(onlyTheseIn("dst", {}));
}
