// Opening any folder as a drive of its own: Ctrl+O with the folder dialog, a folder dropped
// on the window, the folders opened last, and what a window without a drive says.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <functional>

#include <sys/stat.h>

#include "common/WindowFixture.h"
#include "dialogs/DialogForm.h"
#include "grid/GridSurface.h"
#include "grid/widget/GridView.h"
#include "listwindow/ListForm.h"
#include "platform/DriveMap.h"
#include "settings/RecentFolders.h"

using listwindow::ListForm;

namespace {

class OpenFolderTest : public windowtest::WindowTest {
  protected:
    OpenFolderTest() : WindowTest({7800, {'T'}, true}) {}
    void SetUp() override {
        WindowTest::SetUp();
        // Names a shell and a terminal find awkward: Japanese, a blank, a newline, a byte
        // that is no UTF-8.
        // The dialog gives text, so the byte that is no UTF-8 comes by the drop.
        for (const QByteArray& name : {QByteArray("写真 2026"), QByteArray("bad\xff"),
                                       QByteArray("line\nbreak"), QByteArray("plain")}) {
            const QByteArray folder = drive.native() + '/' + name;
            ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
            ASSERT_EQ(::mkdir((folder + "/sub").constData(), 0755), 0);
            folders.push_back(folder);
        }
        application.context().CommonDialogReady = true;
        dialogs::CommonDialogHooks hooks;
        hooks.folder = [this](const dialogs::FolderRequest&) {
            ++dialogsShown;
            return dialogs::SaveFileAnswer{
                dialogs::SaveFileAnswer::Outcome::Chosen, QFile::decodeName(next), {}};
        };
        answerDialogs(hooks);
    }
    // The folder the window lists now, by its drive's root.
    static QByteArray Listed(ListForm* w) {
        return platform::Drives().root(platform::LetterIndex(w->list().CurrentDrive));
    }
    static void Drop(ListForm* w, const QByteArray& folder) {
        QMimeData mime;
        // As a file manager gives it: every byte that is not plain ASCII percent-encoded.
        mime.setData(QStringLiteral("text/uri-list"),
                     "file://" + folder.toPercentEncoding("/") + "\r\n");
        const QPoint at(200, 200);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(w, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(w, &drop);
    }

    std::vector<QByteArray> folders;
    QByteArray next;
    int dialogsShown = 0;
};

TEST_F(OpenFolderTest, AFolderOpensAsADriveByKeyDropOrRecentMenuAndIsRemembered) {
    ListForm* w = Open();
    auto* hint = w->findChild<QLabel*>(QStringLiteral("HINT"));
    EXPECT_TRUE(hint->isVisible()) << "a window without a drive says what to do";
    {
        // No column rule of the list runs through the hint.
        const QImage shown = w->grab().toImage();
        const grid::GridState& st = w->view()->grid().st;
        const QRgb rule = grid::ToRgb(st.vRuleColour);
        const QRect box = hint->geometry();
        ASSERT_TRUE(w->rect().contains(box));
        int crossed = 0;
        for (int c = 1; c < st.columnCount; ++c) {
            const int x = w->view()->gridWidget()->mapTo(w, QPoint(st.textRight[size_t(c)], 0)).x();
            if (x <= box.left() || x >= box.right()) continue;
            for (int y = box.top(); y <= box.bottom(); ++y)
                if ((shown.pixel(x, y) & 0xFFFFFF) == (rule & 0xFFFFFF)) ++crossed;
        }
        EXPECT_EQ(crossed, 0);
    }
    const struct {
        const char* name;
        std::function<void(const QByteArray&)> open;
    } ways[] = {
        {"Ctrl+O",
         [&](const QByteArray& f) {
             next = f;
             QTest::keyClick(Focused(w), Qt::Key_O, Qt::ControlModifier);
         }},
        {"drop", [&](const QByteArray& f) { Drop(w, f); }},
        {"Ctrl+Shift+O",
         [&](const QByteArray& f) {
             next = f;
             QTest::keyClick(Focused(w), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
         }},
    };
    for (size_t i = 0; i < std::size(ways); ++i) {
        SCOPED_TRACE(ways[i].name);
        ways[i].open(folders[i]);
        EXPECT_EQ(Listed(w), folders[i]) << asked.join(u'\n').toStdString();
        EXPECT_EQ(w->list().FolderTotal, 1);  // the folder and its "sub"
        EXPECT_FALSE(hint->isVisible());
        EXPECT_EQ(app::RecentFolders().front(), folders[i]);
        // The folder's letter gets a button that shows, as a drive of the machine has.
        bool buttonShown = false;
        for (QWidget* b : w->findChildren<QWidget*>(QStringLiteral("DRVBTN")))
            buttonShown |=
                b->isVisible() && b->toolTip().startsWith(QString(w->list().CurrentDrive));
        EXPECT_TRUE(buttonShown);
    }
    EXPECT_EQ(dialogsShown, 2);
    EXPECT_EQ(app::RecentFolders(), (std::vector<QByteArray>{folders[2], folders[1], folders[0]}));

    // The menu of the folders opened last, at a drive button's right click.
    auto* recent = w->findChild<QMenu*>(QStringLiteral("POP_RECENT"));
    emit recent->aboutToShow();
    const QList<QAction*> items = recent->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_TRUE(items[2]->text().endsWith(QStringLiteral("/写真 2026")));
    items[2]->trigger();
    EXPECT_EQ(Listed(w), folders[0]);
    EXPECT_EQ(app::RecentFolders().front(), folders[0]);
}

TEST_F(OpenFolderTest, WhatIsNoFolderIsSaidAndNothingChanges) {
    ListForm* w = OpenDrive('T' - 'A');
    const QChar before = w->list().CurrentDrive;
    drive.writeFile("file.txt", "x");
    for (const QByteArray& bad : {drive.native() + "/file.txt", drive.native() + "/missing"}) {
        asked.clear();
        next = bad;
        QTest::keyClick(Focused(w), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        ASSERT_EQ(asked.size(), 1);
        EXPECT_TRUE(asked[0].contains(QStringLiteral("このフォルダーは開けません")))
            << asked[0].toStdString();
        EXPECT_EQ(w->list().CurrentDrive, before);
        EXPECT_TRUE(app::RecentFolders().empty());
    }
}

TEST(RecentFolders, KeepsEightMostRecentFirstAnyBytesOnce) {
    testsupport::TempHome home;
    app::Application application;
    application.setSettingsFile(home.settingsFile());
    std::vector<QByteArray> opened;
    for (int i = 0; i < 10; ++i) opened.push_back("/f" + QByteArray::number(i) + "\n\xff =;[x]");
    for (const QByteArray& f : opened) app::RememberFolder(f);
    app::RememberFolder(opened[5]);  // again: moves to the front, not twice
    const std::vector<QByteArray> kept = app::RecentFolders();
    const std::vector<QByteArray> expected{opened[5], opened[9], opened[8], opened[7],
                                           opened[6], opened[4], opened[3], opened[2]};
    EXPECT_EQ(kept, expected);
}

}  // namespace
