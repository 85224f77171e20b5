#pragma once
// File helpers on drive paths ("D:\A\*.*"). The last component of a path is a
// pattern ("*" and "?", case-insensitive); a component without them names exactly
// one entry. Symbolic links are never followed: a link is a file.

#include <QString>

namespace util {

// Separator of name lists: code 2 before every name and once more at the end.
inline constexpr char16_t kListSep = 2;

// True when the path or pattern matches at least one entry that is not a folder.
bool FileExist(const QString& path);

// True when the path names a folder; "D:" or "D:\" asks the drive catalogue.
bool DirExist(const QString& path);

// The folders matching pattern ("." and ".." left out) as a name list; a pattern of
// at most three characters ("D:\") gives the drive root itself when it has files.
QString ListDirs(const QString& pattern);

// The entries matching pattern that are not folders, as a name list.
QString ListFiles(const QString& pattern);

// Deletes one file after making it writable; false when it stays read-only. A path
// that names no file answers true.
bool DelFile(const QString& path);

// Deletes one file during a folder deletion, retrying once after making it writable.
void KillFile(const QString& path);

// Creates every missing folder of path, letting pending events run between folders.
void MakeDirs(const QString& path);

// Copies source over destination without ever losing the old destination; shows the
// platform's standard message box on failure. True only when the copy is in place.
bool CopyFileSafe(const QString& source, const QString& destination);

// The message CopyFileSafe shows for a failed copy with this error number.
QString CopyFailureText(int error, const QString& destination);

}  // namespace util
