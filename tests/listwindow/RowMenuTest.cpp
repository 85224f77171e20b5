// The row menu through the real window: opened by a right-button release on a row and by
// the Menu key, its items checked on the clipboard and on the calls of a process starter
// double; and the largest-files window it opens.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <memory>

#include "common/WindowFixture.h"
#include "grid/widget/GridView.h"
#include "listwindow/LargestFilesWindow.h"
#include "listwindow/ListForm.h"
#include "platform/Launcher.h"

using listwindow::ListForm;

namespace {

constexpr int kT = 'T' - 'A';

// Records every call out of the program; what is "installed" is the test's to say.
struct StarterDouble : platform::ProcessStarter {
    bool service = false;
    QList<QByteArray> installed;
    int startError = 0;
    QStringList calls;
    QList<QList<QByteArray>> started;  // program, arguments ..., then the working folder

    bool FileManagerService() override { return service; }
    bool CallFileManager(const QString& method, const QStringList& uris, QString&) override {
        calls << method + u' ' + uris.join(u' ');
        return true;
    }
    QByteArray FindProgram(const QByteArray& name) override {
        return installed.contains(name) ? "/opt/bin/" + name : QByteArray();
    }
    bool Start(const QByteArray& program, const QList<QByteArray>& args, const QByteArray& dir,
               int& error) override {
        started << (QList<QByteArray>{program} + args + QList<QByteArray>{dir});
        error = startError;
        return startError == 0;
    }
};

class RowMenuTest : public windowtest::WindowTest {
  protected:
    // Message boxes are recorded, not waited for.
    RowMenuTest() : WindowTest({7800, {'T'}, true}) {}
    void SetUp() override {
        WindowTest::SetUp();
        app::Hooks hooks = application.hooks();
        hooks.starter = starter;
        application.setHooks(hooks);
        ::qputenv("TERMINAL", "my-term");
        drive.writeFile("A/a.bin", QByteArray(5000, 'a'));
        drive.writeFile("A/deep/big.bin", QByteArray(90000, 'd'));
        ASSERT_EQ(::mkdir((drive.native() + "/B\xE6 x").constData(), 0755), 0);
        const int fd = ::open((drive.native() + "/B\xE6 x/c\xFF.bin").constData(),
                              O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, QByteArray(7000, 'c').constData(), 7000), 7000);
        ASSERT_EQ(::close(fd), 0);
        w = OpenDrive(kT);
    }
    void TearDown() override {
        ::qunsetenv("TERMINAL");
        testsupport::RemoveTree(drive.native() + "/B\xE6 x");
        WindowTest::TearDown();
    }
    int RowOf(const QByteArray& relative) const {
        const scan::FolderTable& f = w->list().Folders;
        const grid::GridState& st = w->view()->grid().st;
        for (int r = 0; r < st.rowCount; ++r)
            if (f.nativePath(f.Order[size_t(r)]) == drive.native() + relative) return r;
        return -1;
    }
    QPoint RowPoint(int row) const {
        const grid::GridState& st = w->view()->grid().st;
        return QPoint(120, (row - st.topRow) * st.rowHeight + st.rowHeight / 2);
    }
    // A right press and release on the row, as a person clicks.
    QMenu* RightClick(int row) const {
        QWidget* surface = w->view()->gridWidget();
        QTest::mousePress(surface, Qt::RightButton, Qt::NoModifier, RowPoint(row));
        QTest::mouseRelease(surface, Qt::RightButton, Qt::NoModifier, RowPoint(row));
        return OpenMenu();
    }
    QMenu* OpenMenu() const {
        auto* menu = w->findChild<QMenu*>(QStringLiteral("POP_ROW"));
        return menu && menu->isVisible() ? menu : nullptr;
    }
    static QAction* Item(QMenu* menu, const QString& name) {
        for (QAction* a : menu->actions())
            if (a->objectName() == name) return a;
        return nullptr;
    }
    // Chooses an item as a click does: the menu closes, then the item runs.
    static void Choose(QMenu* menu, const QString& name) {
        ASSERT_NE(menu, nullptr) << "the row menu did not open";
        QAction* a = Item(menu, name);
        ASSERT_NE(a, nullptr) << name.toStdString();
        ASSERT_TRUE(a->isEnabled()) << name.toStdString();
        menu->hide();
        a->trigger();
    }

    std::shared_ptr<StarterDouble> starter = std::make_shared<StarterDouble>();
    ListForm* w = nullptr;
};

TEST_F(RowMenuTest, ARightReleaseOnARowOffersItsFolderAndCopiesItsNativePath) {
    const struct {
        QByteArray relative;
        bool utf8;
    } rows[] = {{"/A", true}, {"/B\xE6 x", false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.relative.constData());
        const int row = RowOf(r.relative);
        ASSERT_GE(row, 0);
        QMenu* menu = RightClick(row);
        ASSERT_NE(menu, nullptr);
        // The cursor went to the row the button was pressed on.
        EXPECT_EQ(w->view()->grid().st.cursorRow, row);
        Choose(menu, QStringLiteral("P_ROWパス"));
        const QMimeData* m = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(m, nullptr);
        const QByteArray native = drive.native() + r.relative;
        EXPECT_EQ(m->data(QStringLiteral("text/plain")), native);
        if (r.utf8) {
            EXPECT_EQ(m->text(), QString::fromUtf8(native));
        }
        EXPECT_EQ(m->data(QStringLiteral("text/uri-list")),
                  platform::FileUri(native).toLatin1() + "\r\n");
    }
}

TEST_F(RowMenuTest, FileManagerAndTerminalAreStartedWithTheFolderAsItIs) {
    const QByteArray native = drive.native() + "/B\xE6 x";
    const int row = RowOf("/B\xE6 x");
    ASSERT_GE(row, 0);
    const struct {
        bool service;
        QList<QByteArray> installed;
        const char16_t* item;
        QStringList calls;
        QList<QList<QByteArray>> started;
        bool refused;  // a message box says why
    } cases[] = {
        {true,
         {"xdg-open"},
         u"P_ROWファイラー",
         {QStringLiteral("ShowFolders ") + platform::FileUri(native)},
         {},
         false},
        {false, {"xdg-open"}, u"P_ROWファイラー", {}, {{"/opt/bin/xdg-open", native, ""}}, false},
        {false, {}, u"P_ROWファイラー", {}, {}, true},
        {false,
         {"x-terminal-emulator", "my-term", "xterm"},
         u"P_ROW端末",
         {},
         {{"/opt/bin/x-terminal-emulator", native}},
         false},
        {false, {"my-term", "xterm"}, u"P_ROW端末", {}, {{"/opt/bin/my-term", native}}, false},
        {false, {"xterm"}, u"P_ROW端末", {}, {{"/opt/bin/xterm", native}}, false},
        {false, {}, u"P_ROW端末", {}, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.item).toStdString() + " " +
                     QByteArrayList(c.installed).join(',').toStdString());
        starter->service = c.service;
        starter->installed = c.installed;
        starter->calls.clear();
        starter->started.clear();
        asked.clear();
        // The Menu key through the widget that holds the focus opens the cursor row's menu.
        QTest::mouseClick(w->view()->gridWidget(), Qt::RightButton, Qt::NoModifier, RowPoint(row));
        if (QMenu* open = OpenMenu()) open->hide();
        QTest::keyClick(Focused(w), Qt::Key_Menu);
        Choose(OpenMenu(), QString::fromUtf16(c.item));
        EXPECT_EQ(starter->calls, c.calls);
        EXPECT_EQ(starter->started, c.started);
        EXPECT_EQ(asked.size(), c.refused ? 1 : 0);
    }
    // A program that cannot be started is reported, not passed over.
    starter->installed = {"xterm"};
    starter->startError = ENOEXEC;
    asked.clear();
    w->OpenTerminalAt(row);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("端末を開けません"))) << asked[0].toStdString();
}

TEST_F(RowMenuTest, TheTotalRowAndTheOverviewOfferWhatAppliesToADrive) {
    const int total = w->view()->grid().st.rowCount - 1;
    QMenu* menu = RightClick(total);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Item(menu, QStringLiteral("P_DIR削除")), nullptr);
    EXPECT_NE(Item(menu, QStringLiteral("P_ROW大ファイル")), nullptr);
    Choose(menu, QStringLiteral("P_ROWパス"));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")),
              drive.native());

    w->ShowOverview();
    ASSERT_TRUE(w->list().OverviewShown);
    QTest::keyClick(Focused(w), Qt::Key_Menu);
    menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Item(menu, QStringLiteral("P_ROW大ファイル")), nullptr);
    EXPECT_EQ(Item(menu, QStringLiteral("P_DIRコピー")), nullptr);
    Choose(menu, QStringLiteral("P_ROWパス"));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")),
              drive.native());
}

TEST_F(RowMenuTest, LargestFilesWindowSortsAndActsOnItsFiles) {
    const int row = RowOf("/A");
    Choose(RightClick(row), QStringLiteral("P_ROW大ファイル"));
    auto* window = w->findChild<listwindow::LargestFilesWindow*>();
    ASSERT_NE(window, nullptr);
    QTableView* table = window->table();
    ASSERT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(window->PathOf(0), drive.native() + "/A/deep/big.bin");
    // A click on the name heading sorts by name.
    QHeaderView* header = table->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
    EXPECT_EQ(window->PathOf(0), drive.native() + "/A/a.bin");
    table->selectRow(1);
    starter->service = true;
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("SHOWBTN")), Qt::LeftButton);
    EXPECT_EQ(starter->calls, QStringList{QStringLiteral("ShowItems ") +
                                          platform::FileUri(drive.native() + "/A/deep/big.bin")});
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("COPYBTN")), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")),
              drive.native() + "/A/deep/big.bin");
}

TEST_F(RowMenuTest, TheLargestFilesWindowIsWorkedByTheKeyboard) {
    Choose(RightClick(RowOf("/A")), QStringLiteral("P_ROW大ファイル"));
    auto* window = w->findChild<listwindow::LargestFilesWindow*>();
    ASSERT_NE(window, nullptr);
    // The list window takes the activation back once the row menu has closed.
    QCoreApplication::processEvents();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window, 1000));
    window->table()->setFocus(Qt::OtherFocusReason);
    // Tab goes from the table to each button in turn; Space presses the one with the focus.
    const char* const order[] = {"SHOWBTN", "COPYBTN", "CLOSEBTN"};
    for (const char* name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QLatin1String(name));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget()->objectName(), QLatin1String("COPYBTN"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")),
              drive.native() + "/A/deep/big.bin");
    // Esc closes it, from the table as from a button.
    window->table()->setFocus(Qt::OtherFocusReason);
    QPointer<listwindow::LargestFilesWindow> alive(window);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull() || !alive->isVisible());
}

}  // namespace
