// ListForm: the folder menu and the delete, copy and move commands it starts.
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <algorithm>
#include <memory>

#include "dialogs/CancelForm.h"
#include "dialogs/MessageBox.h"
#include "folderops/FolderOps.h"
#include "grid/widget/GridView.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"
#include "platform/Shell.h"
#include "platform/StdMessage.h"
#include "scan/DriveInfo.h"
#include "scan/Figures.h"
#include "scan/ImportDrives.h"
#include "settings/Context.h"
#include "settings/OptionKeys.h"

namespace listwindow {

// The window as an operation sees it: its message box, the program's progress window and
// the message loop, turned only when the operation asks for it.
class FormOpsHost : public folderops::OpsHost {
  public:
    explicit FormOpsHost(ListForm& form) : form_(form) {}

    int Ask(const QString& text, int flags) override {
        return form_.MsgBoxEx(text, flags, QString());
    }
    void Turn() override { form_.eventTurn(); }
    bool DialogVisible() override { return dialogs::OperationRunning(); }
    void BeginRun(const QString& verb) override {
        // The window's controls lock and the pointer turns to the hourglass, as for a scan;
        // the progress window stays usable.
        form_.refreshFigures();
        operating_ = std::make_unique<ListForm::Hold>(form_.gate_, ListForm::Mode::Operating);
        dialogs::ProgressWindow().Begin(QStringLiteral("FOLDEX ") + verb, verb + u'中', true,
                                        &form_);
    }
    void HideDialog() override { dialogs::ProgressWindow().End(); }
    void EndRun() override {
        dialogs::ProgressWindow().End();
        operating_.reset();
    }
    // Closing the window stops the run at its next check, as the stop button does.
    int EndCode() override {
        return dialogs::ProgressWindow().EndCode || form_.gate_.closing() ? 1 : 0;
    }
    bool Unattended() override { return dialogs::ProgressWindow().Away(); }
    void SetTitle(const QString& text) override { dialogs::ProgressWindow().SetTitle(text); }
    void CopyFailed(const QString& text) override {
        platform::StandardMessageBox(text, 0x10, QString::fromUtf16(dialogs::kAppTitle));
    }
    void OpenFile(const QByteArray& nativePath) override { platform::ShellOpenNative(nativePath); }
    void AfterRun() override { form_.afterFolderOperation(); }

    ~FormOpsHost() override {
        // A run never leaves the window locked, whatever way it ended.
        if (operating_) EndRun();
    }

  private:
    ListForm& form_;
    std::unique_ptr<ListForm::Hold> operating_;
};

void ListForm::buildFolderMenu() {
    folderMenu_ = new QMenu(this);
    folderMenu_->setObjectName(QStringLiteral("POP_DIRGRD"));
    const struct {
        const char16_t* name;
        const char16_t* caption;
        void (ListForm::*run)();
    } items[] = {
        {u"P_DIRNUL", u"このメニューを消す", nullptr},
        {u"P_DIRコピー", u"選択されたフォルダーをコピー", &ListForm::CopyFolders},
        {u"P_DIR移動", u"選択されたフォルダーを移動", &ListForm::MoveFolders},
        {u"P_DIR削除", u"選択されたフォルダーを削除", &ListForm::DeleteFolders},
    };
    for (const auto& item : items) {
        QAction* a = folderMenu_->addAction(QString::fromUtf16(item.caption));
        a->setObjectName(QString::fromUtf16(item.name));
        if (item.run)
            connect(a, &QAction::triggered, this, [this, run = item.run] { (this->*run)(); });
    }
}

void ListForm::FolderMenu(QPoint globalPos) {
    if (list_.OverviewShown) return;
    if (view_->grid().st.selectedCount < 1) {
        platform::Beep();
        return;
    }
    folderMenu_->popup(globalPos);
}

void ListForm::DeleteFolders() {
    command([&] { runFolderOperation(folderops::kOpDelete); });
}

void ListForm::CopyFolders() {
    command([&] { runFolderOperation(folderops::kOpCopy); });
}

void ListForm::MoveFolders() {
    command([&] { runFolderOperation(folderops::kOpMove); });
}

void ListForm::runFolderOperation(folderops::Operation operation) {
    if (list_.OverviewShown || gate_.closing()) return;
    CloseChooser();
    if (refusedWhileComparing()) return;
    // An imported scan stands for folders of another machine: nothing here may touch them,
    // and nothing is copied or moved onto it.
    const scan::ImportedDrive* imported = scan::ImportedDriveOf(QString(list_.CurrentDrive));
    if (!imported && operation != folderops::kOpDelete)
        imported = scan::ImportedDriveOf(destinationList_->currentText());
    if (imported) {
        MsgBoxEx(scan::ImportedReadOnlyText(*imported), 0x30);
        if (!gate_.closing()) focusList();
        return;
    }
    FormOpsHost host(*this);
    folderops::FolderOps ops(list_, host, app::Ctx().AppFolderNative);
    ops.SetUseTrash(app::OptBool("UseTrash"));
    switch (operation) {
        case folderops::kOpDelete:
            ops.DeleteCommand();
            break;
        case folderops::kOpCopy:
            ops.CopyCommand(destinationList_->currentText(), list_.DestinationLeft);
            break;
        case folderops::kOpMove:
            ops.MoveCommand(destinationList_->currentText(), list_.DestinationLeft);
            break;
        default:
            break;
    }
    if (!gate_.closing()) focusList();
}

void ListForm::afterFolderOperation() {
    if (gate_.closing()) return;
    // The list is already right; the drive's space is read again. The list keeps the cluster
    // size its figures were counted with, and its figures when the drive cannot be read.
    scan::DriveList probe;
    scan::ReadDrive(probe, QString(list_.CurrentDrive) + u':');
    if (probe.ClusterSize != 0) {
        list_.DriveTotal = std::max(probe.DriveTotal, list_.AllocTotal);
        list_.DriveFree = probe.DriveFree;
    }
    scan::ShowDriveFigures(list_);
    refreshFigures();
    repaintList();
}

}  // namespace listwindow
