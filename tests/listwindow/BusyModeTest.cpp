// The window's busy state as one mode: input refused in every busy mode, and a window closed
// while a scan, an operation or a dialog runs let go exactly once, after it has returned.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "common/WindowFixture.h"
#include "dialogs/InpBoxForm.h"
#include "folderops/OpsHost.h"
#include "grid/widget/GridView.h"
#include "listwindow/CommandGate.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"

using listwindow::CommandGate;
using listwindow::ListForm;
using Mode = CommandGate::Mode;

namespace {

constexpr int kT = 'T' - 'A';

// Runs `inside` once, at the first event turn where the window w names is in `mode`. The
// timer belongs to the caller, so that a turn that never came cannot outlive the test.
std::unique_ptr<QTimer> WhenInMode(ListForm* const& w, Mode mode, std::function<void()> inside) {
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(0);
    QTimer* t = timer.get();
    QObject::connect(t, &QTimer::timeout, [t, &w, mode, inside] {
        if (!w || w->gate().mode() != mode) return;
        t->stop();
        inside();
    });
    timer->start();
    return timer;
}

class BusyModeTest : public windowtest::WindowTest {
  protected:
    BusyModeTest() : WindowTest({9000, {'T', 'U'}, true}) {}
    void SetUp() override {
        WindowTest::SetUp();
        application.context().AppFolderNative = home.native();
        // Enough folders for the scan and enough files for the delete to give event turns.
        for (int i = 0; i < 400; ++i) drive.makeDir("many/d" + QByteArray::number(i));
        for (int i = 0; i < 300; ++i) drive.writeFile("A/f" + QByteArray::number(i), "x");
        other.writeFile("x/y.bin", "123");
    }

    struct BusyCase {
        const char* name;
        Mode mode;
        // Opens the window and starts what makes it busy; returns once that has ended.
        std::function<void(ListForm*&)> run;
        // Lets a dialog the case waits in go.
        std::function<void()> finish;
    };
    std::vector<BusyCase> Cases() {
        return {
            {"listing", Mode::Listing,
             [](ListForm*& w) {
                 w = Open();
                 w->Calc(w->ButtonOfDrive(kT));
             },
             [] {}},
            {"operating", Mode::Operating,
             [this](ListForm*& w) {
                 w = OpenDrive(kT);
                 SelectRowOf(w, QStringLiteral("A"));
                 answers = {folderops::kAnswerOk, folderops::kAnswerYes};
                 w->DeleteFolders();
             },
             [] {}},
            {"in a dialog", Mode::InDialog,
             [](ListForm*& w) {
                 w = OpenDrive(kT);
                 w->FindAsk();
             },
             [] {
                 dialogs::InpBoxForm* box = dialogs::InputBoxWindow();
                 if (box && box->isWaiting()) QTest::keyClick(box->field(), Qt::Key_Escape);
             }},
        };
    }
    static void SelectRowOf(ListForm* w, const QString& name) {
        const grid::GridState& st = w->view()->grid().st;
        for (int r = 0; r < st.rowCount; ++r) {
            if (grid::CellText(st, 0, r).trimmed() == name) {
                QTest::mouseClick(w->view()->gridWidget(), Qt::LeftButton, {},
                                  QPoint(120, r * st.rowHeight + st.rowHeight / 2));
                ASSERT_EQ(st.selectedCount, 1);
                return;
            }
        }
        FAIL() << "no row " << name.toStdString();
    }
    static QLabel* DriveLabel(ListForm* w, const QString& letter) {
        for (QLabel* l : w->findChildren<QLabel*>(QStringLiteral("DRVNAM")))
            if (l->text() == letter) return l;
        return nullptr;
    }
    // Where a person's keys go now: the widget with the focus in this window.
    static QWidget* KeyTarget(ListForm* w) {
        QWidget* f = QApplication::focusWidget();
        return f && f->window() == w ? f : w;
    }

    testsupport::TempDrive other{u'U'};
};

TEST_F(BusyModeTest, KeysAndClicksInEveryBusyModeAreRefusedWithABeep) {
    for (const BusyCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        ListForm* w = nullptr;
        int unitWhileBusy = -1;
        int beeps = -1;
        bool sent = false;
        const auto timer = WhenInMode(w, c.mode, [&] {
            sent = true;
            platform::ResetBeepCount();
            unitWhileBusy = w->list().UnitMode;
            QTest::keyClick(KeyTarget(w), Qt::Key_K, Qt::AltModifier);      // KB
            QTest::keyClick(KeyTarget(w), Qt::Key_U, Qt::ControlModifier);  // list drive U
            QTest::mouseClick(DriveLabel(w, QStringLiteral("U")), Qt::LeftButton);
            beeps = platform::BeepCount();
            c.finish();
        });
        c.run(w);
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(sent) << "the window gave no event turn in this mode";
        EXPECT_EQ(beeps, 3);
        EXPECT_EQ(w->list().UnitMode, unitWhileBusy);
        EXPECT_EQ(w->list().CurrentDrive, u'T');
        EXPECT_EQ(application.context().OpenWindows, 1);  // no window for U either
        // Free again: the same key acts.
        EXPECT_EQ(w->gate().mode(), Mode::Idle);
        EXPECT_TRUE(w->view()->gridWidget()->isEnabled());
        platform::ResetBeepCount();
        // Back in the window (the progress window took it away), the list has the keys.
        QWidget* focus = Focused(w);
        ASSERT_EQ(focus, w->view()->gridWidget());
        QTest::keyClick(focus, Qt::Key_K,
                        Qt::AltModifier);  // KB switches (the last window stored it)
        EXPECT_EQ(w->list().UnitMode, unitWhileBusy == 1 ? 0 : 1);
        EXPECT_EQ(platform::BeepCount(), 0);
        CloseWindows();
    }
}

TEST_F(BusyModeTest, AWindowClosedWhileBusyIsDeletedOnceAfterItHasReturned) {
    for (const BusyCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        ListForm* w = nullptr;
        QPointer<ListForm> alive;
        int destroyed = 0;
        bool closedInside = false;
        bool aliveAfterClose = false;
        const auto timer = WhenInMode(w, c.mode, [&] {
            alive = w;
            QObject::connect(w, &QObject::destroyed, [&] { ++destroyed; });
            // Ctrl+F4 where the keys go: closing is never refused.
            QTest::keyClick(KeyTarget(w), Qt::Key_F4, Qt::ControlModifier);
            closedInside = w->gate().closing();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            aliveAfterClose = alive;
            c.finish();
        });
        c.run(w);
        EXPECT_TRUE(closedInside);
        EXPECT_TRUE(aliveAfterClose);  // not while it was still on the stack
        ASSERT_TRUE(alive);            // nor as soon as it returned: deleted later, once
        EXPECT_FALSE(alive->isVisible());
        EXPECT_EQ(destroyed, 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(alive);
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(application.context().OpenWindows, 0);
    }
}

}  // namespace
