// ListForm: opening any folder as a drive of its own (the drive menus, Ctrl+O, a folder
// dropped on the window, the folders opened last), and the hint of a window without a drive.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>

#include "dialogs/DialogForm.h"
#include "dialogs/InpBoxForm.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"
#include "platform/DriveCatalog.h"
#include "platform/PathMap.h"
#include "settings/Context.h"
#include "settings/RecentFolders.h"

namespace listwindow {
namespace {

constexpr QChar kBold(8);
constexpr QChar kPlain(7);

// A dropped folder's native path, byte for byte: read from the URI list itself, since a
// URL made of it keeps text, not bytes (a name that is no UTF-8 would be lost).
QByteArray DroppedFolder(const QMimeData* mime) {
    if (!mime) return {};
    for (QByteArray line : mime->data(QStringLiteral("text/uri-list")).split('\n')) {
        line = line.trimmed();
        if (!line.startsWith("file://")) continue;
        QByteArray path = line.mid(7);
        // "file://host/path": a host other than this one names no local folder.
        const qsizetype slash = path.indexOf('/');
        const QByteArray host = path.left(std::max<qsizetype>(slash, 0));
        if (slash < 0 || (!host.isEmpty() && host != "localhost")) continue;
        path = QByteArray::fromPercentEncoding(path.mid(slash));
        if (path.size() > 1 && path.endsWith('/')) path.chop(1);
        return path;
    }
    return {};
}

QString Shown(const QByteArray& native) {
    return platform::DisplayName(platform::ArgFromNative(native));
}

}  // namespace

void ListForm::buildFolderItems() {
    openFolderItem_ = new QAction(QStringLiteral("フォルダーを開く… (Ctrl+O)"), this);
    openFolderItem_->setObjectName(QStringLiteral("P_OPENDIR"));
    connect(openFolderItem_, &QAction::triggered, this, [this] { OpenFolder(); });
    recentMenu_ = new QMenu(QStringLiteral("最近開いたフォルダー"), this);
    recentMenu_->setObjectName(QStringLiteral("POP_RECENT"));
    connect(recentMenu_, &QMenu::aboutToShow, this, [this] { fillRecentMenu(); });
    fillRecentMenu();
    setAcceptDrops(true);
}

void ListForm::buildHint() {
    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("HINT"));
    hint_->setAlignment(Qt::AlignCenter);
    hint_->setWordWrap(true);
    // A plain box of its own: the list's column rules do not run through its text.
    hint_->setStyleSheet(QStringLiteral(
        "color: #506070; background: #FFFFFF; border: 1px solid #C8D0D8; padding: 4px"));
    hint_->setText(
        QStringLiteral("ドライブのボタンを押すと、そのドライブのフォルダー一覧を作ります。\n"
                       "ほかのフォルダーは、ドライブのボタンの右クリック・メニューの"
                       "「フォルダーを開く…」(Ctrl+O) で開けます。"
                       "フォルダーをこのウィンドウにドロップしても開けます。"));
}

void ListForm::fillRecentMenu() {
    recentMenu_->clear();
    const std::vector<QByteArray> folders = app::RecentFolders();
    for (const QByteArray& folder : folders) {
        QAction* a = recentMenu_->addAction(Shown(folder));
        a->setObjectName(QStringLiteral("P_RECENT"));
        connect(a, &QAction::triggered, this,
                [this, folder] { command([&] { openFolderAsDrive(folder); }); });
    }
    recentMenu_->setEnabled(!folders.empty());
}

// The keyboard's way to the folders opened last: their menu under the volume line.
void ListForm::recentMenuKey() {
    CloseChooser();
    fillRecentMenu();
    if (!recentMenu_->isEnabled()) {
        platform::Beep();
        return;
    }
    recentMenu_->popup(volumeLine_->mapToGlobal(QPoint(0, volumeLine_->height())));
}

void ListForm::OpenFolder() {
    command([&] { openFolder(); });
}

void ListForm::openFolder() {
    if (gate_.closing()) return;
    CloseChooser();
    QByteArray folder;
    {
        // A close while the dialog is up leaves the window alive until it has returned.
        Hold wait(gate_, Mode::InDialog);
        app::ProgramContext& c = app::Ctx();
        if (c.CommonDialogReady) {
            dialogs::FolderRequest request;
            request.title = QStringLiteral("ドライブとして開くフォルダー");
            const std::vector<QByteArray> recent = app::RecentFolders();
            request.startFolder = recent.empty() ? qgetenv("HOME") : recent.front();
            const dialogs::SaveFileAnswer answer = dialogs::FolderDialog(request, this);
            if (gate_.closing()) return;
            if (answer.outcome == dialogs::SaveFileAnswer::Outcome::Cancelled) {
                focusList();
                return;
            }
            if (answer.outcome == dialogs::SaveFileAnswer::Outcome::Chosen) {
                folder = dialogs::NativeFileName(answer.fileName);
            } else {
                // Said once; from now on the program's own input box asks.
                MsgBoxEx(answer.error, 0);
                if (gate_.closing()) return;
                c.CommonDialogReady = false;
            }
        }
        if (folder.isEmpty()) {
            const QString typed =
                dialogs::InputBoxEx(QStringLiteral("ドライブとして開くフォルダーのパス："),
                                    QStringLiteral("FOLDEX"), QString(), this);
            if (gate_.closing()) return;
            if (typed.isEmpty()) {
                focusList();
                return;
            }
            folder = platform::NativeFromArg(typed);
        }
    }
    openFolderAsDrive(folder);
}

void ListForm::openFolderAsDrive(const QByteArray& folder) {
    const int index = platform::AddFolderDrive(folder);
    if (index == platform::kNoFreeLetter) {
        MsgBoxEx(kBold + Shown(folder) + kPlain +
                 QStringLiteral("|空いているドライブ文字がありません (D: から Z: まで使用中)。"));
        focusList();
        return;
    }
    if (index < 0) {
        MsgBoxEx(kBold + Shown(folder) + kPlain + QStringLiteral("|このフォルダーは開けません。"));
        focusList();
        return;
    }
    app::RememberFolder(folder);
    showLetter(index);
}

void ListForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFolder(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void ListForm::dropEvent(QDropEvent* event) {
    const QByteArray folder = DroppedFolder(event->mimeData());
    if (folder.isEmpty()) return;
    event->acceptProposedAction();
    command([&] { openFolderAsDrive(folder); });
}

}  // namespace listwindow
