#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>
#include <functional>
#include <memory>

#include "common/TestSupport.h"
#include "common/WindowFixture.h"
#include "dialogs/InpBoxForm.h"
#include "dialogs/MsgText.h"
#include "grid/widget/GridView.h"
#include "listwindow/Artwork.h"
#include "listwindow/ListForm.h"
#include "listwindow/PictureWidget.h"
#include "platform/Beep.h"
#include "platform/DriveMap.h"
#include "platform/Fonts.h"
#include "scan/SizeFormat.h"
#include "settings/Context.h"
#include "settings/Settings.h"

using listwindow::ListForm;
using listwindow::Switch;
using testsupport::ReadAll;

namespace {

constexpr int kT = 'T' - 'A';

class ListFormTest : public windowtest::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        app::ProgramContext& c = application.context();
        c.WindowLeft = 300;
        c.WindowTop = 300;
        c.FirstWindow = true;
        drive.writeFile("b/one.bin", QByteArray(5000, 'x'));
        drive.writeFile("A/two.bin", QByteArray(100, 'y'));
        drive.writeFile("A/deep/three.bin", QByteArray(70000, 'z'));
        drive.makeDir("c");
    }

    // A window that shows drive T.
    static ListForm* OpenT() { return OpenDrive(kT); }
    static QString Label(ListForm* w, const char* name) {
        return w->findChild<QLabel*>(QLatin1String(name))->text();
    }
};

TEST_F(ListFormTest, FirstWindowLoadsWithCaptionOverviewAndControls) {
    ListForm* w = Open();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ディレクトリ毎サイズ一覧 Ver.6.0"));
    EXPECT_TRUE(w->list().OverviewShown);
    EXPECT_EQ(Label(w, "VOLDSP"), QStringLiteral("My Computer"));
    EXPECT_FALSE(app::Ctx().FirstWindow);
    for (const char* name : {"LSTGRD", "ITMBAR", "SCRLST", "SCRTIM", "BTNTIM", "TOLFRM", "LVLFRM",
                             "DSPFRM", "SRTFRM", "INFFRM", "DSTLST", "TOTDSP", "FREDSP", "USEDSP",
                             "SUMNAM", "SUMDSP", "DLSDSP", "MOVDSP", "DRVBTN", "DRVNAM"})
        EXPECT_NE(w->findChild<QObject*>(QLatin1String(name)), nullptr) << name;
    // One button for T, and the destination list holds an empty entry and "T:".
    EXPECT_EQ(w->ButtonCount(), 1);
    auto* dst = w->findChild<QComboBox*>(QStringLiteral("DSTLST"));
    ASSERT_EQ(dst->count(), 2);
    EXPECT_EQ(dst->itemText(0), QString());
    EXPECT_EQ(dst->itemText(1), QStringLiteral("T:"));
    // The overview row of T and its heading.
    EXPECT_EQ(w->view()->grid().st.headings[0], QStringLiteral("Drive名"));
    EXPECT_EQ(w->view()->grid().st.rowCount, 1);
}

TEST_F(ListFormTest, CalcFillsTheListAndColoursTheLabel) {
    ListForm* w = OpenT();
    const scan::DriveList& l = w->list();
    EXPECT_FALSE(l.OverviewShown);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Drive T:  フォルダー毎サイズ一覧"));
    // Root, A, A\deep, b, c and the total row, in name order.
    const grid::GridState& st = w->view()->grid().st;
    ASSERT_EQ(st.rowCount, 6);
    EXPECT_TRUE(grid::CellText(st, 0, 1).endsWith(QStringLiteral("A")));
    EXPECT_TRUE(grid::CellText(st, 0, 3).endsWith(QStringLiteral("b")));
    EXPECT_EQ(app::Ctx().WindowDrives.at(w->slot()), u'T');
    auto* name = w->findChild<QLabel*>(QStringLiteral("DRVNAM"));
    EXPECT_TRUE(name->styleSheet().contains(QStringLiteral("#0000FF")));
    EXPECT_TRUE(Label(w, "VOLDSP").startsWith(QStringLiteral("T:   ")));
    EXPECT_FALSE(Label(w, "TOTDSP").isEmpty());
    EXPECT_EQ(Label(w, "SUMNAM"), QStringLiteral("0個合計"));
}

TEST_F(ListFormTest, SlotsAreReusedAndTheNinthWindowIsTheLast) {
    ListForm* first = Open();
    std::vector<ListForm*> windows{first};
    for (int i = 1; i < 9; ++i) {
        const int slot = first->OpenSiblingWindow();
        EXPECT_EQ(slot, i);
        windows.push_back(ListForm::InSlot(slot));
    }
    EXPECT_EQ(app::Ctx().OpenWindows, 9);
    EXPECT_EQ(platform::BeepCount(), 0);
    EXPECT_EQ(first->OpenSiblingWindow(), first->slot());  // a tenth is refused
    EXPECT_EQ(platform::BeepCount(), 1);
    EXPECT_EQ(app::Ctx().OpenWindows, 9);
    // A closed window's slot is the first candidate again.
    windows[3]->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(app::Ctx().SlotInUse[3], 0);
    EXPECT_EQ(first->OpenSiblingWindow(), 3);
    // A sibling opens 40 pixels down and right of its opener.
    ListForm* sibling = ListForm::InSlot(3);
    EXPECT_EQ(sibling->pos(), first->pos() + QPoint(40, 40));
}

TEST_F(ListFormTest, OnlyTheLastWindowWritesTheWindowSettings) {
    ListForm* a = Open();
    ListForm* b = ListForm::InSlot(a->OpenSiblingWindow());
    b->SetMB(Switch::On);
    b->close();
    EXPECT_EQ(ReadAll(home.settingsFile()).contains("WIDTH"), false);
    a->close();
    const QByteArray settings = ReadAll(home.settingsFile());
    EXPECT_TRUE(settings.contains("WIDTH= "));
    EXPECT_TRUE(settings.contains("HEIGHT= "));
    EXPECT_TRUE(settings.contains("KB=OFF"));
    EXPECT_TRUE(settings.contains("MB=OFF"));  // a's own unit
    // a showed the overview: background type and name colouring stay as they were.
    EXPECT_FALSE(settings.contains("COLOR="));
    EXPECT_FALSE(settings.contains("BackColType="));
}

TEST_F(ListFormTest, LastWindowShowingADriveWritesItsDisplaySettings) {
    ListForm* w = OpenT();
    w->SetKB(Switch::On);
    w->SetNameColouring(Switch::Off);
    w->close();
    const QByteArray settings = ReadAll(home.settingsFile());
    EXPECT_TRUE(settings.contains("KB=ON"));
    EXPECT_TRUE(settings.contains("COLOR=OFF"));
    EXPECT_TRUE(settings.contains("BackColType= 2"));
}

TEST_F(ListFormTest, ResizingSnapsToTheMinimumSize) {
    ListForm* w = Open();
    w->resize(100, 100);
    QCoreApplication::processEvents();
    const int tpp = 15;
    EXPECT_EQ(w->width(), 8880 / tpp);
    EXPECT_EQ(w->height(), 4200 / tpp);
    // The grid takes the remaining area: wider window, wider name column.
    const int before = w->view()->grid().st.columnWidths[0];
    w->resize(900, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->view()->grid().st.columnWidths[0], before + 900 - 8880 / tpp);
    EXPECT_EQ(app::Ctx().WindowWidth, 900 * tpp);
}

TEST_F(ListFormTest, SizesPast32767TwipsAreStoredWhole) {
    // 2,400 x 2,200 pixels are 36,000 x 33,000 twips at 96 dpi.
    ListForm* w = Open();
    w->resize(2400, 2200);
    QCoreApplication::processEvents();
    ASSERT_EQ(w->size(), QSize(2400, 2200));
    w->close();
    const QByteArray settings = ReadAll(home.settingsFile());
    EXPECT_TRUE(settings.contains("WIDTH= 36000")) << settings.constData();
    EXPECT_TRUE(settings.contains("HEIGHT= 33000")) << settings.constData();
}

TEST_F(ListFormTest, CommandLineNamesTheDrive) {
    app::Ctx().CommandLine = QStringLiteral("T:");
    ListForm* w = Open();
    EXPECT_FALSE(w->list().OverviewShown);
    EXPECT_EQ(w->list().CurrentDrive, u'T');
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    app::Ctx().FirstWindow = true;
    app::Ctx().CommandLine = QStringLiteral("t:\\A");
    ListForm* v = Open();
    EXPECT_EQ(v->list().CurrentDrive, u'T');
    EXPECT_EQ(v->view()->grid().st.rowCount, 6);
}

TEST_F(ListFormTest, ClusterSizeMenuTogglesBackToTheEstimate) {
    ListForm* w = OpenT();
    const qint32 measured = w->list().ClusterSize;
    w->ClusterSizeItem(0, 4);
    EXPECT_EQ(app::GetOpt("ClusterFixedS", "").at(kT), u'4');
    if (w->list().DriveTotal >= 2 * scan::kGB) {
        EXPECT_EQ(w->list().ClusterSize, 8192);
    }
    w->ClusterSizeItem(0, 4);
    EXPECT_EQ(app::GetOpt("ClusterFixedS", "").at(kT), u'-');
    EXPECT_EQ(w->list().ClusterSize, measured);
}

TEST_F(ListFormTest, RemovableDriveRegistersItselfAboveTwoMegabytes) {
    app::Ctx().DriveTypes[kT] = 2;
    ListForm* w = Open();
    ASSERT_EQ(w->ButtonCount(), 1);
    w->Calc(0);
    ASSERT_GT(w->list().DriveTotal, 2097152);
    EXPECT_EQ(app::GetOpt("RemovableList", "").at(kT), u'1');
    // The menu item clears it again.
    w->RemovableItem(0);
    EXPECT_EQ(app::GetOpt("RemovableList", "").at(kT), u'0');
}

TEST_F(ListFormTest, LevelStripZones) {
    ListForm* w = OpenT();
    const int all = w->view()->grid().st.rowCount;
    w->LevelStripPress(82);  // the gap after the first button
    EXPECT_EQ(w->ShownLevel(), 0);
    w->LevelStripPress(60);
    EXPECT_EQ(w->ShownLevel(), 1);
    EXPECT_LT(w->view()->grid().st.rowCount, all);  // A\deep folded into A
    w->LevelStripPress(40);                         // the caption does nothing
    EXPECT_EQ(w->ShownLevel(), 1);
    w->LevelStripPress(160);
    EXPECT_EQ(w->ShownLevel(), 0);
    EXPECT_EQ(w->view()->grid().st.rowCount, all);
}

TEST_F(ListFormTest, NumericPadChoosesTheLevel) {
    ListForm* w = OpenT();
    QTest::keyClick(static_cast<QWidget*>(w->view()->scrollBar()), Qt::Key_1, Qt::KeypadModifier);
    EXPECT_EQ(w->ShownLevel(), 1);
    QTest::keyClick(static_cast<QWidget*>(w->view()->scrollBar()), Qt::Key_0, Qt::KeypadModifier);
    EXPECT_EQ(w->ShownLevel(), 0);
}

// The long-press timer BTNTIM, running since the press, fires now instead of in 600 ms.
void FireHeldTimer(ListForm* w) {
    auto* timer = w->findChild<QTimer*>(QStringLiteral("BTNTIM"));
    ASSERT_TRUE(timer->isActive());
    timer->stop();
    ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout"));
}

TEST_F(ListFormTest, LongPressOpensTheChooserWithoutSteppingTheType) {
    ListForm* w = OpenT();
    const int type = w->BackgroundType();
    w->DisplayStripPress(10);
    FireHeldTimer(w);
    EXPECT_TRUE(w->ChooserOpen());
    w->DisplayStripRelease(10);
    EXPECT_EQ(w->BackgroundType(), type);
    // A click on the chooser's cell (row 1, column 1) picks type 3 and closes it.
    w->ChooserClick(9 + 62 + 5, 8 + 49 + 5);
    EXPECT_EQ(w->BackgroundType(), 3);
    EXPECT_FALSE(w->ChooserOpen());
    // A short press steps the type.
    w->DisplayStripPress(10);
    w->DisplayStripRelease(10);
    EXPECT_EQ(w->BackgroundType(), 4);
    EXPECT_EQ(app::GetOptInt("BackColType", -1), 4);
}

TEST_F(ListFormTest, MbSwitchesKbOffAndRewritesTheSizes) {
    ListForm* w = OpenT();
    w->SetKB(Switch::On);
    EXPECT_EQ(w->list().UnitMode, 1);
    EXPECT_TRUE(grid::CellText(w->view()->grid().st, 2, 3).endsWith(QStringLiteral(" KB ")));
    w->SetMB(Switch::On);
    EXPECT_EQ(w->list().UnitMode, 2);
    EXPECT_TRUE(grid::CellText(w->view()->grid().st, 2, 3).endsWith(QStringLiteral(" MB ")));
    EXPECT_FALSE(w->findChild<listwindow::PictureWidget*>(QStringLiteral("D数KBIMG"))->isVisible());
    EXPECT_TRUE(w->findChild<listwindow::PictureWidget*>(QStringLiteral("D数MBIMG"))->isVisible());
    w->SetMB(Switch::Toggle);
    EXPECT_EQ(w->list().UnitMode, 0);
}

TEST_F(ListFormTest, SortSwitchesFullPathOnAndOffAndFullPathBeepsWhileSorted) {
    ListForm* w = OpenT();
    w->SetSort(0, Switch::On);
    EXPECT_EQ(w->list().SortKind, 1);
    EXPECT_TRUE(w->list().FullPath);
    platform::ResetBeepCount();
    w->SetFullPath(Switch::Off);
    EXPECT_EQ(platform::BeepCount(), 1);
    EXPECT_TRUE(w->list().FullPath);
    // The deepest folder shows its relative path while sorted.
    const grid::GridState& st = w->view()->grid().st;
    bool path = false;
    for (int r = 0; r < st.rowCount; ++r)
        path = path || grid::CellText(st, 0, r).contains(QStringLiteral("A\\deep"));
    EXPECT_TRUE(path);
    w->SetSort(0, Switch::Off);
    EXPECT_EQ(w->list().SortKind, 0);
    EXPECT_FALSE(w->list().FullPath);
    // Full path switched on before the sort stays on after it.
    w->SetFullPath(Switch::On);
    w->SetSort(1, Switch::On);
    w->SetSort(1, Switch::Off);
    EXPECT_TRUE(w->list().FullPath);
    // Paths the person asked for go again at a click on the lit image, without a beep.
    platform::ResetBeepCount();
    QTest::mouseClick(w->findChild<listwindow::PictureWidget*>(QStringLiteral("DフルパスIMG")),
                      Qt::LeftButton);
    EXPECT_FALSE(w->list().FullPath);
    EXPECT_EQ(platform::BeepCount(), 0);
    for (int r = 0; r < st.rowCount; ++r)
        EXPECT_FALSE(grid::CellText(st, 0, r).contains(QStringLiteral("A\\deep"))) << r;
}

}  // namespace

namespace {

TEST_F(ListFormTest, CtrlF4ClosesAndF6MovesToTheNextWindow) {
    ListForm* a = Open();
    platform::ResetBeepCount();
    QTest::keyClick(static_cast<QWidget*>(a->view()->scrollBar()), Qt::Key_F6);
    EXPECT_EQ(platform::BeepCount(), 1);  // the only window
    a->OpenSiblingWindow();
    QTest::keyClick(static_cast<QWidget*>(a->view()->scrollBar()), Qt::Key_F4);
    EXPECT_TRUE(a->isVisible());  // F4 alone does nothing
    QTest::keyClick(static_cast<QWidget*>(a->view()->scrollBar()), Qt::Key_F4, Qt::ControlModifier);
    EXPECT_FALSE(a->isVisible());
    EXPECT_EQ(app::Ctx().OpenWindows, 1);
}

}  // namespace

namespace {

// Runs input from inside the fill's own event turn once the scan has read atRow folders.
void AtTheFillsEventTurn(ListForm* w, int atRow, std::function<void()> input) {
    auto turn = w->list().ProcessEvents;
    auto sent = std::make_shared<bool>(false);
    w->list().ProcessEvents = [w, atRow, input, turn, sent] {
        if (!*sent && w->list().RowCount >= atRow) {
            *sent = true;
            input();
        }
        turn();
    };
}

TEST_F(ListFormTest, ClosingDuringTheScanEndsItAtOnce) {
    for (int i = 0; i < 400; ++i) drive.makeDir("many/d" + QByteArray::number(i));
    ListForm* w = Open();
    QPointer<ListForm> alive(w);
    AtTheFillsEventTurn(w, 128, [w] { w->close(); });
    w->Calc(w->ButtonOfDrive(kT));
    ASSERT_TRUE(alive);  // still there while its scan returns
    EXPECT_TRUE(w->list().StopFlag);
    EXPECT_EQ(w->list().ListRowCount, 0);  // no total row: the list was not finished
    EXPECT_GE(w->list().RowCount, 128);
    EXPECT_LT(w->list().RowCount, 400);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(alive);
    EXPECT_EQ(app::Ctx().OpenWindows, 0);
}

// Keys and clicks that arrive while a drive is listed are refused with a beep; the list
// comes out whole, and the same input works once the window is free.
TEST_F(ListFormTest, InputDuringTheFillIsRefusedAndTheListComesOutWhole) {
    for (int i = 0; i < 400; ++i) drive.makeDir("many/d" + QByteArray::number(i));
    testsupport::TempDrive other(u'U');
    other.writeFile("x/y.bin", "123");
    app::Ctx().DriveTypes['U' - 'A'] = 3;
    QLabel* uLabel = nullptr;
    struct Case {
        const char* name;
        std::function<void(ListForm*)> send;
    };
    const Case cases[] = {
        {"Ctrl+U", [](ListForm* w) { QTest::keyClick(w, Qt::Key_U, Qt::ControlModifier); }},
        {"click on U", [&](ListForm*) { QTest::mouseClick(uLabel, Qt::LeftButton); }},
        {"Alt+K", [](ListForm* w) { QTest::keyClick(w, Qt::Key_K, Qt::AltModifier); }},
        {"Alt+S", [](ListForm* w) { QTest::keyClick(w, Qt::Key_S, Qt::AltModifier); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListForm* w = Open();
        for (QLabel* l : w->findChildren<QLabel*>(QStringLiteral("DRVNAM")))
            if (l->text() == QStringLiteral("U")) uLabel = l;
        ASSERT_NE(uLabel, nullptr);
        platform::ResetBeepCount();
        QString titleWhileListing;
        AtTheFillsEventTurn(w, 128, [w, &c, &titleWhileListing] {
            titleWhileListing = w->windowTitle();
            c.send(w);
        });
        w->Calc(w->ButtonOfDrive(kT));
        EXPECT_EQ(titleWhileListing, QStringLiteral("Drive T:  フォルダー毎サイズ一覧"));
        EXPECT_GE(platform::BeepCount(), 1);
        const grid::GridState& st = w->view()->grid().st;
        EXPECT_EQ(w->list().ListRowCount, st.rowCount);
        EXPECT_GT(st.rowCount, 400);
        EXPECT_TRUE(grid::CellText(st, 0, st.rowCount - 1)
                        .startsWith(QString::number(st.rowCount - 1)));  // the total row
        EXPECT_FALSE(Label(w, "TOTDSP").isEmpty());
        EXPECT_EQ(app::Ctx().WindowDrives.at(w->slot()), u'T');
        EXPECT_EQ(w->list().CurrentDrive, u'T');
        EXPECT_EQ(w->list().UnitMode, 0);
        EXPECT_EQ(w->list().SortKind, 0);
        int inKb = 0, withPath = 0;
        for (int r = 0; r < st.rowCount; ++r) {
            inKb += grid::CellText(st, 2, r).endsWith(QStringLiteral(" KB "));
            // The root row alone reads "T:\\".
            withPath += r > 0 && grid::CellText(st, 0, r).contains(u'\\');
        }
        EXPECT_EQ(inKb, 0);
        EXPECT_EQ(withPath, 0);
        EXPECT_EQ(st.selectedCount, 0);
        // Free again: the window takes the same kind of command.
        platform::ResetBeepCount();
        QTest::keyClick(w, Qt::Key_K, Qt::AltModifier);
        EXPECT_EQ(w->list().UnitMode, 1);
        EXPECT_EQ(platform::BeepCount(), 0);
        QTest::keyClick(w, Qt::Key_K, Qt::AltModifier);  // the next case starts in bytes
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app::Ctx().FirstWindow = true;
    }
}

}  // namespace

namespace {

int RowNamed(const grid::GridState& st, const QString& name) {
    for (int r = 0; r < st.rowCount; ++r)
        if (grid::CellText(st, 0, r).trimmed() == name) return r;
    return -1;
}

// The tool tip the list shows with the pointer over a cell of the row whose name starts with
// name; empty when none shows.
QString TipAt(ListForm* w, const QString& name, int column) {
    const grid::GridState& st = w->view()->grid().st;
    int row = -1;
    for (int r = 0; r < st.rowCount && row < 0; ++r)
        if (grid::CellText(st, 0, r).trimmed().startsWith(name)) row = r;
    EXPECT_GE(row, 0) << name.toStdString();
    QWidget* surface = w->view()->gridWidget();
    const QPoint at(st.textRight[size_t(column) + 1] - 3,
                    (row - st.topRow) * st.rowHeight + st.rowHeight / 2);
    QHelpEvent tip(QEvent::ToolTip, at, surface->mapToGlobal(at));
    QApplication::sendEvent(surface, &tip);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST_F(ListFormTest, ANameCutOffShowsWholeInItsToolTip) {
    const QString longName =
        QStringLiteral("とても長い名前のフォルダー-far-too-long-for-the-name-column-of-the-list");
    drive.writeFile("A/" + longName.toUtf8() + "/f.bin", "x");
    ListForm* w = OpenT();
    w->ChooseLevel(0);
    const struct {
        QString name;
        int column;
        QString tip;
    } cases[] = {
        {QStringLiteral("b"), 0, {}},  // fits: no tip
        {longName, 2, {}},             // a figure is never cut
        {longName, 0, longName},       // last: a tip once shown fades only after a while
    };
    for (const auto& c : cases) EXPECT_EQ(TipAt(w, c.name, c.column), c.tip) << c.column;

    // The drive overview: the drive's label, here the long path of its folder.
    const QByteArray folder = drive.native() + "/A/" + longName.toUtf8();
    platform::Drives().set(kT, folder);
    w->ShowOverview();
    const QString tip = TipAt(w, QStringLiteral("T:"), 0);
    EXPECT_TRUE(tip.contains(longName)) << tip.toStdString();
    // The tab between letter and label is laid out, never shown as a control code.
    EXPECT_TRUE(tip.startsWith(QStringLiteral("T:   ("))) << tip.toStdString();
}

TEST_F(ListFormTest, ClickLeftOfAFolderOpensAndClosesItsSubRows) {
    ListForm* w = OpenT();
    w->ChooseLevel(1);
    const grid::GridState& st = w->view()->grid().st;
    const int rows = st.rowCount;
    const int a = RowNamed(st, QStringLiteral("A"));
    ASSERT_GE(a, 0);
    QWidget* surface = w->view()->gridWidget();
    const QPoint left(2, a * st.rowHeight + st.rowHeight / 2);
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, left);
    EXPECT_EQ(st.rowCount, rows + 1);
    EXPECT_GE(RowNamed(st, QStringLiteral("deep")), 0);
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, left);
    EXPECT_EQ(st.rowCount, rows);
    // Choosing the shown level again after a hand expansion rebuilds the rows.
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, left);
    w->ChooseLevel(1);
    EXPECT_EQ(st.rowCount, rows);
}

TEST_F(ListFormTest, ADriveShownElsewhereIsBroughtForward) {
    testsupport::TempDrive other(u'U');
    other.writeFile("x/y.bin", "123");
    app::Ctx().DriveTypes['U' - 'A'] = 3;
    ListForm* a = Open();
    a->Calc(a->ButtonOfDrive(kT));
    ListForm* b = ListForm::InSlot(a->OpenSiblingWindow());
    ASSERT_NE(b, a);
    b->Calc(b->ButtonOfDrive('U' - 'A'));
    const int windows = app::Ctx().OpenWindows;
    // Pressing T in the window that shows U finds T in the first window.
    auto buttons = b->findChildren<listwindow::PictureWidget*>(QStringLiteral("DRVBTN"));
    listwindow::PictureWidget* tButton = nullptr;
    for (auto* p : buttons)
        if (p->property("index").toInt() == b->ButtonOfDrive(kT)) tButton = p;
    ASSERT_NE(tButton, nullptr);
    QTest::mouseClick(tButton, Qt::LeftButton);
    EXPECT_EQ(app::Ctx().OpenWindows, windows);
    EXPECT_EQ(b->list().CurrentDrive, u'U');
}

TEST_F(ListFormTest, APressOnADrivesOverviewRowListsIt) {
    ListForm* w = Open();
    ASSERT_TRUE(w->list().OverviewShown);
    const grid::GridState& st = w->view()->grid().st;
    QTest::mouseClick(w->view()->gridWidget(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(40, st.rowHeight / 2));
    EXPECT_FALSE(w->list().OverviewShown);
    EXPECT_EQ(w->list().CurrentDrive, w->ButtonLetter(0));
}

}  // namespace

namespace {

TEST_F(ListFormTest, SelectingRowsShowsTheirTotalsAndTheDestinationEstimate) {
    testsupport::TempDrive other(u'U');
    app::Ctx().DriveTypes['U' - 'A'] = 3;
    ListForm* w = OpenT();
    const grid::GridState& st = w->view()->grid().st;
    const int a = RowNamed(st, QStringLiteral("A"));
    ASSERT_GE(a, 0);
    QTest::mouseClick(w->view()->gridWidget(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(120, a * st.rowHeight + st.rowHeight / 2));
    EXPECT_EQ(Label(w, "SUMNAM"), QStringLiteral("1個合計"));
    const qint64 shown = w->list().Folders.ShownAlloc[size_t(w->list().Folders.Order[size_t(a)])];
    EXPECT_EQ(Label(w, "SUMDSP"), scan::PlainSize(shown, 0));
    // The listed drive itself as destination: no estimate; another drive: its free space less
    // what the copy needs.
    auto* dst = w->findChild<QComboBox*>(QStringLiteral("DSTLST"));
    dst->setCurrentText(QStringLiteral("T:"));
    EXPECT_EQ(Label(w, "MOVDSP"), QString());
    dst->setCurrentText(QStringLiteral("U:"));
    EXPECT_FALSE(Label(w, "MOVDSP").isEmpty());
}

}  // namespace

namespace {

TEST_F(ListFormTest, AHandEditedSettingsFileCannotMakeTheListUnreadable) {
    testsupport::WriteAll(home.settingsFile(),
                          "[Options]\nFontSize1=abc\nFontSize2=-3\nKeiDispV=-5\nKeiDispH=1000\n"
                          "BackColType=77\nWIDTH=-100\n");
    ListForm* w = OpenT();
    const grid::Grid& g = w->view()->grid();
    EXPECT_EQ(g.st.vRuleWidth, 1);
    EXPECT_EQ(g.st.hRuleWidth, 0);
    EXPECT_EQ(w->BackgroundType(), 5);
    EXPECT_GT(g.st.rowHeight, 8);
    EXPECT_LT(g.st.rowHeight, 40);
    EXPECT_GT(g.st.visibleRows, 3);
    EXPECT_GT(g.st.columnWidths[0], 40);
}

}  // namespace

namespace {

QWidget* KeyTarget(ListForm* w) {
    return w->view()->scrollBar();
}

TEST_F(ListFormTest, CtrlLetterListsTheDriveAndAltLettersSwitchTheDisplay) {
    ListForm* w = Open();
    QTest::keyClick(KeyTarget(w), Qt::Key_U, Qt::ControlModifier);  // no button for U
    EXPECT_TRUE(w->list().OverviewShown);
    QTest::keyClick(KeyTarget(w), Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(w->list().OverviewShown);
    EXPECT_EQ(w->list().CurrentDrive, u'T');

    const int type = w->BackgroundType();
    QTest::keyClick(KeyTarget(w), Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(w->BackgroundType(), (type + 1) % 6);
    const bool colouring = w->NameColouring();
    QTest::keyClick(KeyTarget(w), Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(w->NameColouring(), !colouring);
    QTest::keyClick(KeyTarget(w), Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(w->list().UnitMode, 1);
    QTest::keyClick(KeyTarget(w), Qt::Key_M, Qt::AltModifier);
    EXPECT_EQ(w->list().UnitMode, 2);
    QTest::keyClick(KeyTarget(w), Qt::Key_M, Qt::AltModifier);
    EXPECT_EQ(w->list().UnitMode, 0);
    QTest::keyClick(KeyTarget(w), Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(w->list().FullPath);
    QTest::keyClick(KeyTarget(w), Qt::Key_F, Qt::AltModifier);
    EXPECT_FALSE(w->list().FullPath);
    QTest::keyClick(KeyTarget(w), Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(w->list().SortKind, 1);
    QTest::keyClick(KeyTarget(w), Qt::Key_X, Qt::AltModifier);
    EXPECT_EQ(w->list().SortKind, 2);
    QTest::keyClick(KeyTarget(w), Qt::Key_X, Qt::AltModifier);
    EXPECT_EQ(w->list().SortKind, 0);
    // Without Alt the letters do nothing.
    QTest::keyClick(KeyTarget(w), Qt::Key_S);
    EXPECT_EQ(w->list().SortKind, 0);

    // Alt released before the letter: the command still runs on the letter's release.
    QTest::keyPress(KeyTarget(w), Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(w->list().UnitMode, 0);  // key-up commands
    QTest::keyRelease(KeyTarget(w), Qt::Key_K, Qt::NoModifier);
    EXPECT_EQ(w->list().UnitMode, 1);

    const int windows = app::Ctx().OpenWindows;
    QTest::keyClick(KeyTarget(w), Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(app::Ctx().OpenWindows, windows + 1);
}

// GB beside KB and MB: Alt+G, its strip button and its lit image, exclusive with the others,
// one decimal as MB, and stored as they are.
TEST_F(ListFormTest, GbIsAUnitOfTheStripTheKeysAndTheSettings) {
    // 3.5 GB of files in "c".
    ASSERT_TRUE(testsupport::MakeSparseFiles(drive.native() + "/c", 1, 7 * (qint64(1) << 29)));
    ListForm* w = OpenT();
    const grid::GridState& st = w->view()->grid().st;
    auto lit = [w](const char* name) {
        return w->findChild<listwindow::PictureWidget*>(QString::fromUtf8(name))->isVisible();
    };
    auto centre = [](listwindow::DisplayButton b) {
        return listwindow::DisplayZone(b).center().x();
    };
    QTest::keyClick(Focused(w), Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(w->list().UnitMode, scan::kUnitGB);
    EXPECT_EQ(grid::CellText(st, 2, RowNamed(st, QStringLiteral("c"))).trimmed(), "3.5 GB");
    EXPECT_TRUE(Label(w, "TOTDSP").endsWith(QStringLiteral(" GB ")));
    EXPECT_TRUE(lit("D数GBIMG"));

    struct Step {
        const char* what;
        std::function<void()> act;
        int unit;
    };
    const Step steps[] = {
        {"KB button", [&] { w->DisplayStripPress(centre(listwindow::DisplayButton::Kb)); }, 1},
        {"GB button", [&] { w->DisplayStripPress(centre(listwindow::DisplayButton::Gb)); }, 3},
        {"Alt+M", [&] { QTest::keyClick(Focused(w), Qt::Key_M, Qt::AltModifier); }, 2},
        {"Alt+G", [&] { QTest::keyClick(Focused(w), Qt::Key_G, Qt::AltModifier); }, 3},
        {"lit GB image",
         [&] {
             QTest::mouseClick(w->findChild<QWidget*>(QStringLiteral("D数GBIMG")), Qt::LeftButton);
         },
         0},
        {"Alt+G again", [&] { QTest::keyClick(Focused(w), Qt::Key_G, Qt::AltModifier); }, 3},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(w->list().UnitMode, s.unit);
        EXPECT_EQ(lit("D数KBIMG"), s.unit == 1);
        EXPECT_EQ(lit("D数MBIMG"), s.unit == 2);
        EXPECT_EQ(lit("D数GBIMG"), s.unit == 3);
    }
    w->close();
    const QByteArray stored = ReadAll(home.settingsFile());
    for (const char* line : {"KB=OFF", "MB=OFF", "GB=ON"})
        EXPECT_TRUE(stored.contains(line)) << line;
    CloseWindows();

    // What a settings file says comes back; an older file without GB still reads.
    const struct {
        const char* options;
        int unit;
    } files[] = {{"", 0},        {"KB=ON\n", 1},        {"MB=ON\n", 2},
                 {"GB=ON\n", 3}, {"KB=ON\nMB=ON\n", 2}, {"MB=ON\nGB=ON\n", 3},
                 {"gb=on\n", 3}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.options);
        testsupport::WriteAll(home.settingsFile(), QByteArray("[Options]\n") + f.options);
        ListForm* v = OpenT();
        EXPECT_EQ(v->list().UnitMode, f.unit);
        CloseWindows();
    }
}

TEST_F(ListFormTest, EscClosesTheChooserAndPutsOutThePressedBackgroundButton) {
    ListForm* w = OpenT();
    const int type = w->BackgroundType();
    w->DisplayStripPress(10);
    FireHeldTimer(w);
    ASSERT_TRUE(w->ChooserOpen());
    QTest::keyClick(KeyTarget(w), Qt::Key_Escape);
    EXPECT_FALSE(w->ChooserOpen());
    // A press cut short by Esc neither opens the chooser later nor steps the type.
    w->DisplayStripPress(10);
    QTest::keyClick(KeyTarget(w), Qt::Key_Escape);
    EXPECT_FALSE(
        w->findChild<listwindow::PictureWidget*>(QStringLiteral("D背景色IMG"))->isVisible());
    EXPECT_FALSE(w->findChild<QTimer*>(QStringLiteral("BTNTIM"))->isActive());
    EXPECT_FALSE(w->ChooserOpen());
    w->DisplayStripRelease(10);
    EXPECT_EQ(w->BackgroundType(), type);
}

TEST_F(ListFormTest, F6GoesToTheFirstWindowAfterThisSlotThenWrapsToTheStart) {
    ListForm* first = Open();
    for (int i = 1; i <= 5; ++i) first->OpenSiblingWindow();
    for (int s : {1, 3, 4}) ListForm::InSlot(s)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ListForm* two = ListForm::InSlot(2);
    ListForm* five = ListForm::InSlot(5);
    ASSERT_TRUE(two && five);

    QTest::keyClick(KeyTarget(two), Qt::Key_F6);
    EXPECT_TRUE(QTest::qWaitForWindowActive(five, 1000));
    QTest::keyClick(KeyTarget(five), Qt::Key_F6);
    EXPECT_TRUE(QTest::qWaitForWindowActive(first, 1000));
    EXPECT_EQ(platform::BeepCount(), 0);
}

listwindow::PictureWidget* Picture(ListForm* w, const QString& name) {
    return w->findChild<listwindow::PictureWidget*>(name);
}

TEST_F(ListFormTest, ToolbarActsOnlyWhenReleasedOverThePressedButton) {
    ListForm* w = Open();
    listwindow::PictureWidget* bar = Picture(w, QStringLiteral("TOLFRM"));
    listwindow::PictureWidget* pressedLook = Picture(w, QStringLiteral("TNEWIMG"));
    const int windows = app::Ctx().OpenWindows;

    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    EXPECT_TRUE(pressedLook->isVisible());
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(40, 60));  // over button 4
    EXPECT_FALSE(pressedLook->isVisible());
    EXPECT_EQ(app::Ctx().OpenWindows, windows);
    for (const char* name : {"TTXTIMG", "TPRTIMG", "TFILIMG", "TOPTIMG"})
        EXPECT_FALSE(Picture(w, QLatin1String(name))->isVisible()) << name;

    // A right click on the new-window button opens no window (it asks for a find text).
    QTimer::singleShot(0, [] {
        if (dialogs::InputBoxWindow()) dialogs::InputBoxWindow()->close();
    });
    QTest::mouseClick(bar, Qt::RightButton, Qt::NoModifier, QPoint(20, 10));
    EXPECT_EQ(app::Ctx().OpenWindows, windows);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    EXPECT_EQ(app::Ctx().OpenWindows, windows + 1);
    EXPECT_FALSE(pressedLook->isVisible());
}

QMenu* Menu(ListForm* w, const char* name) {
    return w->findChild<QMenu*>(QLatin1String(name));
}

TEST_F(ListFormTest, DriveButtonMenusByDriveType) {
    testsupport::TempDrive cd(u'U');
    testsupport::TempDrive removable(u'V');
    app::Ctx().DriveTypes['U' - 'A'] = 5;
    app::Ctx().DriveTypes['V' - 'A'] = 2;
    ListForm* w = Open();
    auto rightClick = [w](int letter) {
        for (auto* b : w->findChildren<listwindow::PictureWidget*>(QStringLiteral("DRVBTN"))) {
            if (b->property("index").toInt() == w->ButtonOfDrive(letter))
                QTest::mouseClick(b, Qt::RightButton);
        }
    };
    QMenu* clusters = Menu(w, "POP_DRVBTN");
    QMenu* removables = Menu(w, "POP_REMBTN");
    ASSERT_TRUE(clusters && removables);

    rightClick('U' - 'A');  // a CD drive has no menu
    EXPECT_FALSE(clusters->isVisible());
    EXPECT_FALSE(removables->isVisible());

    w->ClusterSizeItem(w->ButtonOfDrive(kT), 4);
    rightClick(kT);
    EXPECT_TRUE(clusters->isVisible());
    for (QAction* a : clusters->actions()) {
        if (a->objectName() == QStringLiteral("P_サイズ")) {
            EXPECT_EQ(a->isChecked(), a->property("index").toInt() == 4) << a->text().toStdString();
        }
    }
    QTest::keyClick(clusters, Qt::Key_Escape);  // the menu keeps its own keys
    EXPECT_FALSE(clusters->isVisible());

    rightClick('V' - 'A');
    EXPECT_TRUE(removables->isVisible());
    EXPECT_FALSE(w->findChild<QAction*>(QStringLiteral("P_RMV"))->isChecked());
    removables->hide();
}

TEST_F(ListFormTest, AWindowOpensWholeOnTheScreenWhereverItWasRemembered) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    enum Corner { AsRemembered, BottomRight, TopLeft };
    const struct {
        int left, top;  // twips, as remembered
        Corner corner;
    } cases[] = {
        {300, 300, AsRemembered},
        {30000, 20000, BottomRight},
        {-6000, -3000, TopLeft},
    };
    for (const auto& c : cases) {
        app::Ctx().WindowLeft = c.left;
        app::Ctx().WindowTop = c.top;
        ListForm* w = Open();
        const QRect frame = w->frameGeometry();
        EXPECT_TRUE(screen.contains(frame)) << c.left;
        const bool bottomRight = c.corner == BottomRight;
        const QPoint expected = c.corner == AsRemembered ? QPoint(20, 20)
                                : bottomRight            ? screen.bottomRight()
                                                         : screen.topLeft();
        EXPECT_EQ(bottomRight ? frame.bottomRight() : frame.topLeft(), expected) << c.left;
        CloseWindows();
    }
    // Each new window opens 40 pixels lower right than its opener, never past the edge.
    app::Ctx().WindowLeft = 300;
    app::Ctx().WindowTop = 300;
    ListForm* w = Open();
    for (int i = 0; i < 8; ++i) {
        w = ListForm::InSlot(w->OpenSiblingWindow());
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(screen.contains(w->frameGeometry())) << i << " " << w->frameGeometry().x();
    }
}

TEST_F(ListFormTest, AMaximisedLastWindowKeepsTheLastNormalGeometry) {
    testsupport::WriteAll(home.settingsFile(), "[Options]\nPositionX=1234\nPositionY=567\n");
    ListForm* w = Open();
    w->resize(800, 500);
    QCoreApplication::processEvents();
    ASSERT_EQ(app::Ctx().WindowWidth, 800 * 15);
    w->showMaximized();
    QCoreApplication::processEvents();
    if (w->size() == QSize(800, 500)) GTEST_SKIP() << "the platform does not maximise";
    w->close();
    const QByteArray settings = ReadAll(home.settingsFile());
    EXPECT_TRUE(settings.contains("PositionX=1234")) << settings.constData();
    EXPECT_TRUE(settings.contains("PositionY=567"));
    EXPECT_TRUE(settings.contains("WIDTH= 12000")) << settings.constData();
    EXPECT_TRUE(settings.contains("HEIGHT= 7500"));
}

}  // namespace

namespace {

TEST_F(ListFormTest, ClosingTheLastWindowAnswersAWaitingMessageBoxWithCancel) {
    ListForm* w = Open();
    QTimer::singleShot(0, w, [w] { w->close(); });
    // Should the box be left waiting, answer OK after a while so the test ends.
    QTimer::singleShot(3000, [] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* ok = top->findChild<QPushButton*>(QStringLiteral("OKBTN"))) ok->click();
        }
    });
    EXPECT_EQ(w->MsgBoxEx(QStringLiteral("読めないフォルダー"), 0), dialogs::kAnswerCancel);
    EXPECT_EQ(app::Ctx().OpenWindows, 0);
}

}  // namespace

namespace {

TEST_F(ListFormTest, RefillingASortedListKeepsItSorted) {
    ListForm* w = OpenT();
    w->SetSort(0, Switch::On);
    w->Calc(w->ButtonOfDrive(kT));  // the same drive again, as after a cluster-size choice
    const grid::GridState& st = w->view()->grid().st;
    const scan::FolderTable& t = w->list().Folders;
    EXPECT_EQ(w->list().SortKind, 1);
    for (int r = 1; r + 1 < st.rowCount; ++r)
        EXPECT_GE(t.ShownAlloc[size_t(t.Order[size_t(r - 1)])],
                  t.ShownAlloc[size_t(t.Order[size_t(r)])])
            << r;
    EXPECT_GE(RowNamed(st, QStringLiteral("A\\deep")), 0);
}

}  // namespace

namespace {

TEST_F(ListFormTest, TheListTakesTheKeysWhetherOrNotItsScrollBarShows) {
    ListForm* w = OpenT();  // six rows: every row fits, the scroll bar is hidden
    ASSERT_FALSE(w->view()->scrollBar()->isVisible());
    QWidget* focus = Focused(w);
    ASSERT_EQ(focus, w->view()->gridWidget());
    auto* dst = w->findChild<QComboBox*>(QStringLiteral("DSTLST"));
    const int destination = dst->currentIndex();
    QTest::keyClick(focus, Qt::Key_Down);
    EXPECT_EQ(dst->currentIndex(), destination);
    QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
    const grid::GridState& st = w->view()->grid().st;
    EXPECT_EQ(st.selectedCount, st.rowCount - 1);
    EXPECT_EQ(Label(w, "SUMNAM"), QStringLiteral("%1個合計").arg(st.rowCount - 1));
    // Esc clears the selection and its figures.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(st.selectedCount, 0);
    EXPECT_EQ(Label(w, "SUMNAM"), QStringLiteral("0個合計"));
    // A destination chosen with the keys gives the focus back to the list.
    dst->setFocus();
    QTest::keyClick(dst, Qt::Key_Down);
    EXPECT_NE(dst->currentIndex(), destination);
    EXPECT_EQ(QApplication::focusWidget(), w->view()->gridWidget());
    // The drive overview takes the keys too.
    ListForm* overview = ListForm::InSlot(w->OpenSiblingWindow());
    app::Ctx().FirstWindow = false;
    overview->ShowOverview();
    EXPECT_EQ(Focused(overview), overview->view()->gridWidget());
}

TEST_F(ListFormTest, TheWheelScrollsThreeRowsANotch) {
    for (int i = 0; i < 60; ++i) drive.makeDir("w/d" + QByteArray::number(i));
    ListForm* w = OpenT();
    const grid::GridState& st = w->view()->grid().st;
    ASSERT_GT(st.rowCount, st.visibleRows + 6);
    QWidget* surface = w->view()->gridWidget();
    auto wheel = [surface](int angle) {
        const QPointF at(20, 20);
        QWheelEvent e(at, surface->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(surface, &e);
    };
    wheel(-120);
    EXPECT_EQ(st.topRow, 3);
    EXPECT_EQ(w->view()->scrollBar()->value(), 3);
    wheel(-60);  // half a notch waits for the other half
    EXPECT_EQ(st.topRow, 3);
    wheel(-60);
    EXPECT_EQ(st.topRow, 6);
    wheel(240);
    EXPECT_EQ(st.topRow, 0);
}

class StandardStyleTest : public ListFormTest {
  protected:
    void SetUp() override {
        ListFormTest::SetUp();
        testsupport::WriteAll(home.settingsFile(), "[Options]\nSelTypeWin=-1\n");
    }
};

// Shift with End or Page Down stops short of the total row, as Down and Ctrl+A do, so the
// grid's count and the window's figures agree.
TEST_F(StandardStyleTest, RangeKeysLeaveTheTotalRowOut) {
    for (int i = 0; i < 40; ++i) drive.makeDir("w/d" + QByteArray::number(i));
    const Qt::Key keys[] = {Qt::Key_End, Qt::Key_PageDown};
    for (Qt::Key key : keys) {
        ListForm* w = OpenT();
        const grid::GridState& st = w->view()->grid().st;
        QWidget* focus = Focused(w);
        ASSERT_EQ(focus, w->view()->gridWidget());
        // End reaches the last row at once, Page Down after a few pages.
        for (int i = 0; i < (key == Qt::Key_End ? 1 : 8); ++i)
            QTest::keyClick(focus, key, Qt::ShiftModifier);
        EXPECT_EQ(st.cursorRow, st.rowCount - 1);
        EXPECT_FALSE(st.selected(st.rowCount - 1));
        EXPECT_EQ(st.selectedCount, st.rowCount - 1);
        EXPECT_EQ(w->list().SelCount, st.selectedCount);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(StandardStyleTest, APressOnTheLastPixelColumnSelectsTheLastColumn) {
    // With the scroll bar shown the surface reaches a pixel past the last column's limit.
    for (int i = 0; i < 40; ++i) drive.makeDir("w/d" + QByteArray::number(i));
    ListForm* w = OpenT();
    ASSERT_TRUE(w->view()->scrollBar()->isVisible());
    const grid::GridState& st = w->view()->grid().st;
    QWidget* surface = w->view()->gridWidget();
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier,
                      QPoint(surface->width() - 1, st.rowHeight + st.rowHeight / 2));
    EXPECT_EQ(st.cursorColumn, st.columnCount - 1);
    EXPECT_EQ(st.cursorRow, 1);
}

}  // namespace

namespace {

// The distinct colours painted in one cell of a visible row.
QSet<grid::Colour> Ink(grid::Grid& g, int column, int row) {
    const grid::GridState& st = g.st;
    QSet<grid::Colour> ink;
    const int top = (row - st.topRow) * st.rowHeight;
    for (int y = top; y < top + st.rowHeight; ++y)
        for (int x = st.columnLeft[size_t(column)]; x < st.textRight[size_t(column + 1)]; ++x)
            ink.insert(g.surface.pixel(x, y));
    return ink;
}

TEST_F(ListFormTest, TheTreeIsDrawnAtTheWindowsIndentStepInTheLevelColours) {
    drive.makeDir("HHH");  // upright strokes: some pixels take the text colour whole
    ListForm* w = OpenT();
    grid::Grid& g = w->view()->grid();
    const grid::GridState& st = g.st;
    EXPECT_EQ(st.indentStep, 16);
    const int a = RowNamed(st, QStringLiteral("A"));
    const int deep = RowNamed(st, QStringLiteral("deep"));
    ASSERT_GE(a, 0);
    ASSERT_EQ(deep, a + 1);
    // A's expand box lies whole inside the first column: grey frame, white inside, and a
    // minus since its sub-row shows.
    const int u = st.rowIndent[a];
    const int m = (a - st.topRow) * st.rowHeight + (st.rowHeight - st.hRuleWidth) / 2;
    for (int x : {u - 15, u - 7}) EXPECT_EQ(g.surface.pixel(x, m + 2), 0x808080u) << x;
    EXPECT_GE(u - 15, 0);
    EXPECT_EQ(g.surface.pixel(u - 14, m - 3), 0xFFFFFFu);
    EXPECT_EQ(g.surface.pixel(u - 11, m), 0x808080u);      // the minus bar
    EXPECT_EQ(g.surface.pixel(u - 11, m - 2), 0xFFFFFFu);  // no plus
    // deep's connector comes down from under A's icon.
    const int v = st.rowIndent[deep] - 11;
    EXPECT_GE(v, st.rowIndent[a]);
    EXPECT_LT(v, st.rowIndent[a] + st.iconWidth[0]);
    // Each level's name in its colour: root, first and second level.
    EXPECT_TRUE(Ink(g, 0, 0).contains(0x202020));
    EXPECT_TRUE(Ink(g, 0, RowNamed(st, QStringLiteral("HHH"))).contains(0xF04020));
    EXPECT_TRUE(Ink(g, 0, deep).contains(0x008000));
}

TEST_F(ListFormTest, AWindowOpenedWithFullPathsAndColoursColoursTheNamesByGroup) {
    testsupport::WriteAll(home.settingsFile(), "[Options]\nFULL=ON\nCOLOR=ON\n");
    drive.makeDir("HHH/lll");
    ListForm* w = OpenT();
    grid::Grid& g = w->view()->grid();
    EXPECT_EQ(g.st.textColourMode, 1);
    EXPECT_EQ(g.st.treeLines, 0);
    // A folder and its sub-folder share their group's colour, not the plain text colour.
    const int top = RowNamed(g.st, QStringLiteral("HHH"));
    const int sub = RowNamed(g.st, QStringLiteral("HHH\\lll"));
    ASSERT_GE(top, 0);
    ASSERT_GE(sub, 0);
    const grid::Colour group = g.st.levelTextColours[g.st.rowLevel[size_t(top)] & 15];
    EXPECT_NE(group, 0x202020u);
    EXPECT_EQ(g.st.rowLevel[size_t(sub)], g.st.rowLevel[size_t(top)]);
    EXPECT_TRUE(Ink(g, 0, top).contains(group));
    EXPECT_TRUE(Ink(g, 0, sub).contains(group));
}

// A display switch repaints the whole surface, the strip under the last row included.
TEST_F(ListFormTest, DisplaySwitchesLeaveNothingOfTheOldLook) {
    const Qt::Key keys[] = {Qt::Key_L, Qt::Key_C, Qt::Key_K};
    ListForm* w = OpenT();
    grid::Grid& g = w->view()->grid();
    QWidget* focus = Focused(w);
    constexpr grid::Colour kStain = 0xFF00FF;
    for (Qt::Key key : keys) {
        g.surface.fillBox(0, 0, g.surface.width() - 1, g.surface.height() - 1, kStain);
        QTest::keyClick(focus, key, Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), focus) << key;
        int stained = 0;
        for (int y = 0; y < g.surface.height(); ++y)
            for (int x = 0; x < g.surface.width(); ++x) stained += g.surface.pixel(x, y) == kStain;
        EXPECT_EQ(stained, 0) << key;
    }
}

// Rows that fit after a level change or a collapse: the scroll bar goes and the surface
// takes its width, so the last column shows its figures whole.
TEST_F(ListFormTest, RowsThatFitGiveTheSurfaceTheWholeWidth) {
    for (int i = 0; i < 60; ++i) drive.makeDir("w/d" + QByteArray::number(i));
    ListForm* w = OpenT();
    grid::Grid& g = w->view()->grid();
    const int full = g.st.gridWidth / g.tppX;
    auto check = [&](const char* what) {
        ASSERT_LE(g.st.rowCount, g.st.visibleRows) << what;
        EXPECT_FALSE(w->view()->scrollBar()->isVisible()) << what;
        EXPECT_EQ(g.surface.width(), full) << what;
        EXPECT_EQ(w->view()->gridWidget()->width(), full) << what;
        EXPECT_EQ(g.st.textRight[5], full) << what;
    };
    ASSERT_TRUE(w->view()->scrollBar()->isVisible());
    QTest::keyClick(Focused(w), Qt::Key_1, Qt::KeypadModifier);
    check("level 1");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_0, Qt::KeypadModifier);
    ASSERT_TRUE(w->view()->scrollBar()->isVisible());
    const int row = RowNamed(g.st, QStringLiteral("w"));
    ASSERT_GE(row, 0);
    grid::ShowRow(g, row, 0);
    QTest::mouseClick(w->view()->gridWidget(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(2, g.st.rowHeight / 2));
    check("collapsed");
}

TEST_F(ListFormTest, BothFontSizesShowAndEveryColumnStaysUnderItsHeading) {
    auto rowHeight = [this](const char* settings) {
        testsupport::WriteAll(home.settingsFile(), settings);
        ListForm* w = OpenT();
        const int h = w->view()->grid().st.rowHeight;
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app::Ctx().FirstWindow = true;
        return h;
    };
    const int small = rowHeight("[Options]\nFontSize1=9\nFontSize2=9\n");
    EXPECT_GT(rowHeight("[Options]\nFontSize1=20\nFontSize2=9\n"), small);
    EXPECT_GT(rowHeight("[Options]\nFontSize1=9\nFontSize2=20\n"), small);

    testsupport::WriteAll(home.settingsFile(), "[Options]\nFontSize2=24\n");
    ListForm* w = OpenT();
    w->resize(100, 100);  // the minimum width
    QCoreApplication::processEvents();
    const grid::Grid& g = w->view()->grid();
    for (int c = 1; c < 5; ++c) {
        EXPECT_GT(g.st.columnLeft[size_t(c)], g.st.columnLeft[size_t(c - 1)]) << c;
        EXPECT_LT(g.st.columnLeft[size_t(c)] + 40, g.header.width()) << c;
    }
    EXPECT_LE(g.st.textRight[5], g.surface.width());
    EXPECT_GT(g.st.textRight[5], g.st.columnLeft[4] + 40);
}

TEST_F(ListFormTest, ADeepTreeStaysInTheFirstColumn) {
    QByteArray path = "z";
    for (int i = 0; i < 34; ++i) path += "/z";
    drive.makeDir(path);
    testsupport::WriteAll(home.settingsFile(), "[Options]\nCOLOR=OFF\n");  // black names
    ListForm* w = OpenT();
    grid::Grid& g = w->view()->grid();
    const grid::GridState& st = g.st;
    // Row by row down the list, so that each row is painted on its own.
    for (int step = 0; step <= st.rowCount; ++step) {
        for (int y = 0; y < g.surface.height(); ++y) {
            for (int x = st.textRight[1] + 1; x < st.textRight[1] + 6; ++x) {
                const grid::Colour c = g.surface.pixel(x, y);
                ASSERT_NE(c, st.treeLineColour) << "x " << x << " y " << y << " top " << st.topRow;
                ASSERT_NE(c, 0x808080u) << "x " << x << " y " << y << " top " << st.topRow;
            }
        }
        grid::ScrollRows(g, 1);
    }
    // The deepest folder still shows its name in the first column.
    grid::ShowRow(g, st.rowCount - 2, 0);
    bool inked = false;
    for (grid::Colour c : Ink(g, 0, st.rowCount - 2)) {
        const QRgb rgb = grid::ToRgb(c);
        inked = inked || (qRed(rgb) < 0x70 && qGreen(rgb) < 0x70 && qBlue(rgb) < 0x70);
    }
    EXPECT_TRUE(inked);
}

TEST_F(ListFormTest, FiguresAndTheVolumeLineShowWhole) {
    ListForm* w = OpenT();
    w->resize(100, 100);  // the minimum width
    QCoreApplication::processEvents();
    auto* strip = w->findChild<QFrame*>(QStringLiteral("INFFRM"));
    EXPECT_LE(strip->geometry().right(), w->width());
    std::vector<QRect> fields;
    for (const char* name : {"SUMNAM", "SUMDSP", "DLSCAP", "DLSDSP", "DSTCAP", "DSTLST", "MOVDSP"})
        fields.push_back(strip->findChild<QWidget*>(QLatin1String(name))->geometry());
    for (size_t i = 0; i < fields.size(); ++i) {
        EXPECT_LE(fields[i].right(), strip->width()) << i;
        for (size_t j = 0; j < i; ++j) EXPECT_FALSE(fields[i].intersects(fields[j])) << i << j;
    }
    for (const char* name : {"SUMDSP", "DLSDSP", "MOVDSP"}) {
        auto* l = strip->findChild<QLabel*>(QLatin1String(name));
        EXPECT_GE(l->width(),
                  QFontMetrics(l->font()).horizontalAdvance(QStringLiteral("5,497,578,078,208")))
            << name;
    }
    // A long label is cut with an ellipsis and shown whole in the tool tip.
    const QString longLine = QStringLiteral("T:   ") + QString(300, u'長');
    w->list().VOLDSP = longLine;
    QTest::keyClick(Focused(w), Qt::Key_K, Qt::AltModifier);  // the figures are shown again
    auto* vol = w->findChild<QLabel*>(QStringLiteral("VOLDSP"));
    EXPECT_TRUE(vol->text().contains(u'…'));
    EXPECT_LE(QFontMetrics(vol->font()).horizontalAdvance(vol->text()), vol->width());
    EXPECT_EQ(vol->toolTip(), longLine);
    // The heading bar is drawn in the window's own face, and the strips name their keys.
    EXPECT_EQ(w->view()->grid().header.font().family(),
              platform::ResolveFontFamily(app::Ctx().DefaultFontName));
    auto* dsp = w->findChild<listwindow::PictureWidget*>(QStringLiteral("DSPFRM"));
    QMouseEvent move(QEvent::MouseMove, QPointF(95, 10), dsp->mapToGlobal(QPointF(95, 10)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(dsp, &move);
    EXPECT_TRUE(dsp->toolTip().contains(QStringLiteral("Alt+K")));
}

TEST_F(ListFormTest, TheMinimumSizeHoldsWithoutAWindowManager) {
    ListForm* w = Open();
    w->resize(800, 500);
    QCoreApplication::processEvents();
    w->windowHandle()->resize(300, 200);  // as a bare X server would take it
    QCoreApplication::processEvents();
    EXPECT_GE(w->width(), w->minimumWidth());
    EXPECT_GE(w->height(), w->minimumHeight());
    EXPECT_GE(app::Ctx().WindowWidth, w->minimumWidth() * 15);
    EXPECT_GE(app::Ctx().WindowHeight, w->minimumHeight() * 15);
}

// The cursor shows in both selection styles as a frame, in colours no size mark uses, and
// follows Home and End.
TEST_F(ListFormTest, TheCursorShowsInBothStyles) {
    for (const char* settings : {"[Options]\nSelTypeWin=0\n", "[Options]\nSelTypeWin=-1\n"}) {
        SCOPED_TRACE(settings);
        testsupport::WriteAll(home.settingsFile(), settings);
        ListForm* w = OpenT();
        grid::Grid& g = w->view()->grid();
        const grid::GridState& st = g.st;
        auto framed = [&](int row) {
            const int top = (row - st.topRow) * st.rowHeight;
            return g.surface.pixel(st.columnLeft[0], top) == st.cursorFrameColour &&
                   g.surface.pixel(st.textRight[1] - 1, top + 2) == st.cursorFrameColour;
        };
        for (quint32 c : listwindow::kSizeMarkColours) {
            EXPECT_NE(st.cursorFrameColour, c);
            EXPECT_NE(st.cursorBackColour, c);
        }
        QWidget* focus = Focused(w);
        EXPECT_TRUE(framed(0));
        QTest::keyClick(focus, Qt::Key_End);
        EXPECT_EQ(st.cursorRow, st.rowCount - 1);
        EXPECT_TRUE(framed(st.rowCount - 1));
        EXPECT_FALSE(framed(0));
        QTest::keyClick(focus, Qt::Key_Home);
        EXPECT_TRUE(framed(0));
        EXPECT_FALSE(framed(st.rowCount - 1));
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app::Ctx().FirstWindow = true;
    }
}

// After a level change or the end of a sort the cursor stays on its folder, or on its
// nearest shown ancestor; a fresh sort opens at the top.
TEST_F(ListFormTest, TheCursorKeepsItsFolderThroughLevelsAndSorts) {
    for (int i = 0; i < 40; ++i) drive.makeDir("w/d" + QByteArray::number(i));
    ListForm* w = OpenT();
    const grid::GridState& st = w->view()->grid().st;
    const scan::FolderTable& t = w->list().Folders;
    QWidget* focus = Focused(w);
    QTest::keyClick(focus, Qt::Key_D);  // type-ahead: "deep"
    ASSERT_EQ(st.cursorRow, RowNamed(st, QStringLiteral("deep")));
    QTest::keyClick(focus, Qt::Key_1, Qt::KeypadModifier);
    EXPECT_EQ(st.cursorRow, RowNamed(st, QStringLiteral("A")));
    const int folder = t.Order[size_t(st.cursorRow)];
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_0, Qt::KeypadModifier);
    EXPECT_EQ(t.Order[size_t(st.cursorRow)], folder);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(st.cursorRow, 0);
    EXPECT_EQ(st.topRow, 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    const int sortedFolder = t.Order[size_t(st.cursorRow)];
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(w->list().SortKind, 0);
    EXPECT_EQ(t.Order[size_t(st.cursorRow)], sortedFolder);
}

}  // namespace

namespace {

// Wherever the keys and the wheel take the cursor, its frame shows in its cell alone.
TEST_F(StandardStyleTest, TheCursorLeavesNoSliversBehind) {
    for (int i = 0; i < 60; ++i) drive.makeDir("w/d" + QByteArray::number(i));
    ListForm* w = OpenT();
    grid::Grid& g = w->view()->grid();
    const grid::GridState& st = g.st;
    QWidget* focus = Focused(w);
    auto strayFramePixels = [&] {
        const int top = (st.cursorRow - st.topRow) * st.rowHeight;
        const QRect cell(
            st.columnLeft[size_t(st.cursorColumn)], top,
            st.textRight[size_t(st.cursorColumn + 1)] - st.columnLeft[size_t(st.cursorColumn)],
            st.rowHeight);
        const QImage& image = g.surface.image();
        const QRgb frame = grid::ToRgb(st.cursorFrameColour);
        int stray = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                stray += image.pixel(x, y) == frame && !cell.contains(x, y);
        return stray;
    };
    const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
        {Qt::Key_Down, Qt::NoModifier},   {Qt::Key_PageDown, Qt::NoModifier},
        {Qt::Key_Right, Qt::NoModifier},  {Qt::Key_Down, Qt::ShiftModifier},
        {Qt::Key_PageUp, Qt::NoModifier}, {Qt::Key_Up, Qt::AltModifier},
        {Qt::Key_End, Qt::NoModifier},    {Qt::Key_Home, Qt::ShiftModifier},
        {Qt::Key_Left, Qt::NoModifier},   {Qt::Key_D, Qt::NoModifier}};
    for (int round = 0; round < 2; ++round) {
        for (const auto& [key, mods] : keys) {
            for (int i = 0; i < 5; ++i) {
                QTest::keyClick(focus, key, mods);
                ASSERT_EQ(strayFramePixels(), 0) << key << " round " << round << " i " << i;
            }
        }
        grid::ScrollRows(g, 4);
        grid::ScrollRows(g, -9);
    }
}

}  // namespace
