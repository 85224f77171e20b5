#include "dialogs/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "dialogs/DialogParts.h"
#include "dialogs/MsgBoxForm.h"
#include "dialogs/MsgText.h"
#include "platform/Beep.h"
#include "platform/StdMessage.h"
#include "settings/Application.h"

namespace dialogs {

namespace {
QPointer<MsgBoxForm>& Form() {
    return Windows().messageBox;
}

bool HaveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// While a box is up: the owner is disabled and the pointer is the normal arrow; afterwards
// both are as they were and the owner comes forward again.
class OwnerHold {
  public:
    explicit OwnerHold(QWidget* owner) : owner_(owner) {
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        if (owner_) {
            // The owner's own setting, not one inherited from a disabled parent.
            wasDisabled_ = owner_->testAttribute(Qt::WA_ForceDisabled);
            owner_->setEnabled(false);
        }
    }
    ~OwnerHold() {
        QGuiApplication::restoreOverrideCursor();
        if (!owner_) return;
        owner_->setEnabled(!wasDisabled_);
        if (owner_->isVisible()) {
            owner_->raise();
            owner_->activateWindow();
        }
    }
    OwnerHold(const OwnerHold&) = delete;
    OwnerHold& operator=(const OwnerHold&) = delete;

  private:
    QPointer<QWidget> owner_;
    bool wasDisabled_ = false;
};
}  // namespace

short MsgBoxEx(const QString& text, int flags, const QString& title, QWidget* owner) {
    if (!HaveWidgets()) return MsgBoxFallback(text, flags);
    const QString caption = title.isEmpty() ? QString::fromUtf16(kAppTitle) : title;
    QWidget* ownerWindow = owner ? owner->window() : nullptr;
    OwnerHold hold(ownerWindow);

    // There is one box; a call made while it waits (from a timer, say) gets the standard box
    // rather than taking the waiting one away from its caller.
    const bool busy = Form() && Form()->isWaiting();
    if (!Doubles().standardBoxOnly && !busy) {
        if (!Form()) Form() = new MsgBoxForm;
        if (Form()->prepare(text, flags, caption, ownerWindow)) {
            return Form()->waitForAnswer(flags);
        }
    }
    return MsgBoxFallback(text, flags);
}

MsgBoxForm* MsgBoxWindow() {
    return Form().data();
}

short MsgBoxFallback(const QString& text, int flags) {
    const int answer =
        platform::StandardMessageBox(MsgFallbackText(text), flags, QString::fromUtf16(kAppTitle));
    if ((flags & kMsgButtonsMask) == 0) return 0;
    switch (answer) {
        case kAnswerOk:
        case kAnswerCancel:
        case kAnswerYes:
        case kAnswerNo:
            return short(answer);
        default:
            return kAnswerCancel;  // abort, retry, ignore: no caller asks for them
    }
}

int QtStandardMessageBox(const QString& text, int flags, const QString& title) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    if (!HaveWidgets()) {
        qWarning("%s: %s", qPrintable(title), qPrintable(plain));
        return kAnswerOk;
    }

    using B = QMessageBox::StandardButton;
    struct Choice {
        B button;
        int code;
    };
    QList<Choice> set;
    switch (flags & kMsgButtonsMask) {
        case 1:
            set = {{B::Ok, 1}, {B::Cancel, 2}};
            break;
        case 2:
            set = {{B::Abort, 3}, {B::Retry, 4}, {B::Ignore, 5}};
            break;
        case 3:
            set = {{B::Yes, 6}, {B::No, 7}, {B::Cancel, 2}};
            break;
        case 4:
            set = {{B::Yes, 6}, {B::No, 7}};
            break;
        case 5:
            set = {{B::Retry, 4}, {B::Cancel, 2}};
            break;
        default:
            set = {{B::Ok, 1}};
            break;
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & 0x70) {
        case 0x10:
            icon = QMessageBox::Critical;
            break;
        case 0x20:
            icon = QMessageBox::Question;
            break;
        case 0x30:
            icon = QMessageBox::Warning;
            break;
        case 0x40:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }

    // No parent: the active window may be an owner that the caller has disabled, and a
    // disabled parent would disable the box too.
    QMessageBox box(icon, title, plain, QMessageBox::NoButton);
    for (const Choice& c : set) box.addButton(c.button);
    const qsizetype def = (flags & kMsgDefault3) ? 2 : (flags & kMsgDefault2) ? 1 : 0;
    if (def < set.size()) box.setDefaultButton(set[def].button);
    box.exec();

    const B clicked = box.standardButton(box.clickedButton());
    for (const Choice& c : set) {
        if (c.button == clicked) return c.code;
    }
    return set.size() == 1 ? kAnswerOk : kAnswerCancel;
}

void AddDesktopHooks(app::Hooks& hooks) {
    hooks.standardMessage = QtStandardMessageBox;
    hooks.beep = [] { QApplication::beep(); };
}

}  // namespace dialogs
