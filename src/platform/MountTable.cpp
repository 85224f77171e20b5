#include "platform/MountTable.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QByteArrayList>
#include <algorithm>
#include <climits>

#include "platform/DriveMap.h"
#include "platform/NativeIo.h"

namespace platform {
namespace {

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// True when path is folder itself or lies below it (folder-wise, not text-wise).
bool IsAtOrBelow(const QByteArray& path, const QByteArray& folder) {
    if (folder == "/") return path.startsWith('/');
    return path.startsWith(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

bool FileExists(const QByteArray& path) {
    struct stat st;
    return ::stat(path.constData(), &st) == 0;
}

QByteArray ReadLink(const QByteArray& path) {
    QByteArray buf(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(path.constData(), buf.data(), buf.size());
    if (n < 0 || n >= buf.size()) return {};
    buf.truncate(n);
    return buf;
}

QByteArray ParentFolder(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash <= 0) return "/";
    return path.left(slash);
}

bool IsNetworkFs(const QByteArray& t) {
    return t == "nfs" || t == "nfs4" || t == "cifs" || t == "smb3" || t == "smbfs" ||
           t == "fuse.sshfs" || t == "sshfs" || t == "9p" || t == "ceph" || t == "afs" ||
           t == "glusterfs" || t == "fuse.glusterfs";
}

bool IsRamFs(const QByteArray& t) {
    return t == "tmpfs" || t == "ramfs";
}

bool IsCdFs(const QByteArray& t) {
    return t == "iso9660" || t == "udf";
}

bool IsBlockFs(const QByteArray& t) {
    static const char* const kTypes[] = {
        "ext2", "ext3",    "ext4",   "xfs",      "btrfs",    "f2fs",     "jfs",     "zfs",
        "vfat", "msdos",   "exfat",  "ntfs",     "ntfs3",    "fuseblk",  "iso9660", "udf",
        "hfs",  "hfsplus", "nilfs2", "reiserfs", "bcachefs", "virtiofs", "ufs",     "squashfs"};
    for (const char* k : kTypes) {
        if (t == k) return true;
    }
    return t.startsWith("fuseblk.");
}

// Read-only images that come with the system (snaps, live media layers).
bool IsImageFs(const QByteArray& t) {
    return t == "squashfs" || t == "erofs" || t == "cramfs";
}

// The /sys folder of the whole disk that holds a mount's device, or empty.
QByteArray DiskFolder(const MountEntry& mount, const QByteArray& sysRoot) {
    QByteArray dev;
    if (mount.major != 0) {
        dev = RealPath(sysRoot + "/dev/block/" + QByteArray::number(mount.major) + ':' +
                       QByteArray::number(mount.minor));
    }
    if (dev.isEmpty() && mount.source.startsWith("/dev/")) {
        // Devices without their own number here (btrfs) are found by name.
        QByteArray name = RealPath(mount.source);
        name = LastName(name.isEmpty() ? mount.source : name);
        if (!name.isEmpty()) dev = RealPath(sysRoot + "/class/block/" + name);
    }
    if (dev.isEmpty()) return {};
    if (FileExists(dev + "/partition")) return ParentFolder(dev);
    return dev;
}

}  // namespace

QString LabelText(const QByteArray& bytes) {
    const QString text = QString::fromUtf8(bytes);
    // A label is shown, printed to terminals and put into messages, whose mark-up uses the
    // low control codes: every control code in caret notation, as names are shown.
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20) {
            out += u'^';
            out += QChar(char16_t(u + 64));
        } else if (u == 0x7F) {
            out += QStringLiteral("^?");
        } else if (u >= 0x80 && u <= 0x9F) {
            out += QStringLiteral("M-^");
            out += QChar(char16_t(u - 0x80 + 64));
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray UnescapeMountField(const QByteArray& field) {
    if (!field.contains('\\')) return field;
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) && IsOctal(field[i + 2]) &&
            IsOctal(field[i + 3])) {
            const int v =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (v <= 0xFF) {
                out += char(v);
                i += 3;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QByteArray DecodeLabelName(const QByteArray& name) {
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            const int hi = HexValue(name[i + 2]);
            const int lo = HexValue(name[i + 3]);
            if (hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 3;
                continue;
            }
        }
        out += name[i];
    }
    return out;
}

QList<MountEntry> ParseMountInfo(const QByteArray& text, int* skipped) {
    QList<MountEntry> out;
    int bad = 0;
    for (const QByteArray& rawLine : text.split('\n')) {
        // Fields are separated by blanks alone: the table escapes blanks, tabs, line feeds and
        // backslashes in a field but leaves other control codes (CR, ESC) as they are.
        QByteArray line = rawLine;
        if (line.endsWith('\r')) line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        QByteArrayList f;
        for (const QByteArray& field : line.split(' '))
            if (!field.isEmpty()) f.append(field);
        // id parent maj:min root mount-point options [optional fields] - type source super
        const qsizetype dash = f.indexOf("-", 6);
        if (f.size() < 6 || dash < 0 || f.size() < dash + 3) {
            ++bad;
            continue;
        }
        MountEntry m;
        bool okId = false, okParent = false, okMajor = false, okMinor = false;
        m.mountId = f[0].toInt(&okId);
        m.parentId = f[1].toInt(&okParent);
        const qsizetype colon = f[2].indexOf(':');
        if (colon > 0) {
            m.major = f[2].left(colon).toUInt(&okMajor);
            m.minor = f[2].mid(colon + 1).toUInt(&okMinor);
        }
        m.root = UnescapeMountField(f[3]);
        m.mountPoint = UnescapeMountField(f[4]);
        if (!okId || !okParent || !okMajor || !okMinor || !m.mountPoint.startsWith('/')) {
            ++bad;
            continue;
        }
        m.device = makedev(m.major, m.minor);
        m.mountOptions = f[5];
        m.fsType = UnescapeMountField(f[dash + 1]);
        m.source = UnescapeMountField(f[dash + 2]);
        if (f.size() > dash + 3) m.superOptions = f[dash + 3];
        m.readOnly =
            m.mountOptions.split(',').contains("ro") || m.superOptions.split(',').contains("ro");
        out.append(m);
    }
    if (skipped) *skipped = bad;
    return out;
}

QByteArray ReadMountInfo(const MountSources& sources, bool* ok) {
    if (!sources.mountInfoText.isNull()) {
        if (ok) *ok = true;
        return sources.mountInfoText;
    }
    QByteArray text;
    const bool read = ReadWholeFile(sources.mountInfoFile, text, 1 << 24);
    if (ok) *ok = read;
    return read ? text : QByteArray();
}

bool IsDriveCandidate(const MountEntry& m) {
    if (m.mountPoint == "/") return true;
    for (const char* system : {"/proc", "/sys", "/dev", "/snap"}) {
        if (IsAtOrBelow(m.mountPoint, system)) return false;
    }
    if (IsAtOrBelow(m.mountPoint, "/run") && !IsAtOrBelow(m.mountPoint, "/run/media")) {
        return false;
    }
    const QByteArray& t = m.fsType;
    if (IsImageFs(t) && m.readOnly) return false;
    if (IsRamFs(t) || IsNetworkFs(t) || IsBlockFs(t)) return true;
    // An unknown file system on a block device is still a disk; FUSE helpers that
    // name /dev/fuse as their source are not.
    return m.source.startsWith("/dev/") && !t.startsWith("fuse") && !IsImageFs(t);
}

QList<qsizetype> SelectDriveMounts(const QList<MountEntry>& mounts) {
    QList<qsizetype> out;
    for (qsizetype i = 0; i < mounts.size(); ++i) {
        const MountEntry& m = mounts[i];
        if (!IsDriveCandidate(m)) continue;
        bool seen = false;
        for (qsizetype j : out) {
            const MountEntry& o = mounts[j];
            if (o.device == m.device && o.root == m.root) {
                seen = true;
                break;
            }
        }
        if (!seen) out.append(i);
    }
    return out;
}

int MountDriveType(const MountEntry& m, const MountSources& sources) {
    const QByteArray& t = m.fsType;
    if (IsCdFs(t)) return 5;
    if (IsNetworkFs(t)) return 4;
    if (IsRamFs(t)) return 6;
    const QByteArray disk = DiskFolder(m, sources.sysRoot);
    if (!disk.isEmpty()) {
        if (LastName(disk).startsWith("sr")) return 5;
        QByteArray removable;
        if (ReadWholeFile(disk + "/removable", removable, 64) && removable.trimmed() == "1") {
            return 2;
        }
    } else if (LastName(m.source).startsWith("sr") && m.source.startsWith("/dev/")) {
        return 5;
    }
    if (IsAtOrBelow(m.mountPoint, "/media") || IsAtOrBelow(m.mountPoint, "/run/media")) return 2;
    return 3;
}

QString FileSystemCode(const QByteArray& fsType, qint64 totalBytes, bool ntfsFuseblk) {
    constexpr qint64 k2GB = 2LL * 1024 * 1024 * 1024;
    if (fsType == "vfat" || fsType == "msdos") return totalBytes >= k2GB ? "3" : "F";
    if (fsType == "exfat") return "X";
    if (fsType == "ntfs" || fsType == "ntfs3" || ntfsFuseblk) return "N";
    return {};
}

bool IsNtfsFuseblk(const MountEntry& m, const MountSources& sources) {
    if (m.fsType != "fuseblk" && !m.fsType.startsWith("fuseblk.")) return false;
    if (m.fsType.startsWith("fuseblk.")) return m.fsType.mid(8).startsWith("ntfs");
    // ntfs-3g says nothing of NTFS in the table; udev has probed the device.
    QByteArray data;
    const QByteArray file = sources.udevDataDir + "/b" + QByteArray::number(m.major) + ':' +
                            QByteArray::number(m.minor);
    if (m.major == 0 || !ReadWholeFile(file, data, 1 << 20)) return false;
    for (const QByteArray& line : data.split('\n')) {
        if (line.trimmed() == "E:ID_FS_TYPE=ntfs") return true;
    }
    return false;
}

QString MountLabel(const MountEntry& m, const MountSources& sources) {
    if (!m.source.startsWith('/')) return {};
    const QByteArray sourcePlain = NormaliseNative(m.source);
    const QByteArray sourceReal = RealPath(m.source);
    DIR* dir = ::opendir(sources.byLabelDir.constData());
    if (!dir) return {};
    QByteArrayList names;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..") names.append(name);
    }
    ::closedir(dir);
    std::sort(names.begin(),
              names.end());  // the same answer on every run when a device has two links
    for (const QByteArray& name : names) {
        const QByteArray link = sources.byLabelDir + '/' + name;
        const QByteArray target = ReadLink(link);
        if (target.isEmpty()) continue;
        const QByteArray targetPlain =
            NormaliseNative(target.startsWith('/') ? target : sources.byLabelDir + '/' + target);
        const QByteArray targetReal = RealPath(link);
        bool match =
            targetPlain == sourcePlain ||
            (!targetReal.isEmpty() && (targetReal == sourceReal || targetReal == sourcePlain));
        if (!match && m.major != 0) {
            struct stat st;
            match =
                ::stat(link.constData(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == m.device;
        }
        if (match) return LabelText(DecodeLabelName(name));
    }
    return {};
}

qsizetype MountIndexFor(const QList<MountEntry>& mounts, const QByteArray& nativePath) {
    qsizetype best = -1;
    qsizetype bestLen = -1;
    for (qsizetype i = 0; i < mounts.size(); ++i) {
        const QByteArray& mp = mounts[i].mountPoint;
        if (mp.size() >= bestLen && IsAtOrBelow(nativePath, mp)) {
            best = i;
            bestLen = mp.size();
        }
    }
    return best;
}

}  // namespace platform
