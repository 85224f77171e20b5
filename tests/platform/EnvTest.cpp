#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "platform/Beep.h"
#include "platform/Fonts.h"
#include "platform/ProgramDir.h"
#include "platform/Screen.h"
#include "platform/Shell.h"

namespace {

// Restores one environment variable when the test ends.
class EnvGuard {
  public:
    explicit EnvGuard(const char* name) : name_(name), had_(qEnvironmentVariableIsSet(name)) {
        value_ = qgetenv(name);
    }
    ~EnvGuard() {
        if (had_) {
            qputenv(name_, value_);
        } else {
            qunsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_;
    QByteArray value_;
};

TEST(FontsTest, WindowsFacesMapToInstalledFaces) {
    EXPECT_EQ(platform::ResolveFontFamily("ＭＳ Ｐゴシック"), "IPAPGothic");
    EXPECT_EQ(platform::ResolveFontFamily("MS UI Gothic"), "IPAPGothic");
    EXPECT_EQ(platform::ResolveFontFamily("Meiryo UI"), "IPAPGothic");
    EXPECT_EQ(platform::ResolveFontFamily("ＭＳ ゴシック"), "IPAGothic");
    EXPECT_EQ(platform::ResolveFontFamily("ＭＳ Ｐ明朝"), "IPAPMincho");
    EXPECT_EQ(platform::ResolveFontFamily("ＭＳ 明朝"), "IPAMincho");
    EXPECT_EQ(platform::ResolveFontFamily("Arial"), "Liberation Sans");
    EXPECT_EQ(platform::ResolveFontFamily("DejaVu Sans"), "DejaVu Sans");
    // "Installed" means a face of exactly that name.
    EXPECT_FALSE(platform::FontInstalled("Meiryo UI"));
    EXPECT_TRUE(platform::FontInstalled("IPAPGothic"));
    EXPECT_TRUE(platform::FontInstalled("Liberation Sans"));
}

TEST(ScreenTest, TwipsPerPixelAt96Dpi) {
    EXPECT_EQ(platform::TwipsPerPixel(), 15);  // the offscreen screen has 96 dpi
    EXPECT_FALSE(platform::ScreenRectPixels().isEmpty());
}

TEST(ScreenTest, AWindowIsKeptWholeOnTheScreenItOverlapsMost) {
    // At scale factor 2 a 1600 x 1000 screen offers 800 x 500; a second screen on its right.
    const QRect left(0, 0, 800, 500);
    const QRect right(800, 0, 800, 500);
    const struct {
        QRect window;
        QList<QRect> areas;
        QRect kept;
    } cases[] = {
        {{100, 50, 520, 400}, {left}, {100, 50, 520, 400}},    // on screen: left alone
        {{900, 600, 520, 400}, {left}, {280, 100, 520, 400}},  // past the corner
        {{-300, -40, 520, 400}, {left}, {0, 0, 520, 400}},
        {{2000, 20, 520, 400}, {left}, {280, 20, 520, 400}},        // on no screen at all
        {{10, 10, 1200, 900}, {left}, {0, 0, 800, 500}},            // larger than the screen
        {{600, 20, 520, 400}, {left, right}, {800, 20, 520, 400}},  // most of it on the right
        {{500, 20, 520, 400}, {left, right}, {280, 20, 520, 400}},
        {{900, 600, 520, 400}, {}, {900, 600, 520, 400}},  // no screen: nothing to fit
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::KeepOnScreen(c.window, c.areas), c.kept) << c.window.x();
}

TEST(BeepTest, EveryBeepIsCountedAndReachesTheHandler) {
    int heard = 0;
    platform::SetBeepHandler([&] { ++heard; });
    platform::ResetBeepCount();
    platform::Beep();
    platform::Beep();
    EXPECT_EQ(platform::BeepCount(), 2);
    EXPECT_EQ(heard, 2);
    platform::SetBeepHandler({});
    platform::Beep();
    EXPECT_EQ(platform::BeepCount(), 3);
}

TEST(ProgramDirTest, HomeOverrideAndConfigFolder) {
    EnvGuard home("FOLDEX_HOME"), xdg("XDG_CONFIG_HOME"), user("HOME");
    qunsetenv("FOLDEX_HOME");
    EXPECT_TRUE(platform::HomeOverride().isEmpty());
    qputenv("FOLDEX_HOME", "/opt/x/../foldex/");
    EXPECT_EQ(platform::HomeOverride(), QByteArray("/opt/foldex"));
    qputenv("FOLDEX_HOME", "relative");
    EXPECT_TRUE(platform::HomeOverride().startsWith('/'));
    EXPECT_TRUE(platform::HomeOverride().endsWith("/relative"));
    qputenv("XDG_CONFIG_HOME", "/xdg");
    EXPECT_EQ(platform::ConfigFolder(), QByteArray("/xdg/foldex"));
    qputenv("XDG_CONFIG_HOME", "not-absolute");  // ignored, as the XDG rules say
    qputenv("HOME", "/home/u");
    EXPECT_EQ(platform::ConfigFolder(), QByteArray("/home/u/.config/foldex"));
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::ConfigFolder(), QByteArray("/home/u/.config/foldex"));
}

TEST(ProgramDirTest, FoldersAreCreatedAndTested) {
    testsupport::TempHome home;
    const QByteArray nested = home.native() + "/a/b/c";
    EXPECT_FALSE(platform::FolderWritable(nested));
    EXPECT_TRUE(platform::EnsureFolder(nested));
    EXPECT_TRUE(platform::FolderWritable(nested));
    testsupport::WriteAll(home.native() + "/file", "x");
    EXPECT_FALSE(platform::EnsureFolder(home.native() + "/file/sub"));
    // An installed program's folder is never its settings folder, even when writable.
    EXPECT_TRUE(platform::InstalledFolder("/usr/libexec/foldex"));
    EXPECT_TRUE(platform::InstalledFolder("/usr/local/libexec/foldex"));
    EXPECT_FALSE(platform::InstalledFolder("/usr2/foldex"));
    EXPECT_FALSE(platform::InstalledFolder("/home/u/foldex"));
    EXPECT_FALSE(platform::ExecutableFolder().isEmpty());
    EXPECT_TRUE(platform::ExecutableFolder().startsWith('/'));
}

TEST(ShellTest, MissingFileAnswersFileNotFound) {
    EXPECT_EQ(platform::ShellOpenNative("/no/such/file.html"), 2);
    EXPECT_EQ(platform::ShellOpenNative(""), 2);
}

}  // namespace
