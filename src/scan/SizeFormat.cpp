#include "scan/SizeFormat.h"

#include <array>

namespace scan {
namespace {

// The number of a unit's text, rounded with halves away from zero: "#,0" or "#,0.0".
QString UnitNumber(qint64 bytes, int unitMode, bool plus) {
    const bool negative = bytes < 0;
    const __int128 b = negative ? -__int128(bytes) : __int128(bytes);
    QString text;
    if (unitMode == 0) {
        text = GroupDigits(qint64(b));
    } else if (unitMode == 1) {
        text = GroupDigits(qint64((b + kKB / 2) / kKB));
    } else {
        const qint64 unit = unitMode == 3 ? kGB : kMB;
        const qint64 tenths = qint64((b * 10 + unit / 2) / unit);
        text = GroupDigits(tenths / 10) + u'.' + QString::number(tenths % 10);
    }
    // A shortfall stays a shortfall even when it rounds to zero: "-0 KB", drawn in red.
    if (negative) text.prepend(u'-');
    if (plus && bytes > 0) text.prepend(u'+');
    return text;
}

QString Suffix(int unitMode) {
    return unitMode == 1   ? QStringLiteral(" KB ")
           : unitMode == 3 ? QStringLiteral(" GB ")
                           : QStringLiteral(" MB ");
}

}  // namespace

QString GroupDigits(qint64 value) {
    const bool negative = value < 0;
    const QString digits = negative ? QString::number(value).mid(1) : QString::number(value);
    QString out;
    out.reserve(digits.size() + digits.size() / 3 + 1);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += u',';
        out += digits[i];
    }
    return negative ? u'-' + out : out;
}

QString CellSize(qint64 bytes, int unitMode, bool plus) {
    if (unitMode < 0 || unitMode > kLastUnit) return {};
    const int field = unitMode == 0 ? 18 : 14;
    // Padded to the cell's width, never cut: a figure wider than the cell keeps every digit.
    const QString number = UnitNumber(bytes, unitMode, plus).rightJustified(field, u' ');
    return unitMode == 0 ? number : number + Suffix(unitMode);
}

QString PlainSize(qint64 bytes, int unitMode, bool plus) {
    if (unitMode < 0 || unitMode > kLastUnit) return {};
    const QString number = UnitNumber(bytes, unitMode, plus);
    return unitMode == 0 ? number : number + Suffix(unitMode);
}

int SizeMark(qint64 bytes) {
    static const std::array<qint64, 14> kLimits = {
        1 * kMB,   10 * kMB,  25 * kMB, 50 * kMB, 75 * kMB, 100 * kMB, 250 * kMB,
        500 * kMB, 750 * kMB, 1 * kGB,  2 * kGB,  4 * kGB,  8 * kGB,   16 * kGB};
    if (bytes == 0) return 0;
    if (bytes < 0) return 15;
    if (bytes < kLimits[0]) return 1;
    for (int k = 1; k <= 13; ++k) {
        if (bytes < kLimits[size_t(k)]) return k + 1;
    }
    return 15;
}

}  // namespace scan
