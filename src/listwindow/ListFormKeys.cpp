// ListForm: the key map and the toolbar.
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolTip>

#include "grid/widget/GridView.h"
#include "listwindow/HitZones.h"
#include "listwindow/ListForm.h"
#include "listwindow/PictureWidget.h"
#include "platform/Beep.h"
#include "scan/FolderStates.h"
#include "settings/Startup.h"

namespace listwindow {
namespace {}  // namespace

namespace {

bool IsInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
    }
}

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

}  // namespace

bool ListForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // The stop button is the one control a listing leaves working.
    if (watched == static_cast<QObject*>(stopButton_) && gate_.mode() == Mode::Listing)
        return QWidget::eventFilter(watched, event);
    if (IsInput(type) && gate_.busy()) {
        refuseInput(event);
        return true;
    }
    // A key or button refused while busy takes its release with it, so that it does not
    // act once the window is free again.
    if (type == QEvent::KeyRelease && refusedKeys_.erase(static_cast<QKeyEvent*>(event)->key()) > 0)
        return true;
    if (type == QEvent::MouseButtonRelease && swallowRelease_) {
        swallowRelease_ = false;
        return true;
    }
    // Pop-up menus keep their own keys.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return QWidget::eventFilter(watched, event);
    // A key the window handles stops here; one it leaves passes on to the parents, where
    // it comes by again.
    switch (type) {
        case QEvent::KeyPress: {
            CommandGate::Hold hold(gate_);
            if (handleKeyDown(static_cast<QKeyEvent*>(event))) return true;
            break;
        }
        case QEvent::KeyRelease: {
            CommandGate::Hold hold(gate_);
            if (handleKeyUp(static_cast<QKeyEvent*>(event))) return true;
            break;
        }
        case QEvent::MouseButtonPress: {
            // The row menu opens where the right button is released; a press that lists a
            // drive of the overview opens none.
            if (watched == view_->gridWidget() &&
                static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
                rowMenuArmed_ = !list_.OverviewShown;
            auto* label = qobject_cast<QLabel*>(watched);
            if (label && label->objectName() == QLatin1String("DRVNAM") &&
                static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                const int button = label->property("index").toInt();
                command([&] { driveLabelClicked(button); });
                return true;
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (watched == view_->gridWidget() && mouse->button() == Qt::RightButton &&
                rowMenuArmed_) {
                rowMenuArmed_ = false;
                const grid::GridState& st = view_->grid().st;
                const int row = grid::RowAtY(st, mouse->position().y());
                if (mouse->position().y() >= 0 && row >= 0 && row < st.rowCount)
                    RowMenu(row, mouse->globalPosition().toPoint());
            }
            break;
        }
        case QEvent::ToolTip:
            // A name cut off at its column's edge shows whole; a folder that could not be
            // read says why.
            if (watched->objectName() == QLatin1String("LSTGRD")) {
                auto* help = static_cast<QHelpEvent*>(event);
                const grid::GridState& st = view_->grid().st;
                const int row = grid::RowAtY(st, help->pos().y());
                const scan::FolderTable& t = list_.Folders;
                const int record =
                    row >= 0 && row < st.rowCount && row < t.bound() ? t.Order[size_t(row)] : -1;
                QString tip = scan::FolderStateTip(list_, record);
                const QString whole =
                    grid::ClippedCellText(view_->grid(), help->pos().x(), help->pos().y());
                if (!whole.isEmpty()) tip = tip.isEmpty() ? whole : whole + u'\n' + tip;
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

void ListForm::refuseInput(QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* k = static_cast<QKeyEvent*>(event);
            if (k->isAutoRepeat() || IsModifierKey(k->key())) return;
            // Closing is never refused: Ctrl+F4 still closes on its release.
            if (k->key() == Qt::Key_F4 && (k->modifiers() & Qt::ControlModifier)) {
                keyDownMods_[Qt::Key_F4] = Qt::ControlModifier;
                return;
            }
            refusedKeys_.insert(k->key());
            // Esc stops a listing; what was read stays listed.
            if (k->key() == Qt::Key_Escape && gate_.mode() == Mode::Listing) {
                stopListing();
                return;
            }
            gate_.admit();
            return;
        }
        case QEvent::KeyRelease: {
            auto* k = static_cast<QKeyEvent*>(event);
            if (k->isAutoRepeat()) return;
            refusedKeys_.erase(k->key());
            const auto down = keyDownMods_.find(k->key());
            if (down == keyDownMods_.end()) return;
            const bool closeNow = k->key() == Qt::Key_F4 && down->second == Qt::ControlModifier;
            keyDownMods_.erase(down);
            if (closeNow) close();
            return;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            swallowRelease_ = true;
            gate_.admit();
            return;
        default:
            return;
    }
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
        backgroundLit_->hide();
        holdTimer_->stop();
        backPressed_ = false;
        // The list then takes the key too: Esc clears its selection.
        focusList();
        view_->pressKey(grid::vk::Escape, 0);
        return true;
    }
    if (keypad && mods == Qt::NoModifier && key >= Qt::Key_0 && key <= Qt::Key_4) {
        ChooseLevel(key - Qt::Key_0);
        return true;
    }
    // The top row's digits jump to a name as typed; with Alt they choose the level, for a
    // keyboard without a numeric pad.
    if (!keypad && mods == Qt::AltModifier && key >= Qt::Key_0 && key <= Qt::Key_4) {
        ChooseLevel(key - Qt::Key_0);
        return true;
    }
    if (mods == Qt::ControlModifier && key >= Qt::Key_A && key <= Qt::Key_Z) {
        const int button = buttonOfDrive_[size_t(key - Qt::Key_A)];
        if (button >= 0) {
            showDrive(button);
            return true;
        }
    }
    // Ctrl+O opens a folder, Ctrl+P prints and Ctrl+F finds, unless a drive of that letter
    // takes the key; with Shift they always do.
    if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        switch (key) {
            case Qt::Key_O:
                openFolder();
                return true;
            case Qt::Key_P:
                printList();
                return true;
            case Qt::Key_F:
                findAsk();
                focusList();
                return true;
            default:
                break;
        }
    }
    if (key == Qt::Key_F3) {
        const int cursor = view_->grid().st.cursorRow;
        if (mods == Qt::NoModifier) {
            findNext(cursor + 1);
        } else {
            findPrev(cursor - 1);
        }
        return true;
    }
    if (key == Qt::Key_F5 && (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) {
        if (mods == Qt::ShiftModifier) {
            refreshFolder(view_->grid().st.cursorRow);
        } else {
            refreshDrive();
        }
        return true;
    }
    if (key == Qt::Key_Menu && mods == Qt::NoModifier) {
        // The cursor row's menu, at the row.
        const grid::GridState& st = view_->grid().st;
        const int row = st.cursorRow;
        if (row < 0 || row >= st.rowCount) {
            platform::Beep();
            return true;
        }
        const QPoint at(40, (row - st.topRow) * st.rowHeight + st.rowHeight / 2);
        RowMenu(row, view_->gridWidget()->mapToGlobal(at));
        return true;
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
    if (key == Qt::Key_D && mods == (Qt::AltModifier | Qt::ShiftModifier)) {
        setChangedOnly(Switch::Toggle);
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
        case Qt::Key_G:
            SetGB(Switch::Toggle);
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
        case Qt::Key_W:
            saveList();
            return true;
        case Qt::Key_O:
            Options();
            return true;
        case Qt::Key_I:
            openImport();
            return true;
        case Qt::Key_D:
            compare();
            return true;
        case Qt::Key_R:
            recentMenuKey();
            return true;
        case Qt::Key_V:
            driveMenuKey();
            return true;
        default:
            return false;
    }
}

void ListForm::toolbarPress(QPoint pos, Qt::MouseButton) {
    CloseChooser();
    pressedTool_ = ToolbarButtonAt(pos);
    if (pressedTool_ >= 0) toolPressed_[size_t(pressedTool_)]->show();
}

void ListForm::toolbarMove(QPoint pos) {
    const int b = ToolbarButtonAt(pos);
    if (b == toolUnderPointer_) return;
    toolUnderPointer_ = b;
    toolbar_->setToolTip(b >= 0 ? QString::fromUtf16(ToolbarZones()[size_t(b)].tip) : QString());
}

void ListForm::toolbarRelease(QPoint pos, Qt::MouseButton button) {
    const int pressed = pressedTool_;
    pressedTool_ = -1;
    if (pressed >= 0) toolPressed_[size_t(pressed)]->hide();
    if (pressed < 0 || ToolbarButtonAt(pos) != pressed) return;
    const bool left = button == Qt::LeftButton;
    switch (pressed) {
        case 0:
            if (left) {
                NewWindow();
                return;
            }
            findAsk();
            break;
        case 1:
            saveList();
            break;
        case 2:
            printList();
            break;
        case 3:
            FolderMenu(QCursor::pos());
            break;
        case 4:
            if (left) {
                Options();
                return;
            }
            app::ShowHelp(this);
            break;
        default:
            break;
    }
    focusList();
}

}  // namespace listwindow
