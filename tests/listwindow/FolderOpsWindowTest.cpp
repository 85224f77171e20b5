// Deleting, copying and moving folders through the window's folder menu, with the message
// box answered from a script, checked against the disk and a new scan of the drive.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <deque>

#include "common/TestSupport.h"
#include "common/WindowFixture.h"
#include "dialogs/CancelForm.h"
#include "dialogs/MessageBox.h"
#include "folderops/OpsFixture.h"
#include "grid/widget/GridView.h"
#include "listwindow/ListForm.h"
#include "listwindow/PictureWidget.h"
#include "platform/Beep.h"
#include "platform/StdMessage.h"
#include "settings/Context.h"
#include "settings/Settings.h"

using listwindow::ListForm;

namespace {

constexpr int kT = 'T' - 'A';
constexpr int kU = 'U' - 'A';

bool Exists(const QByteArray& native) {
    struct stat st {};
    return ::lstat(native.constData(), &st) == 0;
}

class FolderOpsWindowTest : public windowtest::WindowTest {
  protected:
    FolderOpsWindowTest() : WindowTest({9000, {'T', 'U'}, true}) {}
    void SetUp() override {
        WindowTest::SetUp();
        application.context().AppFolderNative = home.native();
        t.writeFile("A/a.bin", QByteArray(5000, 'a'));
        t.writeFile("A/x\\y\x01.bin", QByteArray(10, 'n'));  // a backslash and a control character
        t.writeFile("B/keep.bin", QByteArray(3000, 'b'));
        t.writeFile("B/deep/d.bin", QByteArray(70000, 'd'));
        // A name that is not UTF-8, made with the plain calls (the helpers go through QString).
        const QByteArray odd = t.native() + "/C\xE6";
        ASSERT_EQ(::mkdir(odd.constData(), 0755), 0);
        std::FILE* f = std::fopen((odd + "/c.bin").constData(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(QByteArray(9000, 'c').constData(), 1, 9000, f), 9000u);
        ASSERT_EQ(std::fclose(f), 0);
    }
    void TearDown() override {
        const QByteArray odd = t.native() + "/C\xE6";
        ::unlink((odd + "/c.bin").constData());
        ::rmdir(odd.constData());
        WindowTest::TearDown();
    }

    static int RowOf(ListForm* w, const QByteArray& relative) {
        const scan::FolderTable& f = w->list().Folders;
        const QByteArray want = f.RootNative + '/' + relative;
        const grid::GridState& st = w->view()->grid().st;
        for (int r = 0; r + 1 < st.rowCount; ++r)
            if (f.nativePath(f.Order[size_t(r)]) == want) return r;
        return -1;
    }
    // Clicks the rows as a person does: the first alone, the others with Ctrl.
    static void Select(ListForm* w, std::initializer_list<QByteArray> relatives) {
        const grid::GridState& st = w->view()->grid().st;
        QTest::keyClick(w->view()->gridWidget(), Qt::Key_Escape);
        Qt::KeyboardModifiers mods = Qt::NoModifier;
        for (const QByteArray& rel : relatives) {
            const int r = RowOf(w, rel);
            ASSERT_GE(r, 0) << rel.constData();
            QTest::mouseClick(w->view()->gridWidget(), Qt::LeftButton, mods,
                              QPoint(120, r * st.rowHeight + st.rowHeight / 2));
            mods = Qt::ControlModifier;
        }
        ASSERT_EQ(st.selectedCount, int(relatives.size()));
    }
    // Toolbar button 3; returns the folder menu when it opened.
    static QMenu* PressFolderButton(ListForm* w) {
        auto* bar = w->findChild<listwindow::PictureWidget*>(QStringLiteral("TOLFRM"));
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(10, 60));
        auto* menu = w->findChild<QMenu*>(QStringLiteral("POP_DIRGRD"));
        return menu && menu->isVisible() ? menu : nullptr;
    }
    // Chooses a menu item as a click on it does: the menu closes, then the item runs.
    static void Choose(QMenu* menu, const QString& item) {
        ASSERT_NE(menu, nullptr) << "the folder menu did not open";
        QAction* a = menu->findChild<QAction*>(item);
        if (!a) {
            for (QAction* x : menu->actions())
                if (x->objectName() == item) a = x;
        }
        ASSERT_NE(a, nullptr) << item.toStdString();
        menu->hide();
        a->trigger();
    }
    // The window's list agrees with a new scan of the same drive.
    static void ExpectSameAsNewScan(ListForm* w, const testsupport::TempDrive& d) {
        const opstest::Listed fresh(d.drive());
        const scan::DriveList& l = w->list();
        const scan::FolderTable& a = l.Folders;
        const scan::FolderTable& b = fresh.list.Folders;
        int matched = 0;
        for (int f = 0; f + 1 < l.ListRowCount; ++f) {
            SCOPED_TRACE(a.nativePath(f).constData());
            int g = 0;
            while (g + 1 < fresh.list.ListRowCount && b.nativePath(g) != a.nativePath(f)) ++g;
            if (g + 1 >= fresh.list.ListRowCount) {
                EXPECT_EQ(a.FileCount[size_t(f)], -1);
                EXPECT_EQ(a.SubtreeTotal[size_t(f)], 0);
                continue;
            }
            ++matched;
            EXPECT_EQ(a.FileCount[size_t(f)], b.FileCount[size_t(g)]);
            EXPECT_EQ(a.AllocSize[size_t(f)], b.AllocSize[size_t(g)]);
            EXPECT_EQ(a.SubtreeTotal[size_t(f)], b.SubtreeTotal[size_t(g)]);
            EXPECT_EQ(a.FileSize[size_t(f)], b.FileSize[size_t(g)]);
        }
        EXPECT_EQ(matched, fresh.list.ListRowCount - 1);
        EXPECT_EQ(l.FileTotal, fresh.list.FileTotal);
        EXPECT_EQ(l.AllocTotal, fresh.list.AllocTotal);
    }

    testsupport::TempDrive& t = drive;
    testsupport::TempDrive u{u'U'};
};

TEST_F(FolderOpsWindowTest, DeleteThroughTheMenuAsksTwiceAndLeavesTheListAsANewScan) {
    ListForm* w = OpenDrive(kT);
    Select(w, {"A", QByteArray("C\xE6")});

    // Cancel at the first question, then No at the second: nothing is deleted, no progress.
    struct Refusal {
        std::deque<int> answers;
        int questions;
    };
    for (const Refusal& r : {Refusal{{folderops::kAnswerCancel}, 1},
                             Refusal{{folderops::kAnswerOk, folderops::kAnswerNo}, 2}}) {
        asked.clear();
        answers = r.answers;
        QMenu* menu = PressFolderButton(w);
        ASSERT_NE(menu, nullptr);
        Choose(menu, QStringLiteral("P_DIR削除"));
        EXPECT_EQ(asked.size(), r.questions);
        EXPECT_TRUE(Exists(t.native() + "/A/a.bin"));
        EXPECT_TRUE(Exists(t.native() + "/C\xE6/c.bin"));
        EXPECT_FALSE(w->gate().busy());
    }
    EXPECT_EQ(askedFlags, (std::vector<int>{0x101, 0x101, 0x104}));

    asked.clear();
    askedFlags.clear();
    answers = {folderops::kAnswerOk, folderops::kAnswerYes, folderops::kAnswerOk};
    w->list().DriveFree = 0;  // stale: the run reads it again
    Choose(PressFolderButton(w), QStringLiteral("P_DIR削除"));
    // Confirm, confirm again, finished.
    ASSERT_EQ(asked.size(), 3) << asked.join(u'\n').toStdString();
    EXPECT_EQ(askedFlags, (std::vector<int>{0x101, 0x104, 0}));
    EXPECT_TRUE(asked[2].contains(QStringLiteral("終了しました")));
    EXPECT_FALSE(Exists(t.native() + "/A"));
    EXPECT_FALSE(Exists(t.native() + "/C\xE6"));
    EXPECT_TRUE(Exists(t.native() + "/B/deep/d.bin"));
    ExpectSameAsNewScan(w, t);
    const grid::GridState& st = w->view()->grid().st;
    EXPECT_EQ(st.rowIcon[size_t(RowOf(w, "A"))], 14);
    // The window is free again and the figures were read anew.
    EXPECT_FALSE(dialogs::OperationRunning());
    EXPECT_FALSE(w->gate().busy());
    EXPECT_TRUE(w->view()->gridWidget()->isEnabled());
    EXPECT_GT(w->list().DriveFree, 0);
    EXPECT_EQ(platform::BeepCount(), 0);
}

TEST_F(FolderOpsWindowTest, CopyAndMoveToTheDriveChosenInTheDestinationList) {
    ListForm* w = OpenDrive(kT);
    const QByteArray aFile = t.native() + "/A/a.bin";
    struct timespec times[2] = {{0, UTIME_OMIT}, {1600000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, aFile.constData(), times, 0), 0);

    // No destination: the message asking for one, and nothing else.
    Select(w, {"A"});
    Choose(PressFolderButton(w), QStringLiteral("P_DIRコピー"));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_FALSE(Exists(u.native() + "/A"));

    auto* dst = w->findChild<QComboBox*>(QStringLiteral("DSTLST"));
    dst->setCurrentText(QStringLiteral("U:"));
    asked.clear();
    Choose(PressFolderButton(w), QStringLiteral("P_DIRコピー"));
    // Confirm (a copy asks once), finished.
    ASSERT_EQ(asked.size(), 2) << asked.join(u'\n').toStdString();
    EXPECT_EQ(testsupport::ReadAll(u.native() + "/A/a.bin"), QByteArray(5000, 'a'));
    EXPECT_EQ(testsupport::ReadAll(u.native() + "/A/x\\y\x01.bin"), QByteArray(10, 'n'));
    struct stat st {};
    ASSERT_EQ(::stat((u.native() + "/A/a.bin").constData(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1600000000);
    EXPECT_TRUE(Exists(aFile));
    ExpectSameAsNewScan(w, t);

    // A move of a folder with subfolders, both selected.
    Select(w, {"B", "B/deep"});
    asked.clear();
    answers = {folderops::kAnswerOk, folderops::kAnswerYes, folderops::kAnswerOk};
    Choose(PressFolderButton(w), QStringLiteral("P_DIR移動"));
    ASSERT_EQ(asked.size(), 3) << asked.join(u'\n').toStdString();
    EXPECT_EQ(testsupport::ReadAll(u.native() + "/B/deep/d.bin"), QByteArray(70000, 'd'));
    EXPECT_EQ(testsupport::ReadAll(u.native() + "/B/keep.bin"), QByteArray(3000, 'b'));
    EXPECT_FALSE(Exists(t.native() + "/B"));
    ExpectSameAsNewScan(w, t);
    EXPECT_FALSE(w->gate().busy());
    EXPECT_EQ(platform::BeepCount(), 0);
}

TEST_F(FolderOpsWindowTest, RefusalsBeepWithoutAskingOrTouchingTheDisk) {
    ListForm* w = OpenDrive(kT);
    // No selection: a beep and no menu.
    EXPECT_EQ(PressFolderButton(w), nullptr);
    EXPECT_EQ(platform::BeepCount(), 1);

    Select(w, {"A"});

    // The progress window of an operation of another window: a delete only beeps.
    dialogs::ProgressWindow().Begin(QStringLiteral("FOLDEX コピー"), QStringLiteral("コピー中"),
                                    true, nullptr);
    w->DeleteFolders();
    dialogs::ProgressWindow().End();
    EXPECT_EQ(platform::BeepCount(), 2);
    EXPECT_TRUE(asked.isEmpty());

    // A second delete tried from inside the running one only beeps.
    int tries = 0;
    bool tried = false;
    std::function<void()> probe = [&] {
        if (!dialogs::OperationRunning()) {
            if (++tries < 1000) QTimer::singleShot(0, probe);
            return;
        }
        tried = true;
        const int questions = int(asked.size());
        const int beeps = platform::BeepCount();
        w->DeleteFolders();  // refused by the window's busy gate
        EXPECT_EQ(platform::BeepCount(), beeps + 1);
        EXPECT_EQ(asked.size(), questions);
    };
    QTimer::singleShot(0, probe);
    answers = {folderops::kAnswerOk, folderops::kAnswerYes, folderops::kAnswerOk};
    Choose(PressFolderButton(w), QStringLiteral("P_DIR削除"));
    EXPECT_TRUE(tried);
    EXPECT_FALSE(Exists(t.native() + "/A"));

    // The drive overview: the button does nothing at all.
    w->ShowOverview();
    const int beeps = platform::BeepCount();
    EXPECT_EQ(PressFolderButton(w), nullptr);
    EXPECT_EQ(platform::BeepCount(), beeps);
}

TEST_F(FolderOpsWindowTest, WithTheTrashOptionDeleteMovesTheFoldersToTheTrash) {
    QTemporaryDir data;
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    const QByteArray trash = QFile::encodeName(data.path()) + "/Trash";
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    app::PutOpt(QStringLiteral("UseTrash"), QStringLiteral("-1"));
    ListForm* w = OpenDrive(kT);
    Select(w, {"B", "B/deep"});
    answers = {folderops::kAnswerOk, folderops::kAnswerYes, folderops::kAnswerOk};
    Choose(PressFolderButton(w), QStringLiteral("P_DIR削除"));
    qputenv("XDG_DATA_HOME", previous);
    ASSERT_EQ(asked.size(), 3) << asked.join(u'\n').toStdString();
    EXPECT_TRUE(asked[1].contains(QStringLiteral("ごみ箱から復元できます")));
    EXPECT_TRUE(asked[2].contains(QString::fromUtf8(trash + "/files")));
    EXPECT_FALSE(Exists(t.native() + "/B"));
    EXPECT_EQ(testsupport::ReadAll(trash + "/files/B/deep/d.bin"), QByteArray(70000, 'd'));
    EXPECT_TRUE(Exists(trash + "/info/B.trashinfo"));
    ExpectSameAsNewScan(w, t);
    EXPECT_EQ(w->view()->grid().st.rowIcon[size_t(RowOf(w, "B"))], 14);
}

}  // namespace
