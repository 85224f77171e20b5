#include "interchange/SnapshotStore.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <algorithm>
#include <cerrno>
#include <map>

#include "interchange/Snapshot.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "platform/ProgramDir.h"
#include "platform/SafeWrite.h"

namespace interchange {
namespace {

constexpr qsizetype kHashDigits = 16;
constexpr qsizetype kTimeDigits = 15;  // yyyyMMddThhmmss
constexpr char kSuffix[] = ".snap";
// A file larger than this is no snapshot this program wrote for its limits.
constexpr qint64 kReadLimit = qint64(1) << 30;
// The latest time a name can hold: 9999-12-31 23:59:59.
constexpr qint64 kLastSecond = 253402300799;
constexpr qint64 kDay = 24 * 60 * 60;

QByteArray SourceHash(const QByteArray& source) {
    return QCryptographicHash::hash(source, QCryptographicHash::Sha256).toHex().left(kHashDigits);
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
qint64 DaysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

QByteArray TimeText(qint64 seconds) {
    qint64 days = seconds / kDay;
    qint64 rest = seconds % kDay;
    days += 719468;
    const qint64 era = days / 146097;
    const unsigned doe = unsigned(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const qint64 y = qint64(yoe) + era * 400 + (m <= 2);
    return QString::asprintf("%04lld%02u%02uT%02lld%02lld%02lld", static_cast<long long>(y), m, d,
                             static_cast<long long>(rest / 3600),
                             static_cast<long long>(rest / 60 % 60),
                             static_cast<long long>(rest % 60))
        .toLatin1();
}

int Digits(const QByteArray& s, qsizetype from, int count) {
    int v = 0;
    for (int k = 0; k < count; ++k) {
        const char c = s[from + k];
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// The time a snapshot's name holds, or -1 when the name is not a snapshot's.
qint64 TimeOfName(const QByteArray& name) {
    if (name.size() != kHashDigits + 1 + kTimeDigits + qsizetype(sizeof kSuffix - 1) ||
        !name.endsWith(kSuffix) || name[kHashDigits] != '-')
        return -1;
    for (qsizetype i = 0; i < kHashDigits; ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return -1;
    }
    const qsizetype t = kHashDigits + 1;
    if (name[t + 8] != 'T') return -1;
    const int y = Digits(name, t, 4), mo = Digits(name, t + 4, 2), d = Digits(name, t + 6, 2);
    const int h = Digits(name, t + 9, 2), mi = Digits(name, t + 11, 2), s = Digits(name, t + 13, 2);
    if (y < 0 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        s < 0 || s > 59)
        return -1;
    const qint64 seconds =
        DaysFromCivil(y, unsigned(mo), unsigned(d)) * kDay + h * 3600 + mi * 60 + s;
    // 31 February and its like do not come back as the name they were read from.
    return TimeText(seconds) == name.mid(t, kTimeDigits) ? seconds : -1;
}

// A temporary file ReplacingFile leaves behind when the program ends while writing.
bool TemporaryLeftover(const QByteArray& name) {
    return name.startsWith(".foldex-") && name.endsWith(".tmp");
}

struct Entry {
    QByteArray name;
    qint64 taken;
    qint64 bytes;
};

// The snapshot files of the folder (real files, no links), each with its time.
std::vector<Entry> SnapshotEntries(const QByteArray& folder, std::vector<QByteArray>* leftovers) {
    std::vector<platform::DirEntry> entries;
    std::vector<Entry> out;
    if (!platform::ListDir(folder, QStringLiteral("*"), entries)) return out;
    const qint64 dayAgo = QDateTime::currentSecsSinceEpoch() - kDay;
    for (const platform::DirEntry& e : entries) {
        if (!e.regular || e.isLink) continue;
        const qint64 taken = TimeOfName(e.nativeName);
        if (taken >= 0)
            out.push_back({e.nativeName, taken, e.size});
        else if (leftovers && TemporaryLeftover(e.nativeName) && e.mtime < dayAgo)
            leftovers->push_back(e.nativeName);
    }
    // Newest first; a name breaks ties so the order never depends on the listing.
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
        return a.taken != b.taken ? a.taken > b.taken : a.name > b.name;
    });
    return out;
}

QString Shown(const QByteArray& native) {
    return platform::DisplayName(platform::ArgFromNative(native));
}

QString CannotWrite(const QByteArray& path, int error) {
    return QStringLiteral("スナップショットを書き込めません: ") + Shown(path) +
           QStringLiteral(" (") + platform::ErrorText(error) + u')';
}

}  // namespace

QByteArray SnapshotFolder() {
    QByteArray base = qgetenv("XDG_CACHE_HOME");
    if (!base.startsWith('/')) {
        const QByteArray home = qgetenv("HOME");
        if (!home.startsWith('/')) return {};
        base = home + "/.cache";
    }
    while (base.size() > 1 && base.endsWith('/')) base.chop(1);
    return base == "/" ? QByteArray("/foldex") : base + "/foldex";
}

std::vector<SnapshotInfo> ListSnapshots(const QByteArray& source) {
    std::vector<SnapshotInfo> out;
    const QByteArray folder = SnapshotFolder();
    if (folder.isEmpty()) return out;
    const QByteArray prefix = SourceHash(source) + '-';
    for (const Entry& e : SnapshotEntries(folder, nullptr))
        if (e.name.startsWith(prefix)) out.push_back({folder + '/' + e.name, e.taken, e.bytes});
    return out;
}

bool LoadSnapshot(const QByteArray& file, const QByteArray& source, scan::FigureTree& out,
                  QString& error) {
    QByteArray bytes;
    int e = 0;
    if (!platform::ReadRegularFile(file, bytes, kReadLimit, &e)) {
        error = QStringLiteral("スナップショットを読めません: ") + Shown(file) +
                QStringLiteral(" (") + platform::ErrorText(e) + u')';
        return false;
    }
    scan::FigureTree tree;
    QString why;
    if (!DecodeSnapshot(bytes, tree, why)) {
        error = Shown(file) + QStringLiteral(": ") + why;
        return false;
    }
    if (!source.isEmpty() && tree.Source != source) {
        error = Shown(file) + QStringLiteral(": 別のドライブのスナップショットです (") +
                Shown(tree.Source) + u')';
        return false;
    }
    out = std::move(tree);
    return true;
}

bool KeepSnapshot(const scan::FigureTree& tree, QString& error, const SnapshotLimits& limits) {
    return KeepSnapshot(scan::FigureView(tree), error, limits);
}

bool KeepSnapshot(const scan::FigureView& given, QString& error, const SnapshotLimits& limits) {
    const QByteArray folder = SnapshotFolder();
    if (folder.isEmpty()) {
        error =
            QStringLiteral("スナップショットを保存するフォルダーがありません (HOME が未設定です)");
        return false;
    }
    // A tree without a time gets the time it is kept at, which its name holds as well.
    scan::FigureView tree = given;
    if (tree.Taken <= 0 || tree.Taken > kLastSecond)
        tree.Taken = QDateTime::currentSecsSinceEpoch();

    int e = 0;
    // Made for this user alone: the names of the folders listed are in it.
    if (!platform::EnsureFolder(folder, 0700, &e)) {
        error = CannotWrite(folder, e);
        return false;
    }
    platform::DirEntry entry;
    if (!platform::StatEntry(folder, entry, &e) || entry.isLink || !entry.isDir) {
        error = CannotWrite(folder, e != 0 ? e : ELOOP);
        return false;
    }
    const QByteArray name = SourceHash(tree.Source) + '-' + TimeText(tree.Taken) + kSuffix;
    const QByteArray path = folder + '/' + name;
    // A link or anything but a file under the name is left alone, never written through.
    if (platform::StatEntry(path, entry) && (entry.isLink || !entry.regular)) {
        error = CannotWrite(path, entry.isLink ? ELOOP : EEXIST);
        return false;
    }
    // Written as it is encoded, from the folders where they lie: keeping a snapshot costs no
    // copy of the listing.
    platform::ReplacingFile file;
    qint64 size = 0;
    const bool written = file.open(path) && WriteSnapshot(tree, [&](const char* data, qsizetype n) {
                             size += n;
                             // Past the limit only counted, to say how large it is.
                             return size > limits.totalBytes || file.write(data, n);
                         });
    if (written && size > limits.totalBytes) {
        file.cancel();
        error = QStringLiteral(
                    "スナップショットが上限 (%1 バイト) より大きいため保存しません: %2 バイト")
                    .arg(limits.totalBytes)
                    .arg(size);
        return false;
    }
    if (!written || !file.commit()) {
        error = CannotWrite(path, file.error());
        return false;
    }

    // The oldest go first: beyond perDrive of a drive, then until all fit in totalBytes.
    std::vector<QByteArray> leftovers;
    const std::vector<Entry> all = SnapshotEntries(folder, &leftovers);
    std::map<QByteArray, int> perDrive;
    std::vector<const Entry*> kept;
    std::vector<QByteArray> drop = leftovers;
    qint64 total = 0;
    for (const Entry& s : all) {
        const bool mine = s.name == name;
        if (!mine && ++perDrive[s.name.left(kHashDigits)] > std::max(limits.perDrive, 1)) {
            drop.push_back(s.name);
            continue;
        }
        if (mine) ++perDrive[s.name.left(kHashDigits)];
        kept.push_back(&s);
        total += s.bytes;
    }
    for (auto it = kept.rbegin(); it != kept.rend() && total > limits.totalBytes; ++it) {
        if ((*it)->name == name) continue;
        drop.push_back((*it)->name);
        total -= (*it)->bytes;
    }
    // A file that cannot be removed stays; the next snapshot tries again.
    for (const QByteArray& old : drop) platform::DeleteFileNative(folder + '/' + old);
    return true;
}

}  // namespace interchange
