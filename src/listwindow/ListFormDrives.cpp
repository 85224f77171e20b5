// ListForm: drive buttons, the drive choice, their menus, and filling the list.
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <algorithm>

#include "grid/widget/GridView.h"
#include "listwindow/Artwork.h"
#include "listwindow/ListForm.h"
#include "listwindow/PictureWidget.h"
#include "platform/Beep.h"
#include "platform/DriveMap.h"
#include "scan/DriveInfo.h"
#include "scan/Figures.h"
#include "scan/FillList.h"
#include "scan/ImportDrives.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"
#include "settings/Settings.h"

namespace listwindow {
namespace {

QImage ImageFor(int type, QChar removableFlag, qreal ratio) {
    switch (type) {
        case 2:
            return DriveImage(
                removableFlag == u'1' ? DriveImageKind::Removable : DriveImageKind::Fdd, ratio);
        case 5:
            return DriveImage(DriveImageKind::Cd, ratio);
        default:
            return DriveImage(DriveImageKind::Hdd, ratio);
    }
}

// A figure wider than its label is drawn narrower, never cut.
void ShowFigure(QLabel* label, const QString& text) {
    QFont font = label->font();
    font.setStretch(QFont::Unstretched);
    const int width = QFontMetrics(font).horizontalAdvance(text);
    const int room = label->width() - 2;
    if (room > 0 && width > room) font.setStretch(std::max(50, 100 * room / width));
    if (font != label->font()) label->setFont(font);
    if (label->text() != text) label->setText(text);
}

}  // namespace

QChar ListForm::ButtonLetter(int button) const {
    if (button < 0 || button >= int(driveLabels_.size())) return {};
    return driveLabels_[size_t(button)]->text().at(0);
}

void ListForm::buildDriveButtons() {
    const app::ProgramContext& c = app::Ctx();
    for (int i = 0; i < 26; ++i) {
        if (c.DriveTypes[size_t(i)] >= 2) addDriveButton(i);
    }
}

int ListForm::addDriveButton(int i) {
    const int type = app::Ctx().DriveTypes[size_t(i)];
    const QChar letter(char16_t(u'A' + i));
    const int index = int(driveButtons_.size());
    auto* b = new PictureWidget(QStringLiteral("DRVBTN"), this);
    b->setProperty("index", index);
    b->setImage(ImageFor(type, removableFlags_.at(i), devicePixelRatioF()));
    b->setCursor(Qt::PointingHandCursor);
    b->setToolTip(QString(letter) + QStringLiteral(":  ") +
                  scan::VolumeLabel(QString(letter) + QStringLiteral(":\\")));
    auto* n = new QLabel(QString(letter), this);
    n->setObjectName(QStringLiteral("DRVNAM"));
    n->setProperty("index", index);
    n->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    n->setStyleSheet(QStringLiteral("color: #808080; font-weight: bold"));
    n->setCursor(Qt::PointingHandCursor);
    n->installEventFilter(this);
    connect(b, &PictureWidget::pressed, this,
            [this, index](QPoint pos, Qt::MouseButton mb, Qt::KeyboardModifiers mods) {
                command([&] { showDrivePressed(index, pos, mb, mods); });
            });
    driveButtons_.push_back(b);
    driveLabels_.push_back(n);
    buttonOfDrive_[size_t(i)] = index;
    // A button added to a shown window (a folder opened, a scan imported) is not shown with it.
    if (isVisible()) {
        b->show();
        n->show();
    }
    // An imported scan is read-only: nothing is copied or moved onto it.
    if (!scan::ImportedDriveAt(i)) destinationList_->addItem(QString(letter) + u':');
    return index;
}

void ListForm::buildMenus() {
    clusterMenu_ = new QMenu(this);
    clusterMenu_->setObjectName(QStringLiteral("POP_DRVBTN"));
    clusterMenu_->addAction(QStringLiteral("このメニューを消す"))
        ->setObjectName(QStringLiteral("P_NUL"));
    clusterMenu_->addSeparator();
    QAction* title = clusterMenu_->addAction(QStringLiteral("クラスターサイズ指定"));
    title->setObjectName(QStringLiteral("P_クラスター"));
    title->setEnabled(false);
    static const char16_t* const kSizes[] = {u"  512バイト", u"  1Kバイト",  u"  2Kバイト",
                                             u"  4Kバイト",  u"  8Kバイト",  u"  16Kバイト",
                                             u"  32Kバイト", u"  64Kバイト", u"128Kバイト"};
    for (int k = 0; k < 9; ++k) {
        QAction* a = clusterMenu_->addAction(QString::fromUtf16(kSizes[k]));
        a->setObjectName(QStringLiteral("P_サイズ"));
        a->setProperty("index", k);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this,
                [this, k] { command([&] { ClusterSizeItem(menuButton_, k); }); });
        clusterItems_[size_t(k)] = a;
    }
    removableMenu_ = new QMenu(this);
    removableMenu_->setObjectName(QStringLiteral("POP_REMBTN"));
    removableMenu_->addAction(QStringLiteral("このメニューを消す"))
        ->setObjectName(QStringLiteral("P_RMV_NUL"));
    removableMenu_->addSeparator();
    removableItem_ = removableMenu_->addAction(QStringLiteral("リムーバブル･ドライブ"));
    removableItem_->setObjectName(QStringLiteral("P_RMV"));
    removableItem_->setCheckable(true);
    connect(removableItem_, &QAction::triggered, this,
            [this] { command([&] { RemovableItem(menuButton_); }); });
    // Opening an exported scan: at the end of both drive menus, and the one item of an
    // imported drive's menu (a cluster size means nothing there).
    importItem_ = new QAction(QStringLiteral("エクスポートされたスキャンを開く… (Alt+I)"), this);
    importItem_->setObjectName(QStringLiteral("P_IMPORT"));
    connect(importItem_, &QAction::triggered, this, [this] { ImportScan(); });
    importMenu_ = new QMenu(this);
    importMenu_->setObjectName(QStringLiteral("POP_IMPORT"));
    importMenu_->addAction(QStringLiteral("このメニューを消す"))
        ->setObjectName(QStringLiteral("P_IMP_NUL"));
    buildFolderItems();
    buildCompareMenu();
    for (QMenu* m : {clusterMenu_, removableMenu_, importMenu_}) {
        m->addSeparator();
        m->addAction(openFolderItem_);
        m->addMenu(recentMenu_);
        m->addAction(importItem_);
        m->addMenu(compareMenu_);
    }
    buildFolderMenu();
}

void ListForm::showDrivePressed(int button, QPoint pos, Qt::MouseButton mb,
                                Qt::KeyboardModifiers mods) {
    CloseChooser();
    eventTurn();
    if (button < 0 || button >= ButtonCount()) return;
    const QChar letter = ButtonLetter(button);
    const int index = platform::LetterIndex(letter);
    app::ProgramContext& c = app::Ctx();
    if (mb == Qt::RightButton) {
        popDriveMenu(button, driveButtons_[size_t(button)]->mapToGlobal(pos));
        return;
    }
    // Here when this window shows nothing yet; else in a new window when the setting
    // says so, reversed by Shift, Ctrl or Alt.
    bool newWindow = false;
    if (c.WindowDrives.at(slot_) != u' ') {
        newWindow = c.UseNewWindow;
        if (mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
            newWindow = !newWindow;
    }
    if (!newWindow) {
        showDrive(button);
        return;
    }
    for (int s = 0; s < 10; ++s) {
        if (c.WindowDrives.at(s) != letter) continue;
        ListForm* other = InSlot(s);
        if (other && other != this) {
            other->raise();
            other->activateWindow();
            return;
        }
        if (other == this) {
            showDrive(button);
            return;
        }
    }
    const int opened = OpenSiblingWindow();
    ListForm* target = opened == slot_ ? nullptr : InSlot(opened);
    if (target) {
        target->Calc(target->ButtonOfDrive(index));
    } else {
        showDrive(button);
    }
}

bool ListForm::popDriveMenu(int button, QPoint at) {
    menuButton_ = button;
    const int index = platform::LetterIndex(ButtonLetter(button));
    const int type = app::Ctx().DriveTypes[size_t(index)];
    if (scan::ImportedDriveAt(index)) {
        importMenu_->popup(at);
    } else if (type == 3) {
        const QChar choice = clusterChoice_.at(index);
        for (int k = 0; k < 9; ++k)
            clusterItems_[size_t(k)]->setChecked(choice == QChar(char16_t(u'0' + k)));
        clusterMenu_->popup(at);
    } else if (type == 2) {
        removableItem_->setChecked(removableFlags_.at(index) == u'1');
        removableMenu_->popup(at);
    } else {
        return false;
    }
    return true;
}

// The keyboard's way to the drive menu: that of the drive shown, else of the first drive,
// under its button.
void ListForm::driveMenuKey() {
    CloseChooser();
    const int button = currentButton_ >= 0 ? currentButton_ : 0;
    if (button >= ButtonCount() ||
        !popDriveMenu(button, driveButtons_[size_t(button)]->mapToGlobal(
                                  QPoint(0, driveButtons_[size_t(button)]->height())))) {
        platform::Beep();
    }
}

void ListForm::driveLabelClicked(int button) {
    CloseChooser();
    showDrive(button);
}

void ListForm::showLetter(int letterIndex) {
    int button = ButtonOfDrive(letterIndex);
    if (button < 0) {
        button = addDriveButton(letterIndex);
        placeControls();
    }
    showDrive(button);
}

void ListForm::Calc(int button) {
    command([&] { showDrive(button); });
}

void ListForm::showDrive(int button) {
    if (button < 0 || button >= ButtonCount()) return;
    if (button != currentButton_ && currentButton_ >= 0)
        driveLabels_[size_t(currentButton_)]->setStyleSheet(
            QStringLiteral("color: #808080; font-weight: bold"));
    driveLabels_[size_t(button)]->setStyleSheet(
        QStringLiteral("color: #0000FF; font-weight: bold"));
    currentButton_ = button;
    const QChar letter = ButtonLetter(button);
    const int index = platform::LetterIndex(letter);
    app::ProgramContext& c = app::Ctx();
    c.WindowDrives[slot_] = letter;
    list_.DriveTotal = 0;
    fillList(letter);
    // A removable medium above 2 MB registers the drive as a removable drive for good.
    if (list_.DriveTotal != 0 && !list_.StopFlag && c.DriveTypes[size_t(index)] == 2 &&
        list_.DriveTotal > 2097152 && removableFlags_.at(index) != u'1') {
        driveButtons_[size_t(button)]->setImage(
            DriveImage(DriveImageKind::Removable, devicePixelRatioF()));
        removableFlags_[index] = u'1';
        app::PutOpt(QStringLiteral("RemovableList"), removableFlags_);
    }
}

void ListForm::ClusterSizeItem(int menuButton, int k) {
    if (menuButton < 0 || menuButton >= ButtonCount() || k < 0 || k > 8) return;
    const QChar letter = ButtonLetter(menuButton);
    const int index = platform::LetterIndex(letter);
    const QChar digit(char16_t(u'0' + k));
    clusterChoice_[index] = clusterChoice_.at(index) == digit ? QChar(u'-') : digit;
    app::PutOpt(QStringLiteral("ClusterFixedS"), clusterChoice_);
    if (list_.OverviewShown) {
        ShowOverview();
    } else {
        fillList(letter);
    }
}

void ListForm::RemovableItem(int menuButton) {
    if (menuButton < 0 || menuButton >= ButtonCount()) return;
    const int index = platform::LetterIndex(ButtonLetter(menuButton));
    const bool nowOn = removableFlags_.at(index) != u'1';
    removableFlags_[index] = nowOn ? u'1' : u'0';
    driveButtons_[size_t(menuButton)]->setImage(
        DriveImage(nowOn ? DriveImageKind::Removable : DriveImageKind::Fdd, devicePixelRatioF()));
    app::PutOpt(QStringLiteral("RemovableList"), removableFlags_);
}

void ListForm::ShowOverview() {
    scan::ShowOverview(list_);
    setWindowTitle(QStringLiteral("ディレクトリ毎サイズ一覧 Ver.") + app::Ctx().VersionText);
    refreshFigures();
    grid::Grid& g = view_->grid();
    grid::ResizeScrollList(g);
    grid::FitAndRefresh(g);
}

void ListForm::fillList(QChar drive) {
    {
        Hold listing(gate_, Mode::Listing);
        if (list_.OverviewShown) updateLitImages();
        // The caption names the drive while it is listed, not only afterwards.
        scan::ShowDriveTitle(list_, QString(drive));
        setWindowTitle(list_.Caption);
        beginProgress(drive);
        scan::FillList(list_, QString(drive));
        endProgress(drive);
    }
    // Closed during the scan: the gate lets the window go once the command has returned.
    if (list_.StopFlag) return;
    applyDisplay();
    // A sort that is lit stays in force for the new rows.
    if (list_.SortKind != 0) {
        scan::SortRows(list_);
        scan::ShowPaths(list_);
    }
    setWindowTitle(list_.Caption);
    refreshFigures();
    grid::Grid& g = view_->grid();
    grid::ResizeScrollList(g);
    grid::FitAndRefresh(g);
    focusList();
}

void ListForm::refreshFigures() {
    hint_->setVisible(app::Ctx().WindowDrives.at(slot_) == u' ');
    // Sorting is for folder lists only.
    for (PictureWidget* s : sortButtons_) s->setVisible(!list_.OverviewShown);
    for (QLabel* cap : figureCaptions_) cap->setVisible(!list_.OverviewShown);
    showVolumeLine(list_.VOLDSP);
    ShowFigure(driveTotal_, list_.TOTDSP);
    ShowFigure(driveUsed_, list_.USEDSP);
    ShowFigure(driveFree_, list_.FREDSP);
    selectionCount_->setText(list_.SUMNAM);
    ShowFigure(selectionTotal_, list_.SUMDSP);
    ShowFigure(freeAfterDelete_, list_.DLSDSP);
    ShowFigure(freeAfterCopy_, list_.MOVDSP);
    freeAfterCopy_->setStyleSheet(list_.MOVDSPNegative ? QStringLiteral("color: #FF0000")
                                                       : QStringLiteral("color: #000000"));
    elapsedLabel_->setText(list_.Label1);
}

}  // namespace listwindow
