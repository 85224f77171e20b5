// ListForm: what a listing shows while it runs, and stopping it.
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "grid/widget/GridView.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"
#include "platform/DriveMap.h"
#include "platform/PathMap.h"
#include "scan/Figures.h"
#include "scan/ListShape.h"
#include "scan/SubtreeRefresh.h"
#include "scan/TreeRows.h"
#include "settings/Settings.h"

namespace listwindow {
namespace {

// Each drive's folder count from its last complete listing, by letter, with the folder it
// was counted for: a letter given to another folder since then has no count.
constexpr auto kCountSection = "FolderCounts";

QString CountKey(QChar drive) {
    return QString(drive.toUpper());
}

QString RootText(QChar drive) {
    return QFile::decodeName(platform::Drives().root(platform::LetterIndex(drive)));
}

qint64 RememberedCount(QChar drive) {
    const QString value = app::GetStored(QString::fromLatin1(kCountSection), CountKey(drive));
    const qsizetype blank = value.indexOf(u' ');
    if (blank <= 0 || value.mid(blank + 1) != RootText(drive)) return 0;
    bool ok = false;
    const qint64 count = value.left(blank).toLongLong(&ok);
    return ok && count > 0 ? count : 0;
}

// Progress is painted at most ten times a second, so that it costs the scan nothing.
constexpr qint64 kPaintIntervalMs = 100;

}  // namespace

void ListForm::buildProgress() {
    stopButton_ = new QPushButton(QStringLiteral("中止 (Esc)"), this);
    stopButton_->setObjectName(QStringLiteral("STOPBTN"));
    stopButton_->setFocusPolicy(Qt::NoFocus);
    stopButton_->setToolTip(QStringLiteral("一覧の作成を中止します（読んだ分は一覧に残ります）"));
    stopButton_->hide();
    connect(stopButton_, &QPushButton::clicked, this, [this] { stopListing(); });
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("PROGBAR"));
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(true);
    progressBar_->hide();
}

void ListForm::beginProgress(QChar drive) {
    foldersBefore_ = platform::Drives().root(platform::LetterIndex(drive)).isEmpty()
                         ? 0
                         : RememberedCount(drive);
    listingClock_.start();
    progressClock_.invalidate();
    list_.StopAsked = false;
    showStopButton(true);
    progressBar_->setValue(0);
    progressBar_->setVisible(foldersBefore_ > 0);
    showDriveTotal(!(progressBar_->isVisibleTo(this) && barOverTotal_));
}

void ListForm::showProgress(const QString& folder) {
    if (progressClock_.isValid() && progressClock_.elapsed() < kPaintIntervalMs) return;
    progressClock_.start();
    // The figures always show; the folder's path gives way at its front when room is short,
    // and a narrow window leaves out the file count.
    const qint64 elapsed = listingClock_.elapsed();
    const QFontMetrics metrics(volumeLine_->font());
    QString head = scan::ListingProgressText(list_, elapsed);
    if (metrics.horizontalAdvance(head) > volumeLine_->width())
        head = scan::ListingProgressText(list_, elapsed, true);
    const int room = volumeLine_->width() - metrics.horizontalAdvance(head);
    const QString tail =
        room > metrics.horizontalAdvance(QStringLiteral("………"))
            ? metrics.elidedText(platform::DisplayName(folder), Qt::ElideLeft, room)
            : QString();
    showVolumeLine(head + tail);
    volumeLine_->repaint();
    if (foldersBefore_ > 0) {
        progressBar_->setValue(scan::ListingPercent(list_.RowCount, foldersBefore_));
        progressBar_->repaint();
    }
}

void ListForm::showStopButton(bool reading) {
    elapsedLabel_->setVisible(!reading);
    stopButton_->setVisible(reading);
    if (reading) stopButton_->raise();
}

void ListForm::showDriveTotal(bool shown) {
    figureCaptions_[0]->setVisible(shown);
    driveTotal_->setVisible(shown);
}

void ListForm::endProgress(QChar drive) {
    showStopButton(false);
    progressBar_->hide();
    showDriveTotal(true);
    list_.StopAsked = false;
    // Only a whole listing of a drive on this machine is a measure for the next one.
    if (list_.StopFlag || list_.Incomplete || list_.RootError != 0 || list_.RowCount <= 0 ||
        platform::Drives().root(platform::LetterIndex(drive)).isEmpty())
        return;
    app::PutStored(QString::fromLatin1(kCountSection), CountKey(drive),
                   QString::number(list_.FolderTotal + 1) + QLatin1Char(' ') + RootText(drive));
    keepSnapshot();
}

void ListForm::stopListing() {
    if (gate_.mode() != Mode::Listing) return;
    list_.StopAsked = true;
    showVolumeLine(QStringLiteral("中止しています…"));
    volumeLine_->repaint();
}

void ListForm::RefreshDrive() {
    command([&] { refreshDrive(); });
}

void ListForm::refreshDrive() {
    if (list_.OverviewShown || currentButton_ < 0 || list_.RowCount <= 0) {
        platform::Beep();
        return;
    }
    const scan::ListShape shape = scan::TakeShape(list_);
    showDrive(currentButton_);
    if (gate_.closing() || list_.StopFlag || list_.RowCount <= 0) return;
    scan::ApplyShape(list_, shape);
    grid::Grid& g = view_->grid();
    grid::ResizeScrollList(g);
    grid::FitAndRefresh(g);
    refreshFigures();
}

void ListForm::RefreshFolder() {
    command([&] { refreshFolder(view_->grid().st.cursorRow); });
}

void ListForm::refreshFolder(int row) {
    if (refusedWhileComparing()) return;
    const scan::FolderTable& t = list_.Folders;
    if (list_.OverviewShown || row < 0 || row + 1 >= list_.RowCount || row >= t.bound()) {
        platform::Beep();
        return;
    }
    const int f = t.Order[size_t(row)];
    if (f == 0) {
        refreshDrive();
        return;
    }
    const scan::ListShape shape = scan::TakeShape(list_);
    const QString name = platform::DisplayName(scan::FolderPath(list_, f));
    QString error;
    bool done = false;
    {
        Hold listing(gate_, Mode::Listing);
        listingClock_.start();
        progressClock_.invalidate();
        list_.StopAsked = false;
        showStopButton(true);
        // The volume line names the folder being read again.
        const auto showWhole = list_.ShowProgress;
        list_.ShowProgress = [this](const QString& folder) {
            if (progressClock_.isValid() && progressClock_.elapsed() < kPaintIntervalMs) return;
            progressClock_.start();
            showVolumeLine(QStringLiteral("読み直し中  ") + platform::DisplayName(folder));
            volumeLine_->repaint();
        };
        done = scan::RefreshSubtree(list_, f, error);
        list_.ShowProgress = showWhole;
        list_.StopAsked = false;
        showStopButton(false);
    }
    if (gate_.closing() || list_.StopFlag) return;
    if (!done) {
        refreshFigures();
        MsgBoxEx(QChar(8) + name + QChar(7) + u'|' + error, 0x30);
        focusList();
        return;
    }
    scan::RowsFromScan(list_);
    if (list_.SortKind != 0) {
        scan::SortRows(list_);
        scan::ShowPaths(list_);
    } else if (list_.FullPath) {
        scan::ShowPaths(list_);
    }
    scan::ApplyShape(list_, shape);
    grid::Grid& g = view_->grid();
    applyDisplay();
    grid::ResizeScrollList(g);
    grid::FitAndRefresh(g);
    scan::ShowSelectionFigures(list_);
    refreshFigures();
    focusList();
}

}  // namespace listwindow
