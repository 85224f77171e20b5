// ListForm: the menu of a row and the commands it offers for the row's folder.
#include <QElapsedTimer>
#include <QMenu>

#include "dialogs/CancelForm.h"
#include "grid/widget/GridView.h"
#include "listwindow/LargestFilesWindow.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/Launcher.h"
#include "platform/PathMap.h"
#include "scan/ImportDrives.h"
#include "scan/LargestFiles.h"
#include "scan/TreeRows.h"
#include "settings/Application.h"

namespace listwindow {

int ListForm::rowRecord(int row) const {
    if (list_.OverviewShown) return -1;
    const grid::GridState& st = view_->grid().st;
    const scan::FolderTable& t = list_.Folders;
    const int records = scan::Records(list_);
    if (row < 0 || row >= st.rowCount || records == 0) return -1;
    // The total row stands for the whole drive.
    if (row == st.rowCount - 1) return 0;
    const int f = row < t.bound() ? t.Order[size_t(row)] : -1;
    return f >= 0 && f < records ? f : -1;
}

QByteArray ListForm::rowFolder(int row) const {
    if (list_.OverviewShown) {
        if (row < 0 || row >= ButtonCount()) return {};
        const int letter = platform::LetterIndex(ButtonLetter(row));
        if (scan::ImportedDriveAt(letter)) return {};
        return platform::Drives().root(letter);
    }
    if (scan::ImportedDriveOf(QString(list_.CurrentDrive))) return {};
    const int f = rowRecord(row);
    // A removed folder keeps its row, with nothing behind it; so does a comparison's gone one.
    if (f < 0) return {};
    if (scan::Comparing(list_) ? scan::ChangeOf(list_, f) == scan::kChangeGone
                               : list_.Folders.FileCount[size_t(f)] < 0)
        return {};
    return list_.Folders.nativePath(f);
}

void ListForm::RowMenu(int row, QPoint globalPos) {
    const grid::GridState& st = view_->grid().st;
    if (row < 0 || row >= st.rowCount) return;
    CloseChooser();
    delete rowMenu_;
    rowMenu_ = new QMenu(this);
    rowMenu_->setObjectName(QStringLiteral("POP_ROW"));
    const bool folder = !list_.OverviewShown && row < st.rowCount - 1;
    const bool onDisk = !rowFolder(row).isEmpty();
    auto add = [this](const char16_t* name, const char16_t* caption, bool enabled, auto run) {
        QAction* a = rowMenu_->addAction(QString::fromUtf16(caption));
        a->setObjectName(QString::fromUtf16(name));
        a->setEnabled(enabled);
        connect(a, &QAction::triggered, this, run);
        return a;
    };
    rowMenu_->addAction(QStringLiteral("このメニューを消す"))
        ->setObjectName(QStringLiteral("P_ROWNUL"));
    rowMenu_->addSeparator();
    add(u"P_ROWファイラー", u"ファイル マネージャーで開く", onDisk,
        [this, row] { OpenInFileManager(row); });
    add(u"P_ROW端末", u"ここで端末を開く", onDisk, [this, row] { OpenTerminalAt(row); });
    add(u"P_ROWパス", u"パスをコピー", onDisk, [this, row] { CopyFolderPath(row); });
    // A listed folder or the whole drive, once it is scanned.
    if (!list_.OverviewShown)
        add(u"P_ROW大ファイル", u"大きいファイルを表示", onDisk,
            [this, row] { ShowLargestFiles(row); });
    // Reading again: the row's folder, or from the total row the whole drive.
    if (!list_.OverviewShown && onDisk) {
        if (folder) {
            add(u"P_ROW読み直し", u"このフォルダーを読み直す (Shift+F5)", true,
                [this, row] { command([&] { refreshFolder(row); }); });
        } else {
            add(u"P_ROW読み直し", u"ドライブを読み直す (F5)", true, [this] { RefreshDrive(); });
        }
    }
    if (folder) {
        // The folder menu's commands, on the selected folders as there.
        rowMenu_->addSeparator();
        const bool selected = st.selectedCount > 0;
        add(u"P_DIRコピー", u"選択されたフォルダーをコピー", selected, [this] { CopyFolders(); });
        add(u"P_DIR移動", u"選択されたフォルダーを移動", selected, [this] { MoveFolders(); });
        add(u"P_DIR削除", u"選択されたフォルダーを削除", selected, [this] { DeleteFolders(); });
    }
    rowMenu_->popup(globalPos);
}

void ListForm::onRowFolder(int row, const std::function<void(const QByteArray&)>& act) {
    command([&] {
        const QByteArray native = rowFolder(row);
        if (native.isEmpty()) {
            platform::Beep();
            return;
        }
        act(native);
    });
}

void ListForm::OpenInFileManager(int row) {
    onRowFolder(row, [this](const QByteArray& native) {
        QString why;
        if (!platform::ShowInFileManager(app::Application::Current().starter(), native, {}, why))
            MsgBoxEx(why, 0x30);
    });
}

void ListForm::OpenTerminalAt(int row) {
    onRowFolder(row, [this](const QByteArray& native) {
        QString why;
        if (!platform::OpenTerminal(app::Application::Current().starter(), native, why))
            MsgBoxEx(why, 0x30);
    });
}

void ListForm::CopyFolderPath(int row) {
    onRowFolder(row, [](const QByteArray& native) { CopyNativePath(native); });
}

void ListForm::ShowLargestFiles(int row) {
    command([&] { showLargestFiles(row); });
}

void ListForm::showLargestFiles(int row) {
    if (refusedWhileComparing()) return;
    const int record = rowRecord(row);
    const QByteArray native = rowFolder(row);
    if (record < 0 || native.isEmpty()) {
        platform::Beep();
        return;
    }
    scan::LargestFiles found;
    if (scan::SizesKept(list_, record)) {
        found = scan::FindLargestFiles(list_, record, scan::kLargestShown);
    } else {
        // The subtree is read again: the window locks as for an operation, the progress
        // window names each folder and stops the read.
        Hold reading(gate_, Mode::Operating);
        dialogs::CancelForm& progress = dialogs::ProgressWindow();
        progress.Begin(QStringLiteral("FOLDEX 大きいファイル"), QStringLiteral("読み取り中"), false,
                       this);
        QElapsedTimer shown;
        shown.start();
        found =
            scan::FindLargestFiles(list_, record, scan::kLargestShown, [&](const QString& folder) {
                if (shown.elapsed() >= 100) {
                    progress.SetTitle(folder);
                    eventTurn();
                    shown.restart();
                }
                return !progress.EndCode && !gate_.closing();
            });
        progress.End();
    }
    if (gate_.closing()) return;
    const QString title = record == 0
                              ? list_.Folders.name(0).toString()
                              : list_.Folders.name(0).toString() + scan::FolderPath(list_, record);
    if (found.error != 0) {
        MsgBoxEx(QStringLiteral("フォルダーを開けません: ") + platform::DisplayName(title) +
                     QStringLiteral(" (") + platform::ErrorText(found.error) + u')',
                 0x30);
        return;
    }
    auto* window = new LargestFilesWindow(std::move(found), native, platform::DisplayName(title),
                                          list_.UnitMode, this);
    window->show();
}

}  // namespace listwindow
