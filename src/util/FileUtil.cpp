#include "util/FileUtil.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "platform/StdMessage.h"
#include "util/PathUtil.h"
#include "util/TextUtil.h"

namespace util {

namespace {

constexpr std::uint32_t kProtective =
    platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem;
// What "set to normal" can clear here: a leading dot is part of the name.
constexpr std::uint32_t kClearable = platform::kAttrReadOnly | platform::kAttrSystem;

bool HasWildcard(const QString& s) {
    return s.contains(u'*') || s.contains(u'?');
}

// The entries a path or pattern stands for: its last component is matched in the
// folder before it; a component without wildcards names one entry exactly.
std::vector<platform::DirEntry> Find(const QString& path) {
    std::vector<platform::DirEntry> out;
    qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    if (cut < 0 && path.size() >= 2 && path.at(1) == u':') cut = 1;
    if (cut < 0) return out;
    const QString pattern = path.mid(cut + 1);
    if (pattern.isEmpty()) return out;
    bool ok = false;
    if (!HasWildcard(pattern)) {
        const QByteArray native = platform::NativePath(path, &ok);
        platform::DirEntry e;
        if (ok && platform::StatEntry(native, e)) out.push_back(std::move(e));
        return out;
    }
    const QByteArray folder = platform::NativePath(path.left(cut + 1), &ok);
    if (ok) platform::ListDir(folder, pattern, out);
    return out;
}

QString NameList(const std::vector<platform::DirEntry>& entries, bool dirs) {
    QString list;
    for (const platform::DirEntry& e : entries) {
        if (e.isDir != dirs) continue;
        list += QChar(kListSep);
        list += e.name;
    }
    if (!list.isEmpty()) list += QChar(kListSep);
    return list;
}

// Clears read-only from an existing file; false when it stays protected.
bool MakeWritable(const QByteArray& native) {
    platform::DirEntry e;
    if (!platform::StatEntry(native, e)) return true;
    if (!(e.attributes & kProtective)) return true;
    platform::SetAttributesNormal(native);
    if (!platform::StatEntry(native, e)) return true;
    return !(e.attributes & kClearable);
}

QByteArray Native(const QString& path) {
    bool ok = false;
    const QByteArray native = platform::NativePath(path, &ok);
    return ok ? native : QByteArray();
}

// The native path of an existing file (not a folder), or empty. A path with wildcards
// names its one entry of that exact name, as the delete helpers need.
QByteArray ExistingFile(const QString& path) {
    const QByteArray native = Native(path);
    platform::DirEntry e;
    if (native.isEmpty() || !platform::StatEntry(native, e) || e.isDir) return {};
    return native;
}

}  // namespace

bool FileExist(const QString& path) {
    if (path.isEmpty()) return false;
    for (const platform::DirEntry& e : Find(path)) {
        if (!e.isDir) return true;
    }
    return false;
}

bool DirExist(const QString& path) {
    if (path.size() <= 3) {
        if (path.size() < 2 || path.at(1) != u':') return false;
        const int index = platform::LetterIndex(path.at(0));
        // Any answer but "cannot be determined" counts, as on the platform.
        return index < 0 || platform::DriveType(index) != 0;
    }
    for (const platform::DirEntry& e : Find(path)) {
        if (e.isDir) return true;
    }
    return false;
}

QString ListDirs(const QString& pattern) {
    if (pattern.size() <= 3) {
        if (pattern.size() >= 2 && pattern.at(1) == u':' &&
            FileExist(pattern.left(2) + QStringLiteral("\\*.*"))) {
            return pattern.left(3);
        }
        return {};
    }
    return NameList(Find(pattern), true);
}

QString ListFiles(const QString& pattern) {
    return NameList(Find(pattern), false);
}

bool DelFile(const QString& path) {
    const QByteArray native = ExistingFile(path);
    if (native.isEmpty()) return true;
    if (!MakeWritable(native)) return false;
    platform::DeleteFileNative(native);
    return true;
}

void KillFile(const QString& path) {
    const QByteArray native = ExistingFile(path);
    if (native.isEmpty()) return;
    if (platform::DeleteFileNative(native)) return;
    platform::SetAttributesNormal(native);
    platform::DeleteFileNative(native);
}

void MakeDirs(const QString& path) {
    QString p = path;
    if (!p.endsWith(u'\\')) p += u'\\';
    for (qsizetype i = 3; i < p.size(); ++i) {
        if (p.at(i) != u'\\') continue;
        const QString folder = p.left(i);
        if (DirExist(folder)) continue;
        const QByteArray native = Native(folder);
        if (!native.isEmpty()) platform::MakeDirNative(native);
        QCoreApplication::processEvents();
        if (!DirExist(folder)) return;
    }
}

QString CopyFailureText(int error, const QString& destination) {
    // A full disk is a full disk wherever the file goes: Linux has no root directory with a
    // fixed number of entries, so the system's own text says what happened.
    return platform::ErrorText(error) + QStringLiteral("\rファイル：　") + destination;
}

bool CopyFileSafe(const QString& source, const QString& destination) {
    if (!FileExist(source)) return false;
    if (UpperAscii(source) == UpperAscii(destination)) return false;
    const QByteArray from = Native(source);
    const QByteArray to = Native(destination);
    // The old destination stays in place until the new copy is complete; it only has
    // to be replaceable.
    if (!to.isEmpty() && !MakeWritable(to)) return false;
    int error = ENOENT;
    if (!from.isEmpty() && !to.isEmpty() && platform::CopyFileNative(from, to, &error)) return true;
    platform::StandardMessageBox(CopyFailureText(error, destination), 0,
                                 QStringLiteral("FOLDEX32"));
    return false;
}

}  // namespace util
