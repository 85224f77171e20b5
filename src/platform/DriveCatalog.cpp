#include "platform/DriveCatalog.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <array>
#include <cerrno>
#include <ctime>
#include <limits>

#include "platform/DriveMap.h"
#include "platform/NativeIo.h"
#include "platform/PathMap.h"
#include "platform/Profile.h"
#include "platform/ProgramDir.h"

namespace platform {
namespace {

constexpr int kLetters = DriveMap::kLetters;
constexpr int kC = 2;
constexpr int kD = 3;

struct LetterInfo {
    QByteArray root;  // empty: the letter is free
    int type = 1;
    QByteArray fsType;
    bool ntfs = false;
    QString label;
    qsizetype mount = -1;  // the table entry whose mount point is root, if any
    // A remembered mount that is not mounted now: since when (seconds since the epoch).
    qint64 absentSince = 0;
    // A letter with no folder behind it (an imported scan), for this run only.
    bool detached = false;
    bool forTheRun = false;  // a folder or scan named for this run
    // A mount given the letter at loading that is not in the settings file yet: written there
    // only once the drive is used, so that a mount seen once takes no letter for ever.
    bool unstored = false;
};

// Section of the settings file that marks the remembered letters of mounts (as opposed to
// folders a person gave a letter): "0" while mounted, else the time it was first missed.
const char* const kMountedSection = "MountedDrives";

struct Catalog {
    bool loaded = false;
    QByteArray settingsFile;  // where the letters are remembered; empty: nowhere
    MountSources sources;
    QList<MountEntry> mounts;
    QSet<QByteArray> mountPoints;
    std::array<LetterInfo, kLetters> letters;
};

QMutex& Lock() {
    static QMutex mutex;
    return mutex;
}

Catalog& State() {
    static Catalog catalog;
    return catalog;
}

void SetTable(Catalog& c, const MountSources& sources, bool* ok) {
    c.sources = sources;
    c.mounts = ParseMountInfo(ReadMountInfo(sources, ok));
    c.mountPoints.clear();
    for (const MountEntry& m : c.mounts) c.mountPoints.insert(m.mountPoint);
    c.loaded = true;
}

// The system's table for callers that query before anything was loaded.
Catalog& Loaded() {
    Catalog& c = State();
    if (!c.loaded) SetTable(c, MountSources{}, nullptr);
    return c;
}

LetterInfo FromMount(const Catalog& c, qsizetype index) {
    const MountEntry& m = c.mounts[index];
    LetterInfo info;
    info.mount = index;
    info.root = m.mountPoint;
    info.type = MountDriveType(m, c.sources);
    info.fsType = m.fsType;
    info.ntfs = IsNtfsFuseblk(m, c.sources);
    info.label = MountLabel(m, c.sources);
    if (info.label.isEmpty()) info.label = LabelText(m.mountPoint);
    return info;
}

// The top mount whose mount point is exactly path, or -1.
qsizetype MountAt(const Catalog& c, const QByteArray& path) {
    if (!c.mountPoints.contains(path)) return -1;
    const qsizetype i = MountIndexFor(c.mounts, path);
    return i >= 0 && c.mounts[i].mountPoint == path ? i : -1;
}

// A folder given a letter by a person or the command line.
LetterInfo ExamineFolder(const Catalog& c, const QByteArray& folder) {
    LetterInfo info;
    info.root = folder;
    info.label = LabelText(folder);
    struct stat st;
    if (::stat(folder.constData(), &st) != 0) {
        info.type = (errno == ENOENT || errno == ENOTDIR) ? 1 : 0;
        return info;
    }
    if (!S_ISDIR(st.st_mode)) {
        info.type = 0;
        return info;
    }
    const QByteArray real = RealPath(folder);
    if (!real.isEmpty()) info.root = real;
    const qsizetype at = MountAt(c, info.root);
    if (at >= 0) return FromMount(c, at);
    const qsizetype under = MountIndexFor(c.mounts, info.root);
    if (under < 0) {
        info.type = 3;
        return info;
    }
    const MountEntry& m = c.mounts[under];
    info.type = MountDriveType(m, c.sources);
    info.fsType = m.fsType;
    info.ntfs = IsNtfsFuseblk(m, c.sources);
    return info;
}

// The catalogue entry of a letter as Drives() has it now; a letter mapped since the
// load (a test drive, another part of the program) is examined on first use.
const LetterInfo* Current(int index) {
    if (index < 0 || index >= kLetters) return nullptr;
    const QByteArray root = Drives().root(index);
    Catalog& c = Loaded();
    LetterInfo& info = c.letters[index];
    if (root.isEmpty()) return info.detached ? &info : nullptr;
    if (info.root != root) info = ExamineFolder(c, root);
    return &info;
}

bool IsDirectoryOrMissing(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) != 0 || S_ISDIR(st.st_mode);
}

// The value to write for a folder. One that holds control codes or bytes that are not
// UTF-8 is written escaped, so that the file holds neither raw terminal codes nor a line cut
// short: a leading backslash, then each such byte and every backslash as \xNN.
QString SettingsValue(const QByteArray& folder) {
    const QString text = ArgFromNative(folder);
    // A byte that is not UTF-8 stands as a lone U+DC80..U+DCFF, never as half of a pair.
    auto rawByte = [&](qsizetype i) {
        const char16_t u = text.at(i).unicode();
        return u >= 0xDC80 && u <= 0xDCFF && !(i > 0 && text.at(i - 1).isHighSurrogate());
    };
    auto control = [](char16_t u) { return u < 0x20 || u == 0x7F || (u >= 0x80 && u <= 0x9F); };
    bool plain = true;
    for (qsizetype i = 0; i < text.size() && plain; ++i)
        plain = !control(text.at(i).unicode()) && !rawByte(i);
    if (plain) {
        // The reader trims blanks and drops one pair of quotes around a value.
        if (text != text.trimmed()) return u'"' + text + u'"';
        return text;
    }
    auto hex = [](quint8 b) { return QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0')); };
    // Blanks at the end would be trimmed by the reader.
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ') --end;
    QString out = QStringLiteral("\\");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (rawByte(i)) {
            out += hex(quint8(u - 0xDC00));
        } else if (u >= 0x80 && u <= 0x9F) {
            out += hex(quint8(0xC0 | (u >> 6))) + hex(quint8(0x80 | (u & 0x3F)));
        } else if (control(u) || u == u'\\' || i >= end) {
            out += hex(quint8(u));
        } else {
            out += text.at(i);
        }
    }
    return out;
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

// The folder a value of [Drives] names: one that begins with a backslash is escaped (\xNN a
// byte, a backslash before anything else that thing), any other is the folder as it is.
QByteArray FolderOfValue(const QString& value) {
    if (!value.startsWith(u'\\')) return value.toUtf8();
    QByteArray out;
    for (qsizetype i = 1; i < value.size(); ++i) {
        if (value.at(i) == u'\\' && i + 1 < value.size()) {
            const int hi = i + 3 < value.size() ? HexDigit(value.at(i + 2)) : -1;
            const int lo = i + 3 < value.size() ? HexDigit(value.at(i + 3)) : -1;
            if (value.at(i + 1) == u'x' && hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 3;
                continue;
            }
            ++i;
        }
        // A character beyond U+FFFF is two units: both go together.
        const qsizetype units = value.at(i).isHighSurrogate() && i + 1 < value.size() ? 2 : 1;
        out += value.mid(i, units).toUtf8();
        i += units - 1;
    }
    return out;
}

// The remembered mount letter absent the longest, or -1.
int LongestAbsent(const Catalog& c) {
    int best = -1;
    for (int i = kD; i < kLetters; ++i) {
        const LetterInfo& l = c.letters[i];
        if (l.type != 1 || l.absentSince <= 0 || Drives().has(i)) continue;
        if (best < 0 || l.absentSince < c.letters[best].absentSince) best = i;
    }
    return best;
}

// A letter for a drive that lives for this run only (a folder or an imported scan), or -1:
// a free one from the top; else a remembered drive that is absent lends its letter, the
// one absent longest first, then one a person gave a folder that is missing now, then one
// that is present.
int LetterForTheRun(const Catalog& c) {
    for (int i = kLetters - 1; i >= kD; --i) {
        if (!Drives().has(i) && c.letters[i].root.isEmpty() && !c.letters[i].detached) return i;
    }
    if (const int absent = LongestAbsent(c); absent >= 0) return absent;
    for (int i = kLetters - 1; i >= kD; --i) {
        if (!Drives().has(i) && c.letters[i].type == 1 && !c.letters[i].detached) return i;
    }
    // Every letter holds a drive (a host with many mounts): the highest lends its letter for
    // the run, since what was named must be shown; nothing of it is written back.
    for (int i = kLetters - 1; i >= kD; --i) {
        if (!c.letters[i].forTheRun && !c.letters[i].detached) return i;
    }
    return -1;
}

}  // namespace

bool LoadDrives(const QByteArray& settingsNativeFile, const MountSources& sources) {
    QMutexLocker locker(&Lock());
    Catalog& c = State();
    bool ok = false;
    SetTable(c, sources, &ok);
    c.letters = {};
    Drives().clear();

    const qsizetype rootMount = MountAt(c, "/");
    if (rootMount >= 0) {
        c.letters[kC] = FromMount(c, rootMount);
    } else {
        c.letters[kC].root = "/";
        c.letters[kC].type = 3;
        c.letters[kC].label = "/";
    }

    // Marks to write once the letters are settled: letter index and value.
    QList<QPair<int, QString>> marks;
    const qint64 now = qint64(::time(nullptr));
    if (!settingsNativeFile.isEmpty()) {
        QHash<int, qint64> mounted;
        for (const auto& [key, value] : ProfileSection(settingsNativeFile, kMountedSection)) {
            const int index = key.size() == 1 ? LetterIndex(key.at(0)) : -1;
            if (index >= 0) mounted.insert(index, value.toLongLong());
        }
        for (const auto& [key, value] : ProfileSection(settingsNativeFile, "Drives")) {
            if (key.size() != 1) continue;
            const int index = LetterIndex(key.at(0));
            const QByteArray given = FolderOfValue(value);
            if (index < 0 || index == kC || !given.startsWith('/')) continue;
            const QByteArray folder = NormaliseNative(given);
            const qsizetype at = MountAt(c, folder);
            const bool wasMount = mounted.contains(index);
            if (at >= 0 && IsDirectoryOrMissing(folder)) {
                c.letters[index] = FromMount(c, at);
                if (mounted.value(index, -1) != 0) marks.append({index, QStringLiteral("0")});
            } else if (wasMount) {
                // A mount that is gone is absent until it returns: its empty folder is
                // not the drive, and the host's figures are not its figures.
                c.letters[index].root = folder;
                c.letters[index].type = 1;
                c.letters[index].absentSince =
                    mounted.value(index) > 0 ? mounted.value(index) : now;
                if (mounted.value(index) <= 0) marks.append({index, QString::number(now)});
            } else {
                c.letters[index] = ExamineFolder(c, folder);
            }
            // A remembered drive that is missing now keeps its letter for its return.
            if (c.letters[index].type == 1) c.letters[index].root = folder;
        }
    }

    QList<int> assigned;
    int next = kD;
    for (qsizetype i : SelectDriveMounts(c.mounts)) {
        const MountEntry& m = c.mounts[i];
        // A folder with a letter already, or another mount of a lettered device and
        // folder (a bind mount listed before the original this time).
        bool lettered = false;
        for (const LetterInfo& l : c.letters) {
            lettered = lettered || l.root == m.mountPoint ||
                       (l.mount >= 0 && c.mounts[l.mount].device == m.device &&
                        c.mounts[l.mount].root == m.root);
        }
        // Files bound over files (container set-ups) are not drives.
        if (lettered || !IsDirectoryOrMissing(m.mountPoint)) continue;
        while (next < kLetters && !c.letters[next].root.isEmpty()) ++next;
        // No letter free: the one whose mount has been away longest makes room.
        const int index = next < kLetters ? next : LongestAbsent(c);
        if (index < 0) break;
        c.letters[index] = FromMount(c, MountAt(c, m.mountPoint));
        assigned.append(index);
    }

    // Written once used (RememberDrive): other processes' passing mounts take no letter.
    for (int index : assigned) c.letters[index].unstored = true;
    c.settingsFile = settingsNativeFile;
    if (!settingsNativeFile.isEmpty() && !marks.isEmpty()) {
        for (const auto& [index, value] : marks)
            ProfilePut(settingsNativeFile, kMountedSection, QString(QChar(u'A' + index)), value);
    }

    for (int i = 0; i < kLetters; ++i) {
        if (c.letters[i].type != 1) Drives().set(i, c.letters[i].root);
    }
    return ok;
}

bool RememberDrive(int letterIndex) {
    QMutexLocker locker(&Lock());
    Catalog& c = State();
    if (letterIndex < 0 || letterIndex >= kLetters) return false;
    LetterInfo& info = c.letters[letterIndex];
    if (!info.unstored || c.settingsFile.isEmpty()) return false;
    // Only while the letter still stands for the mount it was given.
    if (Drives().root(letterIndex) != info.root) return false;
    info.unstored = false;
    // The program's folder may be created on first write.
    const qsizetype slash = c.settingsFile.lastIndexOf('/');
    if (slash > 0) EnsureFolder(c.settingsFile.left(slash));
    const QString letter(QChar(u'A' + letterIndex));
    return ProfilePut(c.settingsFile, "Drives", letter, SettingsValue(info.root)) &&
           ProfilePut(c.settingsFile, kMountedSection, letter, QStringLiteral("0"));
}

void ForgetDrives() {
    QMutexLocker locker(&Lock());
    State() = Catalog{};
}

int DriveType(int letterIndex) {
    QMutexLocker locker(&Lock());
    const LetterInfo* info = Current(letterIndex);
    return info ? info->type : 1;
}

QString DriveFileSystem(int letterIndex) {
    QMutexLocker locker(&Lock());
    const LetterInfo* info = Current(letterIndex);
    return info ? QString::fromUtf8(info->fsType) : QString();
}

QString DriveFileSystemCode(int letterIndex) {
    QByteArray fsType;
    bool ntfs = false;
    {
        QMutexLocker locker(&Lock());
        const LetterInfo* info = Current(letterIndex);
        if (!info) return {};
        fsType = info->fsType;
        ntfs = info->ntfs;
    }
    qint64 total = 0;
    if (fsType == "vfat" || fsType == "msdos") {
        DriveSpace space;
        if (!ReadDriveSpace(letterIndex, space)) return {};  // asked again next time
        total = space.total;
    }
    return FileSystemCode(fsType, total, ntfs);
}

QString DriveLabel(int letterIndex) {
    QMutexLocker locker(&Lock());
    const LetterInfo* info = Current(letterIndex);
    return info ? info->label : QString();
}

bool ReadDriveSpace(int letterIndex, DriveSpace& out, int* error) {
    out = DriveSpace{};
    const QByteArray root = Drives().root(letterIndex);
    if (root.isEmpty()) {
        if (error) *error = ENOENT;
        return false;
    }
    struct statvfs sv;
    if (::statvfs(root.constData(), &sv) != 0) {
        if (error) *error = errno;
        return false;
    }
    const quint64 fragment = sv.f_frsize ? sv.f_frsize : sv.f_bsize;
    constexpr quint64 kMax = quint64(std::numeric_limits<qint64>::max());
    auto bytes = [&](quint64 blocks) {
        if (fragment && blocks > kMax / fragment) return qint64(kMax);
        return qint64(blocks * fragment);
    };
    out.total = bytes(sv.f_blocks);
    out.free = bytes(sv.f_bavail);
    out.clusterSize = qint32(qMin<quint64>(fragment, std::numeric_limits<qint32>::max()));
    if (error) *error = 0;
    return true;
}

int AddFolderDrive(const QByteArray& nativeFolder) {
    if (nativeFolder.isEmpty()) return -1;
    const QByteArray folder = AbsolutePath(nativeFolder);
    if (folder.isEmpty()) return -1;
    struct stat st;
    if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return -1;
    QByteArray real = RealPath(folder);
    if (real.isEmpty()) real = folder;

    QMutexLocker locker(&Lock());
    Catalog& c = Loaded();
    for (int i = 0; i < kLetters; ++i) {
        const QByteArray root = Drives().root(i);
        if (!root.isEmpty() && (root == real || RealPath(root) == real)) return i;
    }
    const int index = LetterForTheRun(c);
    if (index < 0) return kNoFreeLetter;
    c.letters[index] = ExamineFolder(c, real);
    c.letters[index].forTheRun = true;
    Drives().set(index, c.letters[index].root);
    return index;
}

int AddDetachedDrive(const QString& label) {
    QMutexLocker locker(&Lock());
    Catalog& c = Loaded();
    const int index = LetterForTheRun(c);
    if (index < 0) return kNoFreeLetter;
    LetterInfo info;
    info.type = 3;
    info.label = label;
    info.detached = true;
    c.letters[index] = info;
    Drives().set(index, {});
    return index;
}

bool IsMountPoint(const QByteArray& nativePath) {
    QMutexLocker locker(&Lock());
    const QSet<QByteArray>& points = Loaded().mountPoints;
    if (points.contains(nativePath)) return true;
    // The scan asks with clean paths; only others need the longer way.
    const bool clean = !nativePath.endsWith('/') && !nativePath.contains("//") &&
                       !nativePath.contains("/./") && !nativePath.contains("/../") &&
                       !nativePath.endsWith("/.") && !nativePath.endsWith("/..");
    return !clean && points.contains(NormaliseNative(nativePath));
}

QList<QByteArray> MountPointsBelow(const QByteArray& nativeRoot) {
    QMutexLocker locker(&Lock());
    const QByteArray root = NormaliseNative(nativeRoot);
    const QByteArray prefix = root.endsWith('/') ? root : root + '/';
    QList<QByteArray> out;
    for (const QByteArray& point : Loaded().mountPoints) {
        if (point.size() > prefix.size() && point.startsWith(prefix))
            out.append(point.mid(prefix.size()));
    }
    return out;
}

bool MountOfPath(const QByteArray& nativePath, MountEntry& out) {
    QMutexLocker locker(&Lock());
    const Catalog& c = Loaded();
    const qsizetype i = MountIndexFor(c.mounts, NormaliseNative(nativePath));
    if (i < 0) return false;
    out = c.mounts[i];
    return true;
}

}  // namespace platform
