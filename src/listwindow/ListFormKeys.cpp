// ListForm: the key map and the toolbar.
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QToolTip>

#include "grid/widget/GridView.h"
#include "listwindow/ListForm.h"
#include "listwindow/PictureWidget.h"
#include "platform/Beep.h"
#include "scan/FolderStates.h"
#include "settings/Startup.h"

namespace listwindow {
namespace {

const char16_t* const kToolTips[] = {
    u"新しいウィンドウを開きます",   u"リストをテキスト･ファイルに保存します",
    u"リストを印刷します",           u"選択したフォルダーを削除･移動するメニューを出します",
    u"オプション設定画面を出します",
};

}  // namespace

bool ListForm::eventFilter(QObject* watched, QEvent* event) {
    // A key the window handles stops here; one it leaves passes on to the parents, where
    // it comes by again.
    switch (event->type()) {
        case QEvent::KeyPress:
            if (handleKeyDown(static_cast<QKeyEvent*>(event))) return true;
            break;
        case QEvent::KeyRelease:
            if (handleKeyUp(static_cast<QKeyEvent*>(event))) return true;
            break;
        case QEvent::MouseButtonPress: {
            auto* label = qobject_cast<QLabel*>(watched);
            if (label && label->objectName() == QLatin1String("DRVNAM") &&
                static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                driveLabelClicked(label->property("index").toInt());
                return true;
            }
            break;
        }
        case QEvent::ToolTip:
            // A folder that could not be read says why.
            if (watched->objectName() == QLatin1String("LSTGRD")) {
                auto* help = static_cast<QHelpEvent*>(event);
                const grid::GridState& st = view_->grid().st;
                const int row = grid::RowAtY(st, help->pos().y());
                const scan::FolderTable& t = list_.Folders;
                const int record =
                    row >= 0 && row < st.rowCount && row < t.bound() ? t.Order[size_t(row)] : -1;
                const QString tip = scan::FolderStateTip(list_, record);
                if (tip.isEmpty()) {
                    QToolTip::hideText();
                } else {
                    QToolTip::showText(help->globalPos(), tip, static_cast<QWidget*>(watched));
                }
                return true;
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

bool ListForm::handleKeyDown(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    // The commands of the key-up table look at the modifiers held when their key went
    // down, so releasing the modifier first does not lose them.
    if (!event->isAutoRepeat()) keyDownMods_[event->key()] = mods;
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    const int key = event->key();
    if (key == Qt::Key_Escape && mods == Qt::NoModifier) {
        CloseChooser();
        backImg_->hide();
        btntim_->stop();
        backPressed_ = false;
        focusList();
        return true;
    }
    if (keypad && mods == Qt::NoModifier && key >= Qt::Key_0 && key <= Qt::Key_4) {
        ChooseLevel(key - Qt::Key_0);
        return true;
    }
    if (mods == Qt::ControlModifier && key >= Qt::Key_A && key <= Qt::Key_Z) {
        const int button = buttonOfDrive_[size_t(key - Qt::Key_A)];
        if (button >= 0) {
            Calc(button);
            return true;
        }
    }
    if (key == Qt::Key_F4) {
        // Ctrl+F4 closes on release; F4 alone is swallowed.
        return true;
    }
    return false;
}

bool ListForm::handleKeyUp(QKeyEvent* event) {
    if (event->isAutoRepeat()) return false;
    const int key = event->key();
    Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const auto down = keyDownMods_.find(key);
    if (down != keyDownMods_.end()) {
        mods = down->second;
        keyDownMods_.erase(down);
    }
    if (key == Qt::Key_F4 && mods == Qt::ControlModifier) {
        close();
        return true;
    }
    if (key == Qt::Key_F6 && mods == Qt::NoModifier) {
        NextWindow();
        return true;
    }
    if (mods != Qt::AltModifier) return false;
    switch (key) {
        case Qt::Key_L:
            NextBackgroundType();
            return true;
        case Qt::Key_C:
            SetNameColouring(Switch::Toggle);
            return true;
        case Qt::Key_K:
            SetKB(Switch::Toggle);
            return true;
        case Qt::Key_M:
            SetMB(Switch::Toggle);
            return true;
        case Qt::Key_F:
            SetFullPath(Switch::Toggle);
            return true;
        case Qt::Key_S:
            if (!list_.OverviewShown) SetSort(0, Switch::Toggle);
            return true;
        case Qt::Key_X:
            if (!list_.OverviewShown) SetSort(1, Switch::Toggle);
            return true;
        case Qt::Key_N:
            NewWindow();
            return true;
        default:
            return false;
    }
}

int ListForm::toolbarButtonAt(QPoint pos) const {
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= tolfrm_->width() || pos.y() >= tolfrm_->height())
        return -1;
    if (pos.y() <= 22) return 0;
    if (pos.y() <= 46) return pos.x() < 27 ? 1 : 2;
    return pos.x() < 27 ? 3 : 4;
}

void ListForm::toolbarPress(QPoint pos, Qt::MouseButton) {
    CloseChooser();
    pressedTool_ = toolbarButtonAt(pos);
    if (pressedTool_ >= 0) toolPressed_[size_t(pressedTool_)]->show();
}

void ListForm::toolbarMove(QPoint pos) {
    const int b = toolbarButtonAt(pos);
    if (b == toolUnderPointer_) return;
    toolUnderPointer_ = b;
    tolfrm_->setToolTip(b >= 0 ? QString::fromUtf16(kToolTips[b]) : QString());
}

void ListForm::toolbarRelease(QPoint pos, Qt::MouseButton button) {
    const int pressed = pressedTool_;
    pressedTool_ = -1;
    if (pressed >= 0) toolPressed_[size_t(pressed)]->hide();
    if (pressed < 0 || toolbarButtonAt(pos) != pressed) return;
    const bool left = button == Qt::LeftButton;
    switch (pressed) {
        case 0:
            if (left) {
                NewWindow();
                return;
            }
            break;  // find folder comes with the find command
        case 4:
            if (!left) app::ShowHelp(this);
            break;
        default:
            break;  // save, print, folder menu and options come with their commands
    }
    focusList();
}

}  // namespace listwindow
