#pragma once
// The program context every window test starts from, and the clean-up after it.
#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <initializer_list>

#include "listwindow/ListForm.h"
#include "settings/Context.h"
#include "settings/Settings.h"

namespace windowtest {

// A fresh context: the given letters are fixed drives, every other letter has none; the
// window is widthTwips wide; the settings live in settingsFile.
inline app::ProgramContext& FreshContext(const QByteArray& settingsFile, int widthTwips,
                                         std::initializer_list<char> fixedDrives = {'T'}) {
    app::ProgramContext& c = app::Ctx();
    c = app::ProgramContext();
    c.VersionText = QStringLiteral("6.0");
    c.DriveTypes.fill(1);
    for (const char letter : fixedDrives) c.DriveTypes[size_t(letter - 'A')] = 3;
    c.WindowWidth = widthTwips;
    c.WindowHeight = 6000;
    app::SetSettingsNative(settingsFile);
    return c;
}

// Closes every window and lets the deferred deletes run.
// A new window that shows the drive of letter index (0 for A).
inline listwindow::ListForm* OpenDrive(int letter) {
    auto* w = new listwindow::ListForm();
    w->LoadShow();
    w->Calc(w->ButtonOfDrive(letter));
    return w;
}

inline void CloseWindows() {
    for (int s = 0; s < 10; ++s) {
        if (listwindow::ListForm* w = listwindow::ListForm::InSlot(s)) w->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline void ForgetContext() {
    app::SetSettingsNative({});
    app::Ctx() = app::ProgramContext();
}

}  // namespace windowtest
