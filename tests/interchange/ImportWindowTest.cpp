// An exported scan opened in the window: its rows, and folder operations refused.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "ImportFixture.h"
#include "common/WindowFixture.h"
#include "dialogs/DialogForm.h"
#include "dialogs/MessageBox.h"
#include "grid/widget/GridView.h"
#include "listwindow/ListForm.h"
#include "listwindow/PictureWidget.h"
#include "listwindow/RunWindows.h"
#include "platform/Beep.h"
#include "platform/StdMessage.h"
#include "scan/ImportDrives.h"
#include "settings/Startup.h"

using listwindow::ListForm;

namespace {

bool Exists(const QByteArray& native) {
    struct stat st {};
    return ::lstat(native.constData(), &st) == 0;
}

class ImportWindowTest : public windowtest::WindowTest {
  protected:
    ImportWindowTest() : WindowTest({9000, {'T', 'U'}, true}) {}
    void SetUp() override {
        WindowTest::SetUp();
        application.context().AppFolderNative = home.native();
        // The export names a folder that exists here: nothing may touch it.
        t.writeFile("A/a.bin", QByteArray(5000, 'a'));
        t.writeFile("B/deep/d.bin", QByteArray(70000, 'd'));
        exportFile = home.native() + "/scan.json";
        testsupport::WriteAll(
            exportFile,
            "[1,2,{\"progname\":\"test\"},[{\"name\":\"" + t.native() +
                "\"},[{\"name\":\"A\"},{\"name\":\"a.bin\",\"asize\":5000,\"dsize\":8192}],"
                "[{\"name\":\"B\"},[{\"name\":\"deep\",\"dsize\":4096},"
                "{\"name\":\"d.bin\",\"asize\":70000,\"dsize\":73728}]]]]");
        dialogs::CommonDialogHooks hooks;
        hooks.openFile = [this](const dialogs::OpenFileRequest&) {
            dialogs::SaveFileAnswer a;
            a.outcome = dialogs::SaveFileAnswer::Outcome::Chosen;
            a.fileName = QFile::decodeName(exportFile);
            return a;
        };
        answerDialogs(hooks);
    }
    // Alt+I as a person types it.
    static void TypeAltI(ListForm* w) {
        QTest::keyPress(w->view()->gridWidget(), Qt::Key_I, Qt::AltModifier);
        QTest::keyRelease(w->view()->gridWidget(), Qt::Key_I, Qt::AltModifier);
    }

    testsupport::TempDrive& t = drive;
    testsupport::TempDrive u{u'U'};
    QByteArray exportFile;
};

TEST_F(ImportWindowTest, AltIOpensTheExportAsAReadOnlyDrive) {
    auto* w = new ListForm();
    w->LoadShow();
    const int buttons = w->ButtonCount();
    TypeAltI(w);
    ASSERT_EQ(w->ButtonCount(), buttons + 1);
    const QChar letter = w->ButtonLetter(buttons);
    EXPECT_NE(scan::ImportedDriveOf(QString(letter)), nullptr);
    const scan::DriveList& l = w->list();
    EXPECT_FALSE(l.OverviewShown);
    EXPECT_EQ(l.CurrentDrive, letter);
    ASSERT_EQ(l.ListRowCount, 5);  // root, A, B, deep and the total
    EXPECT_EQ(l.FileTotal, 2);
    EXPECT_EQ(l.Folders.AllocSize[3], 4096 + 73728);  // the folder's dsize and d.bin's
    auto* volume = w->findChild<QLabel*>(QStringLiteral("VOLDSP"));
    ASSERT_NE(volume, nullptr);
    EXPECT_TRUE(volume->text().contains("scan.json")) << volume->text().toStdString();
    EXPECT_TRUE(volume->text().contains("読み取り専用"));
    // An imported drive is no destination.
    auto* destinations = w->findChild<QComboBox*>(QStringLiteral("DSTLST"));
    ASSERT_NE(destinations, nullptr);
    EXPECT_EQ(destinations->findText(QString(letter) + u':'), -1);
    // Units, levels and sorting work on it as on any list.
    w->SetMB(listwindow::Switch::On);
    EXPECT_EQ(l.UnitMode, 2);
    w->ChooseLevel(1);
    EXPECT_EQ(w->view()->grid().st.rowCount, 4);
    EXPECT_TRUE(asked.isEmpty()) << asked.join('|').toStdString();
    // The drive overview names it without reading any drive for it.
    platform::ResetBeepCount();
    w->ShowOverview();
    EXPECT_EQ(platform::BeepCount(), 0);
    const grid::GridState& st = w->view()->grid().st;
    int named = 0;
    for (int r = 0; r < st.rowCount; ++r)
        if (st.rowText[size_t(r)].startsWith(QString(letter) + u':'))
            named += st.rowText[size_t(r)].contains("scan.json");
    EXPECT_EQ(named, 1);
}

TEST_F(ImportWindowTest, DeleteCopyAndMoveRefuseBeforeAnythingHappens) {
    auto* w = new ListForm();
    w->LoadShow();
    w->ImportScan();
    ASSERT_EQ(w->list().ListRowCount, 5);
    const grid::GridState& st = w->view()->grid().st;
    for (void (ListForm::*op)() :
         {&ListForm::DeleteFolders, &ListForm::CopyFolders, &ListForm::MoveFolders}) {
        asked.clear();
        QTest::keyClick(w->view()->gridWidget(), Qt::Key_Escape);
        QTest::mouseClick(w->view()->gridWidget(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(120, 1 * st.rowHeight + st.rowHeight / 2));
        ASSERT_EQ(st.selectedCount, 1);
        // Nothing can be deleted here and the free space is not known.
        EXPECT_EQ(w->list().DLSDSP, QStringLiteral("不明"));
        (w->*op)();
        ASSERT_EQ(asked.size(), 1);
        EXPECT_TRUE(asked[0].contains("読み取り専用")) << asked[0].toStdString();
        EXPECT_TRUE(asked[0].contains("scan.json"));
    }
    EXPECT_TRUE(Exists(t.native() + "/A/a.bin"));
    EXPECT_TRUE(Exists(t.native() + "/B/deep/d.bin"));
    EXPECT_FALSE(Exists(u.native() + "/A"));
    EXPECT_EQ(w->list().ListRowCount, 5);
}

TEST_F(ImportWindowTest, AnExportNamedOnTheCommandLineOpensAsADrive) {
    app::Hooks hooks = application.hooks();
    hooks.commandLineResolver = listwindow::InstallImports();
    application.setHooks(std::move(hooks));
    // Sniffed: an export becomes a drive, a folder stays a folder, other files name nothing.
    const QString drive = app::CommandLineDrive(QFile::decodeName(exportFile));
    ASSERT_EQ(drive.size(), 3);
    EXPECT_NE(scan::ImportedDriveOf(drive), nullptr);
    EXPECT_EQ(app::CommandLineDrive(QFile::decodeName(exportFile)), drive);  // the same letter
    EXPECT_EQ(scan::ImportedDriveOf(app::CommandLineDrive(QFile::decodeName(t.native() + "/A"))),
              nullptr);
    EXPECT_TRUE(app::CommandLineDrive(QFile::decodeName(t.native() + "/A/a.bin")).isEmpty());
    app::Ctx().CommandLine = drive.left(2);
    auto* w = new ListForm();
    w->LoadShow();
    EXPECT_EQ(w->list().CurrentDrive, drive.at(0));
    EXPECT_EQ(w->list().ListRowCount, 5);
}

TEST_F(ImportWindowTest, ABadFileIsAMessageAndAnEmptyList) {
    testsupport::WriteAll(exportFile, "[1,2,{},[{\"name\":\"/x\"},{\"name\":\"a/b\"}]]");
    auto* w = new ListForm();
    w->LoadShow();
    w->ImportScan();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("バイト目")) << asked[0].toStdString();
    EXPECT_EQ(w->list().ListRowCount, 0);
    EXPECT_EQ(w->view()->grid().st.rowCount, 0);
    // The file put right, choosing the drive again reads it again.
    testsupport::WriteAll(exportFile, "[1,2,{},[{\"name\":\"/x\"},{\"name\":\"f\",\"asize\":1}]]");
    w->Calc(w->ButtonCount() - 1);
    EXPECT_EQ(w->list().ListRowCount, 2);
    EXPECT_EQ(w->list().FileTotal, 1);
}

TEST_F(ImportWindowTest, TheDriveMenusOpenAScanAndAnImportedDriveHasNoClusterMenu) {
    auto* w = new ListForm();
    w->LoadShow();
    auto rightClick = [w](int button) {
        for (auto* b : w->findChildren<listwindow::PictureWidget*>(QStringLiteral("DRVBTN")))
            if (b->property("index").toInt() == button) QTest::mouseClick(b, Qt::RightButton);
    };
    auto* clusters = w->findChild<QMenu*>(QStringLiteral("POP_DRVBTN"));
    auto* imports = w->findChild<QMenu*>(QStringLiteral("POP_IMPORT"));
    auto* open = w->findChild<QAction*>(QStringLiteral("P_IMPORT"));
    ASSERT_TRUE(clusters && imports && open);
    EXPECT_TRUE(clusters->actions().contains(open));
    // A fixed drive's menu offers it; choosing it opens the scan as a drive.
    rightClick(w->ButtonOfDrive('T' - 'A'));
    ASSERT_TRUE(clusters->isVisible());
    const int buttons = w->ButtonCount();
    clusters->hide();
    open->trigger();
    ASSERT_EQ(w->ButtonCount(), buttons + 1);
    EXPECT_EQ(w->list().ListRowCount, 5);
    // The imported drive's own menu has no cluster sizes, only the way to open another scan.
    rightClick(buttons);
    EXPECT_FALSE(clusters->isVisible());
    EXPECT_TRUE(imports->isVisible());
    imports->hide();
}

}  // namespace
