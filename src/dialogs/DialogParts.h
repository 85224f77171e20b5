#pragma once
// What the dialogs keep in the application object: their single windows, and the doubles a
// test builds its application with.
#include <QPointer>

#include "dialogs/DialogForm.h"
#include "settings/Application.h"

namespace dialogs {

class CancelForm;
class InpBoxForm;
class MsgBoxForm;

// The windows made once and kept for the program's life; they go with the application.
struct DialogWindows : app::Application::Part {
    QPointer<MsgBoxForm> messageBox;
    QPointer<InpBoxForm> inputBox;
    QPointer<CancelForm> progress;
    bool progressLoaded = false;  // a progress window exists (made here or by its caller)
    ~DialogWindows() override;
};

// Answers in place of what a test cannot click: the common dialogs, and every message box
// shown as the platform's standard box (whose answer the application's hook gives).
struct DialogDoubles : app::Application::Part {
    CommonDialogHooks common;
    bool standardBoxOnly = false;
};

// The current application's dialog windows and doubles.
DialogWindows& Windows();
const DialogDoubles& Doubles();

}  // namespace dialogs
