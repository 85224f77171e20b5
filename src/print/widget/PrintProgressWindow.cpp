#include "print/widget/PrintProgressWindow.h"

#include <QCoreApplication>

#include "dialogs/CancelForm.h"
#include "platform/StdMessage.h"

namespace print {

PrintProgressWindow::~PrintProgressWindow() {
    End();
}

void PrintProgressWindow::Begin(const QString& caption, const QString& title) {
    dialogs::ProgressWindow().Begin(caption, title, false, owner_);
    shown_ = true;
}

bool PrintProgressWindow::Pump(int rounds) {
    for (int i = 0; i < rounds; ++i) QCoreApplication::processEvents();
    if (!owner_ || (gone_ && gone_())) return true;
    return dialogs::CancelFormLoaded() && dialogs::ProgressWindow().EndCode;
}

void PrintProgressWindow::End() {
    if (!shown_) return;
    shown_ = false;
    if (dialogs::CancelFormLoaded()) dialogs::ProgressWindow().End();
}

void PrintProgressWindow::ShowError(const QString& text) {
    End();
    platform::StandardMessageBox(text, 0, QStringLiteral("FOLDEX"));
}

}  // namespace print
