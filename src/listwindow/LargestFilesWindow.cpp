#include "listwindow/LargestFilesWindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QStringDecoder>
#include <QTableView>
#include <QVBoxLayout>

#include "dialogs/MessageBox.h"
#include "platform/Beep.h"
#include "platform/Launcher.h"
#include "settings/Application.h"

namespace listwindow {

void CopyNativePath(const QByteArray& nativePath) {
    auto* mime = new QMimeData;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(nativePath);
    if (!utf8.hasError()) {
        mime->setText(text);
    } else {
        // Bytes that are not UTF-8 go as they are: pasted into a terminal they name the file.
        mime->setData(QStringLiteral("text/plain"), nativePath);
    }
    mime->setData(QStringLiteral("text/uri-list"),
                  platform::FileUri(nativePath).toLatin1() + "\r\n");
    QGuiApplication::clipboard()->setMimeData(mime);
}

LargestFilesWindow::LargestFilesWindow(scan::LargestFiles found, QByteArray folderNative,
                                       const QString& title, int unitMode, QWidget* owner)
    : QWidget(owner, Qt::Window), folder_(std::move(folderNative)) {
    setObjectName(QStringLiteral("LargestFiles"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("FOLDEX 大きいファイル - ") + title);
    QString summary =
        QStringLiteral("%1 の下の大きいファイル %2 個").arg(title).arg(found.files.size());
    if (found.vanished > 0)
        summary += QStringLiteral("  (スキャンの後に消えたか変わった %1 個は除きました)")
                       .arg(found.vanished);
    if (found.unreadable > 0)
        summary += QStringLiteral("  (読み取れないフォルダー %1 個)").arg(found.unreadable);
    if (found.stopped) summary += QStringLiteral("  (中止したので途中までです)");
    summary_ = new QLabel(summary, this);
    summary_->setObjectName(QStringLiteral("SUMDSP"));
    model_ = new scan::LargestModel(std::move(found.files), unitMode, this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("FILGRD"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the buttons; the arrows move between its rows.
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    // One line of text a row, as the folder list has, not the style's tall default.
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    // Largest first until a heading is clicked.
    table_->horizontalHeader()->setSortIndicator(scan::LargestModel::Size, Qt::DescendingOrder);
    table_->setSortingEnabled(true);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->resizeColumnsToContents();
    if (model_->rowCount() > 0) table_->selectRow(0);
    auto* show = new QPushButton(QStringLiteral("ファイル マネージャーで表示"), this);
    show->setObjectName(QStringLiteral("SHOWBTN"));
    auto* copy = new QPushButton(QStringLiteral("パスをコピー"), this);
    copy->setObjectName(QStringLiteral("COPYBTN"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("CLOSEBTN"));
    connect(show, &QPushButton::clicked, this, &LargestFilesWindow::ShowCurrent);
    connect(copy, &QPushButton::clicked, this, &LargestFilesWindow::CopyCurrent);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(table_, &QTableView::doubleClicked, this, &LargestFilesWindow::ShowCurrent);
    // Esc closes the window, as it closes a dialog.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(show);
    buttons->addWidget(copy);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    resize(760, 480);
}

int LargestFilesWindow::currentRow() const {
    const QModelIndex i = table_->currentIndex();
    return i.isValid() ? i.row() : -1;
}

QByteArray LargestFilesWindow::PathOf(int row) const {
    if (row < 0 || row >= model_->rowCount()) return {};
    const scan::LargeFile& f = model_->file(row);
    QByteArray path = folder_;
    if (!path.endsWith('/')) path += '/';
    if (!f.below.isEmpty()) path += f.below + '/';
    return path + f.name;
}

void LargestFilesWindow::ShowCurrent() {
    const int row = currentRow();
    if (row < 0) {
        platform::Beep();
        return;
    }
    const QByteArray path = PathOf(row);
    const QByteArray folder = path.left(path.lastIndexOf('/')).isEmpty()
                                  ? QByteArray("/")
                                  : path.left(path.lastIndexOf('/'));
    QString why;
    if (!platform::ShowInFileManager(app::Application::Current().starter(), folder, path, why))
        dialogs::MsgBoxEx(why, 0x30, QString(), this);
}

void LargestFilesWindow::CopyCurrent() {
    const int row = currentRow();
    if (row < 0) {
        platform::Beep();
        return;
    }
    CopyNativePath(PathOf(row));
}

}  // namespace listwindow
