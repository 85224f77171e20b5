#pragma once
// The headless report of the command line: `--report DRIVE` fills a list as the window
// does and writes its text report or CSV; `--drives` prints the drive overview. With what
// the export shares: finding DRIVE, the progress line and the messages.
#include <QDateTime>
#include <QElapsedTimer>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include "scan/DriveList.h"

namespace cli {

// Largest growth of the subtree first (with --compare).
inline constexpr int kSortGrowth = 3;

enum ReportExit {
    kExitOk = 0,
    kExitWriteFailed = 1,
    kExitBadArguments = 2,
    kExitUnreadable = 3,
    kExitScanFailed = 4,  // written, but a figure passed its limit or the device went away
};

// The command line's drive and options, for every command.
struct ReportOptions {
    QString drive;
    QString importFile;  // an exported scan to report (or show) instead of a drive
    bool csv = false;
    // A file (an argument as ArgFromNative reads it); empty: standard output. The export's
    // file, where "-" is standard output.
    QString output;
    int level = 0;  // 0 all levels
    int unit = 0;   // 0 bytes, 1 KB, 2 MB
    int sort = 0;   // 0 tree order, 1 occupied size, 2 subtree total, kSortGrowth
    bool fullPath = false;
    // An earlier scan to report the changes since: a snapshot's time ("2026-12-07 10:30",
    // "last") or a file (a snapshot or an export).
    QString compare;
    // With compare: only the folders that changed, with the folders above them.
    bool changedOnly = false;
};

// The letter index for DRIVE: "D:", "D:\TEMP" (drive D) or a native folder, which becomes
// a drive of its own, or an exported scan's file, shown as a drive of its own. -1 (and a
// message) when there is no such drive, folder or file.
int ResolveReportDrive(const QString& drive, QString& error);

// "ドライブ D: (given) を読めません (reason)": a drive whose root could not be read
// (rootError errno, 0 when not known).
QString UnreadableDriveText(const QString& drive, const QString& given, int rootError);

// Writes text to a device, all of it or false.
bool Put(QIODevice& dev, const QString& text);
// text as a line of standard error: "foldex: " and text, control codes in caret notation.
QString ErrorLine(const QString& text);
bool PutError(QIODevice& err, const QString& text);

// FOLDEX_READ_THREADS, the knob for measurements: how many threads read ahead (0: none),
// or -1 when it is not set.
int ReadThreadsKnob();

// The progress line of a scan without a window, on a terminal's standard error: at most
// five times a second, cleared at the end when it was shown.
class ProgressLine {
  public:
    explicit ProgressLine(QIODevice& err);
    ~ProgressLine();
    void show(qint64 folders, qint64 files, const QString& folder);
    void clear();

  private:
    QIODevice& err_;
    QElapsedTimer shown_;
    bool visible_ = false;
};

// Runs the report after the entry routine; progress and messages go to err, the report
// (dated now) to out unless options.output names a file. Returns a ReportExit value.
int RunReport(const ReportOptions& options, QIODevice& out, QIODevice& err, bool progress,
              const QDateTime& now);

// The overview rows as an aligned table (wide characters count two columns).
QStringList OverviewTable(scan::DriveList& list);
int RunDrives(QIODevice& out);

}  // namespace cli
