#include "platform/PathMap.h"

#include <QList>

#include "platform/DriveMap.h"

namespace platform {
namespace {

constexpr char16_t kMappedBase = 0xF000;
constexpr char16_t kByteBase = 0xDC00;

bool IsReserved(char32_t c) {
    return (c >= 1 && c <= 31) || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
           c == '<' || c == '>' || c == '|';
}

// Decodes one strict UTF-8 sequence at s[i]; returns its length or 0 if invalid.
int DecodeUtf8(const unsigned char* s, qsizetype n, qsizetype i, char32_t* out) {
    const unsigned char b0 = s[i];
    if (b0 < 0x80) {
        *out = b0;
        return 1;
    }
    int len;
    char32_t cp;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > n) return 0;
    for (int k = 1; k < len; ++k) {
        const unsigned char b = s[i + k];
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    *out = cp;
    return len;
}

void AppendUtf8(QByteArray& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

QString NameFromNative(const QByteArray& nativeName) {
    const auto* s = reinterpret_cast<const unsigned char*>(nativeName.constData());
    const qsizetype n = nativeName.size();
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        const int len = DecodeUtf8(s, n, i, &cp);
        const bool substitute =
            cp >= kMappedBase && cp < kMappedBase + 0x80 && IsReserved(cp - kMappedBase);
        if (len == 0 || substitute) {
            // Invalid, or a character that would read back as a substitute.
            const int count = len == 0 ? 1 : len;
            for (int k = 0; k < count; ++k) out += QChar(char16_t(kByteBase + s[i + k]));
            i += count;
            continue;
        }
        if (IsReserved(cp)) {
            out += QChar(char16_t(kMappedBase + cp));
        } else {
            out += QString::fromUcs4(&cp, 1);
        }
        i += len;
    }
    return out;
}

QByteArray NativeFromName(const QString& name) {
    QByteArray out;
    out.reserve(name.size() * 3);
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = name.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n &&
            QChar::isLowSurrogate(name.at(i + 1).unicode())) {
            AppendUtf8(out, QChar::surrogateToUcs4(c, name.at(i + 1).unicode()));
            ++i;
        } else if (c >= kByteBase + 0x80 && c <= kByteBase + 0xFF) {
            out += char(c - kByteBase);
        } else if (c >= kMappedBase && c < kMappedBase + 0x80 && IsReserved(c - kMappedBase)) {
            out += char(c - kMappedBase);
        } else if (QChar::isSurrogate(c)) {
            AppendUtf8(out, 0xFFFD);  // no native name reads back as a lone surrogate
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

QString DisplayName(const QString& name) {
    QString out = name;
    qsizetype n = out.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = out.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n &&
            QChar::isLowSurrogate(out.at(i + 1).unicode())) {
            ++i;
        } else if (QChar::isSurrogate(c)) {
            out[i] = QChar(QChar::ReplacementCharacter);
        } else if (c == 0x7F) {
            out[i] = QChar(u'?');
            out.insert(i, u'^');
            ++i;
            ++n;
        } else if (c < 0x20) {
            // A control code as such (a path as given, not a program name): caret notation,
            // so no escape sequence of a name ever reaches a terminal.
            out[i] = QChar(char16_t(c + 64));
            out.insert(i, u'^');
            ++i;
            ++n;
        } else if (c >= 0x80 && c <= 0x9F) {
            // C1 codes as cat -v shows them; U+009B alone would start a terminal sequence.
            out[i] = QChar(char16_t(c - 0x80 + 64));
            out.insert(i, QStringLiteral("M-^"));
            i += 3;
            n += 3;
        } else if (c >= kMappedBase && c < kMappedBase + 0x80 && IsReserved(c - kMappedBase)) {
            const char16_t code = c - kMappedBase;
            if (code >= 32) {
                out[i] = QChar(code);
            } else {
                // Caret notation: every face has these two characters.
                out[i] = QChar(char16_t(code + 64));
                out.insert(i, u'^');
                ++i;
                ++n;
            }
        }
    }
    return out;
}

QString ArgFromNative(const QByteArray& arg) {
    const auto* s = reinterpret_cast<const unsigned char*>(arg.constData());
    const qsizetype n = arg.size();
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        const int len = DecodeUtf8(s, n, i, &cp);
        if (len == 0) {
            out += QChar(char16_t(kByteBase + s[i]));
            ++i;
            continue;
        }
        out += QString::fromUcs4(&cp, 1);
        i += len;
    }
    return out;
}

QByteArray NativeFromArg(const QString& arg) {
    QByteArray out;
    out.reserve(arg.size() * 3);
    const qsizetype n = arg.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = arg.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n &&
            QChar::isLowSurrogate(arg.at(i + 1).unicode())) {
            AppendUtf8(out, QChar::surrogateToUcs4(c, arg.at(i + 1).unicode()));
            ++i;
        } else if (c >= kByteBase + 0x80 && c <= kByteBase + 0xFF) {
            out += char(c - kByteBase);
        } else if (QChar::isSurrogate(c)) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

QByteArray NativePath(const QString& drivePath, bool* ok) {
    if (ok) *ok = false;
    if (drivePath.size() < 2 || drivePath.at(1) != u':') return {};
    const int index = LetterIndex(drivePath.at(0));
    const QByteArray root = Drives().root(index);
    if (root.isEmpty()) return {};
    QByteArray out = root;
    qsizetype depth = 0;
    qsizetype start = 2;
    const qsizetype n = drivePath.size();
    while (start <= n) {
        qsizetype end = start;
        while (end < n && drivePath.at(end) != u'\\' && drivePath.at(end) != u'/') ++end;
        const QString part = drivePath.mid(start, end - start);
        start = end + 1;
        if (part.isEmpty() || part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) {
            if (depth > 0) {
                out.truncate(out.lastIndexOf('/'));
                if (out.isEmpty()) out = "/";
                --depth;
            }
            continue;
        }
        if (!out.endsWith('/')) out += '/';
        out += NativeFromName(part);
        ++depth;
    }
    if (ok) *ok = true;
    return out;
}

QString DrivePath(const QByteArray& nativePath) {
    if (!nativePath.startsWith('/')) return {};
    QByteArray rest;
    const int index = Drives().indexFor(NormaliseNative(nativePath), &rest);
    if (index < 0) return {};
    QString out = QChar(char16_t(u'A' + index));
    out += u':';
    if (rest.isEmpty()) return out + u'\\';
    for (const QByteArray& part : rest.split('/')) {
        out += u'\\';
        out += NameFromNative(part);
    }
    return out;
}

}  // namespace platform
