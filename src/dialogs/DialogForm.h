#pragma once
// The platform's common dialogs, all through this one place: save file, colour, font and
// print setup. Each call passes what its caller gives and returns only what the caller relies
// on. A test builds its application with answers (DialogDoubles) that show nothing.
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class QFileDialog;
class QPrinter;
class QWidget;

namespace dialogs {

// Save-file options as the callers pass them: explorer style, the path must exist, the
// read-only box hidden, the current folder left unchanged, ask before overwriting.
inline constexpr int kSaveFlags = 0x8080E;
inline constexpr int kSaveAskOverwrite = 0x2;

struct SaveFileRequest {
    QString title;
    QString filter;  // description and pattern pairs, all separated by "|"
    int filterIndex = 1;
    QString proposedName;      // without folder and extension
    QByteArray startFolder;    // native
    QString defaultExtension;  // without the dot
    int flags = kSaveFlags;
};

struct SaveFileAnswer {
    enum class Outcome { Chosen, Cancelled, Failed };
    Outcome outcome = Outcome::Cancelled;
    QString fileName;  // the chosen full name, as the dialog returns it
    QString error;     // the failure's text
};

// The dialog's file name as a native path.
QByteArray NativeFileName(const QString& fileName);
// A file name typed where the dialogs cannot be shown, as a native path: as typed when it
// starts with "/", else a drive path, relative to the program's folder unless it names its
// drive. Empty when it names no drive.
QByteArray NativeOfAnswer(const QString& answer);

SaveFileAnswer SaveFileDialog(const SaveFileRequest& request, QWidget* owner);
// Sets up a file dialog for a request (filters, first one chosen, folder, proposed name,
// default extension following the chosen filter, overwrite question).
void ConfigureSaveDialog(QFileDialog& dialog, const SaveFileRequest& request);

// Open-file request: an existing file is chosen. The answer is as for saving.
struct OpenFileRequest {
    QString title;
    QString filter;          // description and pattern pairs, all separated by "|"
    QByteArray startFolder;  // native
};
SaveFileAnswer OpenFileDialog(const OpenFileRequest& request, QWidget* owner);

// An existing folder is chosen; the answer's fileName is its path.
struct FolderRequest {
    QString title;
    QByteArray startFolder;  // native
};
SaveFileAnswer FolderDialog(const FolderRequest& request, QWidget* owner);

// Colours are 0x00BBGGRR. Cancel gives the starting colour.
quint32 ColourDialog(quint32 start, QWidget* owner);

struct FontChoice {
    QString name;
    double size = 9;
    bool bold = false;
    bool italic = false;
    bool operator==(const FontChoice&) const = default;
};
// Cancel gives the starting font.
FontChoice FontDialog(const FontChoice& start, QWidget* owner);

// The printer set up here becomes the printer of the next print run. False on cancel.
bool PrintSetupDialog(QPrinter& printer, QWidget* owner);

// Answers in place of the dialogs (an empty member leaves that dialog real); given to the
// application as part of DialogDoubles.
struct CommonDialogHooks {
    std::function<SaveFileAnswer(const SaveFileRequest&)> saveFile;
    std::function<SaveFileAnswer(const OpenFileRequest&)> openFile;
    std::function<SaveFileAnswer(const FolderRequest&)> folder;
    std::function<std::optional<quint32>(quint32 start)> colour;
    std::function<std::optional<FontChoice>(const FontChoice& start)> font;
    std::function<bool(QPrinter&)> printSetup;
};

}  // namespace dialogs
