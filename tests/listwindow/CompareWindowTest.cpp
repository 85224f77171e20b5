// 比較 through the window as a person uses it: list, change the tree, list again, Alt+D and
// a kept listing chosen with the keys; the comparison saved, guarded and left.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>

#include "common/ListFixture.h"
#include "common/TestSupport.h"
#include "common/WindowFixture.h"
#include "dialogs/DialogForm.h"
#include "grid/widget/GridView.h"
#include "interchange/SnapshotStore.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"
#include "scan/Compare.h"
#include "scan/ImportDrives.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"

using listwindow::ListForm;

namespace {

constexpr int kT = 'T' - 'A';

class CompareWindowTest : public windowtest::WindowTest {
  protected:
    CompareWindowTest() : WindowTest({9000, {'T'}, true}) {}
    void SetUp() override {
        WindowTest::SetUp();
        useDialogsAndAppFolder();
        drive.writeFile("keep/a", QByteArray(1000, 'k'));
        drive.writeFile("grow/g", QByteArray(100, 'g'));
        drive.writeFile("gone/x", QByteArray(500, 'x'));
    }

    // Lists T, then (a second later, so the kept listings differ) changes the tree and lists
    // it again with F5.
    ListForm* ListChangeAndListAgain() {
        ListForm* w = OpenDrive(kT);
        PassSeconds(1);
        changeTree();
        QTest::keyClick(Focused(w), Qt::Key_F5);
        return w;
    }
    void changeTree() {
        drive.writeFile("grow/g", QByteArray(50000, 'g'));
        EXPECT_TRUE(QDir(QFile::decodeName(drive.native() + "/gone")).removeRecursively());
        drive.writeFile("新しい/n", QByteArray(7000, 'n'));
    }
    // Lists T and puts its kept listing aside as a file that the open dialog answers with,
    // then changes the tree and lists it again with F5: no second has to pass between the two
    // listings.
    ListForm* ListKeepAsideAndListAgain() {
        ListForm* w = OpenDrive(kT);
        const std::vector<interchange::SnapshotInfo> kept =
            interchange::ListSnapshots(drive.native());
        EXPECT_EQ(kept.size(), 1u);
        const QByteArray first = home.native() + "/first.snap";
        if (!kept.empty()) testsupport::WriteAll(first, testsupport::ReadAll(kept[0].file));
        dialogs::CommonDialogHooks hooks;
        hooks.openFile = [first](const dialogs::OpenFileRequest&) {
            return dialogs::SaveFileAnswer{
                dialogs::SaveFileAnswer::Outcome::Chosen, QFile::decodeName(first), {}};
        };
        answerDialogs(hooks);
        changeTree();
        QTest::keyClick(Focused(w), Qt::Key_F5);
        return w;
    }
    // Alt+D, then エクスポートされたスキャンと比較… chosen with Return.
    void CompareWithFile(ListForm* w) {
        QTest::keyClick(Focused(w), Qt::Key_D, Qt::AltModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr) << "Alt+D opens the choice of earlier scans";
        for (QAction* a : menu->actions())
            if (a->objectName() == QStringLiteral("P_CMP_FILE")) menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
    }
    // Alt+D, then the first kept listing chosen with Down and Return.
    void CompareWithEarliest(ListForm* w) {
        QTest::keyClick(Focused(w), Qt::Key_D, Qt::AltModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr) << "Alt+D opens the choice of earlier scans";
        EXPECT_EQ(menu->objectName(), QStringLiteral("POP_COMPARE"));
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    }
    static int RowNamed(ListForm* w, const QString& text) {
        const scan::DriveList& l = w->list();
        for (int r = 0; r < l.RowCount; ++r)
            if (scan::RowName(l, r) == text) return r;
        return -1;
    }
};

TEST_F(CompareWindowTest, AltDShowsWhatChangedSavesItGuardsTheDiskAndLeavesTheListAsItWas) {
    ListForm* w = ListChangeAndListAgain();
    const QStringList listed = testsupport::RowTexts(w->list());
    CompareWithEarliest(w);
    const scan::DriveList& l = w->list();
    ASSERT_TRUE(scan::Comparing(l));
    EXPECT_EQ(w->view()->grid().st.headings[3], QStringLiteral("±占有サイズ"));
    const int gone = RowNamed(w, QStringLiteral("gone  （消失）"));
    const int added = RowNamed(w, QStringLiteral("新しい  （新規）"));
    const int grown = RowNamed(w, QStringLiteral("grow"));
    ASSERT_GE(gone, 0);
    ASSERT_GE(added, 0);
    ASSERT_GE(grown, 0);
    EXPECT_EQ(scan::ShownFigures(l, gone).bytes, -500);
    EXPECT_EQ(scan::ShownFigures(l, added).bytes, 7000);
    EXPECT_EQ(scan::ShownFigures(l, grown).bytes, 49900);
    EXPECT_EQ(scan::ShownFigures(l, RowNamed(w, QStringLiteral("keep"))).subtree, 0);

    // Saved, the CSV carries the change columns and each folder's state.
    drive.makeDir("out");
    const QByteArray csv = drive.native() + "/out/changes.CSV";
    dialogs::CommonDialogHooks hooks;
    hooks.saveFile = [csv](const dialogs::SaveFileRequest&) {
        return dialogs::SaveFileAnswer{
            dialogs::SaveFileAnswer::Outcome::Chosen, QFile::decodeName(csv), {}};
    };
    answerDialogs(hooks);
    QTest::keyClick(Focused(w), Qt::Key_W, Qt::AltModifier);
    const QString saved = QString::fromUtf8(testsupport::ReadAll(csv));
    EXPECT_TRUE(saved.startsWith(QStringLiteral("\"フォルダ名\",\"±ﾌｧｲﾙ数\"")))
        << saved.toStdString();
    EXPECT_TRUE(saved.contains(QStringLiteral("\"gone\",\"-1\",")) &&
                saved.contains(QStringLiteral(",\"消失\"")))
        << saved.toStdString();

    // Nothing that acts on the disk runs on a list that holds gone folders.
    asked.clear();
    QWidget* surface = w->view()->gridWidget();
    const grid::GridState& st = w->view()->grid().st;
    const QPoint onGrown(120, (grown - st.topRow) * st.rowHeight + st.rowHeight / 2);
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, onGrown);
    // The selection sums changes: no room freed or needed is claimed for them.
    EXPECT_EQ(l.SUMDSP,
              QStringLiteral("+") + scan::GroupDigits(scan::ShownFigures(l, grown).alloc));
    EXPECT_TRUE(l.DLSDSP.isEmpty() && l.MOVDSP.isEmpty());
    QTest::keyClick(Focused(w), Qt::Key_F5, Qt::ShiftModifier);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("比較の表示中はできません")))
        << asked[0].toStdString();
    EXPECT_TRUE(scan::Comparing(l));

    // Alt+D again: the listing as it was, headings and rows.
    QTest::keyClick(Focused(w), Qt::Key_D, Qt::AltModifier);
    EXPECT_FALSE(scan::Comparing(l));
    EXPECT_EQ(w->view()->grid().st.headings[3], QStringLiteral("占有サイズ"));
    EXPECT_EQ(testsupport::RowTexts(l), listed);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(CompareWindowTest, ADamagedKeptListingIsRefusedWithAMessageAndTheListStays) {
    ListForm* w = OpenDrive(kT);
    const std::vector<interchange::SnapshotInfo> kept =
        interchange::ListSnapshots(w->list().Folders.RootNative);
    ASSERT_EQ(kept.size(), 1u);
    QByteArray bytes = testsupport::ReadAll(kept[0].file);
    bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x20);
    testsupport::WriteAll(kept[0].file, bytes);
    PassSeconds(1);
    QTest::keyClick(Focused(w), Qt::Key_F5);
    const QStringList listed = testsupport::RowTexts(w->list());
    asked.clear();
    CompareWithEarliest(w);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("壊れています"))) << asked[0].toStdString();
    EXPECT_FALSE(scan::Comparing(w->list()));
    EXPECT_EQ(testsupport::RowTexts(w->list()), listed);
}

TEST_F(CompareWindowTest, AnExportChosenInTheDialogIsComparedByPath) {
    // An ncdu-style export of an earlier state: keep as it is now, old since removed.
    const QByteArray file = drive.native() + "/app/earlier.json";
    testsupport::WriteAll(file,
                          "[1,0,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1},"
                          "[{\"name\":\"/anywhere\"},"
                          "[{\"name\":\"keep\"},{\"name\":\"a\",\"asize\":1000,\"dsize\":4096}],"
                          "[{\"name\":\"old\"},{\"name\":\"o\",\"asize\":70,\"dsize\":4096}]]]");
    dialogs::CommonDialogHooks hooks;
    hooks.openFile = [file](const dialogs::OpenFileRequest&) {
        return dialogs::SaveFileAnswer{
            dialogs::SaveFileAnswer::Outcome::Chosen, QFile::decodeName(file), {}};
    };
    answerDialogs(hooks);
    ListForm* w = OpenDrive(kT);
    // No earlier listing yet: the first item to choose is the export.
    CompareWithEarliest(w);
    const scan::DriveList& l = w->list();
    ASSERT_TRUE(scan::Comparing(l)) << asked.join(u'\n').toStdString();
    EXPECT_EQ(scan::ShownFigures(l, RowNamed(w, QStringLiteral("keep"))).bytes, 0);
    EXPECT_EQ(scan::ShownFigures(l, RowNamed(w, QStringLiteral("old  （消失）"))).bytes, -70);
    EXPECT_EQ(scan::ShownFigures(l, RowNamed(w, QStringLiteral("grow  （新規）"))).bytes, 100);
    EXPECT_TRUE(l.VOLDSP.contains(QStringLiteral("earlier.json"))) << l.VOLDSP.toStdString();
}

TEST_F(CompareWindowTest, ASortChosenWhileComparingEndsWithItAndTheSelectionComesBack) {
    ListForm* w = ListKeepAsideAndListAgain();
    const scan::DriveList& l = w->list();
    const grid::GridState& st = w->view()->grid().st;
    QTest::mouseClick(w->view()->gridWidget(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(120, (RowNamed(w, QStringLiteral("keep")) - st.topRow) * st.rowHeight +
                                      st.rowHeight / 2));
    ASSERT_EQ(st.selectedCount, 1);
    const QStringList listed = testsupport::RowTexts(l);
    CompareWithFile(w);
    ASSERT_TRUE(scan::Comparing(l));
    // The selection goes along, on the same folder.
    EXPECT_EQ(st.selectedCount, 1);
    EXPECT_TRUE(st.selected(RowNamed(w, QStringLiteral("keep"))));
    QTest::keyClick(Focused(w), Qt::Key_X, Qt::AltModifier);
    ASSERT_EQ(l.SortKind, 2);
    ASSERT_TRUE(l.FullPath);

    QTest::keyClick(Focused(w), Qt::Key_D, Qt::AltModifier);
    ASSERT_FALSE(scan::Comparing(l));
    EXPECT_EQ(l.SortKind, 0);
    EXPECT_FALSE(l.FullPath);
    EXPECT_EQ(st.sortMark, 0);
    EXPECT_EQ(testsupport::RowTexts(l), listed);
    EXPECT_EQ(st.selectedCount, 1);
    EXPECT_TRUE(st.selected(RowNamed(w, QStringLiteral("keep"))));
}

TEST_F(CompareWindowTest, OnlyTheChangedFoldersByKeyOrMenuWhileComparing) {
    ListForm* w = ListKeepAsideAndListAgain();
    const scan::DriveList& l = w->list();
    const QStringList listed = testsupport::RowTexts(l);
    // Not comparing: nothing to filter.
    platform::ResetBeepCount();
    QTest::keyClick(Focused(w), Qt::Key_D, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(platform::BeepCount(), 1);
    EXPECT_EQ(testsupport::RowTexts(l), listed);

    CompareWithFile(w);
    ASSERT_TRUE(scan::Comparing(l));
    const QStringList all = testsupport::RowTexts(l);
    // Every folder here lies right below the root: one that did not change shows only zeros.
    QStringList changed;
    for (qsizetype r = 0; r < all.size(); ++r)
        if (r == 0 || r + 1 == all.size() ||
            !QRegularExpression(QStringLiteral("^[^|（]*\\|0\\|0\\|0\\|0\\|$"))
                 .match(all[r])
                 .hasMatch())
            changed << all[r];
    ASSERT_GE(RowNamed(w, QStringLiteral("keep")), 0);
    ASSERT_LT(changed.size(), all.size());

    QTest::keyClick(Focused(w), Qt::Key_D, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_TRUE(scan::ChangedOnly(l));
    EXPECT_EQ(testsupport::RowTexts(l), changed);
    EXPECT_EQ(RowNamed(w, QStringLiteral("keep")), -1);
    QTest::keyClick(Focused(w), Qt::Key_D, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_FALSE(scan::ChangedOnly(l));
    EXPECT_EQ(testsupport::RowTexts(l), all);

    // The same as a checkable item of the comparison's menu, the second after 比較をやめる.
    auto* menu = w->findChild<QMenu*>(QStringLiteral("POP_COMPARE"));
    ASSERT_NE(menu, nullptr);
    auto item = [menu]() -> QAction* {
        for (QAction* a : menu->actions())
            if (a->objectName() == QStringLiteral("P_CMP_CHANGED")) return a;
        return nullptr;
    };
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "on" : "off");
        menu->popup(w->mapToGlobal(QPoint(40, 40)));
        ASSERT_EQ(QApplication::activePopupWidget(), menu);
        ASSERT_NE(item(), nullptr);
        EXPECT_TRUE(item()->isCheckable());
        EXPECT_EQ(item()->isChecked(), !on);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        EXPECT_EQ(scan::ChangedOnly(l), on);
        EXPECT_EQ(testsupport::RowTexts(l), on ? changed : all);
    }
    QTest::keyClick(Focused(w), Qt::Key_D, Qt::AltModifier | Qt::ShiftModifier);
    QTest::keyClick(Focused(w), Qt::Key_D, Qt::AltModifier);
    EXPECT_FALSE(scan::Comparing(l));
    EXPECT_EQ(testsupport::RowTexts(l), listed);
}

TEST_F(CompareWindowTest, AnImportedScanIsOfferedNoListingOfTheFolderItsRootNames) {
    {
        // T listed elsewhere (by the report, another window): its listing is kept.
        testsupport::ListFixture other;
        other.fill(drive.drive());
        QString error;
        ASSERT_TRUE(interchange::KeepSnapshot(scan::TakeFigures(other.list), error))
            << error.toStdString();
    }
    ASSERT_EQ(interchange::ListSnapshots(drive.native()).size(), 1u);
    ListForm* w = Open();
    // A scan from elsewhere whose root names T's folder.
    const QByteArray file = home.native() + "/other.json";
    testsupport::WriteAll(file, "[1,2,{\"progname\":\"test\"},[{\"name\":\"" + drive.native() +
                                    "\"},[{\"name\":\"x\"},{\"name\":\"data\",\"asize\":"
                                    "3000000,\"dsize\":3002368}]]]");
    dialogs::CommonDialogHooks hooks;
    hooks.openFile = [file](const dialogs::OpenFileRequest&) {
        return dialogs::SaveFileAnswer{
            dialogs::SaveFileAnswer::Outcome::Chosen, QFile::decodeName(file), {}};
    };
    answerDialogs(hooks);
    QTest::keyClick(Focused(w), Qt::Key_I, Qt::AltModifier);
    ASSERT_NE(scan::ImportedDriveOf(QString(w->list().CurrentDrive)), nullptr);
    ASSERT_EQ(w->list().FileTotal, 1);

    QTest::keyClick(Focused(w), Qt::Key_D, Qt::AltModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QStringList offered;
    for (QAction* a : menu->actions())
        if (a->objectName() == QStringLiteral("P_CMP_SNAP")) offered << a->text();
    EXPECT_TRUE(offered.isEmpty()) << offered.join(u'|').toStdString();
    menu->close();
    // Nor is it kept as a listing of that folder.
    EXPECT_EQ(interchange::ListSnapshots(drive.native()).size(), 1u);
}

}  // namespace
