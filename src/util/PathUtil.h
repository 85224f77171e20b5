#pragma once
// Splitting and joining drive paths ("D:\A\B"): "\" separates, a drive letter ends
// in ":". Pure text operations; nothing here touches the disk.

#include <QString>

namespace util {

// The extension in capitals, looked for only among the last six characters (so at
// most five characters long); empty when there is none.
QString GetExt(const QString& path);

// The part after the last "\" (or after the drive's ":"), else the whole path.
QString GetFileName(const QString& path);

// The file name without its last extension: "C:\dir\file.tar.gz" → "file.tar".
QString GetBaseName(const QString& path);

// What lies before the last "\" (dropped) or up to the drive's ":" (kept):
// "C:\A\B" → "C:\A", "C:\A" → "C:", "C:\" → "C:", "name" → "".
QString ParentDir(const QString& path);

// name with its extension (among the last six characters) replaced by ext.
QString ChangeExt(const QString& name, const QString& ext);

// base joined with rel; rel with a drive letter stands alone, leading "..\" climb.
QString JoinPath(const QString& base, const QString& rel);

}  // namespace util
