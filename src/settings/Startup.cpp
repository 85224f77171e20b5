#include "settings/Startup.h"

#include <QFile>

#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "platform/PathMap.h"
#include "platform/ProgramDir.h"
#include "platform/Shell.h"
#include "settings/Application.h"
#include "settings/Context.h"
#include "settings/OptionKeys.h"
#include "settings/Settings.h"

namespace app {
namespace {

const QString kSettingsName = QStringLiteral("FOLDEX.Opt");

void LoadDrivesFrom(const QByteArray& folder) {
    platform::LoadDrives(folder + "/" + kSettingsName.toUtf8());
}

QString WithoutTrailingSeparator(QString folder) {
    if (folder.endsWith(u'\\')) folder.chop(1);
    return folder;
}

// The window's place and size are kept in twips, which pass 16 bits on any large screen
// (2,400 pixels are 36,000 twips): any 32-bit value is read. A size that is not above 0 (as
// an earlier version wrote for a size past 32,767) is no size: the default stands.
void ReadGeometry(const char* key, qint32& target) {
    target = OptInt(key);
}

void ReadSize(const char* key, qint32& target) {
    const int v = OptInt(key);
    const OptionKey* k = FindOptionKey(QLatin1String(key));
    target = v > 0 ? v : QString::fromUtf8(k && k->def ? k->def : "0").toInt();
}

}  // namespace

QString ProgramFolder(const QString& developmentFolder, const QString& startedFrom) {
    QString folder = startedFrom;
    if (startedFrom.mid(2, 8).toUpper() == QLatin1String("\\WKPROG\\")) folder = developmentFolder;
    return WithoutTrailingSeparator(folder);
}

bool ReadRegString(const QString&, const QString&, const QString&, QString& value) {
    value.clear();
    return false;
}

void DetectPlatform() {
    const QString windir = qEnvironmentVariable("WINDIR");
    QString value;
    bool nt = false;
    if (!(ReadRegString("HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows\\CurrentVersion",
                        "VersionNumber", value) &&
          !value.trimmed().isEmpty())) {
        nt = ReadRegString("HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows NT\\CurrentVersion",
                           "CurrentVersion", value) &&
             !value.trimmed().isEmpty();
    }
    Ctx().SystemFolder = windir + QLatin1String(nt ? "\\System32" : "\\System");
}

QString CommandLineDrive(const QString& argument) {
    if (argument.isEmpty()) return {};
    if (argument.size() >= 2 && argument.at(1) == u':' &&
        platform::LetterIndex(argument.at(0)) >= 0)
        return argument;
    if (const auto& resolver = Application::Current().hooks().commandLineResolver) {
        const QString drive = resolver(argument);
        if (!drive.isEmpty()) return drive;
    }
    const int index = platform::AddFolderDrive(platform::NativeFromArg(argument));
    if (index < 0) return {};
    return QString(QChar(char16_t(u'A' + index))) + QLatin1String(":\\");
}

void EntryRoutine(const std::function<QObject*()>& createWindow,
                  const std::function<void(QObject*)>& showWindow, const QString& commandLine) {
    ProgramContext& c = Ctx();

    // The drive letters are read from the settings file first: the folder's drive path
    // depends on them.
    const QByteArray home = platform::HomeOverride();
    const QByteArray exe = platform::ExecutableFolder();
    // An installed program keeps its settings in the user's folder, also when run as root.
    const bool ownFolder = platform::FolderWritable(exe) && !platform::InstalledFolder(exe);
    QByteArray folder = !home.isEmpty() ? home : ownFolder ? exe : platform::ConfigFolder();
    LoadDrivesFrom(folder);
    if (home.isEmpty()) {
        const QString started = platform::DrivePath(exe);
        const QString chosen = ProgramFolder(QString::fromLatin1(kDevelopmentFolder), started);
        if (chosen != WithoutTrailingSeparator(started)) {
            const QByteArray dev = platform::NativePath(chosen);
            if (platform::FolderWritable(dev)) {
                folder = dev;
                LoadDrivesFrom(folder);
            }
        }
    }
    c.AppFolderNative = folder;
    // The folder as it is, even when the development fallback above could not be used.
    c.AppFolder = WithoutTrailingSeparator(platform::DrivePath(folder));
    c.SettingsFile = c.AppFolder + u'\\' + kSettingsName;
    SetSettingsNative(folder + "/" + kSettingsName.toUtf8());

    // A folder named on the command line becomes a drive before the letters are recorded.
    c.CommandLine = CommandLineDrive(commandLine);
    if (!commandLine.isEmpty() && c.CommandLine.isEmpty()) c.CommandLine = commandLine;

    // Qt's dialogs stand in for the common-dialog control; FOLDEX_NO_COMMON_DIALOGS turns
    // them off, so that the program's own input box is used instead.
    DetectPlatform();
    c.CommonDialogReady = qEnvironmentVariableIsEmpty("FOLDEX_NO_COMMON_DIALOGS");

    // File-system codes are filled in as drives are read.
    c.FsCodes = QString(26, QChar(0));
    for (int i = 0; i < 26; ++i) c.DriveTypes[i] = qint16(platform::DriveType(i));

    // The first window's place and size, remembered in twips.
    ReadGeometry("PositionX", c.WindowLeft);
    ReadGeometry("PositionY", c.WindowTop);
    ReadSize("WIDTH", c.WindowWidth);
    ReadSize("HEIGHT", c.WindowHeight);
    c.WindowDrives = QString(10, u' ');

    // The window's load runs when it is created here, so the version text and the
    // first-window flag it reads are set just before.
    c.VersionText = BuildVersionText(kVersionMajor, kVersionMinor, kVersionRevision);
    c.FirstWindow = true;
    c.NextSlot = 0;
    QObject* first = createWindow ? createWindow() : nullptr;
    c.ListWindows[0] = first;
    if (first && showWindow) showWindow(first);
}

void ShowHelp(QObject*) {
    platform::ShellOpenNative(platform::ExecutableFolder() + "/FOLDEX.html");
}

int ShellOpen(const QString& path) {
    bool ok = false;
    const QByteArray native = platform::NativePath(path, &ok);
    return ok ? platform::ShellOpenNative(native) : 2;
}

}  // namespace app
