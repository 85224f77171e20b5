#pragma once
// MsgBoxEx: every question, warning and notice of the program goes through its own box.
#include <QString>

class QWidget;

namespace app {
struct Hooks;
}

namespace dialogs {

class MsgBoxForm;

// The application's title, the caption when a call gives none.
inline constexpr char16_t kAppTitle[] = u"FOLDEX32";

// Shows the box over the owner (disabled meanwhile) and returns the answer: 1 OK, 2 Cancel,
// 6 Yes, 7 No. The text carries the mark-up of MsgText.h. Without a usable owner or screen
// the standard box is shown instead (see MsgBoxFallback).
short MsgBoxEx(const QString& text, int flags, const QString& title, QWidget* owner);

// The box window once a call has created it, else nullptr.
MsgBoxForm* MsgBoxWindow();

// The standard box used when the own box cannot be prepared: mark-up codes become blanks,
// "|" a line break, the caption the application's title. With flags whose low four bits are 0
// the answer is 0.
short MsgBoxFallback(const QString& text, int flags);

// Gives owner windows a MsgBoxEx that passes themselves as the owner:
//   class ListForm : public QWidget, public MsgBoxForwarder<ListForm> { ... };
//   MsgBoxEx(u"削除しますか?"_s, 4);
template <class Window>
class MsgBoxForwarder {
  public:
    short MsgBoxEx(const QString& text, int flags = 0, const QString& title = {}) {
        return dialogs::MsgBoxEx(text, flags, title, static_cast<Window*>(this));
    }

  protected:
    MsgBoxForwarder() = default;
    ~MsgBoxForwarder() = default;
};

// The platform's standard message box built on QMessageBox: "\r\n", "\r" and "\n" break
// lines; the low four bits of flags choose the buttons, 0x100 and 0x200 the default button,
// 0x10 to 0x40 the icon. Returns 1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No.
int QtStandardMessageBox(const QString& text, int flags, const QString& title);
// The desktop's standard box (QtStandardMessageBox) and beep (QApplication::beep) as the
// application's hooks.
void AddDesktopHooks(app::Hooks& hooks);

}  // namespace dialogs
