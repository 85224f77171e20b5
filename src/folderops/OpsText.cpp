#include "folderops/OpsText.h"

#include <QDateTime>

#include "platform/PathMap.h"

namespace folderops {
namespace {

const QString kBold = QString(QChar(8));
const QString kPlain = QString(QChar(7));
QString Colour(int n) {
    return QString(QChar(n));
}
// A "|" in a name would break the message's line: it shows as its full-width form.
QString Shown(const QString& name) {
    return platform::DisplayName(name).replace(u'|', u'｜');
}
const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

QString VerbOf(Operation operation) {
    // The table pads the two-character verbs with a full-width blank.
    const QString table = QStringLiteral("コピー削除　移動　");
    return table.mid((int(operation) - 1) * 3, 3).remove(u'　').trimmed();
}

QString SystemFolderText(const QString& name, const QString& verb, bool move, bool windows) {
    const QString holds = windows ? QStringLiteral(" には、Windowsのシステムが入っています")
                                  : QStringLiteral(" には、システムが入っています");
    QString t = kBold + Colour(1) + Shown(name) + Colour(0) + kPlain + holds;
    if (move)
        return t + QStringLiteral("ので|") + Colour(5) + verb + QStringLiteral("できません") +
               Colour(0);
    return t + QStringLiteral("が|") + Colour(5) + verb + QStringLiteral("していいですか？") +
           Colour(0);
}

QString RecycleBinText(const QString& verb) {
    return QStringLiteral("ごみ箱は ") + Colour(5) + verb + QStringLiteral("できません") +
           Colour(0);
}

QString UnselectedSubfoldersText(const QString& name, const QString& verb, const QString& list) {
    return QStringLiteral("現在の選択状態では、|") + kBold + Colour(1) + Shown(name) + kPlain +
           Colour(0) + QStringLiteral(" に含まれる以下の下位フォルダーは、|　") + Colour(5) + verb +
           QStringLiteral("されませんが、") + Colour(0) + QStringLiteral("いいですか？||") + kBold +
           list + Colour(0);
}

QString ConfirmText(const QString& verb, const QString& drive, const QString& example) {
    QString dest, ex;
    if (!drive.isEmpty()) {
        dest = QStringLiteral("ドライブ ") + Colour(1) + kBold + drive + Colour(0) + kPlain +
               QStringLiteral(" の同一フォルダー名へ ");
    }
    if (!example.isEmpty()) {
        const QString target = drive.left(1) + example.mid(1);
        ex = QStringLiteral("||　【例】 ") + kBold + Colour(1) + Shown(example) + Colour(0) +
             QStringLiteral(" → ") + Colour(5) + Shown(target) + Colour(0) + kPlain;
    }
    return QStringLiteral("選択されたフォルダーを ") + dest + verb + QStringLiteral("します") + ex;
}

QString ConfirmAgainText(const QString& verb) {
    return QStringLiteral("ここで") + verb +
           QStringLiteral("したフォルダーは|ごみ箱から復元することはできません！||本当に") +
           Colour(5) + verb + QStringLiteral("していいですか？");
}

QString CannotDeleteText(const QString& path) {
    return kBold + Shown(path) + kPlain + QStringLiteral(" を削除できません||続行しますか？");
}

QString NotDeletedLogLine(const QString& path) {
    return QStringLiteral("フォルダー ") + Shown(path) + QStringLiteral(" は削除できませんでした") +
           kCrLf;
}

QString FinishedText(const QString& verb) {
    return verb + QStringLiteral("が ") + Colour(1) + QStringLiteral("終了しました") + Colour(0);
}

QString ChooseDestinationText(const QString& verb) {
    return verb + QStringLiteral("先のドライブを、画面下の") + Colour(1) +
           QStringLiteral("ドライブ･リスト") + Colour(0) + QStringLiteral("から選択してください");
}

QString InsertMediumText(const QString& drive) {
    return QStringLiteral("ドライブ ") + kBold + Colour(1) + drive + Colour(0) + kPlain +
           QStringLiteral(" にメディアをセットしてください");
}

QString NoRoomText(const QString& drive) {
    return QStringLiteral("ドライブ ") + kBold + Colour(1) + drive + Colour(0) + kPlain +
           QStringLiteral(" の") + Colour(5) + QStringLiteral("空き容量が足りません") + Colour(0) +
           QStringLiteral("||別のメディア、または別のドライブを指定してください");
}

QString FolderExistsText(const QString& drive, const QString& target) {
    const qsizetype cut = target.lastIndexOf(u'\\');
    return QStringLiteral("保存先 ") + Colour(1) + kBold + drive + Colour(0) + kPlain +
           QStringLiteral(" には既に|") + kBold + Shown(target.mid(cut + 1)) + kPlain +
           QStringLiteral(" というフォルダーがあります||") + Colour(5) +
           QStringLiteral("上書きしていいですか？");
}

QString CannotCreateText(const QString& target) {
    return QStringLiteral("保存先 ") + kBold + Shown(target) + kPlain +
           QStringLiteral(" を作成できません||続行しますか？");
}

QString NotCreatedLogLine(const QString& target) {
    return QStringLiteral("保存先 ") + Shown(target) + QStringLiteral(" を作成できませんでした") +
           kCrLf;
}

QString NotCopiedText(const QString& target, const QString& source, const QString& verb,
                      bool move) {
    QString t = kBold + Shown(target) + kPlain + QStringLiteral(" をコピーできませんでした");
    if (move)
        t += QStringLiteral("|（") + kBold + Shown(source) + kPlain +
             QStringLiteral("は元のフォルダーに残されます）");
    return t + QStringLiteral("||") + verb + QStringLiteral("を続行しますか？");
}

QString NotCopiedLogLine(const QString& target) {
    return Shown(target) + QStringLiteral(" をコピーできませんでした") + kCrLf;
}

QString SourceNotRemovedText(const QString& source, const QString& verb) {
    return QStringLiteral("フォルダー ") + kBold + Shown(source) + kPlain +
           QStringLiteral(" は削除できませんでした||") + verb + QStringLiteral("を続行しますか？");
}

QString SourceNotRemovedLogLine(const QString& source) {
    return Shown(source) + QStringLiteral(" を削除できませんでした") + kCrLf;
}

QString OverwriteText(const QString& targetFolder, const QString& name, const QString& source,
                      qint64 sourceTime, const QString& target, qint64 targetTime, bool move) {
    const QString kept =
        move ? QStringLiteral("||（いいえ: 元のファイルは移動せずに残します）") : QString();
    return QStringLiteral("保存先 ") + kBold + Shown(targetFolder) + kPlain +
           QStringLiteral(" には、|") + QStringLiteral("既に日付の") + Colour(5) +
           QStringLiteral("新しいファイル") + Colour(0) + QStringLiteral("があります||") + kBold +
           QStringLiteral("【転送元】　[") + StampText(sourceTime) + QStringLiteral("]") +
           Shown(source) + kBold + QStringLiteral("【保存先】　[") + StampText(targetTime) +
           QStringLiteral("]") + Shown(target) + QStringLiteral("||") +
           QStringLiteral("日付の古い") + Colour(1) + Shown(name) + Colour(0) +
           QStringLiteral("で上書きしていいですか？") + kept;
}

QString OtherFileSystemText(const QString& path, const QString& verb) {
    return QStringLiteral("フォルダー ") + kBold + Shown(path) + kPlain +
           QStringLiteral(" は別のファイル・システムなので") + verb +
           QStringLiteral("しません||続行しますか？");
}

QString OtherFileSystemLogLine(const QString& path) {
    return QStringLiteral("フォルダー ") + Shown(path) +
           QStringLiteral(" は別のファイル・システムなので") + QStringLiteral("入りませんでした") +
           kCrLf;
}

QString LogNotWrittenText(const QString& path, const QString& reason) {
    return kBold + Shown(path) + kPlain + QStringLiteral(" を書き込めませんでした||") + reason;
}

QString ConfirmTrashText(const QString& verb) {
    return QStringLiteral("ここで") + verb +
           QStringLiteral("したフォルダーは|ごみ箱へ移され、ごみ箱から復元できます||本当に") +
           Colour(5) + verb + QStringLiteral("していいですか？");
}

QString NoTrashText(const QString& path) {
    return kBold + Shown(path) + kPlain + QStringLiteral(" のドライブには") + Colour(5) +
           QStringLiteral("ごみ箱がありません") + Colour(0) +
           QStringLiteral("||ごみ箱へ移さずに完全に削除していいですか？");
}

QString NotTrashedText(const QString& path, const QString& reason) {
    return kBold + Shown(path) + kPlain + QStringLiteral(" をごみ箱へ移せません||") + reason +
           QStringLiteral("||続行しますか？");
}

QString NotTrashedLogLine(const QString& path) {
    return QStringLiteral("フォルダー ") + Shown(path) +
           QStringLiteral(" はごみ箱へ移せませんでした") + kCrLf;
}

QString TrashedText(const QString& verb, const QStringList& places) {
    if (places.isEmpty()) return FinishedText(verb);
    QString t =
        FinishedText(verb) + QStringLiteral("||ごみ箱へ移したフォルダーは次の場所にあります|");
    for (const QString& place : places) t += QStringLiteral("|　") + kBold + Shown(place) + kPlain;
    return t;
}

QString ChangedText(const QString& path, const QString& verb) {
    return QStringLiteral("フォルダー ") + kBold + Shown(path) + kPlain +
           QStringLiteral(" は一覧を作った後で") + Colour(5) +
           QStringLiteral("別のものに変わっている") + Colour(0) + QStringLiteral("ので") + verb +
           QStringLiteral("しません||続行しますか？");
}

QString ChangedLogLine(const QString& path, const QString& verb) {
    return QStringLiteral("フォルダー ") + Shown(path) +
           QStringLiteral(" は一覧を作った後で別のものに変わっていたので") + verb +
           QStringLiteral("しませんでした") + kCrLf;
}

QString UnreadableText(const QString& path, const QString& reason, const QString& verb) {
    return QStringLiteral("フォルダー ") + kBold + Shown(path) + kPlain +
           QStringLiteral(" を読み取れません||") + reason + QStringLiteral("||") + verb +
           QStringLiteral("を続行しますか？");
}

QString UnreadableLogLine(const QString& path, const QString& reason) {
    return QStringLiteral("フォルダー ") + Shown(path) +
           QStringLiteral(" を読み取れませんでした（") + reason + QStringLiteral("）") + kCrLf;
}

QString FilesNotRemovedText(const QString& folder, int count, const QString& reason,
                            const QString& verb) {
    return QStringLiteral("フォルダー ") + kBold + Shown(folder) + kPlain + QStringLiteral(" の ") +
           Colour(5) + QString::number(count) + QStringLiteral(" 個のファイル") + Colour(0) +
           QStringLiteral("を削除できませんでした||") + reason + QStringLiteral("||") + verb +
           QStringLiteral("を続行しますか？");
}

QString FileNotRemovedLogLine(const QString& file, const QString& reason) {
    return Shown(file) + QStringLiteral(" を削除できませんでした（") + reason +
           QStringLiteral("）") + kCrLf;
}

QString SourceKeptLogLine(const QString& file) {
    return Shown(file) +
           QStringLiteral(
               " は保存先に日付の新しい空のファイルがあるので元のフォルダーに残されました") +
           kCrLf;
}

QString SkippedLogLine(const QString& file) {
    return Shown(file) + QStringLiteral(" はシステムのファイルの名前なので削除せずに残しました") +
           kCrLf;
}

QString FinishedLeftText(const QString& finished, const QString& verb, int count) {
    return finished + QStringLiteral("||") + Colour(5) + QStringLiteral("ただし ") +
           QString::number(count) + QStringLiteral(" 件のファイルまたはフォルダーは") + verb +
           QStringLiteral("されずに残っています") + Colour(0);
}

QString StampText(qint64 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

}  // namespace folderops
