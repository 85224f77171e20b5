#pragma once
// Reader and writer of profile files ([Section] and key=value lines), UTF-8.
// Section and key names compare without regard to case; blanks around keys and
// values are trimmed and one pair of surrounding quotes is removed from a value;
// the first of two equal keys wins. Every read opens the file afresh. Every write
// keeps all other lines and comments in place and replaces the file through a
// temporary file and a rename.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace platform {

// The value of key in section; found (if given) tells whether the key exists.
QString ProfileGet(const QByteArray& nativeFile, const QString& section, const QString& key,
                   bool* found = nullptr);

// Every key of a section with its value, in file order (a repeated key only once).
QList<QPair<QString, QString>> ProfileSection(const QByteArray& nativeFile, const QString& section);

// Sets key in section: the first line of the key is replaced, a new key is appended
// to its section, a new section to the file. Line breaks in value become blanks.
bool ProfilePut(const QByteArray& nativeFile, const QString& section, const QString& key,
                const QString& value);

// Removes every line of key in section.
bool ProfileRemove(const QByteArray& nativeFile, const QString& section, const QString& key);

}  // namespace platform
