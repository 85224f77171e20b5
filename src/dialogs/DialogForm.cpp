#include "dialogs/DialogForm.h"

#include <QApplication>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QPrintDialog>
#include <QPrinter>

#include "dialogs/DialogParts.h"
#include "platform/Fonts.h"
#include "platform/PathMap.h"
#include "settings/Context.h"
#include "util/PathUtil.h"

namespace dialogs {

namespace {
// A test's answers, given with its application.
const CommonDialogHooks& Hooks() {
    return Doubles().common;
}

bool HaveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// "テキスト(TXT)|*.TXT|…" as Qt's filters "テキスト(TXT) (*.TXT)"; the patterns alongside.
struct Filters {
    QStringList names;
    QStringList patterns;
};
Filters SplitFilter(const QString& filter) {
    Filters out;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        out.names << parts[i] + QStringLiteral(" (") + patterns + u')';
        out.patterns << parts[i + 1];
    }
    return out;
}

// The extension of a filter's first pattern ("*.CSV" → "CSV"), empty for "*.*" and the like.
QString PatternExtension(const QString& pattern) {
    const QString first = pattern.section(u';', 0, 0).trimmed();
    if (!first.startsWith(QStringLiteral("*."))) return {};
    const QString ext = first.mid(2);
    return ext.contains(u'*') || ext.contains(u'?') ? QString() : ext;
}
}  // namespace

QByteArray NativeFileName(const QString& fileName) {
    return QFile::encodeName(fileName);
}

QByteArray NativeOfAnswer(const QString& answer) {
    if (answer.startsWith(u'/')) return platform::NativeFromArg(answer);
    bool ok = false;
    const QByteArray native =
        platform::NativePath(util::JoinPath(app::Ctx().AppFolder, answer), &ok);
    return ok ? native : QByteArray();
}

void ConfigureSaveDialog(QFileDialog& dialog, const SaveFileRequest& request) {
    dialog.setWindowTitle(request.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const Filters filters = SplitFilter(request.filter);
    dialog.setNameFilters(filters.names);
    const qsizetype index = std::clamp<qsizetype>(request.filterIndex - 1, 0,
                                                  std::max<qsizetype>(filters.names.size() - 1, 0));
    if (!filters.names.isEmpty()) dialog.selectNameFilter(filters.names[index]);
    dialog.setDirectory(QFile::decodeName(request.startFolder));
    dialog.selectFile(request.proposedName);
    // A name typed without an extension takes the chosen filter's, else the default one.
    QString ext =
        filters.patterns.isEmpty() ? QString() : PatternExtension(filters.patterns[index]);
    dialog.setDefaultSuffix(ext.isEmpty() ? request.defaultExtension : ext);
    const QString fallback = request.defaultExtension;
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, filters, fallback](const QString& name) {
                         const qsizetype i = filters.names.indexOf(name);
                         const QString e =
                             i >= 0 ? PatternExtension(filters.patterns[i]) : QString();
                         dialog.setDefaultSuffix(e.isEmpty() ? fallback : e);
                     });
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & kSaveAskOverwrite));
}

namespace {

SaveFileAnswer NoFileDialog() {
    SaveFileAnswer answer;
    answer.outcome = SaveFileAnswer::Outcome::Failed;
    answer.error = QStringLiteral("ファイル選択ダイアログを表示できません。");
    return answer;
}

SaveFileAnswer RunFileDialog(QFileDialog& dialog) {
    SaveFileAnswer answer;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return answer;
    answer.outcome = SaveFileAnswer::Outcome::Chosen;
    answer.fileName = dialog.selectedFiles().constFirst();
    return answer;
}

}  // namespace

SaveFileAnswer SaveFileDialog(const SaveFileRequest& request, QWidget* owner) {
    if (Hooks().saveFile) return Hooks().saveFile(request);
    if (!HaveWidgets()) return NoFileDialog();
    QFileDialog dialog(owner);
    ConfigureSaveDialog(dialog, request);
    return RunFileDialog(dialog);
}

SaveFileAnswer OpenFileDialog(const OpenFileRequest& request, QWidget* owner) {
    if (Hooks().openFile) return Hooks().openFile(request);
    if (!HaveWidgets()) return NoFileDialog();
    QFileDialog dialog(owner);
    dialog.setWindowTitle(request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const Filters filters = SplitFilter(request.filter);
    dialog.setNameFilters(filters.names);
    dialog.setDirectory(QFile::decodeName(request.startFolder));
    return RunFileDialog(dialog);
}

SaveFileAnswer FolderDialog(const FolderRequest& request, QWidget* owner) {
    if (Hooks().folder) return Hooks().folder(request);
    if (!HaveWidgets()) return NoFileDialog();
    QFileDialog dialog(owner);
    dialog.setWindowTitle(request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setDirectory(QFile::decodeName(request.startFolder));
    return RunFileDialog(dialog);
}

quint32 ColourDialog(quint32 start, QWidget* owner) {
    if (Hooks().colour) return Hooks().colour(start).value_or(start);
    if (!HaveWidgets()) return start;
    const QColor initial(int(start & 0xFF), int((start >> 8) & 0xFF), int((start >> 16) & 0xFF));
    const QColor chosen = QColorDialog::getColor(initial, owner);
    if (!chosen.isValid()) return start;
    return quint32(chosen.red()) | quint32(chosen.green()) << 8 | quint32(chosen.blue()) << 16;
}

FontChoice FontDialog(const FontChoice& start, QWidget* owner) {
    if (Hooks().font) return Hooks().font(start).value_or(start);
    if (!HaveWidgets()) return start;
    QFont initial(platform::ResolveFontFamily(start.name));
    if (start.size > 0) initial.setPointSizeF(start.size);
    initial.setBold(start.bold);
    initial.setItalic(start.italic);
    bool ok = false;
    const QFont chosen =
        QFontDialog::getFont(&ok, initial, owner, QString(), QFontDialog::ScalableFonts);
    if (!ok) return start;
    FontChoice out;
    // The face keeps the name it was given when the person left it as it was.
    out.name = chosen.family() == initial.family() ? start.name : chosen.family();
    out.size = chosen.pointSizeF();
    out.bold = chosen.bold();
    out.italic = chosen.italic();
    return out;
}

bool PrintSetupDialog(QPrinter& printer, QWidget* owner) {
    if (Hooks().printSetup) return Hooks().printSetup(printer);
    if (!HaveWidgets()) return false;
    QPrintDialog dialog(&printer, owner);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace dialogs
