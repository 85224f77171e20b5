#pragma once
// The bijection between the program's drive paths ("D:\A\B") and native paths.
//
// A native name's characters that cannot stand in a Windows name (\ : * ? " < > |
// and codes 1 to 31) become U+F000 + code; bytes that are not valid UTF-8 become
// U+DC00 + byte (U+DC80..U+DCFF). A valid UTF-8 character that is itself one of
// these substitutes is escaped byte by byte, so every native name has exactly one
// program name and back.

#include <QByteArray>
#include <QString>

namespace platform {

QString NameFromNative(const QByteArray& nativeName);
QByteArray NativeFromName(const QString& name);

// A program name as a person should read it: the substitutes of \ : * ? " < > | show as
// those characters, control codes in caret notation (^I for a tab, ^? for DEL, M-^[ for
// U+009B), and bytes
// that are not UTF-8 as U+FFFD. For display and reports only: it does not round-trip.
QString DisplayName(const QString& name);

// A command-line argument (native bytes) as text and back, byte for byte: bytes that are
// not UTF-8 become U+DC00 + byte, everything else is itself (a ":" stays a ":").
QString ArgFromNative(const QByteArray& arg);
QByteArray NativeFromArg(const QString& arg);

// "D:\A\B", "D:", "d:\" → the native path below drive D's root, "." and ".."
// resolved by text (never above the root). Empty (and ok false) for a path without
// a mapped drive letter.
QByteArray NativePath(const QString& drivePath, bool* ok = nullptr);

// The drive path of a native absolute path, through the longest matching drive root;
// a root gives "D:\". Empty when no drive holds the path.
QString DrivePath(const QByteArray& nativePath);

}  // namespace platform
