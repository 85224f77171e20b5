#include <gtest/gtest.h>

#include <QString>

#include "util/PathUtil.h"

using namespace util;

TEST(PathUtil, GetExt) {
    EXPECT_EQ(GetExt("README"), u"");
    EXPECT_EQ(GetExt("A.HTML"), u"HTML");
    EXPECT_EQ(GetExt("a.html"), u"HTML");
    EXPECT_EQ(GetExt("a.jpeg2000"), u"");  // no dot among the last six characters
    EXPECT_EQ(GetExt("x.tar.gz"), u"GZ");
    EXPECT_EQ(GetExt("C:\\dir.ext\\file"), u"");
    EXPECT_EQ(GetExt("font.ttf"), u"TTF");
    EXPECT_EQ(GetExt("a."), u"");
    EXPECT_EQ(GetExt(""), u"");
    EXPECT_EQ(GetExt(u"資料.ｔｘｔ"_qs), u"ＴＸＴ"_qs);
}

TEST(PathUtil, GetFileNameAndBaseName) {
    EXPECT_EQ(GetFileName("C:\\dir\\file.txt"), u"file.txt");
    EXPECT_EQ(GetFileName("C:file.txt"), u"file.txt");
    EXPECT_EQ(GetFileName("file.txt"), u"file.txt");
    EXPECT_EQ(GetFileName("C:\\dir\\"), u"");
    EXPECT_EQ(GetBaseName("C:\\dir\\file.tar.gz"), u"file.tar");
    EXPECT_EQ(GetBaseName("C:file"), u"file");
    EXPECT_EQ(GetBaseName("C:\\a.b\\file"), u"file");  // a dot before the name is not an extension
    EXPECT_EQ(GetBaseName("file.txt"), u"file");
    EXPECT_EQ(GetBaseName(".profile"), u"");
    EXPECT_EQ(GetBaseName(""), u"");
}

TEST(PathUtil, ParentDir) {
    EXPECT_EQ(ParentDir("C:\\"), u"C:");
    EXPECT_EQ(ParentDir("C:\\A\\B"), u"C:\\A");
    EXPECT_EQ(ParentDir("C:\\A"), u"C:");
    EXPECT_EQ(ParentDir("C:"), u"C:");
    EXPECT_EQ(ParentDir("name"), u"");
    EXPECT_EQ(ParentDir(""), u"");
    EXPECT_EQ(ParentDir(u"D:\\日本\\語"_qs), u"D:\\日本"_qs);
}

TEST(PathUtil, ChangeExt) {
    EXPECT_EQ(ChangeExt("LogC.TXT", "CSV"), u"LogC.CSV");
    EXPECT_EQ(ChangeExt("LogC", "CSV"), u"LogC.CSV");
    EXPECT_EQ(ChangeExt("a.jpeg2000", "png"), u"a.jpeg2000.png");
    EXPECT_EQ(ChangeExt("", "txt"), u".txt");
}

TEST(PathUtil, JoinPath) {
    EXPECT_EQ(JoinPath("C:\\A\\B", "..\\C"), u"C:\\A\\C");
    EXPECT_EQ(JoinPath("C:\\A\\B", "..\\..\\C"), u"C:\\C");
    EXPECT_EQ(JoinPath("C:\\A\\", "\\B"), u"C:\\A\\B");
    EXPECT_EQ(JoinPath("C:\\A", "B"), u"C:\\A\\B");
    EXPECT_EQ(JoinPath("C:\\A\\", "B"), u"C:\\A\\B");
    EXPECT_EQ(JoinPath("C:\\A", "\\B"), u"C:\\A\\B");
    EXPECT_EQ(JoinPath("C:\\A", "D:\\X"), u"D:\\X");
    EXPECT_EQ(JoinPath("anything", "E:rel"), u"E:rel");
    EXPECT_EQ(JoinPath(u"D:\\日本"_qs, u"語 file"_qs), u"D:\\日本\\語 file"_qs);
}
