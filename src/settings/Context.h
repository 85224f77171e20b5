#pragma once
// Program-wide values, set by the entry routine and read everywhere; the application object
// (Application.h) owns them.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>

namespace app {

struct ProgramContext {
    QString AppFolder;     // drive path, never ending in "\" ("E:" for a root)
    QString SettingsFile;  // AppFolder + "\FOLDEX.Opt"
    QByteArray AppFolderNative;
    QString SystemFolder;
    bool CommonDialogReady = false;
    std::array<qint16, 26> DriveTypes{};  // index 0 = A
    QString FsCodes = QString(26, QChar(0));
    QString WindowDrives = QString(10, u' ');
    std::array<QPointer<QObject>, 10> ListWindows{};
    bool FirstWindow = false;
    // Start geometry of the first window, twips (32 bits: a large screen passes 32,767).
    qint32 WindowLeft = 0;
    qint32 WindowTop = 0;
    qint32 WindowWidth = 0;
    qint32 WindowHeight = 0;
    QString VersionText;
    // The first command-line argument ("D:", "D:\\TEMP"; a folder becomes a drive of its own).
    QString CommandLine;

    // Window slots of the list windows.
    std::array<qint16, 10> SlotInUse{};  // -1 while the slot holds an open window
    qint16 NextSlot = 0;
    qint16 OpenWindows = 0;
    // Settled by the first window for the run.
    QString DefaultFontName;
    // Program-wide switches, read by every window while it loads.
    bool TreeDisp = true;
    bool ShortSpace = false;
    bool SelTypeWin = false;
    bool UseNewWindow = true;
    // The time, in seconds since the epoch, that listings are kept and compared at: the wall
    // clock unless set (tests set it rather than wait for seconds to pass).
    std::function<qint64()> Clock;
};

// The context of the current application.
ProgramContext& Ctx();
// Ctx().Clock's time, or the wall clock's.
qint64 NowSeconds();

inline constexpr int kVersionMajor = 6;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRevision = 0;
inline constexpr char kAppTitle[] = "FOLDEX32";
inline constexpr char kDevelopmentFolder[] = "C:\\UPLOAD\\FOLDEX32";

// Major and minor as their last digit each, a capital letter for a revision ("6.0", "6.1B").
QString BuildVersionText(int major, int minor, int revision);

}  // namespace app
