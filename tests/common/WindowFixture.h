#pragma once
// The start of every window test: an application of its own (nothing of another test's
// context, settings, windows or hooks is seen), its settings in a temporary home, drive T as
// a fixed drive, no beep counted yet; every window closed at the end. Message boxes shown as
// the standard box are recorded in `asked` and answered from `answers` (then
// `defaultAnswer`).
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QTest>
#include <deque>
#include <vector>

#include "common/TestSupport.h"
#include "dialogs/DialogParts.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"
#include "settings/Application.h"
#include "settings/Context.h"

namespace windowtest {

struct Options {
    int widthTwips = 7800;
    std::vector<char> fixedDrives{'T'};  // every other letter has no drive
    bool standardBoxOnly = false;        // every message box as the recorded standard box
};

class WindowTest : public ::testing::Test {
  protected:
    explicit WindowTest(Options options = {}) : options_(std::move(options)) {}

    void SetUp() override {
        app::ProgramContext& c = application.context();
        c.VersionText = QStringLiteral("6.0");
        c.DriveTypes.fill(1);
        for (const char letter : options_.fixedDrives) c.DriveTypes[size_t(letter - 'A')] = 3;
        c.WindowWidth = options_.widthTwips;
        c.WindowHeight = 6000;
        application.setSettingsFile(home.settingsFile());
        application.part<dialogs::DialogDoubles>().standardBoxOnly = options_.standardBoxOnly;
        platform::ResetBeepCount();
    }
    void TearDown() override { CloseWindows(); }

    // Moves the time that listings are kept at on by seconds, rather than waiting for them.
    void PassSeconds(qint64 seconds) {
        const qint64 then = app::NowSeconds() + seconds;
        application.context().Clock = [then] { return then; };
    }

    // A new window, shown (the drive overview unless the command line names a drive).
    static listwindow::ListForm* Open() {
        auto* w = new listwindow::ListForm();
        w->LoadShow();
        return w;
    }
    // A new window that shows the drive of letter index (0 for A).
    static listwindow::ListForm* OpenDrive(int letter) {
        listwindow::ListForm* w = Open();
        w->Calc(w->ButtonOfDrive(letter));
        return w;
    }
    // Closes every window and lets the deferred deletes run.
    static void CloseWindows() {
        for (int s = 0; s < 10; ++s) {
            if (listwindow::ListForm* w = listwindow::ListForm::InSlot(s)) w->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The widget that holds the keyboard focus once the window is active: where a person's
    // keys go.
    static QWidget* Focused(listwindow::ListForm* w) {
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w, 1000));
        return QApplication::focusWidget();
    }
    // The common dialogs answer through hooks, and the program's folder is T:\app.
    void useDialogsAndAppFolder() {
        app::ProgramContext& c = application.context();
        c.CommonDialogReady = true;
        drive.makeDir("app");
        c.AppFolderNative = drive.native() + "/app";
        c.AppFolder = QStringLiteral("T:\\app");
    }
    // The common dialogs answer through these.
    void answerDialogs(dialogs::CommonDialogHooks hooks) {
        application.part<dialogs::DialogDoubles>().common = std::move(hooks);
    }

    QStringList asked;
    std::vector<int> askedFlags;
    std::deque<int> answers;
    int defaultAnswer = 1;  // OK
    app::Application application{app::Hooks{{},
                                            [this](const QString& text, int flags, const QString&) {
                                                asked << text;
                                                askedFlags.push_back(flags);
                                                if (answers.empty()) return defaultAnswer;
                                                const int a = answers.front();
                                                answers.pop_front();
                                                return a;
                                            },
                                            {},
                                            {}}};
    testsupport::TempHome home;
    testsupport::TempDrive drive{u'T'};

  private:
    Options options_;
};

}  // namespace windowtest
