#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <set>

#include "platform/DriveMap.h"
#include "platform/PathMap.h"

using platform::DrivePath;
using platform::Drives;
using platform::NameFromNative;
using platform::NativeFromName;
using platform::NativePath;

namespace {

// Builds a string from UTF-16 units; lone surrogates cannot be written as literals.
QString Units(std::initializer_list<char16_t> units) {
    QString s;
    for (char16_t u : units) s += QChar(u);
    return s;
}

// Maps letters for one test and puts the table back afterwards.
class PathMapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = Drives();
        Drives().clear();
        Drives().set(2, "/");
        Drives().set(19, "/tmp/drive t/");
    }
    void TearDown() override { Drives() = saved_; }
    platform::DriveMap saved_;
};

TEST(NameMapping, ReservedCharactersAndBadBytesGetTheirSubstitutes) {
    EXPECT_EQ(NameFromNative("a\\b:c"), QStringLiteral("a\uF05Cb\uF03Ac"));
    EXPECT_EQ(NameFromNative("*?\"<>|"), QStringLiteral("\uF02A\uF03F\uF022\uF03C\uF03E\uF07C"));
    EXPECT_EQ(NameFromNative("tab\there\x01"), QStringLiteral("tab\uF009here\uF001"));
    EXPECT_EQ(NameFromNative("bad\xff\xfe"), "bad" + Units({0xDCFF, 0xDCFE}));
    EXPECT_EQ(NameFromNative("日本語 フォルダー"), QStringLiteral("日本語 フォルダー"));
    EXPECT_EQ(NameFromNative("\xF0\x9F\x98\x80"), QString::fromUtf8("\xF0\x9F\x98\x80"));
    // Overlong and surrogate encodings are not valid UTF-8.
    EXPECT_EQ(NameFromNative("\xC0\xAF"), Units({0xDCC0, 0xDCAF}));
    EXPECT_EQ(NameFromNative("\xED\xB2\x80"), Units({0xDCED, 0xDCB2, 0xDC80}));
    // A real U+F05C on disk must not read back as a backslash.
    EXPECT_EQ(NameFromNative("\xEF\x81\x9C"), Units({0xDCEF, 0xDC81, 0xDC9C}));
    EXPECT_EQ(NativeFromName(Units({0xDCEF, 0xDC81, 0xDC9C})), QByteArray("\xEF\x81\x9C"));
    // Private-use characters outside the substitute set are left alone.
    EXPECT_EQ(NameFromNative("\xEF\x81\x81"), QStringLiteral("\uF041"));
}

TEST(NameMapping, EveryByteNameRoundTripsAndNoTwoNamesCollide) {
    QRandomGenerator rng(20261207);
    std::set<QString> names;
    std::set<QByteArray> natives;
    for (int i = 0; i < 20000; ++i) {
        QByteArray native;
        const int len = 1 + int(rng.bounded(24));
        for (int k = 0; k < len; ++k) {
            // Bias towards bytes that make multi-byte sequences and substitutes.
            static const char kPick[] = {'\xEF', '\x81', '\x9C', '\xC3', '\xA9', '\\',
                                         ':',    '\x01', 'a',    '\xE3', '\x80', '\xF0'};
            char b = rng.bounded(3) == 0 ? kPick[rng.bounded(int(sizeof kPick))]
                                         : char(1 + rng.bounded(255));
            if (b == '/') b = 'x';
            native += b;
        }
        const QString name = NameFromNative(native);
        ASSERT_EQ(NativeFromName(name), native) << native.toHex().constData();
        // A command-line argument comes back byte for byte too, ":" and "\\" as themselves.
        const QString arg = platform::ArgFromNative(native);
        ASSERT_EQ(platform::NativeFromArg(arg), native) << native.toHex().constData();
        ASSERT_EQ(arg.contains(u':'), native.contains(':'));
        if (natives.insert(native).second) {
            EXPECT_TRUE(names.insert(name).second) << native.toHex().constData();
        }
    }
}

TEST_F(PathMapTest, DrivePathsResolveBelowTheirRoot) {
    bool ok = false;
    EXPECT_EQ(NativePath("T:\\A\\B", &ok), QByteArray("/tmp/drive t/A/B"));
    EXPECT_TRUE(ok);
    EXPECT_EQ(NativePath("t:"), QByteArray("/tmp/drive t"));
    EXPECT_EQ(NativePath("T:\\"), QByteArray("/tmp/drive t"));
    EXPECT_EQ(NativePath("T:\\a\\..\\b\\.\\c\\"), QByteArray("/tmp/drive t/b/c"));
    EXPECT_EQ(NativePath("T:\\..\\..\\etc"), QByteArray("/tmp/drive t/etc"));
    EXPECT_EQ(NativePath("C:\\..\\etc"), QByteArray("/etc"));
    EXPECT_EQ(NativePath("C:\\"), QByteArray("/"));
    EXPECT_EQ(NativePath(QStringLiteral("C:\\a\uF05Cb\\") + QChar(0xDCFF)),
              QByteArray("/a\\b/\xff"));
    EXPECT_TRUE(NativePath("Q:\\A", &ok).isEmpty());
    EXPECT_FALSE(ok);
    EXPECT_TRUE(NativePath("\\\\server\\share", &ok).isEmpty());
    EXPECT_FALSE(ok);
    EXPECT_TRUE(NativePath("").isEmpty());
}

TEST_F(PathMapTest, NativePathsTakeTheLongestRoot) {
    EXPECT_EQ(DrivePath("/tmp/drive t/x/y"), QString("T:\\x\\y"));
    EXPECT_EQ(DrivePath("/tmp/drive t"), QString("T:\\"));
    EXPECT_EQ(DrivePath("/tmp/drive tx"), QString("C:\\tmp\\drive tx"));
    EXPECT_EQ(DrivePath("/"), QString("C:\\"));
    EXPECT_EQ(DrivePath("/a\\b/\xff"), QStringLiteral("C:\\a\uF05Cb\\") + QChar(0xDCFF));
    EXPECT_EQ(DrivePath("relative"), QString());
    Drives().set(2, QByteArray());
    EXPECT_EQ(DrivePath("/etc"), QString());
}

TEST_F(PathMapTest, PathsRoundTrip) {
    for (const QByteArray& native : {QByteArray("/tmp/drive t/日本/a b"),
                                     QByteArray("/x/\x01\x7f\xfe"), QByteArray("/tmp/drive t")}) {
        EXPECT_EQ(NativePath(DrivePath(native)), native);
    }
}

TEST(DriveMapTest, NormalisesRootsAndLetters) {
    platform::DriveMap m;
    m.set(3, "/home//user/./x/../");
    EXPECT_EQ(m.root(3), QByteArray("/home/user"));
    EXPECT_EQ(platform::LetterIndex(u'd'), 3);
    EXPECT_EQ(platform::LetterIndex(u'1'), -1);
    QByteArray rest;
    EXPECT_EQ(m.indexFor("/home/user/a/b", &rest), 3);
    EXPECT_EQ(rest, QByteArray("a/b"));
    EXPECT_EQ(m.indexFor("/home/username"), -1);
    m.set(99, "/x");  // ignored
    EXPECT_EQ(m.indexFor("/x"), -1);
}

}  // namespace

namespace {

TEST(DisplayNameTest, SubstitutesReadAsTheirCharacters) {
    EXPECT_EQ(platform::DisplayName(NameFromNative("back\\slash:x*?\"<>|")),
              QStringLiteral("back\\slash:x*?\"<>|"));
    EXPECT_EQ(platform::DisplayName(NameFromNative("tab\there\x01")),
              QStringLiteral("tab^Ihere^A"));
    EXPECT_EQ(platform::DisplayName(NameFromNative("bad\xff")), QStringLiteral("bad\uFFFD"));
    // DEL and the C1 codes (U+009B would start a terminal sequence) as cat -v shows them.
    EXPECT_EQ(platform::DisplayName(NameFromNative("del\x7f csi\xc2\x9b[31m nel\xc2\x85")),
              QStringLiteral("del^? csiM-^[[31m nelM-^E"));
    EXPECT_EQ(platform::DisplayName(QStringLiteral("日本語 \U0001F600 \uF041")),
              QStringLiteral("日本語 \U0001F600 \uF041"));
    // A path as given on a command line holds its control codes as such: no terminal
    // sequence of a name passes (a title, a clear screen, a new line).
    EXPECT_EQ(platform::DisplayName(platform::ArgFromNative("/x\x1b]0;T\x07\x1b[2J\nline")),
              QStringLiteral("/x^[]0;T^G^[[2J^Jline"));
}

}  // namespace
