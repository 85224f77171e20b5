#pragma once
// Size texts of the list and its labels, and the size mark that colours a row.
#include <QString>
#include <QtGlobal>
#include <limits>

namespace scan {

inline constexpr qint64 kKB = 1024;
inline constexpr qint64 kMB = kKB * 1024;
inline constexpr qint64 kGB = kMB * 1024;

// a + b, held at the largest (or smallest) figure instead of wrapping.
inline qint64 SaturatingAdd(qint64 a, qint64 b) {
    qint64 sum;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}
inline constexpr qint64 kTB = kGB * 1024;

// Unit modes: 0 full bytes, 1 KB, 2 MB, 3 GB (one decimal, as MB).
inline constexpr int kUnitGB = 3;
inline constexpr int kLastUnit = kUnitGB;
// The settings switch that stores unit 1..kLastUnit ("KB", "MB", "GB"); read in that order,
// so the larger unit wins when a hand-edited file has several on.
inline const char* UnitKey(int unitMode) {
    static const char* const kKeys[] = {"", "KB", "MB", "GB"};
    return unitMode >= 1 && unitMode <= kLastUnit ? kKeys[unitMode] : "";
}
// A list cell: 18 characters, right-aligned; a longer number loses its leftmost characters.
// plus: a change, "+" before a growth.
QString CellSize(qint64 bytes, int unitMode, bool plus = false);
// A label figure: the same number with nothing added in front or cut.
QString PlainSize(qint64 bytes, int unitMode, bool plus = false);
// 0..15 by the thresholds 1 MB … 16 GB.
int SizeMark(qint64 bytes);
// "#,0" of a whole number.
QString GroupDigits(qint64 value);
// A file count as the list writes it; plus: a change, "+" before a growth.
inline QString CountText(qint64 count, bool plus = false) {
    return (plus && count > 0 ? QStringLiteral("+") : QString()) + QString::number(count);
}

}  // namespace scan
