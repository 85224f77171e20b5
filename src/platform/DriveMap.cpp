#include "platform/DriveMap.h"

#include <QList>

namespace platform {

void DriveMap::set(int index, const QByteArray& root) {
    if (index < 0 || index >= kLetters) return;
    roots_[index] = root.isEmpty() ? QByteArray() : NormaliseNative(root);
}

void DriveMap::clear() {
    for (auto& r : roots_) r.clear();
}

QByteArray DriveMap::root(int index) const {
    if (index < 0 || index >= kLetters) return {};
    return roots_[index];
}

int DriveMap::indexFor(const QByteArray& nativePath, QByteArray* rest) const {
    int best = -1;
    qsizetype bestLen = -1;
    for (int i = 0; i < kLetters; ++i) {
        const QByteArray& r = roots_[i];
        if (r.isEmpty()) continue;
        bool match;
        if (r == "/") {
            match = nativePath.startsWith('/');
        } else {
            match = nativePath.startsWith(r) &&
                    (nativePath.size() == r.size() || nativePath.at(r.size()) == '/');
        }
        if (match && r.size() > bestLen) {
            best = i;
            bestLen = r.size();
        }
    }
    if (best >= 0 && rest) {
        QByteArray tail = nativePath.mid(roots_[best] == "/" ? 0 : bestLen);
        while (tail.startsWith('/')) tail.remove(0, 1);
        *rest = tail;
    }
    return best;
}

DriveMap& Drives() {
    static DriveMap map;
    return map;
}

int LetterIndex(QChar letter) {
    const char16_t c = letter.unicode();
    if (c >= u'A' && c <= u'Z') return c - u'A';
    if (c >= u'a' && c <= u'z') return c - u'a';
    return -1;
}

QByteArray NormaliseNative(const QByteArray& path) {
    const bool absolute = path.startsWith('/');
    QList<QByteArray> parts;
    for (const QByteArray& p : path.split('/')) {
        if (p.isEmpty() || p == ".") continue;
        if (p == "..") {
            if (!parts.isEmpty() && parts.last() != "..") {
                parts.removeLast();
            } else if (!absolute) {
                parts.append(p);
            }
            continue;
        }
        parts.append(p);
    }
    QByteArray out = absolute ? QByteArray("/") : QByteArray();
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i) out += '/';
        out += parts[i];
    }
    return out;
}

}  // namespace platform
