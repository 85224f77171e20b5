#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "common/TestSupport.h"
#include "platform/DriveMap.h"
#include "platform/PathMap.h"
#include "settings/Application.h"
#include "settings/Context.h"
#include "settings/Settings.h"
#include "settings/Startup.h"

using namespace app;
using testsupport::WriteAll;

namespace {

TEST(ProgramFolderTest, DevelopmentTreeAndRoots) {
    const QString dev = QString::fromLatin1(kDevelopmentFolder);
    EXPECT_EQ(ProgramFolder(dev, "D:\\WKPROG\\ANY"), "C:\\UPLOAD\\FOLDEX32");
    EXPECT_EQ(ProgramFolder(dev, "D:\\wkprog\\x\\y"), "C:\\UPLOAD\\FOLDEX32");
    EXPECT_EQ(ProgramFolder(dev, "D:\\WKPROGX"), "D:\\WKPROGX");
    EXPECT_EQ(ProgramFolder(dev, "D:\\WKPROG"), "D:\\WKPROG");  // only 7 characters follow
    EXPECT_EQ(ProgramFolder(dev, "E:\\"), "E:");
    EXPECT_EQ(ProgramFolder(dev, "F:\\Tools\\"), "F:\\Tools");
}

TEST(VersionTextTest, LastDigitsAndRevisionLetter) {
    EXPECT_EQ(BuildVersionText(6, 0, 0), "6.0");
    EXPECT_EQ(BuildVersionText(6, 1, 2), "6.1B");
    EXPECT_EQ(BuildVersionText(16, 12, 1), "6.2A");
}

TEST(DetectPlatformTest, SystemFolderFollowsWindir) {
    const QByteArray saved = qgetenv("WINDIR");
    qunsetenv("WINDIR");
    DetectPlatform();
    EXPECT_EQ(Ctx().SystemFolder, "\\System");
    qputenv("WINDIR", "C:\\WINDOWS");
    DetectPlatform();
    EXPECT_EQ(Ctx().SystemFolder, "C:\\WINDOWS\\System");
    QString value = "x";
    EXPECT_FALSE(ReadRegString("HKEY_LOCAL_MACHINE", "Software", "VersionNumber", value));
    EXPECT_TRUE(value.isEmpty());
    if (saved.isNull()) {
        qunsetenv("WINDIR");
    } else {
        qputenv("WINDIR", saved);
    }
}

class EntryRoutineTest : public ::testing::Test {
  protected:
    void SetUp() override { savedDrives_ = platform::Drives(); }
    void TearDown() override { platform::Drives() = savedDrives_; }
    testsupport::TempHome home;
    Application application;  // a fresh context and settings store for each test
    platform::DriveMap savedDrives_;
};

TEST_F(EntryRoutineTest, SettlesTheFolderAndTheDefaultGeometry) {
    QObject* created = nullptr;
    QObject* shown = nullptr;
    QObject window;
    EntryRoutine([&] { return created = &window; }, [&](QObject* w) { shown = w; });
    const ProgramContext& c = Ctx();
    EXPECT_EQ(c.AppFolderNative, home.native());
    EXPECT_EQ(platform::NativePath(c.AppFolder), home.native());
    EXPECT_FALSE(c.AppFolder.endsWith(u'\\'));
    EXPECT_EQ(c.SettingsFile, c.AppFolder + "\\FOLDEX.Opt");
    EXPECT_EQ(SettingsNative(), home.settingsFile());
    EXPECT_TRUE(c.CommonDialogReady);
    EXPECT_EQ(c.FsCodes, QString(26, QChar(0)));
    EXPECT_EQ(c.WindowDrives, QString(10, u' '));
    EXPECT_EQ(c.WindowLeft, 300);
    EXPECT_EQ(c.WindowTop, 300);
    EXPECT_EQ(c.WindowWidth, 7800);
    EXPECT_EQ(c.WindowHeight, 6000);
    EXPECT_EQ(c.VersionText, "6.0");
    EXPECT_TRUE(c.FirstWindow);
    EXPECT_EQ(c.DriveTypes[2], 3);  // C: is the root file system
    EXPECT_EQ(created, &window);
    EXPECT_EQ(shown, &window);
    EXPECT_EQ(c.ListWindows[0], &window);
}

TEST_F(EntryRoutineTest, StoredGeometryPast16BitsIsReadAndAnEmptySizeTakesTheDefault) {
    const struct {
        const char* what;
        const char* lines;
        qint32 left, top, width, height;
    } cases[] = {
        {"a 2,400 x 2,200 pixel window at 96 dpi", "WIDTH=36000\nHEIGHT= 33000\n", 300, 300, 36000,
         33000},
        {"places past 16 bits either way", "PositionX=-40000\nPositionY= 99999\n", -40000, 99999,
         7800, 6000},
        {"the zero an earlier version wrote for a size past 32,767", "WIDTH= 0\nHEIGHT=-5\n", 300,
         300, 7800, 6000},
        {"16-bit values as before", "WIDTH=32767\nHEIGHT= 5000\nPositionX=-32768\n", -32768, 300,
         32767, 5000},
        {"text that is no number", "WIDTH=garbage\nPositionY=garbage\n", 300, 0, 7800, 6000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteAll(home.settingsFile(), QByteArray("[Options]\n") + c.lines);
        EntryRoutine();
        const ProgramContext& ctx = Ctx();
        EXPECT_EQ(ctx.WindowLeft, c.left);
        EXPECT_EQ(ctx.WindowTop, c.top);
        EXPECT_EQ(ctx.WindowWidth, c.width);
        EXPECT_EQ(ctx.WindowHeight, c.height);
    }
}

TEST_F(EntryRoutineTest, TheProgramFolderIsItsDrivePathWithoutTheLastSeparator) {
    // The program's folder is the root of a drive of its own.
    const QByteArray drives = "[Drives]\nW=" + home.native() + "\n";
    WriteAll(home.settingsFile(), drives);
    EntryRoutine();
    EXPECT_EQ(Ctx().AppFolder, "W:");
    EXPECT_EQ(Ctx().SettingsFile, "W:\\FOLDEX.Opt");

    // A folder with \WKPROG\ right behind its drive keeps its own path.
    const QByteArray dev = home.native() + "/wkprog/ANY";
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(dev)));
    WriteAll(dev + "/FOLDEX.Opt", drives);
    qputenv("FOLDEX_HOME", dev);
    EntryRoutine();
    EXPECT_EQ(Ctx().AppFolder, "W:\\wkprog\\ANY");
    EXPECT_EQ(Ctx().SettingsFile, "W:\\wkprog\\ANY\\FOLDEX.Opt");
    EXPECT_EQ(SettingsNative(), dev + "/FOLDEX.Opt");
}

}  // namespace
