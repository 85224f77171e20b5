#include "scan/LargestFiles.h"

#include <QDateTime>
#include <algorithm>
#include <map>
#include <queue>

#include "platform/FileSys.h"
#include "platform/FolderChain.h"
#include "platform/LargeFiles.h"
#include "platform/PathMap.h"
#include "scan/SizeFormat.h"
#include "scan/TreeRows.h"

namespace scan {
namespace {

// Opens record's folder from the drive's root, each folder on the way the one the scan
// listed.
bool OpenRecord(const FolderTable& t, int record, platform::FolderChain& chain, int& error) {
    std::vector<int> way;
    for (int a = record; a > 0; a = t.Parent[size_t(a)]) way.push_back(a);
    if (!chain.OpenRoot(t.RootNative, &t.Id[0], &error)) return false;
    for (auto it = way.rbegin(); it != way.rend(); ++it)
        if (!chain.Enter(t.native(*it), &t.Id[size_t(*it)], &error)) return false;
    return true;
}

// The native folder of owner below record ("a/b").
QByteArray Below(const FolderTable& t, int record, int owner) {
    QByteArray path;
    for (int a = owner; a != record && a > 0; a = t.Parent[size_t(a)])
        path = path.isEmpty() ? t.native(a) : t.native(a) + '/' + path;
    return path;
}

LargeFile FromEntry(QByteArray below, const platform::DirEntry& e) {
    return {std::move(below), e.nativeName, e.size, e.allocated, e.mtime, e.links};
}

struct Candidate {
    qint64 size;
    qint32 index;  // in the file table: the scan's order breaks ties
    qint32 owner;
};

// The k largest entries of the file table owned by records [record, end), largest first.
std::vector<Candidate> TopOfTable(const FileTable& files, int record, int end, size_t k) {
    auto smaller = [](const Candidate& a, const Candidate& b) {
        return a.size != b.size ? a.size > b.size : a.index < b.index;
    };
    std::priority_queue<Candidate, std::vector<Candidate>, decltype(smaller)> heap(smaller);
    for (qint32 i = 0; i < files.FileTableCount; ++i) {
        const qint32 owner = files.FileOwner[size_t(i)];
        if (owner < record || owner >= end) continue;
        const Candidate c{files.FileBytes[size_t(i)], i, owner};
        if (heap.size() < k) {
            heap.push(c);
        } else if (!heap.empty() && smaller(c, heap.top())) {
            heap.pop();
            heap.push(c);
        }
    }
    std::vector<Candidate> out;
    out.reserve(heap.size());
    while (!heap.empty()) {
        out.push_back(heap.top());
        heap.pop();
    }
    std::reverse(out.begin(), out.end());
    return out;
}

LargestFiles FromTable(const DriveList& list, int record, size_t n) {
    LargestFiles result;
    result.fromScan = true;
    const FolderTable& t = list.Folders;
    const int end = SubtreeEnd(list.Folders, record, Records(list));
    qint64 entries = 0;
    for (qint32 i = 0; i < list.Files.FileTableCount; ++i) {
        const qint32 owner = list.Files.FileOwner[size_t(i)];
        entries += owner >= record && owner < end;
    }
    // Each folder that holds a chosen file is listed once, in the table's order.
    struct Listing {
        bool ok = false;
        std::vector<platform::DirEntry> entries;
    };
    std::map<int, Listing> listed;
    platform::FolderChain chain;
    // The folder itself must still be the one listed.
    if (!OpenRecord(t, record, chain, result.error)) return result;
    auto listing = [&](int owner) -> Listing& {
        auto [it, fresh] = listed.try_emplace(owner);
        if (fresh) {
            int error = 0;
            it->second.ok = OpenRecord(t, owner, chain, error) &&
                            platform::ListAt(chain.Fd(), it->second.entries);
            if (!it->second.ok) ++result.unreadable;
        }
        return it->second;
    };
    // Links, pipes and devices are in the table too, and files may have gone since the scan:
    // more are taken until n plain files are found or the table has no more.
    size_t k = n;
    for (;;) {
        result.files.clear();
        result.vanished = 0;
        int notPlain = 0;
        const std::vector<Candidate> top = TopOfTable(list.Files, record, end, k);
        std::map<int, std::vector<char>> used;
        for (const Candidate& c : top) {
            Listing& l = listing(c.owner);
            std::vector<char>& taken = used[c.owner];
            taken.resize(l.entries.size());
            size_t found = l.entries.size();
            for (size_t e = 0; e < l.entries.size(); ++e) {
                const platform::DirEntry& d = l.entries[e];
                if (!taken[e] && !d.isDir && d.size == c.size) {
                    found = e;
                    break;
                }
            }
            if (found == l.entries.size()) {
                ++result.vanished;  // gone, or another size now
                continue;
            }
            taken[found] = 1;
            if (!l.entries[found].regular) {
                ++notPlain;
                continue;
            }
            result.files.push_back(FromEntry(Below(t, record, c.owner), l.entries[found]));
        }
        const size_t shortfall = size_t(notPlain + result.vanished);
        if (result.files.size() >= n || shortfall == 0 || k >= size_t(entries)) break;
        k += shortfall;
    }
    std::stable_sort(result.files.begin(), result.files.end(),
                     [](const LargeFile& a, const LargeFile& b) { return a.size > b.size; });
    if (result.files.size() > n) result.files.resize(n);
    return result;
}

}  // namespace

bool SizesKept(const DriveList& list, int record) {
    if (record < 0 || record >= Records(list)) return false;
    const FolderTable& t = list.Folders;
    const int end = SubtreeEnd(list.Folders, record, Records(list));
    qint64 expected = 0;
    for (int f = record; f < end; ++f) expected += std::max(t.FileCount[size_t(f)], 0);
    qint64 entries = 0;
    for (qint32 i = 0; i < list.Files.FileTableCount; ++i) {
        const qint32 owner = list.Files.FileOwner[size_t(i)];
        entries += owner >= record && owner < end;
    }
    // A folder operation leaves the entries of removed files in place, with no size.
    return entries >= expected;
}

LargestFiles FindLargestFiles(const DriveList& list, int record, size_t n,
                              const std::function<bool(const QString& folder)>& progress) {
    if (record < 0 || record >= Records(list)) return {};
    if (SizesKept(list, record)) return FromTable(list, record, n);
    LargestFiles result;
    platform::FolderChain chain;
    if (!OpenRecord(list.Folders, record, chain, result.error)) return result;
    std::vector<platform::FoundFile> found;
    const bool done = platform::ReadLargestBelow(
        chain, n,
        [&](const QByteArray& folder) {
            return !progress || progress(platform::DisplayName(platform::NameFromNative(folder)));
        },
        found, result.unreadable);
    result.stopped = !done;
    result.files.reserve(found.size());
    for (platform::FoundFile& f : found)
        result.files.push_back(FromEntry(std::move(f.folder), f.entry));
    return result;
}

QByteArray LargeFilePath(const DriveList& list, int record, const LargeFile& file) {
    QByteArray path = list.Folders.nativePath(record);
    if (!path.endsWith('/')) path += '/';
    if (!file.below.isEmpty()) path += file.below + '/';
    return path + file.name;
}

LargestModel::LargestModel(std::vector<LargeFile> files, int unitMode, QObject* parent)
    : QAbstractTableModel(parent), files_(std::move(files)), unitMode_(unitMode) {}

int LargestModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(files_.size());
}

int LargestModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

namespace {

// A native path below the folder as the list shows paths: "A\B", odd bytes carried.
QString ShownPath(const QByteArray& native) {
    QStringList parts;
    for (const QByteArray& p : native.split('/'))
        parts << platform::DisplayName(platform::NameFromNative(p));
    return parts.join(u'\\');
}

}  // namespace

QVariant LargestModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const LargeFile& f = files_[size_t(index.row())];
    if (role == Qt::TextAlignmentRole) {
        const bool figure = index.column() == Size || index.column() == Allocated;
        return int((figure ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role == Qt::ToolTipRole && index.column() == Name && f.links > 1)
        return QStringLiteral("ハードリンク: このファイルには名前が %1 個あります").arg(f.links);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case Name: {
            const QString name = platform::DisplayName(platform::NameFromNative(f.name));
            // A file with other names: deleting this one frees nothing.
            return f.links > 1 ? QStringLiteral("%1  [リンク %2]").arg(name).arg(f.links) : name;
        }
        case Size:
            return PlainSize(f.size, unitMode_);
        case Allocated:
            return PlainSize(f.allocated, unitMode_);
        case Time:
            return QDateTime::fromSecsSinceEpoch(f.mtime).toString(
                QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        case Folder:
            return f.below.isEmpty() ? QString() : ShownPath(f.below);
        default:
            return {};
    }
}

QVariant LargestModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char16_t* const kHeadings[] = {u"File名", u"File サイズ", u"占有サイズ",
                                                u"更新日時", u"Folder"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf16(kHeadings[section])
                                                 : QVariant();
}

void LargestModel::sort(int column, Qt::SortOrder order) {
    auto key = [column](const LargeFile& a, const LargeFile& b) -> int {
        auto cmp = [](const auto& x, const auto& y) { return x < y ? -1 : y < x ? 1 : 0; };
        switch (column) {
            case Name:
                return platform::NameFromNative(a.name).compare(platform::NameFromNative(b.name),
                                                                Qt::CaseInsensitive);
            case Size:
                return cmp(a.size, b.size);
            case Allocated:
                return cmp(a.allocated, b.allocated);
            case Time:
                return cmp(a.mtime, b.mtime);
            case Folder:
                return platform::NameFromNative(a.below).compare(platform::NameFromNative(b.below),
                                                                 Qt::CaseInsensitive);
            default:
                return 0;
        }
    };
    emit layoutAboutToBeChanged();
    std::stable_sort(files_.begin(), files_.end(), [&](const LargeFile& a, const LargeFile& b) {
        const int c = key(a, b);
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    emit layoutChanged();
}

}  // namespace scan
