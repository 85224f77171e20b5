#include "cli/ReportCommand.h"

#include <QFile>
#include <algorithm>

#include <sys/stat.h>

#include "export/ListExport.h"
#include "grid/Grid.h"
#include "interchange/EarlierScan.h"
#include "interchange/ScanImport.h"
#include "interchange/SnapshotStore.h"
#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "scan/Compare.h"
#include "scan/DriveInfo.h"
#include "scan/FigureView.h"
#include "scan/FillList.h"
#include "scan/FolderStates.h"
#include "scan/ImportDrives.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"
#include "settings/Context.h"
#include "settings/OptionKeys.h"
#include "util/TextUtil.h"

namespace cli {
using namespace scan;

namespace {

// The earlier scan of --compare: a file (a snapshot or an export) when one has that name,
// else a snapshot of the listed drive by its time.
bool ReadCompared(const QString& given, const DriveList& list, scan::FigureTree& then,
                  QString& label, QString& error) {
    const QByteArray native = platform::NativeFromArg(given);
    struct stat st {};
    if (::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        label = platform::DisplayName(given);
        return interchange::ReadEarlierScan(native, then, error);
    }
    const QByteArray source = list.Folders.RootNative;
    interchange::SnapshotInfo found;
    if (!interchange::FindSnapshot(source, given, found, error)) return false;
    label = interchange::SnapshotTimeText(found.taken);
    return interchange::LoadSnapshot(found.file, source, then, error);
}

bool IsLetterDrive(const QString& s) {
    return s.size() >= 2 && s.at(1) == u':' && platform::LetterIndex(s.at(0)) >= 0 &&
           (s.size() == 2 || s.at(2) == u'\\');
}

// Pads to a width in report columns (a wide character takes two).
QString Pad(const QString& text, int width, bool right) {
    const int fill = std::max(0, width - util::AnsiLen(text));
    return right ? QString(fill, u' ') + text : text + QString(fill, u' ');
}

// The headless grid: no window, fonts and headings as the window would have them.
void PrepareGrid(grid::Grid& g) {
    grid::InitGrid(g, 0);
    g.st.font1Name = app::OptText("FontName1");
    g.st.columnCount = 5;
}

}  // namespace

int ResolveReportDrive(const QString& drive, QString& error) {
    if (IsLetterDrive(drive)) {
        const int index = platform::LetterIndex(drive.at(0));
        if (!platform::Drives().has(index)) {
            error = QStringLiteral("ドライブ ") + drive.left(2).toUpper() +
                    QStringLiteral(" はありません");
            return -1;
        }
        // Named by its letter: the letter is the user's from now on (an export lists too).
        platform::RememberDrive(index);
        return index;
    }
    const QByteArray native = platform::NativeFromArg(drive);
    // A scan exported to a file, given where a drive is expected.
    if (interchange::LooksLikeScanExport(native))
        return AddImportedDrive(native, interchange::ImportScanFile, error);
    const int index = platform::AddFolderDrive(native);
    if (index == platform::kNoFreeLetter) {
        error = QStringLiteral("空いているドライブ文字がありません (D: から Z: まで使用中): ") +
                platform::DisplayName(drive);
        return -1;
    }
    if (index < 0) {
        error = QStringLiteral("フォルダーを読めません: ") + drive;
        return -1;
    }
    app::Ctx().DriveTypes[size_t(index)] = qint16(platform::DriveType(index));
    return index;
}

bool Put(QIODevice& dev, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return dev.write(bytes) == bytes.size();
}

QString ErrorLine(const QString& text) {
    // Paths as given and names from an import may hold control codes (a newline too): a
    // terminal would take them as commands.
    return QStringLiteral("foldex: ") + platform::DisplayName(text) + u'\n';
}

bool PutError(QIODevice& err, const QString& text) {
    return Put(err, ErrorLine(text));
}

int ReadThreadsKnob() {
    bool knob = false;
    const int threads = qEnvironmentVariableIntValue("FOLDEX_READ_THREADS", &knob);
    return knob ? threads : -1;
}

ProgressLine::ProgressLine(QIODevice& err) : err_(err) {
    shown_.start();
}

ProgressLine::~ProgressLine() {
    clear();
}

void ProgressLine::show(qint64 folders, qint64 files, const QString& folder) {
    if (shown_.elapsed() < 200) return;
    shown_.restart();
    visible_ = true;
    Put(err_, QStringLiteral("\r\x1b[K%1 フォルダ  %2 ファイル  %3")
                  .arg(folders)
                  .arg(files)
                  .arg(platform::DisplayName(folder.left(60))));
}

void ProgressLine::clear() {
    if (visible_) Put(err_, QStringLiteral("\r\x1b[K"));
    visible_ = false;
}

QString UnreadableDriveText(const QString& drive, const QString& given, int rootError) {
    const QString shown = platform::DisplayName(given);
    return QStringLiteral("ドライブ ") + drive +
           (shown.compare(drive, Qt::CaseInsensitive) == 0 ? QString()
                                                           : QStringLiteral(" (") + shown + u')') +
           QStringLiteral(" を読めません") +
           (rootError > 0 ? QStringLiteral(" (") + platform::ErrorText(rootError) + u')'
                          : QString());
}

int RunReport(const ReportOptions& options, QIODevice& out, QIODevice& err, bool progress,
              const QDateTime& now) {
    QString error;
    const int index = options.importFile.isEmpty()
                          ? ResolveReportDrive(options.drive, error)
                          : AddImportedDrive(platform::NativeFromArg(options.importFile),
                                             interchange::ImportScanFile, error);
    if (index < 0) {
        PutError(err, error);
        return kExitUnreadable;
    }
    const QString drive = QString(QChar(u'A' + index)) + u':';

    // The report is written from the folder table: no grid is made.
    DriveList list;
    list.FontName = app::OptText("FontName1");
    list.UnitMode = options.unit;
    list.ShownLevel = options.level;
    list.FullPath = options.fullPath;
    list.OverviewShown = true;  // the folder headings go in
    list.IndentStep = 16;
    if (const int threads = ReadThreadsKnob(); threads >= 0) list.ReadThreads = threads;
    bool scanFailed = false;
    list.ReportFailure = [&err, &scanFailed](const QString& text) {
        scanFailed = true;
        PutError(err, text);
    };
    ProgressLine line(err);
    if (progress) {
        list.ShowProgress = [&](const QString& folder) {
            line.show(list.FolderTotal, list.FileTotal, folder);
        };
    }
    FillList(list, drive);
    line.clear();
    if (list.ListRowCount == 0 || list.RootError != 0) {
        PutError(err, UnreadableDriveText(
                          drive, options.importFile.isEmpty() ? options.drive : options.importFile,
                          list.RootError));
        return kExitUnreadable;
    }
    // Like du: one line per folder that could not be read, and the report all the same.
    for (const QString& line : UnreadableFolderLines(list)) PutError(err, line);
    for (const QString& line : LeftOutFolderLines(list)) PutError(err, line);
    // The earlier scan is found before this listing is kept, so "last" is the one before it.
    scan::FigureTree then;
    QString thenLabel;
    if (!options.compare.isEmpty() &&
        !ReadCompared(options.compare, list, then, thenLabel, error)) {
        PutError(err, error);
        return kExitUnreadable;
    }
    if (options.importFile.isEmpty() && !list.Incomplete && app::OptBool("KeepSnapshots")) {
        // Kept at the time it is written; a failure is a warning, the report goes on.
        if (!interchange::KeepSnapshot(scan::FigureView(list), error)) PutError(err, error);
    }
    if (!options.compare.isEmpty()) scan::EnterComparison(list, then, thenLabel);
    if (options.sort != 0) {
        list.SortKind = options.sort == kSortGrowth ? 2 : options.sort;
        SortRows(list);
        ShowPaths(list);
        list.FullPath = true;
    }
    const exportlist::Format format =
        options.csv ? exportlist::Format::Csv : exportlist::Format::Text;
    bool ok = false;
    if (options.output.isEmpty()) {
        ok = exportlist::WriteList(list, format, out, now, &error);
    } else {
        ok = exportlist::SaveListFile(list, format, platform::NativeFromArg(options.output), now,
                                      &error);
    }
    if (!ok) {
        PutError(err, QStringLiteral("書き込めません: ") +
                          (options.output.isEmpty() ? QStringLiteral("-") : options.output) +
                          (error.isEmpty() ? QString() : QStringLiteral(" (") + error + u')'));
        return kExitWriteFailed;
    }
    // Figures held at their limit, or a device gone: the report is written but not right.
    return scanFailed ? kExitScanFailed : kExitOk;
}

QStringList OverviewTable(DriveList& list) {
    ShowOverview(list);
    std::vector<QStringList> rows;
    QStringList head;
    for (const QString& h : OverviewHeadings()) head << h;
    rows.push_back(head);
    const grid::GridState& st = list.Grid->st;
    for (int r = 0; r < st.rowCount; ++r) {
        QStringList cells;
        for (int c = 0; c < 5; ++c) cells << grid::CellText(st, c, r);
        cells[0].replace(u'\t', QString());
        rows.push_back(cells);
    }
    std::array<int, 5> width{};
    for (const QStringList& cells : rows)
        for (int c = 0; c < 5; ++c)
            width[size_t(c)] = std::max(width[size_t(c)], util::AnsiLen(cells[c]));
    QStringList lines;
    for (const QStringList& cells : rows) {
        QString line;
        for (int c = 0; c < 5; ++c) {
            if (c > 0) line += QStringLiteral("  ");
            line += Pad(cells[c].trimmed(), width[size_t(c)], c > 0);
        }
        while (line.endsWith(u' ')) line.chop(1);
        lines << line;
    }
    return lines;
}

int RunDrives(QIODevice& out) {
    grid::Grid g;
    PrepareGrid(g);
    DriveList list;
    list.Grid = &g;
    for (int unit = 1; unit <= scan::kLastUnit; ++unit) {
        if (app::OptSwitch(scan::UnitKey(unit))) list.UnitMode = unit;
    }
    for (const QString& line : OverviewTable(list)) {
        if (!Put(out, line + u'\n')) return kExitWriteFailed;
    }
    return kExitOk;
}

}  // namespace cli
