#include "interchange/ScanImport.h"

#include <QFile>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <set>
#include <utility>

#include "interchange/JsonReader.h"
#include "platform/FileSys.h"
#include "platform/NativeIo.h"
#include "platform/PathMap.h"
#include "platform/StreamOpen.h"
#include "scan/FolderScan.h"
#include "scan/ImportDrives.h"

namespace interchange {
namespace {

using Token = JsonReader::Token;

// A count as Japanese text writes it, with thousands separated: 10,000,000.
QString Count(qint64 n) {
    return QLocale(QLocale::Japanese).toString(n);
}

// The folders and files of the file, kept until it has been read (the format lists a
// folder's files among its subfolders, the sink wants them first), in flat arrays: a few
// dozen bytes a folder and twenty a file, the names in one block.
struct Folders {
    QByteArray names;
    std::vector<qint64> nameEnd;  // folder i's name ends here in names
    std::vector<qint32> parent;
    std::vector<quint8> state;        // scan::FolderState
    std::vector<qint64> ownOccupied;  // the folder's dsize, -1 when not given
    std::vector<quint64> device;
    qsizetype count() const { return qsizetype(parent.size()); }
    QByteArray name(qsizetype i) const {
        const qint64 begin = i == 0 ? 0 : nameEnd[size_t(i - 1)];
        return names.mid(begin, nameEnd[size_t(i)] - begin);
    }
};

struct Files {
    std::vector<qint32> folder;
    std::vector<qint64> size;
    std::vector<qint64> occupied;
    // Files with other links: their index and their device and inode.
    std::vector<std::pair<qint64, std::pair<quint64, quint64>>> links;
};

// An info object as far as the rows need it.
struct Info {
    QByteArray name;
    bool hasName = false;
    qint64 asize = 0;
    qint64 dsize = -1;
    bool hasDev = false;
    quint64 dev = 0;
    bool hasIno = false;
    quint64 ino = 0;
    quint64 nlink = 0;
    bool hlnkc = false;
    bool readError = false;
    QByteArray excluded;
};

class Importer {
  public:
    // The nesting of the file is bounded by its folders, which are bounded.
    Importer(QIODevice& in, const ImportLimits& limits)
        : json_(in, int(std::min<qint64>(limits.folders + 4, std::numeric_limits<int>::max()))),
          limits_(limits) {}

    bool read();
    bool feed(const QString& rootName, scan::FolderSink& sink);
    QString error() const { return json_.error(); }

  private:
    bool expect(Token want, const QString& what) {
        Token t;
        if (!json_.next(t)) return false;
        return t == want || json_.fail(what);
    }
    bool unsignedNumber(Token t, const char* field, quint64 limit, quint64& out);
    bool readInfo(Info& info);
    bool validName(const Info& info, bool root);
    int addFolder(const Info& info, int parent, scan::FolderState state);
    bool addFile(const Info& info, int into);
    bool skipArrayRest();

    JsonReader json_;
    ImportLimits limits_;
    Folders folders_;
    Files files_;
    std::set<std::pair<quint64, quint64>> linked_;  // hard-linked files already counted
};

bool Importer::unsignedNumber(Token t, const char* field, quint64 limit, quint64& out) {
    // Names and messages are made only on failure: this runs for every number of the file.
    auto fail = [&](const char* what) {
        return json_.fail(QString::fromLatin1(field) + QString::fromUtf8(what) +
                          QString::fromLatin1(json_.text()));
    };
    if (t != Token::Number)
        return json_.fail(QString::fromLatin1(field) + QStringLiteral(" には数値が必要です"));
    const QByteArray& s = json_.text();
    if (s.startsWith('-')) return fail(" が負の数です: ");
    quint64 v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') return fail(" が整数ではありません: ");
        const quint64 d = quint64(c - '0');
        if (v > (limit - d) / 10) return fail(" が大きすぎます: ");
        v = v * 10 + d;
    }
    out = v;
    return true;
}

enum class Field { Name, Asize, Dsize, Dev, Ino, Nlink, Hlnkc, ReadError, Excluded, Other };

const struct {
    const char* key;
    Field field;
} kFields[] = {{"name", Field::Name},        {"asize", Field::Asize},
               {"dsize", Field::Dsize},      {"dev", Field::Dev},
               {"ino", Field::Ino},          {"nlink", Field::Nlink},
               {"hlnkc", Field::Hlnkc},      {"read_error", Field::ReadError},
               {"excluded", Field::Excluded}};

Field FieldOf(const QByteArray& key) {
    for (const auto& f : kFields)
        if (key == f.key) return f.field;
    return Field::Other;
}

const char* KeyOf(Field field) {
    for (const auto& f : kFields)
        if (f.field == field) return f.key;
    return "";
}

bool Importer::readInfo(Info& info) {
    const qint64 at = json_.offset();
    constexpr quint64 kSizeLimit = quint64(std::numeric_limits<qint64>::max());
    constexpr quint64 kAny = std::numeric_limits<quint64>::max();
    Token t;
    for (;;) {
        if (!json_.next(t)) return false;
        if (t == Token::EndObject) break;
        const Field field = FieldOf(json_.text());
        const char* key = KeyOf(field);
        Token v;
        if (!json_.next(v)) return false;
        quint64 n = 0;
        auto flag = [&](bool& out) {
            if (v != Token::True && v != Token::False)
                return json_.fail(QString::fromLatin1(key) +
                                  QStringLiteral(" には真偽値が必要です"));
            out = v == Token::True;
            return true;
        };
        auto text = [&](QByteArray& out) {
            if (v != Token::String)
                return json_.fail(QString::fromLatin1(key) +
                                  QStringLiteral(" には文字列が必要です"));
            out = json_.text();
            return true;
        };
        bool ok = true;
        switch (field) {
            case Field::Name:
                ok = text(info.name);
                info.hasName = true;
                break;
            case Field::Asize:
                ok = unsignedNumber(v, "asize", kSizeLimit, n);
                info.asize = qint64(n);
                break;
            case Field::Dsize:
                ok = unsignedNumber(v, "dsize", kSizeLimit, n);
                info.dsize = qint64(n);
                break;
            case Field::Dev:
                ok = unsignedNumber(v, "dev", kAny, info.dev);
                info.hasDev = true;
                break;
            case Field::Ino:
                ok = unsignedNumber(v, "ino", kAny, info.ino);
                info.hasIno = true;
                break;
            case Field::Nlink:
                ok = unsignedNumber(v, "nlink", kAny, info.nlink);
                break;
            case Field::Hlnkc:
                ok = flag(info.hlnkc);
                break;
            case Field::ReadError:
                ok = flag(info.readError);
                break;
            case Field::Excluded:
                ok = text(info.excluded);
                break;
            case Field::Other:
                // notreg, uid, gid, mode, mtime and what later versions add: FOLDEX counts a
                // special file like a file, as its own scan does.
                ok = json_.skipValue(v);
                break;
        }
        if (!ok) return false;
    }
    if (!info.hasName) return json_.failAt(at, QStringLiteral("name がありません"));
    return true;
}

bool Importer::validName(const Info& info, bool root) {
    const QByteArray& n = info.name;
    if (n.isEmpty()) return json_.fail(QStringLiteral("名前が空です"));
    if (n.contains('\0')) return json_.fail(QStringLiteral("名前に NUL 文字があります"));
    if (root) return true;
    if (n.contains('/'))
        return json_.fail(QStringLiteral("名前に '/' があります: ") +
                          platform::DisplayName(platform::NameFromNative(n)));
    if (n == "." || n == "..") return json_.fail(QStringLiteral("名前が \"") + n + u'"');
    return true;
}

int Importer::addFolder(const Info& info, int parent, scan::FolderState state) {
    if (folders_.count() >= limits_.folders) {
        json_.fail(QStringLiteral("フォルダーが多すぎます (上限 %1)").arg(Count(limits_.folders)));
        return -1;
    }
    folders_.names += info.name;
    folders_.nameEnd.push_back(folders_.names.size());
    folders_.parent.push_back(parent);
    folders_.device.push_back(info.hasDev || parent < 0 ? info.dev
                                                        : folders_.device[size_t(parent)]);
    folders_.ownOccupied.push_back(info.dsize);
    // The format keeps no reason for read_error; lack of permission is the usual one.
    folders_.state.push_back(quint8(info.readError ? scan::kFolderUnreadable : state));
    return int(folders_.count() - 1);
}

bool Importer::addFile(const Info& info, int into) {
    if (qint64(files_.size.size()) >= limits_.files)
        return json_.fail(
            QStringLiteral("ファイルが多すぎます (上限 %1)").arg(Count(limits_.files)));
    // The format's default: an entry without dsize occupies nothing (ncdu leaves a 0 out).
    if (info.hasIno && (info.hlnkc || info.nlink > 1))
        files_.links.push_back(
            {qint64(files_.size.size()),
             {info.hasDev ? info.dev : folders_.device[size_t(into)], info.ino}});
    files_.folder.push_back(into);
    files_.size.push_back(info.asize);
    files_.occupied.push_back(std::max<qint64>(info.dsize, 0));
    return true;
}

// A mount point or another file system that the scan listed but did not enter.
bool NotEntered(const Info& info) {
    return info.excluded == "otherfs" || info.excluded == "othfs" || info.excluded == "kernfs" ||
           info.excluded == "frmlnk";
}

// Skips what is left of the folder array just opened.
bool Importer::skipArrayRest() {
    const int base = json_.depth() - 1;
    Token t;
    while (json_.depth() > base)
        if (!json_.next(t)) return false;
    return true;
}

bool Importer::read() {
    if (!expect(Token::BeginArray,
                QStringLiteral("エクスポートファイルではありません ('[' で始まりません)")))
        return false;
    Token t;
    quint64 major = 0;
    quint64 minor = 0;
    if (!json_.next(t) || !unsignedNumber(t, "major version", 10000, major)) return false;
    if (major != 1)
        return json_.fail(
            QStringLiteral("対応していない形式の版です (メジャー版 %1、読めるのは 1)").arg(major));
    if (!json_.next(t) || !unsignedNumber(t, "minor version", 10000, minor)) return false;
    if (!json_.next(t) || !json_.skipValue(t)) return false;  // metadata
    if (!expect(Token::BeginArray, QStringLiteral("ルートのフォルダー ([...]) が必要です")))
        return false;

    // The folders open in the file, innermost last; no recursion, however deep.
    std::vector<int> open;
    bool root = true;
    for (;;) {
        // Just after a folder's '[': its info object.
        if (!expect(Token::BeginObject, QStringLiteral("フォルダーの情報 ({...}) が必要です")))
            return false;
        Info info;
        if (!readInfo(info) || !validName(info, root)) return false;
        if (!root && info.name.startsWith('}')) {
            // Left out of the list, as a scan leaves such folders out.
            if (!skipArrayRest()) return false;
        } else {
            const int f = addFolder(info, open.empty() ? -1 : open.back(),
                                    NotEntered(info) ? scan::kFolderNotEntered : scan::kFolderRead);
            if (f < 0) return false;
            open.push_back(f);
        }
        root = false;
        // The folder's entries, until a new subfolder opens or the last folder closes.
        for (;;) {
            if (open.empty()) break;
            if (!json_.next(t)) return false;
            if (t == Token::EndArray) {
                open.pop_back();
                continue;
            }
            if (t == Token::BeginArray) break;
            if (t != Token::BeginObject)
                return json_.fail(QStringLiteral("フォルダーの中身は [...] か {...} です"));
            Info entry;
            if (!readInfo(entry) || !validName(entry, false)) return false;
            if (entry.excluded.isEmpty()) {
                if (!addFile(entry, open.back())) return false;
            } else if (NotEntered(entry) && !entry.name.startsWith('}')) {
                // A mount point the scan did not enter: a folder listed, not entered.
                if (addFolder(entry, open.back(), scan::kFolderNotEntered) < 0) return false;
            }
            // Excluded by a pattern: the scan did not count it, nor does the list.
        }
        if (open.empty()) break;
    }
    // The rest of the top-level array is for later versions of the format.
    for (;;) {
        if (!json_.next(t)) return false;
        if (t == Token::EndArray) break;
        if (!json_.skipValue(t)) return false;
    }
    return expect(Token::End, QString());
}

bool Importer::feed(const QString& rootName, scan::FolderSink& sink) {
    const qsizetype n = folders_.count();
    if (n == 0) return true;
    // Subfolders and files of each folder together, in the order they came.
    std::vector<qint32> childStart(size_t(n) + 1, 0);
    for (qsizetype i = 1; i < n; ++i) ++childStart[size_t(folders_.parent[size_t(i)]) + 1];
    for (qsizetype i = 0; i < n; ++i) childStart[size_t(i) + 1] += childStart[size_t(i)];
    std::vector<qint32> children(size_t(std::max<qsizetype>(n - 1, 0)));
    {
        std::vector<qint32> at(childStart.begin(), childStart.end() - 1);
        for (qsizetype i = 1; i < n; ++i)
            children[size_t(at[size_t(folders_.parent[size_t(i)])]++)] = qint32(i);
    }
    folders_.parent = {};
    const size_t fileCount = files_.size.size();
    std::vector<qint64> fileStart(size_t(n) + 1, 0);
    for (const qint32 f : files_.folder) ++fileStart[size_t(f) + 1];
    for (qsizetype i = 0; i < n; ++i) fileStart[size_t(i) + 1] += fileStart[size_t(i)];
    std::vector<qint64> order(fileCount);
    {
        std::vector<qint64> at(fileStart.begin(), fileStart.end() - 1);
        for (size_t k = 0; k < fileCount; ++k)
            order[size_t(at[size_t(files_.folder[k])]++)] = qint64(k);
    }
    files_.folder = {};
    std::vector<qint64> place(fileCount);  // where each file stands in its folder
    for (size_t k = 0; k < fileCount; ++k) place[size_t(order[k])] = qint64(k);
    // Hard-linked files by their place, so each folder finds its own.
    std::vector<std::pair<quint64, quint64>> linkOf;
    std::vector<std::pair<qint64, size_t>> linksByPlace;
    for (const auto& [file, key] : files_.links) {
        linksByPlace.push_back({place[size_t(file)], linkOf.size()});
        linkOf.push_back(key);
    }
    files_.links = {};
    std::sort(linksByPlace.begin(), linksByPlace.end());
    place = {};

    struct Frame {
        qint32 folder;
        qint32 next;
    };
    std::vector<Frame> stack;
    auto enter = [&](qint32 index) {
        scan::WalkedFolder w;
        w.nativeName = folders_.name(index);
        w.name = index == 0 ? rootName : platform::NameFromNative(w.nativeName);
        w.level = int(stack.size());
        w.state = scan::FolderState(folders_.state[size_t(index)]);
        w.error = w.state == scan::kFolderUnreadable   ? EACCES
                  : w.state == scan::kFolderNotEntered ? EXDEV
                                                       : 0;
        const qint32 first = childStart[size_t(index)];
        const qint32 last = childStart[size_t(index) + 1];
        w.subfolders = size_t(last - first);
        // Subfolders in the order a scan walks them: names without regard to case, equal
        // ones by their bytes.
        if (last - first > 1) {
            std::vector<std::pair<QString, qint32>> named;
            named.reserve(size_t(last - first));
            for (qint32 c = first; c < last; ++c)
                named.push_back({platform::NameFromNative(folders_.name(children[size_t(c)])),
                                 children[size_t(c)]});
            std::sort(named.begin(), named.end(), [&](const auto& a, const auto& b) {
                const int c = a.first.compare(b.first, Qt::CaseInsensitive);
                if (c != 0) return c < 0;
                return folders_.name(a.second) < folders_.name(b.second);
            });
            for (qint32 c = first; c < last; ++c)
                children[size_t(c)] = named[size_t(c - first)].second;
        }
        // The root counts no room of its own, as in a scan; a folder without dsize occupies
        // nothing, as the format says.
        w.ownOccupied = index == 0 ? 0 : std::max<qint64>(folders_.ownOccupied[size_t(index)], 0);
        const qint64 begin = fileStart[size_t(index)];
        const qint64 end = fileStart[size_t(index) + 1];
        w.fileSizes.reserve(size_t(end - begin));
        w.fileOccupied.reserve(size_t(end - begin));
        for (qint64 k = begin; k < end; ++k) {
            w.fileSizes.push_back(files_.size[size_t(order[size_t(k)])]);
            w.fileOccupied.push_back(files_.occupied[size_t(order[size_t(k)])]);
        }
        // A file with other links takes its room once, where the list meets it first.
        for (auto it = std::lower_bound(linksByPlace.begin(), linksByPlace.end(),
                                        std::pair<qint64, size_t>{begin, 0});
             it != linksByPlace.end() && it->first < end; ++it)
            if (!linked_.insert(linkOf[it->second]).second)
                w.fileOccupied[size_t(it->first - begin)] = 0;
        stack.push_back({index, first});
        return sink.enter(w);
    };
    if (!enter(0)) return true;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= childStart[size_t(top.folder) + 1]) {
            stack.pop_back();
            if (!sink.leave()) return true;
            continue;
        }
        if (!enter(children[size_t(top.next++)])) return true;
    }
    return true;
}

}  // namespace

bool ReadScanExport(QIODevice& in, const QString& rootName, scan::FolderSink& sink, QString& error,
                    const ImportLimits& limits) {
    Importer importer(in, limits);
    if (!importer.read()) {
        error = importer.error();
        return false;
    }
    return importer.feed(rootName, sink);
}

namespace {

// A pipe or FIFO named where a drive is expected: its first bytes were read to see whether
// it is an export, so it stays open with them until its import reads it. A FIFO no program
// writes is held as such (no descriptor), so that its import says so without waiting again.
struct HeldStream {
    platform::Identity id;
    int fd = -1;
    QByteArray head;
    bool noWriter = false;
};

// How long a FIFO is given for its writer to come: the writer may be started just after.
constexpr int kWriterWaitMs = 2000;

QString NoWriterText() {
    return QStringLiteral("この FIFO に書き込んでいるプログラムがありません (%1 秒待ちました)")
        .arg(kWriterWaitMs / 1000);
}

std::vector<HeldStream>& Held() {
    static std::vector<HeldStream> held;
    return held;
}

// The bytes already read, then the rest of the stream.
class ReplayDevice : public QIODevice {
  public:
    ReplayDevice(QByteArray head, int fd) : head_(std::move(head)) {
        if (!file_.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered,
                        QFileDevice::AutoCloseHandle))
            platform::CloseQuietly(fd);
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 max) override {
        if (at_ < head_.size()) {
            const qint64 n = std::min<qint64>(max, head_.size() - at_);
            std::memcpy(data, head_.constData() + at_, size_t(n));
            at_ += n;
            return n;
        }
        if (!file_.isOpen()) return -1;
        const qint64 n = file_.read(data, max);
        if (n < 0) setErrorString(file_.errorString());
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    QByteArray head_;
    qsizetype at_ = 0;
    QFile file_;
};

enum class Sniff { Yes, No, More };

// "[1," after blanks.
Sniff SniffHead(const QByteArray& head) {
    qsizetype i = 0;
    auto blanks = [&] {
        while (i < head.size() &&
               (head[i] == ' ' || head[i] == '\t' || head[i] == '\n' || head[i] == '\r'))
            ++i;
    };
    for (const char want : {'[', '1', ','}) {
        blanks();
        if (i >= head.size()) return head.size() >= 256 ? Sniff::No : Sniff::More;
        if (head[i] != want) return Sniff::No;
        ++i;
    }
    return Sniff::Yes;
}

}  // namespace

bool ImportScanFile(const QByteArray& nativeFile, const QString& rootName, scan::FolderSink& sink,
                    QString& error) {
    platform::Identity id;
    if (nativeFile != "-" && platform::IdentityOf(nativeFile, id)) {
        std::vector<HeldStream>& held = Held();
        for (auto it = held.begin(); it != held.end(); ++it) {
            if (it->id != id) continue;
            if (it->noWriter) {
                held.erase(it);
                error = NoWriterText();
                return false;
            }
            ReplayDevice in(std::move(it->head), it->fd);
            held.erase(it);
            return ReadScanExport(in, rootName, sink, error);
        }
    }
    QFile file;
    int openError = 0;
    if (nativeFile == "-") {
        if (!file.open(stdin, QIODevice::ReadOnly)) openError = EIO;
    } else {
        platform::OpenedStream opened = platform::OpenStream(nativeFile, kWriterWaitMs);
        if (opened.noWriter) {
            error = NoWriterText();
            return false;
        }
        if (!opened.head.isEmpty()) {
            ReplayDevice in(std::move(opened.head), opened.fd);
            return ReadScanExport(in, rootName, sink, error);
        }
        openError = opened.error;
        if (opened.fd >= 0 &&
            !file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            platform::CloseQuietly(opened.fd);
            openError = EIO;
        }
    }
    if (openError != 0) {
        error = QStringLiteral("開けません (") + platform::ErrorText(openError) + u')';
        return false;
    }
    return ReadScanExport(file, rootName, sink, error);
}

bool LooksLikeScanExport(const QByteArray& nativeFile) {
    platform::OpenedStream opened = platform::OpenStream(nativeFile, kWriterWaitMs);
    if (opened.noWriter) {
        // Only an import can make anything of a FIFO: it says that nothing writes it.
        platform::Identity id;
        if (!platform::IdentityOf(nativeFile, id)) return false;
        Held().push_back({id, -1, {}, true});
        return true;
    }
    const int fd = opened.fd;
    if (fd < 0) return false;
    platform::Identity id;
    bool stream = false;
    QFile file;
    // Unbuffered: what is read is exactly what is kept for the import of a stream.
    if (!platform::IdentityOf(fd, id, &stream) ||
        !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
        platform::CloseQuietly(fd);
        return false;
    }
    QByteArray head = std::move(opened.head);
    Sniff sniff = head.isEmpty() ? Sniff::More : SniffHead(head);
    while (sniff == Sniff::More) {
        char buffer[256];
        const qint64 n = file.read(buffer, qint64(sizeof buffer) - head.size());
        if (n <= 0) break;
        head.append(buffer, n);
        sniff = SniffHead(head);
    }
    file.close();
    if (stream && sniff == Sniff::Yes) {
        // Read once: a pipe's bytes would be gone, a FIFO's writer too.
        Held().push_back({id, fd, head});
        return true;
    }
    platform::CloseQuietly(fd);
    return sniff == Sniff::Yes;
}

}  // namespace interchange
