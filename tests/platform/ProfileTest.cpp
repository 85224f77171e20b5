#include <gtest/gtest.h>

#include <sys/stat.h>

#include "common/TmpfsMount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "common/TestSupport.h"
#include "platform/Profile.h"

using platform::ProfileGet;
using platform::ProfilePut;
using platform::ProfileRemove;
using platform::ProfileSection;
using testsupport::ReadAll;
using testsupport::RunUnprivileged;
using testsupport::WriteAll;

namespace {

class ProfileTest : public ::testing::Test {
  protected:
    testsupport::TempHome home;
    QByteArray file = home.settingsFile();
};

TEST_F(ProfileTest, NamesCompareWithoutCaseAndValuesAreTrimmedAndUnquoted) {
    WriteAll(file,
             "; comment\n[options]\n  Width =  9000  \nQUOTED=\"a b \"\nsingle='x'\n"
             "half=\"open\nempty=\n[Other]\nWidth=1\n");
    bool found = false;
    EXPECT_EQ(ProfileGet(file, "Options", "WIDTH", &found), "9000");
    EXPECT_TRUE(found);
    EXPECT_EQ(ProfileGet(file, "OPTIONS", "quoted"), "a b ");
    EXPECT_EQ(ProfileGet(file, "Options", "single"), "x");
    EXPECT_EQ(ProfileGet(file, "Options", "half"), "\"open");
    EXPECT_EQ(ProfileGet(file, "Options", "empty", &found), "");
    EXPECT_TRUE(found);
    EXPECT_EQ(ProfileGet(file, "Options", "missing", &found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(ProfileGet(file, "Other", "width"), "1");
    EXPECT_EQ(ProfileGet(file, "Nowhere", "width", &found), "");
    EXPECT_FALSE(found);
}

TEST_F(ProfileTest, FirstOfTwoEqualKeysWinsForReadAndWrite) {
    WriteAll(file, "[Options]\nKB=ON\nkb=OFF\n");
    EXPECT_EQ(ProfileGet(file, "Options", "KB"), "ON");
    ASSERT_TRUE(ProfilePut(file, "Options", "Kb", "OFF"));
    EXPECT_EQ(ReadAll(file), "[Options]\nKb=OFF\nkb=OFF\n");
    const auto section = ProfileSection(file, "options");
    ASSERT_EQ(section.size(), 1);
    EXPECT_EQ(section[0].second, "OFF");
}

TEST_F(ProfileTest, WritesKeepOtherLinesAndAppendInPlace) {
    WriteAll(file, "; keep me\n[Options]\nA=1\n\n; inside\n[Drives]\nD=/home\n");
    ASSERT_TRUE(ProfilePut(file, "Options", "B", "2"));
    ASSERT_TRUE(ProfilePut(file, "Drives", "E", "/media/usb stick"));
    ASSERT_TRUE(ProfilePut(file, "New", "K", "v"));
    EXPECT_EQ(ReadAll(file),
              "; keep me\n[Options]\nA=1\n\n; inside\nB=2\n[Drives]\nD=/home\n"
              "E=/media/usb stick\n\n[New]\nK=v\n");
}

TEST_F(ProfileTest, MissingFileIsCreatedByTheFirstWrite) {
    EXPECT_EQ(ProfileGet(file, "Options", "A"), "");
    EXPECT_TRUE(ProfileSection(file, "Options").isEmpty());
    ASSERT_TRUE(ProfilePut(file, "Options", "A", "日本語 テキスト"));
    EXPECT_EQ(ReadAll(file), "[Options]\nA=日本語 テキスト\n");
    EXPECT_EQ(ProfileGet(file, "Options", "A"), "日本語 テキスト");
}

TEST_F(ProfileTest, CrLfFilesStayCrLf) {
    WriteAll(file, "[Options]\r\nA=1\r\n");
    EXPECT_EQ(ProfileGet(file, "Options", "A"), "1");
    ASSERT_TRUE(ProfilePut(file, "Options", "B", "2"));
    ASSERT_TRUE(ProfilePut(file, "Options", "A", "3"));
    EXPECT_EQ(ReadAll(file), "[Options]\r\nA=3\r\nB=2\r\n");
}

TEST_F(ProfileTest, ValuesCannotBreakTheFileApart) {
    ASSERT_TRUE(ProfilePut(file, "Options", "FindText", "line1\r\n[Evil]\nX=1"));
    EXPECT_EQ(ProfileGet(file, "Options", "FindText"), "line1  [Evil] X=1");
    EXPECT_FALSE(ProfilePut(file, "Options", "a=b", "1"));
    EXPECT_FALSE(ProfilePut(file, "Bad]Section", "a", "1"));
    EXPECT_FALSE(ProfilePut(file, "Options", "", "1"));
    EXPECT_EQ(ProfileSection(file, "Options").size(), 1);
}

TEST_F(ProfileTest, WriteReplacesTheFileAtomicallyAndLeavesNoTemporaryFile) {
    WriteAll(file, "[Options]\nA=1\n");
    ASSERT_TRUE(QFile::setPermissions(QFile::decodeName(file),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_TRUE(ProfilePut(file, "Options", "A", "2"));
    const QStringList entries = QDir(QFile::decodeName(home.native())).entryList(QDir::Files);
    EXPECT_EQ(entries, QStringList{"FOLDEX.Opt"});
    // The permission bits of the old file are kept.
    EXPECT_EQ(QFile::permissions(QFile::decodeName(file)), QFile::ReadOwner | QFile::WriteOwner |
                                                               QFile::ReadGroup | QFile::ReadUser |
                                                               QFile::WriteUser);
}

TEST_F(ProfileTest, FailedWriteLeavesTheOldFile) {
    // Permissions bind only below root: the body runs as an unprivileged user.
    testsupport::RunUnprivileged([] {
        testsupport::TempHome home;
        const QByteArray file = home.settingsFile();
        const QString folder = QFile::decodeName(home.native());
        WriteAll(file, "[Options]\nA=1\n");
        // The folder cannot take the temporary file that replaces the settings file.
        ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        ASSERT_FALSE(QFile(folder + "/probe").open(QIODevice::WriteOnly));
        EXPECT_FALSE(ProfilePut(file, "Options", "A", "2"));
        EXPECT_EQ(ReadAll(file), "[Options]\nA=1\n");
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"FOLDEX.Opt"});
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    // A settings file made read-only is left alone, by root too; so is one on a full disk.
    WriteAll(file, "[Options]\nA=1\n");
    ASSERT_EQ(::chmod(file.constData(), 0444), 0);
    EXPECT_FALSE(ProfilePut(file, "Options", "A", "2"));
    EXPECT_FALSE(ProfileRemove(file, "Options", "A"));
    EXPECT_EQ(ReadAll(file), "[Options]\nA=1\n");
    ::chmod(file.constData(), 0644);

    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    const QByteArray full = disk.path() + "/FOLDEX.Opt";
    WriteAll(full, "[Options]\nA=1\n");
    testsupport::FillDisk(disk.path());
    EXPECT_FALSE(ProfilePut(full, "Options", "Long", QString(8000, u'x')));
    EXPECT_EQ(ReadAll(full), "[Options]\nA=1\n");
}

TEST_F(ProfileTest, WriteThroughALinkKeepsTheLink) {
    const QByteArray real = home.native() + "/real.opt";
    WriteAll(real, "[Options]\nA=1\n");
    ASSERT_TRUE(QFile::link(QFile::decodeName(real), QFile::decodeName(file)));
    ASSERT_TRUE(ProfilePut(file, "Options", "A", "2"));
    EXPECT_TRUE(QFileInfo(QFile::decodeName(file)).isSymLink());
    EXPECT_EQ(ReadAll(real), "[Options]\nA=2\n");
}

TEST_F(ProfileTest, GarbageFileReadsWithoutFailureAndKeepsItsBytes) {
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i) garbage += char((i * 7919) % 256);
    garbage += QByteArray(200000, 'x');  // one very long line
    garbage += "\nA=no section above\n";
    WriteAll(file, garbage);
    bool found = true;
    EXPECT_EQ(ProfileGet(file, "Options", "A", &found), "");
    EXPECT_FALSE(found);
    ASSERT_TRUE(ProfilePut(file, "Options", "A", "1"));
    const QByteArray after = ReadAll(file);
    EXPECT_TRUE(after.startsWith(garbage));
    EXPECT_EQ(ProfileGet(file, "Options", "A"), "1");
}

TEST_F(ProfileTest, RemoveDeletesEveryLineOfTheKeyInItsSectionOnly) {
    WriteAll(file, "[Drives]\nD=/a\nd=/b\nE=/c\n[Other]\nD=/x\n");
    ASSERT_TRUE(ProfileRemove(file, "drives", "D"));
    EXPECT_EQ(ReadAll(file), "[Drives]\nE=/c\n[Other]\nD=/x\n");
}

}  // namespace
