#pragma once
// Small text helpers. Positions are 1-based; a "character" is one UTF-16 unit, as in
// the rest of the program, except in AnsiLen.

#include <QString>
#include <QtGlobal>

namespace util {

// The empty text if text is shorter than n characters, else text without its last n.
QString CutRight(const QString& text, int n);

// text right-aligned in a field of width blanks, cut at the left when longer.
QString PadLeft(const QString& text, int width);

// The number's decimal digits right-aligned in width zeros, cut at the left when longer.
QString ZeroPad(qint32 number, int width);

// Only "a".."z" / "A".."Z" change case; every other character stays as it is.
QString UpperAscii(const QString& text);
QString LowerAscii(const QString& text);

// Bytes in the Japanese double-byte code page: an East Asian wide or fullwidth
// character counts 2, every other character (a surrogate pair is one) counts 1.
int AnsiLen(const QString& text);

// Position of an occurrence of sought at or before limit, found by halving between
// the first occurrence and limit; 0 when the first occurrence lies after limit or
// there is none. Exact where occurrences never stand side by side.
int LastPos(int limit, const QString& text, const QString& sought);

// high × 2^32 + low, the low half read as unsigned.
qint64 HiLoSize(qint32 high, qint32 low);

}  // namespace util
