// Saving the list and finding a folder, through the window's commands, with the dialogs
// answered by hooks and timers.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <functional>

#include "common/TestSupport.h"
#include "common/WindowFixture.h"
#include "dialogs/DialogForm.h"
#include "dialogs/InpBoxForm.h"
#include "dialogs/MessageBox.h"
#include "grid/widget/GridView.h"
#include "listwindow/ListCommands.h"
#include "listwindow/ListForm.h"
#include "listwindow/PictureWidget.h"
#include "platform/Beep.h"
#include "platform/PathMap.h"
#include "platform/StdMessage.h"
#include "settings/Context.h"
#include "settings/RecentFolders.h"
#include "settings/Settings.h"

using listwindow::ListForm;
using testsupport::ReadAll;

// Catches the desktop's "open" of a written file.
class OpenCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened << url; }
};

namespace {

constexpr int kT = 'T' - 'A';

class SaveFindTest : public windowtest::WindowTest {
  protected:
    SaveFindTest() : WindowTest({9000, {'T'}, true}) {}
    void SetUp() override {
        WindowTest::SetUp();
        useDialogsAndAppFolder();
        drive.writeFile("WINDOWS/a.bin", QByteArray(5000, 'x'));
        drive.writeFile("Program Files/b.bin", QByteArray(1024, 'y'));
        drive.writeFile("WINNT/deep/c.bin", QByteArray(70000, 'z'));
        drive.makeDir(QByteArray("odd\"name,") + char(0xE6) + "x");  // a quote, a comma, not UTF-8
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    }
    void TearDown() override {
        WindowTest::TearDown();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }

    static ListForm* OpenT() { return OpenDrive(kT); }
    // The row whose name cell ends in name.
    static int RowOf(ListForm* w, const QString& name) {
        const grid::GridState& st = w->view()->grid().st;
        for (int r = 0; r < st.rowCount; ++r) {
            if (grid::CellText(st, 0, r).endsWith(name)) return r;
        }
        return -1;
    }
    static int Cursor(ListForm* w) { return w->view()->grid().st.cursorRow; }
    // The next input box gets this answer (Enter), or Esc when answer is null.
    void AnswerInputBox(const std::optional<QString>& text) {
        QTimer::singleShot(0, [this, text] {
            dialogs::InpBoxForm* box = dialogs::InputBoxWindow();
            if (!box || !box->isWaiting()) return;
            proposed = box->field()->text();
            if (text) {
                box->field()->setText(*text);
                QTest::keyClick(box->field(), Qt::Key_Return);
            } else {
                QTest::keyClick(box->field(), Qt::Key_Escape);
            }
        });
    }
    void AnswerSaveDialog(dialogs::SaveFileAnswer a) {
        dialogs::CommonDialogHooks hooks;
        hooks.saveFile = [this, a](const dialogs::SaveFileRequest& r) {
            request = r;
            ++dialogShown;
            return a;
        };
        answerDialogs(hooks);
    }
    QByteArray App(const char* name) const { return drive.native() + "/app/" + name; }
    static bool Exists(const QByteArray& p) { return QFile::exists(QFile::decodeName(p)); }

    OpenCatcher catcher;
    QString proposed;
    dialogs::SaveFileRequest request;
    int dialogShown = 0;
};

TEST_F(SaveFindTest, DefaultNameSkipsTakenNamesAndTheDialogGetsItsRequest) {
    testsupport::WriteAll(App("LogT.TXT"), "old");
    testsupport::WriteAll(App("LogT-1.TXT"), "old");
    AnswerSaveDialog({dialogs::SaveFileAnswer::Outcome::Cancelled, {}, {}});
    ListForm* w = OpenT();
    w->SaveList();
    EXPECT_EQ(request.proposedName, QStringLiteral("LogT-2"));
    EXPECT_EQ(request.startFolder, drive.native() + "/app");
    EXPECT_EQ(request.title, QStringLiteral("テキスト･ファイルへのリスト保存"));
    EXPECT_EQ(request.filter,
              QStringLiteral("テキスト(TXT)|*.TXT|テキスト-カンマ区切り(CSV)|*.CSV"));
    EXPECT_EQ(request.filterIndex, 1);
    EXPECT_EQ(request.defaultExtension, QStringLiteral("TXT"));
    EXPECT_EQ(request.flags, 0x8080E);
    // Cancel writes nothing and says nothing.
    EXPECT_FALSE(Exists(App("LogT-2.TXT")));
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(platform::BeepCount(), 0);

    // The rule itself, for names of every kind.
    const struct {
        const char* in;
        const char* out;
    } names[] = {{"/x/LIST.CSV.TXT", "/x/LIST.CSV"}, {"/x/list.csv.txt", "/x/list.csv"},
                 {"/x/LIST.TXT", "/x/LIST.TXT"},     {"/x/a.tar.gz", "/x/a.tar.gz"},
                 {"/x.d/LIST.TXT", "/x.d/LIST.TXT"}, {"/x/report.CSV", "/x/report.CSV"}};
    for (const auto& n : names)
        EXPECT_EQ(listwindow::DropAppendedExtension(QString::fromUtf8(n.in)),
                  QString::fromUtf8(n.out))
            << n.in;
}

TEST_F(SaveFindTest, SaveDialogAnswersChooseTheFormatAndTheViewer) {
    ListForm* w = OpenT();
    const QByteArray dir = drive.native() + "/out";
    drive.makeDir("out");
    struct Case {
        const char* answered;
        const char* written;
        bool csv;
    };
    const Case cases[] = {
        {"report.TXT", "report.TXT", false},
        {"LIST.CSV.TXT", "LIST.CSV", true},
        {"mixed.Csv", "mixed.Csv", true},
    };
    for (const Case& c : cases) {
        catcher.opened.clear();
        AnswerSaveDialog({dialogs::SaveFileAnswer::Outcome::Chosen,
                          QFile::decodeName(dir + '/' + c.answered),
                          {}});
        QTest::keyClick(w->view()->scrollBar(), Qt::Key_W, Qt::AltModifier);
        const QByteArray text = ReadAll(dir + '/' + c.written);
        ASSERT_FALSE(text.isEmpty()) << c.written;
        if (c.csv) {
            EXPECT_TRUE(text.startsWith("\"フォルダ名\",\"ﾌｧｲﾙ数\"")) << c.written;
            // The odd name comes back whole, its quote doubled.
            EXPECT_TRUE(text.contains("odd\"\"name,")) << c.written;
            EXPECT_TRUE(catcher.opened.isEmpty()) << c.written;
        } else {
            EXPECT_TRUE(text.contains("ドライブ名　　：T")) << c.written;
            ASSERT_EQ(catcher.opened.size(), 1);
            EXPECT_EQ(QFile::encodeName(catcher.opened[0].toLocalFile()), dir + '/' + c.written);
        }
    }
    EXPECT_FALSE(Exists(dir + "/LIST.CSV.TXT"));
    EXPECT_EQ(dialogShown, 3);
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(SaveFindTest, InputBoxPathWhenDialogsAreMissingOrFail) {
    // The dialog fails: its text is shown once, then the input box asks, then and later.
    AnswerSaveDialog({dialogs::SaveFileAnswer::Outcome::Failed, {}, QStringLiteral("no dialog")});
    ListForm* w = OpenT();
    AnswerInputBox(QStringLiteral("T:\\app\\list.csv"));
    w->SaveList();
    EXPECT_EQ(asked, QStringList{QStringLiteral("no dialog")});
    EXPECT_FALSE(app::Ctx().CommonDialogReady);
    EXPECT_EQ(proposed, QStringLiteral("T:\\app\\LogT.TXT"));
    EXPECT_TRUE(ReadAll(App("list.csv")).startsWith("\"フォルダ名\""));
    EXPECT_TRUE(catcher.opened.isEmpty());

    // A name relative to the program's folder, and one that exists: No keeps the old file.
    AnswerInputBox(QStringLiteral("list.csv"));
    testsupport::WriteAll(App("list.csv"), "keep me");
    defaultAnswer = dialogs::kAnswerNo;
    w->SaveList();
    EXPECT_EQ(dialogShown, 1);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[1].contains(QStringLiteral("上書きしていいですか")));
    EXPECT_EQ(ReadAll(App("list.csv")), "keep me");
    // Yes overwrites; a text report is opened afterwards.
    defaultAnswer = dialogs::kAnswerYes;
    AnswerInputBox(QStringLiteral("list.csv"));
    w->SaveList();
    EXPECT_TRUE(ReadAll(App("list.csv")).startsWith("\"フォルダ名\""));
    AnswerInputBox(QStringLiteral("T:\\app\\Report.txt"));
    w->SaveList();
    EXPECT_TRUE(ReadAll(App("Report.txt")).contains("ドライブ名"));
    EXPECT_EQ(catcher.opened.size(), 1);
    // An empty answer and Esc write nothing.
    const int before = int(QDir(QFile::decodeName(App(""))).count());
    AnswerInputBox(QString());
    w->SaveList();
    AnswerInputBox(std::nullopt);
    w->SaveList();
    EXPECT_EQ(int(QDir(QFile::decodeName(App(""))).count()), before);
}

TEST_F(SaveFindTest, AFailedWriteSaysWhyAndKeepsTheOlderFile) {
    app::Ctx().CommonDialogReady = false;
    testsupport::WriteAll(App("big.TXT"), QByteArray(50, 'o'));
    ListForm* w = OpenT();
    AnswerInputBox(QStringLiteral("big.TXT"));
    defaultAnswer = dialogs::kAnswerYes;
    // Files may grow to 40 bytes only, as with "ulimit -f"; root is bound by it too.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 40;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    w->SaveList();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_EQ(asked.size(), 2);  // the overwrite question, then the failure
    EXPECT_TRUE(asked[1].contains(QStringLiteral("big.TXT"))) << asked[1].toStdString();
    EXPECT_GT(asked[1].size(), QStringLiteral("T:\\app\\big.TXT").size() + 2);
    EXPECT_EQ(ReadAll(App("big.TXT")), QByteArray(50, 'o'));
    EXPECT_TRUE(catcher.opened.isEmpty());  // no report to show
}

TEST_F(SaveFindTest, SaveDoesNothingInTheDriveOverview) {
    AnswerSaveDialog({dialogs::SaveFileAnswer::Outcome::Cancelled, {}, {}});
    app::Ctx().FirstWindow = true;
    auto* w = new ListForm();
    w->LoadShow();
    ASSERT_TRUE(w->list().OverviewShown);
    auto* bar = w->findChild<listwindow::PictureWidget*>(QStringLiteral("TOLFRM"));
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(10, 30));
    QTest::keyClick(w->view()->scrollBar(), Qt::Key_W, Qt::AltModifier);
    EXPECT_EQ(dialogShown, 0);
    EXPECT_EQ(platform::BeepCount(), 0);
}

TEST_F(SaveFindTest, ToolbarRunsSaveOnlyWhenReleasedOverItAndTipsFollowButtons) {
    AnswerSaveDialog({dialogs::SaveFileAnswer::Outcome::Cancelled, {}, {}});
    ListForm* w = OpenT();
    auto* bar = w->findChild<listwindow::PictureWidget*>(QStringLiteral("TOLFRM"));
    auto* look = w->findChild<listwindow::PictureWidget*>(QStringLiteral("TTXTIMG"));
    const QPoint save(10, 30), print(40, 30);

    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, save);
    EXPECT_TRUE(look->isVisible());
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, print);
    EXPECT_FALSE(look->isVisible());
    EXPECT_EQ(dialogShown, 0);
    // Any mouse button saves; the focus is back on the list afterwards.
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton}) {
        w->view()->scrollBar()->setFocus();
        QTest::mouseClick(bar, b, Qt::NoModifier, save);
        EXPECT_FALSE(look->isVisible());
        EXPECT_EQ(w->focusWidget(), w->view()->gridWidget());
    }
    EXPECT_EQ(dialogShown, 2);

    // The tip is written only when the pointer reaches another button.
    QTest::mouseMove(bar, save);
    EXPECT_EQ(bar->toolTip(), QStringLiteral("リストをテキスト･ファイルに保存します"));
    bar->setToolTip(QStringLiteral("stale"));
    QTest::mouseMove(bar, save + QPoint(2, 2));
    EXPECT_EQ(bar->toolTip(), QStringLiteral("stale"));
    QTest::mouseMove(bar, print);
    EXPECT_EQ(bar->toolTip(), QStringLiteral("リストを印刷します"));
}

TEST_F(SaveFindTest, FindStepsThroughMatchingNamesWithoutWrapping) {
    ListForm* w = OpenT();
    const int windows = RowOf(w, QStringLiteral("WINDOWS"));
    const int winnt = RowOf(w, QStringLiteral("WINNT"));
    ASSERT_GT(windows, 0);
    ASSERT_GT(winnt, windows);
    ASSERT_LT(RowOf(w, QStringLiteral("Program Files")), windows);
    grid::MoveCursor(w->view()->grid(), windows);

    // The question lands on the cursor row itself; F3 goes on, then beeps at the end.
    testsupport::WriteAll(home.settingsFile(), "[Options]\nFindText=old\n");
    AnswerInputBox(QStringLiteral("win"));
    w->FindAsk();
    EXPECT_EQ(proposed, QStringLiteral("old"));
    EXPECT_EQ(Cursor(w), windows);
    EXPECT_EQ(app::GetOpt(QStringLiteral("FindText"), {}), QStringLiteral("win"));
    QWidget* keys = w->view()->scrollBar();
    QTest::keyClick(keys, Qt::Key_F3);
    EXPECT_EQ(Cursor(w), winnt);
    QTest::keyClick(keys, Qt::Key_F3);
    EXPECT_EQ(Cursor(w), winnt);
    EXPECT_EQ(platform::BeepCount(), 1);
    // Backwards with any modifier.
    for (Qt::KeyboardModifier m : {Qt::ShiftModifier, Qt::ControlModifier}) {
        grid::MoveCursor(w->view()->grid(), winnt);
        QTest::keyClick(keys, Qt::Key_F3, m);
        EXPECT_EQ(Cursor(w), windows);
    }
    // F3 with a modifier on row 0 beeps.
    grid::MoveCursor(w->view()->grid(), 0);
    QTest::keyClick(keys, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(Cursor(w), 0);
    EXPECT_EQ(platform::BeepCount(), 2);

    // Cancel: nothing moves and FindText keeps its value; F3 with no text only beeps.
    AnswerInputBox(std::nullopt);
    w->FindAsk();
    EXPECT_EQ(Cursor(w), 0);
    EXPECT_EQ(app::GetOpt(QStringLiteral("FindText"), {}), QStringLiteral("win"));
    EXPECT_EQ(w->FindText(), QString());
    QTest::keyClick(keys, Qt::Key_F3);
    EXPECT_EQ(Cursor(w), 0);
    EXPECT_EQ(platform::BeepCount(), 3);

    // A right click on the new-window button asks, proposing the stored text.
    auto* bar = w->findChild<listwindow::PictureWidget*>(QStringLiteral("TOLFRM"));
    const int open = app::Ctx().OpenWindows;
    AnswerInputBox(QStringLiteral("PROGRAM"));
    QTest::mouseClick(bar, Qt::RightButton, Qt::NoModifier, QPoint(20, 10));
    EXPECT_EQ(proposed, QStringLiteral("win"));
    EXPECT_EQ(Cursor(w), RowOf(w, QStringLiteral("Program Files")));
    EXPECT_EQ(app::Ctx().OpenWindows, open);
}

TEST(FindRule, NameCellOnlyAsShownAndUpperCased) {
    grid::GridState st;
    const QChar sep = grid::kFieldSep;
    const QString question = platform::NameFromNative("what?");
    auto row = [&](const QString& name, const char* figures) {
        return name + sep + QString::fromLatin1(figures).replace(u'|', sep);
    };
    st.rowText = {row(QStringLiteral("T:\\"), "3|1,024|4,096|9,999"),
                  row(QStringLiteral("Windows"), "1|1,024|4,096|4,096"), row(question, "0|0|0|0"),
                  row(QStringLiteral("ｗｉｎ全角"), "0|0|0|0"),
                  row(QStringLiteral("3 フォルダー"), "3|2,048|8,192")};
    st.rowCount = int(st.rowText.size());
    const struct {
        const char* text;
        int start;
        int step;
        int found;
    } cases[] = {
        {"win", 0, 1, 1},    {"WIN", 2, 1, -1},       {"ｗｉｎ", 2, 1, 3},  {"ＷＩＮ", 0, 1, 3},
        {"win", 4, 1, -1},   {"1,024", 0, 1, -1},     {"4,096", 4, -1, -1}, {"?", 0, 1, 2},
        {"WHAT?", 4, -1, 2}, {"フォルダー", 0, 1, 4}, {"win", -1, -1, -1},  {"win", 9, 1, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(listwindow::FindRow(st, QString::fromUtf8(c.text), c.start, c.step), c.found)
            << c.text << " from " << c.start;
    // Rows past the list's count are not searched.
    st.rowCount = 1;
    EXPECT_EQ(listwindow::FindRow(st, QStringLiteral("win"), 0, 1), -1);
}

// Find, print's neighbours, the recent folders, the drive menu and the levels have keys; a
// drive of the letter keeps Ctrl + its letter.
TEST_F(SaveFindTest, FindTheMenusAndTheLevelsHaveKeysBesideTheDriveLetters) {
    testsupport::TempDrive f(u'F');
    app::Ctx().DriveTypes['F' - 'A'] = 3;
    ListForm* w = OpenT();
    const int winnt = RowOf(w, QStringLiteral("WINNT"));
    ASSERT_GT(winnt, 0);
    const struct {
        const char* what;
        Qt::KeyboardModifiers mods;
        bool finds;
    } finds[] = {
        {"Ctrl+F lists drive F:", Qt::ControlModifier, false},
        {"Ctrl+Shift+F finds", Qt::ControlModifier | Qt::ShiftModifier, true},
    };
    for (const auto& c : finds) {
        SCOPED_TRACE(c.what);
        grid::MoveCursor(w->view()->grid(), 0);
        proposed = QStringLiteral("(not asked)");
        AnswerInputBox(QStringLiteral("winnt"));
        QTest::keyClick(Focused(w), Qt::Key_F, c.mods);
        QCoreApplication::processEvents();
        if (c.finds) {
            EXPECT_EQ(Cursor(w), winnt);
            EXPECT_EQ(w->list().CurrentDrive, u'T');
        } else {
            EXPECT_EQ(proposed, QStringLiteral("(not asked)"));
            EXPECT_EQ(w->list().CurrentDrive, u'F');
            w->Calc(w->ButtonOfDrive(kT));
        }
    }

    // Alt + a digit of the top row chooses the level; the digit alone jumps to a name.
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int level;
    } levels[] = {{Qt::Key_1, Qt::AltModifier, 1},
                  {Qt::Key_0, Qt::AltModifier, 0},
                  {Qt::Key_1, Qt::NoModifier, 0},
                  {Qt::Key_2, Qt::AltModifier, 2}};
    for (const auto& c : levels) {
        QTest::keyClick(Focused(w), c.key, c.mods);
        EXPECT_EQ(w->ShownLevel(), c.level) << c.key << " " << int(c.mods);
    }

    // Alt+V: the menu of the drive shown; Alt+R: the folders opened last, a beep with none.
    QTest::keyClick(Focused(w), Qt::Key_V, Qt::AltModifier);
    auto* driveMenu = w->findChild<QMenu*>(QStringLiteral("POP_DRVBTN"));
    ASSERT_NE(driveMenu, nullptr);
    EXPECT_TRUE(driveMenu->isVisible());
    driveMenu->hide();
    auto* recent = w->findChild<QMenu*>(QStringLiteral("POP_RECENT"));
    ASSERT_NE(recent, nullptr);
    const int beeps = platform::BeepCount();
    QTest::keyClick(Focused(w), Qt::Key_R, Qt::AltModifier);
    EXPECT_FALSE(recent->isVisible());
    EXPECT_EQ(platform::BeepCount(), beeps + 1);
    app::RememberFolder(drive.native() + "/WINNT");
    QTest::keyClick(Focused(w), Qt::Key_R, Qt::AltModifier);
    EXPECT_TRUE(recent->isVisible());
    ASSERT_EQ(recent->actions().size(), 1);
    recent->hide();
}

}  // namespace

#include "SaveFindTest.moc"
