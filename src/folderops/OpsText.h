#pragma once
// The texts of the folder operations' questions and notices, with the message box's
// mark-up. Names and paths come in as program names and are shown as a person reads them.
#include <QString>
#include <QStringList>

namespace folderops {

// What a folder command does.
enum class Operation { Copy = 1, Delete = 2, Move = 3 };

QString VerbOf(Operation operation);

QString SystemFolderText(const QString& name, const QString& verb, bool move, bool windows);
QString RecycleBinText(const QString& verb);
QString UnselectedSubfoldersText(const QString& name, const QString& verb, const QString& list);
QString ConfirmText(const QString& verb, const QString& drive, const QString& example);
QString ConfirmAgainText(const QString& verb);
QString CannotDeleteText(const QString& path);
QString NotDeletedLogLine(const QString& path);
QString FinishedText(const QString& verb);
QString ChooseDestinationText(const QString& verb);
QString InsertMediumText(const QString& drive);
QString NoRoomText(const QString& drive);
QString FolderExistsText(const QString& drive, const QString& target);
QString CannotCreateText(const QString& target);
QString NotCreatedLogLine(const QString& target);
QString NotCopiedText(const QString& target, const QString& source, const QString& verb, bool move);
QString NotCopiedLogLine(const QString& target);
QString SourceNotRemovedText(const QString& source, const QString& verb);
QString SourceNotRemovedLogLine(const QString& source);
// move: No keeps the source file where it is, and the question says so.
QString OverwriteText(const QString& targetFolder, const QString& name, const QString& source,
                      qint64 sourceTime, const QString& target, qint64 targetTime,
                      bool move = false);
// A folder on another file system (a mount) inside a selected folder: never entered.
QString OtherFileSystemText(const QString& path, const QString& verb);
QString OtherFileSystemLogLine(const QString& path);
// The failure log could not be written.
QString LogNotWrittenText(const QString& path, const QString& reason);
// Deleting into the trash: the second confirmation, a drive without a trash, a folder that
// could not go, and the closing message with the trash folders they went to.
QString ConfirmTrashText(const QString& verb);
QString NoTrashText(const QString& path);
QString NotTrashedText(const QString& path, const QString& reason);
QString NotTrashedLogLine(const QString& path);
QString TrashedText(const QString& verb, const QStringList& places);
// A folder that is no longer the one listed (renamed, replaced, turned into a link): never
// entered.
QString ChangedText(const QString& path, const QString& verb);
QString ChangedLogLine(const QString& path, const QString& verb);
// A folder that could not be opened or read, with the system's reason.
QString UnreadableText(const QString& path, const QString& reason, const QString& verb);
QString UnreadableLogLine(const QString& path, const QString& reason);
// Files of a folder that could not be removed (count of them, the first reason), and the line
// each gets in the log.
QString FilesNotRemovedText(const QString& folder, int count, const QString& reason,
                            const QString& verb);
QString FileNotRemovedLogLine(const QString& file, const QString& reason);
// A moved file whose source stays because the destination's newer, empty file was kept.
QString SourceKeptLogLine(const QString& file);
// A file of the names never deleted (Skipped) that stayed.
QString SkippedLogLine(const QString& file);
// The closing message of a run after which count files or folders stayed.
QString FinishedLeftText(const QString& finished, const QString& verb, int count);
// "YYYY/MM/DD hh:mm" of a time in seconds since the epoch, in local time.
QString StampText(qint64 seconds);

}  // namespace folderops
