#include "platform/Profile.h"

#include "platform/NativeIo.h"
#include "platform/SafeWrite.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

// The file as lines; each keeps its bytes (a trailing '\r' included) so that
// lines we do not touch are written back unchanged.
struct Lines {
    QList<QByteArray> lines;
    bool crlf = false;
    bool endsWithNewline = true;
};

Lines SplitLines(const QByteArray& data) {
    Lines l;
    if (data.isEmpty()) return l;
    l.lines = data.split('\n');
    l.endsWithNewline = data.endsWith('\n');
    if (l.endsWithNewline) l.lines.removeLast();
    l.crlf = !l.lines.isEmpty() && l.lines.first().endsWith('\r');
    return l;
}

QString Decode(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).trimmed();
}

// The section name of a "[name]" line, or a null string for other lines.
QString SectionOf(const QByteArray& line) {
    const QByteArray t = line.trimmed();
    if (!t.startsWith('[')) return {};
    qsizetype end = t.indexOf(']');
    if (end < 0) end = t.size();
    QString name = Decode(t.mid(1, end - 1));
    if (name.isNull()) name = QStringLiteral("");
    return name;
}

// Splits a "key=value" line; false for lines without '=' and for comments.
bool KeyValueOf(const QByteArray& line, QString& key, QString& value) {
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';')) return false;
    const qsizetype eq = t.indexOf('=');
    if (eq < 0) return false;
    key = Decode(t.left(eq));
    value = Decode(t.mid(eq + 1));
    if (value.size() >= 2) {
        const QChar q = value.front();
        if ((q == u'"' || q == u'\'') && value.back() == q) value = value.mid(1, value.size() - 2);
    }
    return true;
}

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index range [begin, end) of the body of the first section named name; begin = -1 if none.
void FindSection(const Lines& l, const QString& name, qsizetype& begin, qsizetype& end) {
    begin = -1;
    end = -1;
    for (qsizetype i = 0; i < l.lines.size(); ++i) {
        const QString s = SectionOf(l.lines[i]);
        if (s.isNull()) continue;
        if (begin >= 0) {
            end = i;
            return;
        }
        if (SameName(s, name)) begin = i + 1;
    }
    if (begin >= 0) end = l.lines.size();
}

QByteArray ResolveTarget(const QByteArray& path) {
    // Write through a link to the real settings file rather than replace the link.
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        const QByteArray real = RealPath(path);
        if (!real.isEmpty()) return real;
    }
    return path;
}

bool WriteAtomically(const QByteArray& path, const QByteArray& data) {
    // A settings file made read-only stays as it is.
    ReplacingFile file;
    return file.open(ResolveTarget(path)) && file.write(data) && file.commit();
}

QByteArray Join(const Lines& l) {
    QByteArray out;
    for (const QByteArray& line : l.lines) {
        out += line;
        out += '\n';
    }
    return out;
}

QByteArray Eol(const Lines& l) {
    return l.crlf ? QByteArray("\r") : QByteArray();
}

bool ValidName(const QString& name) {
    return !name.trimmed().isEmpty() && !name.contains(u'=') && !name.contains(u'\n') &&
           !name.contains(u'\r') && !name.contains(u']') && !name.contains(QChar(0));
}

}  // namespace

QString ProfileGet(const QByteArray& nativeFile, const QString& section, const QString& key,
                   bool* found) {
    if (found) *found = false;
    QByteArray data;
    if (!ReadWholeFile(nativeFile, data)) return {};
    const Lines l = SplitLines(data);
    qsizetype begin, end;
    FindSection(l, section, begin, end);
    if (begin < 0) return {};
    QString k, v;
    for (qsizetype i = begin; i < end; ++i) {
        if (KeyValueOf(l.lines[i], k, v) && SameName(k, key.trimmed())) {
            if (found) *found = true;
            return v;
        }
    }
    return {};
}

QList<QPair<QString, QString>> ProfileSection(const QByteArray& nativeFile,
                                              const QString& section) {
    QList<QPair<QString, QString>> out;
    QByteArray data;
    if (!ReadWholeFile(nativeFile, data)) return out;
    const Lines l = SplitLines(data);
    qsizetype begin, end;
    FindSection(l, section, begin, end);
    if (begin < 0) return out;
    QString k, v;
    for (qsizetype i = begin; i < end; ++i) {
        if (!KeyValueOf(l.lines[i], k, v) || k.isEmpty()) continue;
        bool seen = false;
        for (const auto& p : out) seen = seen || SameName(p.first, k);
        if (!seen) out.append({k, v});
    }
    return out;
}

bool ProfilePut(const QByteArray& nativeFile, const QString& section, const QString& key,
                const QString& value) {
    if (!ValidName(section) || !ValidName(key)) return false;
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ').replace(QChar(0), u' ');
    QByteArray data;
    bool missing = false;
    if (!ReadWholeFile(nativeFile, data, qsizetype(1) << 30, &missing) && !missing) return false;
    Lines l = SplitLines(data);
    const QByteArray line = key.trimmed().toUtf8() + "=" + clean.toUtf8() + Eol(l);
    qsizetype begin, end;
    FindSection(l, section, begin, end);
    if (begin < 0) {
        if (!l.lines.isEmpty() && !l.lines.last().trimmed().isEmpty()) l.lines.append(Eol(l));
        l.lines.append("[" + section.trimmed().toUtf8() + "]" + Eol(l));
        l.lines.append(line);
    } else {
        QString k, v;
        qsizetype at = -1;
        qsizetype lastContent = begin - 1;
        for (qsizetype i = begin; i < end; ++i) {
            if (!l.lines[i].trimmed().isEmpty()) lastContent = i;
            if (at < 0 && KeyValueOf(l.lines[i], k, v) && SameName(k, key.trimmed())) at = i;
        }
        if (at >= 0) {
            if (l.lines[at] == line) return true;  // nothing changes
            l.lines[at] = line;
        } else {
            l.lines.insert(lastContent + 1, line);
        }
    }
    return WriteAtomically(nativeFile, Join(l));
}

bool ProfileRemove(const QByteArray& nativeFile, const QString& section, const QString& key) {
    QByteArray data;
    if (!ReadWholeFile(nativeFile, data)) return false;
    Lines l = SplitLines(data);
    qsizetype begin, end;
    FindSection(l, section, begin, end);
    if (begin < 0) return true;
    QString k, v;
    bool changed = false;
    for (qsizetype i = end - 1; i >= begin; --i) {
        if (KeyValueOf(l.lines[i], k, v) && SameName(k, key.trimmed())) {
            l.lines.removeAt(i);
            changed = true;
        }
    }
    return !changed || WriteAtomically(nativeFile, Join(l));
}

}  // namespace platform
