#include "util/PathUtil.h"

#include <algorithm>

namespace util {
namespace {

// 0-based index where the search for an extension's dot begins.
qsizetype ExtStart(const QString& path) {
    return std::max<qsizetype>(path.size() - 5, 1) - 1;
}

}  // namespace

QString GetExt(const QString& path) {
    if (path.indexOf(u'.', ExtStart(path)) < 0) return {};
    return path.mid(path.lastIndexOf(u'.') + 1).toUpper();
}

QString GetFileName(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'\\');
    if (slash >= 0) return path.mid(slash + 1);
    const qsizetype colon = path.indexOf(u':');
    if (colon >= 0) return path.mid(colon + 1);
    return path;
}

QString GetBaseName(const QString& path) {
    // a and c as 1-based positions: the separator before the name, the dot after it.
    qsizetype a = path.lastIndexOf(u'\\') + 1;
    if (a == 0 && path.size() >= 2 && path.at(1) == u':') a = 2;
    qsizetype c = path.lastIndexOf(u'.') + 1;
    if (c <= a) c = path.size() + 1;
    return path.mid(a, c - a - 1);
}

QString ParentDir(const QString& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (path.at(i) == u':') return path.left(i + 1);
        if (path.at(i) == u'\\') return path.left(i);
    }
    return {};
}

QString ChangeExt(const QString& name, const QString& ext) {
    const qsizetype dot = name.indexOf(u'.', ExtStart(name));
    if (dot >= 0) return name.left(dot + 1) + ext;
    return name + u'.' + ext;
}

QString JoinPath(const QString& base, const QString& rel) {
    if (rel.contains(u':')) return rel;
    const bool baseSep = base.endsWith(u'\\');
    const bool relSep = rel.startsWith(u'\\');
    if (baseSep && relSep) return base + rel.mid(1);
    if (!baseSep && !relSep) {
        QString b = base;
        QString r = rel;
        while (r.startsWith(u"..")) {
            b = ParentDir(b);
            r = r.mid(2);
            if (r.startsWith(u'\\')) r = r.mid(1);
        }
        return b + u'\\' + r;
    }
    return base + rel;
}

}  // namespace util
