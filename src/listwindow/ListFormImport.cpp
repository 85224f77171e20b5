// ListForm: opening an exported scan as a drive of its own.
#include "dialogs/DialogForm.h"
#include "interchange/ScanImport.h"
#include "listwindow/ListForm.h"
#include "scan/ImportDrives.h"
#include "settings/Context.h"

namespace listwindow {

void ListForm::ImportScan() {
    command([&] { openImport(); });
}

void ListForm::openImport() {
    if (gate_.closing()) return;
    CloseChooser();
    // A close while the dialog is up leaves the window alive until it has returned.
    Hold wait(gate_, Mode::InDialog);
    dialogs::OpenFileRequest request;
    request.title = QStringLiteral("エクスポートされたスキャンを開く");
    request.filter =
        QStringLiteral("スキャンのエクスポート(JSON)|*.json;*.JSON|すべてのファイル|*");
    request.startFolder = app::Ctx().AppFolderNative;
    const dialogs::SaveFileAnswer answer = dialogs::OpenFileDialog(request, this);
    if (gate_.closing()) return;
    if (answer.outcome != dialogs::SaveFileAnswer::Outcome::Chosen) {
        if (answer.outcome == dialogs::SaveFileAnswer::Outcome::Failed) MsgBoxEx(answer.error, 0);
        if (!gate_.closing()) focusList();
        return;
    }
    QString error;
    const int index = scan::AddImportedDrive(dialogs::NativeFileName(answer.fileName),
                                             interchange::ImportScanFile, error);
    if (index < 0) {
        MsgBoxEx(error, 0x30);
        if (!gate_.closing()) focusList();
        return;
    }
    // A file that is no export says so in the message box of the scan.
    showLetter(index);
}

}  // namespace listwindow
