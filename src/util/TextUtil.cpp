#include "util/TextUtil.h"

#include <algorithm>
#include <iterator>

namespace util {
namespace {

struct Range {
    char32_t first;
    char32_t last;
};

// East Asian Width W and F, neighbouring ranges joined across unassigned codes.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x3247},   {0x3250, 0x4DBF},   {0x4E00, 0xA4C6},   {0xA960, 0xA97C},
    {0xAC00, 0xD7A3},   {0xF900, 0xFAD9},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6B},
    {0xFF01, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x1B2FB}, {0x1F004, 0x1F004},
    {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F320},
    {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA},
    {0x1F3CF, 0x1F3D3}, {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E},
    {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E},
    {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4},
    {0x1F5FB, 0x1F64F}, {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2},
    {0x1F6D5, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7F0},
    {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FAF6},
    {0x20000, 0x3FFFD},
};

bool IsWide(char32_t c) {
    if (c < kWide[0].first) return false;
    const auto it = std::upper_bound(std::begin(kWide), std::end(kWide), c,
                                     [](char32_t v, const Range& r) { return v < r.first; });
    return it != std::begin(kWide) && c <= std::prev(it)->last;
}

// 1-based position of sought at or after start, 0 for none.
int Find(const QString& text, const QString& sought, int start) {
    if (start < 1 || start > text.size()) return 0;
    return int(text.indexOf(sought, start - 1)) + 1;
}

}  // namespace

QString CutRight(const QString& text, int n) {
    if (text.size() < n) return {};
    if (n <= 0) return text;
    return text.left(text.size() - n);
}

QString PadLeft(const QString& text, int width) {
    if (width <= 0) return {};
    return (QString(width, u' ') + text).right(width);
}

QString ZeroPad(qint32 number, int width) {
    if (width <= 0) return {};
    return (QString(width, u'0') + QString::number(number)).right(width);
}

QString UpperAscii(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - 32);
    }
    return out;
}

QString LowerAscii(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    }
    return out;
}

int AnsiLen(const QString& text) {
    int count = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(char16_t(c), text.at(i + 1).unicode());
            ++i;
        }
        count += IsWide(c) ? 2 : 1;
    }
    return count;
}

int LastPos(int limit, const QString& text, const QString& sought) {
    if (sought.isEmpty()) return 0;
    const int first = Find(text, sought, 1);
    if (first == 0 || first > limit) return 0;
    // Halving starts from the first occurrence, so every answer is an occurrence.
    int lo = first;
    int hi = limit;
    int mid = (hi - lo) / 2 + lo;
    while (mid != lo) {
        int d = Find(text, sought, mid);
        if (d > 0 && d <= hi) {
            lo = d;
        } else {
            hi = mid;
            d = Find(text, sought, lo + 1);
            if (d == 0 || d > hi) return lo;
            lo = d;
        }
        mid = (hi - lo) / 2 + lo;
    }
    return lo;
}

qint64 HiLoSize(qint32 high, qint32 low) {
    return qint64(high) * Q_INT64_C(4294967296) + qint64(quint32(low));
}

}  // namespace util
