// ListForm: saving the list as a text report or CSV.
#include <QDateTime>

#include "dialogs/DialogForm.h"
#include "dialogs/InpBoxForm.h"
#include "export/ListExport.h"
#include "grid/widget/GridView.h"
#include "listwindow/ListCommands.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "platform/Shell.h"
#include "settings/Context.h"
#include "util/PathUtil.h"

namespace listwindow {
namespace {

constexpr QChar kBold(8);
constexpr QChar kPlain(7);

QString Colour(int code) {
    return QString(QChar(char16_t(code)));
}

bool FileThere(const QByteArray& native) {
    platform::DirEntry e;
    return platform::StatEntry(native, e) && !e.isDir;
}

}  // namespace

void ListForm::SaveList() {
    command([&] { saveList(); });
}

void ListForm::saveList() {
    CloseChooser();
    if (list_.OverviewShown) return;
    if (view_->grid().st.rowCount <= 0) {
        platform::Beep();
        focusList();
        return;
    }
    app::ProgramContext& c = app::Ctx();
    const QChar drive = list_.VOLDSP.isEmpty() ? list_.CurrentDrive : list_.VOLDSP.at(0);
    const QByteArray folder = c.AppFolderNative;
    const QString defaultName = DefaultReportName(drive, [&](const QString& name) {
        return FileThere(folder + '/' + platform::NativeFromName(name));
    });

    Hold wait(gate_, Mode::InDialog);
    QByteArray target;
    QString chosen;  // the name as the person gave it
    if (c.CommonDialogReady) {
        dialogs::SaveFileRequest request;
        request.title = QStringLiteral("テキスト･ファイルへのリスト保存");
        request.filter = QStringLiteral("テキスト(TXT)|*.TXT|テキスト-カンマ区切り(CSV)|*.CSV");
        request.filterIndex = 1;
        request.proposedName = util::GetBaseName(defaultName);
        request.startFolder = folder;
        request.defaultExtension = QStringLiteral("TXT");
        const dialogs::SaveFileAnswer answer = dialogs::SaveFileDialog(request, this);
        if (gate_.closing()) return;
        switch (answer.outcome) {
            case dialogs::SaveFileAnswer::Outcome::Cancelled:
                focusList();
                return;
            case dialogs::SaveFileAnswer::Outcome::Chosen:
                chosen = DropAppendedExtension(answer.fileName);
                target = dialogs::NativeFileName(chosen);
                break;
            case dialogs::SaveFileAnswer::Outcome::Failed:
                // Said once; from now on the program's own input box asks.
                MsgBoxEx(answer.error, 0);
                if (gate_.closing()) return;
                c.CommonDialogReady = false;
                break;
        }
    }
    if (target.isEmpty()) {
        const QString proposed = c.AppFolder + u'\\' + defaultName;
        const QString prompt =
            Colour(1) + QStringLiteral("テキスト・ファイルに現在の情報を書き込みます|||") +
            Colour(0) + QStringLiteral("ファイル名：") + kBold + proposed + kPlain;
        chosen = dialogs::InputBoxEx(prompt, QStringLiteral("FOLDEX"), proposed, this);
        if (gate_.closing() || chosen.isEmpty()) {
            focusList();
            return;
        }
        target = dialogs::NativeOfAnswer(chosen);
        if (target.isEmpty()) {
            MsgBoxEx(kBold + platform::DisplayName(chosen) + kPlain +
                     QStringLiteral("|このドライブはありません。"));
            focusList();
            return;
        }
        if (FileThere(target)) {
            const short yes = MsgBoxEx(kBold + platform::DisplayName(chosen) + kPlain +
                                           QStringLiteral(" は、既に存在します。|") + Colour(5) +
                                           QStringLiteral("　上書きしていいですか？"),
                                       0x24);
            if (gate_.closing() || yes != dialogs::kAnswerYes) {
                focusList();
                return;
            }
        }
    }
    focusList();

    const exportlist::Format format = exportlist::FormatForName(chosen);
    QString error;
    if (!exportlist::SaveListFile(list_, format, target, QDateTime::currentDateTime(), &error)) {
        // The writer leaves any older file of the name whole; nothing is opened.
        MsgBoxEx(kBold + platform::DisplayName(chosen) + kPlain + u'|' + error);
        if (!gate_.closing()) focusList();
        return;
    }
    if (format == exportlist::Format::Text) platform::ShellOpenNative(target);
    focusList();
}

}  // namespace listwindow
