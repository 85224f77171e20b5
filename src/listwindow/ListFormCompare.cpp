// ListForm: comparing the listed drive with an earlier scan of it (a snapshot kept after a
// listing, or an exported scan), and keeping those snapshots.
#include <QMenu>

#include "dialogs/DialogForm.h"
#include "grid/widget/GridView.h"
#include "interchange/EarlierScan.h"
#include "interchange/SnapshotStore.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"
#include "platform/PathMap.h"
#include "scan/Compare.h"
#include "scan/DriveInfo.h"
#include "scan/FigureTree.h"
#include "scan/FigureView.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"
#include "settings/OptionKeys.h"
#include "settings/Settings.h"

namespace listwindow {

void ListForm::buildCompareMenu() {
    compareMenu_ = new QMenu(QStringLiteral("比較 (Alt+D)"), this);
    compareMenu_->setObjectName(QStringLiteral("POP_COMPARE"));
    connect(compareMenu_, &QMenu::aboutToShow, this, [this] { fillCompareMenu(); });
}

// The listing's drive: its mount or folder, also while a comparison stands in for it; none
// for an imported scan.
QByteArray ListForm::listedSource() const {
    return scan::SnapshotSource(list_);
}

void ListForm::fillCompareMenu() {
    compareMenu_->clear();
    const bool listed = listHasFolders();
    if (scan::Comparing(list_)) {
        QAction* end = compareMenu_->addAction(QStringLiteral("比較をやめる (Alt+D)"));
        end->setObjectName(QStringLiteral("P_CMP_END"));
        connect(end, &QAction::triggered, this, [this] { command([&] { leaveComparison(); }); });
        QAction* changed =
            compareMenu_->addAction(QStringLiteral("変化したフォルダーだけ (Alt+Shift+D)"));
        changed->setObjectName(QStringLiteral("P_CMP_CHANGED"));
        changed->setCheckable(true);
        changed->setChecked(scan::ChangedOnly(list_));
        connect(changed, &QAction::triggered, this,
                [this] { command([&] { setChangedOnly(Switch::Toggle); }); });
        compareMenu_->addSeparator();
    }
    const QByteArray source = listed ? listedSource() : QByteArray();
    const std::vector<interchange::SnapshotInfo> kept =
        source.isEmpty() ? std::vector<interchange::SnapshotInfo>{}
                         : interchange::ListSnapshots(source);
    int offered = 0;
    for (const interchange::SnapshotInfo& s : kept) {
        // The snapshot of the listing on show is no earlier state of it.
        if (s.taken == keptTaken_ && source == keptSource_) continue;
        ++offered;
        const QString label = interchange::SnapshotTimeText(s.taken);
        QAction* a = compareMenu_->addAction(label + QStringLiteral(" の一覧と比較"));
        a->setObjectName(QStringLiteral("P_CMP_SNAP"));
        const QByteArray file = s.file;
        connect(a, &QAction::triggered, this, [this, file, source, label] {
            command([&] { compareWithSnapshot(file, source, label); });
        });
    }
    if (offered == 0) {
        QAction* none = compareMenu_->addAction(
            listed ? QStringLiteral("このドライブの以前の一覧はありません")
                   : QStringLiteral("ドライブを一覧にしてから比較できます"));
        none->setEnabled(false);
    }
    compareMenu_->addSeparator();
    QAction* file = compareMenu_->addAction(QStringLiteral("エクスポートされたスキャンと比較…"));
    file->setObjectName(QStringLiteral("P_CMP_FILE"));
    file->setEnabled(listed);
    connect(file, &QAction::triggered, this, [this] { command([&] { compareWithFile(); }); });
}

void ListForm::Compare() {
    command([&] { compare(); });
}

void ListForm::compare() {
    CloseChooser();
    // Alt+D leaves a comparison as it began it.
    if (scan::Comparing(list_)) {
        leaveComparison();
        return;
    }
    if (!listHasFolders()) {
        platform::Beep();
        return;
    }
    if (refusedIncomplete()) return;
    const QRect list = view_->geometry();
    compareMenu_->popup(mapToGlobal(list.topLeft() + QPoint(24, 24)));
}

void ListForm::compareWithSnapshot(const QByteArray& file, const QByteArray& source,
                                   const QString& label) {
    if (!listHasFolders() || source != listedSource()) {
        platform::Beep();
        return;
    }
    if (refusedIncomplete()) return;
    scan::FigureTree then;
    QString error;
    if (!interchange::LoadSnapshot(file, source, then, error)) {
        MsgBoxEx(error, 0x30);
        if (!gate_.closing()) focusList();
        return;
    }
    showComparison(then, label);
}

void ListForm::compareWithFile() {
    if (!listHasFolders() || gate_.closing() || refusedIncomplete()) return;
    scan::FigureTree then;
    QString error;
    QString name;
    {
        Hold wait(gate_, Mode::InDialog);
        dialogs::OpenFileRequest request;
        request.title = QStringLiteral("比較するスキャンを開く");
        request.filter = QStringLiteral(
            "スキャンのエクスポート(JSON)|*.json;*.JSON|スナップショット|*.snap|すべてのファイル|"
            "*");
        request.startFolder = app::Ctx().AppFolderNative;
        const dialogs::SaveFileAnswer answer = dialogs::OpenFileDialog(request, this);
        if (gate_.closing()) return;
        if (answer.outcome != dialogs::SaveFileAnswer::Outcome::Chosen) {
            if (answer.outcome == dialogs::SaveFileAnswer::Outcome::Failed)
                MsgBoxEx(answer.error, 0);
            if (!gate_.closing()) focusList();
            return;
        }
        const QByteArray native = dialogs::NativeFileName(answer.fileName);
        name = platform::DisplayName(platform::ArgFromNative(native));
        if (!interchange::ReadEarlierScan(native, then, error)) {
            MsgBoxEx(error, 0x30);
            if (!gate_.closing()) focusList();
            return;
        }
    }
    showComparison(then, name);
}

void ListForm::showComparison(const scan::FigureTree& then, const QString& label) {
    // The selection goes along (by folder), so that leaving gives it back.
    scan::EnterComparison(list_, then, label);
    showListAgain(true);
}

void ListForm::leaveComparison() {
    if (!scan::Comparing(list_)) return;
    clearSelectionFigures();
    scan::LeaveComparison(list_);
    // A sort chosen while comparing has ended: the buttons and indents show the listing's.
    updateLitImages();
    recomputeIndents();
    applyDisplay();
    showListAgain(false);
}

void ListForm::setChangedOnly(Switch s) {
    if (!scan::Comparing(list_)) {
        platform::Beep();
        return;
    }
    const bool on = s == Switch::Toggle ? !scan::ChangedOnly(list_) : s == Switch::On;
    scan::ShowChangedOnly(list_, on);
    showListAgain(true);
}

// The rows after the table behind them changed: headings, sort, paths and the figures.
void ListForm::showListAgain(bool changes) {
    grid::Grid& g = view_->grid();
    g.st.changeFigures = changes;
    setHeadings(changes ? scan::ChangeHeadings() : scan::FolderHeadings());
    rememberRows();
    arrangeRows();
    refreshFigures();
    focusList();
}

bool ListForm::refusedIncomplete() {
    // The folders a stopped listing never reached would all read as gone.
    if (!list_.Incomplete || scan::Comparing(list_)) return false;
    MsgBoxEx(
        QStringLiteral("途中までの一覧は比較できません。F5 で読み直してから比較してください。"),
        0x30);
    if (!gate_.closing()) focusList();
    return true;
}

bool ListForm::refusedWhileComparing() {
    if (!scan::Comparing(list_)) return false;
    MsgBoxEx(QStringLiteral("比較の表示中はできません。比較をやめてから (Alt+D) もう一度どうぞ。"),
             0x30);
    if (!gate_.closing()) focusList();
    return true;
}

void ListForm::keepSnapshot() {
    if (!app::OptBool("KeepSnapshots")) return;
    // Written from the folder table itself: no copy of the listing is made for it.
    scan::FigureView tree(list_);
    // An imported scan is no listing of the folder its root names.
    if (tree.Source.isEmpty()) return;
    tree.Taken = app::NowSeconds();
    QString error;
    keptSource_ = tree.Source;
    keptTaken_ = tree.Taken;
    // Told once a window: a cache that cannot be written would otherwise ask after every listing.
    if (!interchange::KeepSnapshot(tree, error) && !snapshotFailureShown_) {
        snapshotFailureShown_ = true;
        MsgBoxEx(error, 0x30);
    }
}

}  // namespace listwindow
