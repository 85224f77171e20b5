#include "interchange/ScanImport.h"

#include <QFile>
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
#include "scan/FolderScan.h"
#include "scan/ImportDrives.h"

namespace interchange {
namespace {

using Token = JsonReader::Token;

// One folder of the file, kept until the file has been read: the format lists a folder's
// files among its subfolders, the sink wants them first.
struct Folder {
    QByteArray nativeName;
    scan::FolderState state = scan::kFolderRead;
    int error = 0;
    qint64 ownOccupied = -1;  // the folder's dsize, when given
    quint64 device = 0;
    std::vector<qint64> sizes;
    std::vector<qint64> occupied;
    std::vector<int> children;
    // Files with other links: their place in sizes and their device and inode.
    std::vector<std::pair<size_t, std::pair<quint64, quint64>>> links;
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
    explicit Importer(QIODevice& in) : json_(in, kMaxImportDepth + 2) {}

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
    int addFolder(const Info& info, int parent);
    void addFile(const Info& info, Folder& into);
    bool skipArrayRest();

    JsonReader json_;
    std::vector<Folder> folders_;
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

int Importer::addFolder(const Info& info, int parent) {
    Folder f;
    f.nativeName = info.name;
    f.device = info.hasDev || parent < 0 ? info.dev : folders_[size_t(parent)].device;
    f.ownOccupied = info.dsize;
    if (info.readError) {
        // The format keeps no reason; lack of permission is the usual one.
        f.state = scan::kFolderUnreadable;
        f.error = EACCES;
    }
    folders_.push_back(std::move(f));
    const int index = int(folders_.size() - 1);
    if (parent >= 0) folders_[size_t(parent)].children.push_back(index);
    return index;
}

void Importer::addFile(const Info& info, Folder& into) {
    // The format's default: an entry without dsize occupies nothing (ncdu leaves a 0 out).
    const qint64 occupied = std::max<qint64>(info.dsize, 0);
    if (info.hasIno && (info.hlnkc || info.nlink > 1))
        into.links.push_back({into.sizes.size(), {info.hasDev ? info.dev : into.device, info.ino}});
    into.sizes.push_back(info.asize);
    into.occupied.push_back(occupied);
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
            const int f = addFolder(info, open.empty() ? -1 : open.back());
            if (info.excluded == "otherfs" || info.excluded == "othfs" ||
                info.excluded == "kernfs" || info.excluded == "frmlnk") {
                folders_[size_t(f)].state = scan::kFolderNotEntered;
                folders_[size_t(f)].error = EXDEV;
            }
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
            Folder& parent = folders_[size_t(open.back())];
            if (entry.excluded.isEmpty()) {
                addFile(entry, parent);
            } else if (entry.excluded == "otherfs" || entry.excluded == "othfs" ||
                       entry.excluded == "kernfs" || entry.excluded == "frmlnk") {
                // A mount point the scan did not enter: a folder listed, not entered.
                if (!entry.name.startsWith('}')) {
                    const int f = addFolder(entry, open.back());
                    folders_[size_t(f)].state = scan::kFolderNotEntered;
                    folders_[size_t(f)].error = EXDEV;
                }
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
    if (folders_.empty()) return true;
    // Subfolders in the order a scan walks them: names without regard to case, equal ones
    // by their bytes.
    std::vector<QString> names(folders_.size());
    for (size_t i = 1; i < folders_.size(); ++i)
        names[i] = platform::NameFromNative(folders_[i].nativeName);
    for (Folder& f : folders_) {
        std::sort(f.children.begin(), f.children.end(), [&](int a, int b) {
            const int c = names[size_t(a)].compare(names[size_t(b)], Qt::CaseInsensitive);
            if (c != 0) return c < 0;
            return folders_[size_t(a)].nativeName < folders_[size_t(b)].nativeName;
        });
    }
    struct Frame {
        int folder;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    auto enter = [&](int index) {
        Folder& f = folders_[size_t(index)];
        scan::WalkedFolder w;
        w.name = index == 0 ? rootName : std::move(names[size_t(index)]);
        w.nativeName = std::move(f.nativeName);
        w.level = int(stack.size());
        w.state = f.state;
        w.error = f.error;
        w.subfolders = f.children.size();
        // The root counts no room of its own, as in a scan; a folder without dsize occupies
        // nothing, as the format says.
        w.ownOccupied = index == 0 ? 0 : std::max<qint64>(f.ownOccupied, 0);
        // A file with other links takes its room once, where the list meets it first.
        for (const auto& [at, key] : f.links)
            if (!linked_.insert(key).second) f.occupied[at] = 0;
        w.fileSizes = std::move(f.sizes);
        w.fileOccupied = std::move(f.occupied);
        stack.push_back({index});
        return sink.enter(w);
    };
    if (!enter(0)) return true;
    while (!stack.empty()) {
        Frame& top = stack.back();
        const Folder& f = folders_[size_t(top.folder)];
        if (top.next >= f.children.size()) {
            stack.pop_back();
            if (!sink.leave()) return true;
            continue;
        }
        if (!enter(f.children[top.next++])) return true;
    }
    return true;
}

}  // namespace

bool ReadScanExport(QIODevice& in, const QString& rootName, scan::FolderSink& sink,
                    QString& error) {
    Importer importer(in);
    if (!importer.read()) {
        error = importer.error();
        return false;
    }
    return importer.feed(rootName, sink);
}

namespace {

// A pipe or FIFO named where a drive is expected: its first bytes were read to see whether
// it is an export, so it stays open with them until its import reads it.
struct HeldStream {
    platform::Identity id;
    int fd = -1;
    QByteArray head;
};

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
        const int fd = platform::OpenForReading(nativeFile, &openError);
        if (fd >= 0 && !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            platform::CloseQuietly(fd);
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
    int openError = 0;
    const int fd = platform::OpenForReading(nativeFile, &openError);
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
    QByteArray head;
    Sniff sniff = Sniff::More;
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
