#include "dialogs/DialogParts.h"

#include <QCoreApplication>

#include "dialogs/CancelForm.h"
#include "dialogs/InpBoxForm.h"
#include "dialogs/MsgBoxForm.h"

namespace dialogs {

DialogWindows::~DialogWindows() {
    // Without the widget application the process is ending and the windows are gone with it.
    if (!QCoreApplication::instance()) return;
    delete messageBox.data();
    delete inputBox.data();
    delete progress.data();
}

DialogWindows& Windows() {
    return app::Application::Current().part<DialogWindows>();
}

const DialogDoubles& Doubles() {
    return app::Application::Current().part<DialogDoubles>();
}

}  // namespace dialogs
