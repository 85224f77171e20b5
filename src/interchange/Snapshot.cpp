#include "interchange/Snapshot.h"

#include <QCryptographicHash>
#include <limits>
#include <vector>

namespace interchange {
namespace {

constexpr char kMagic[] = "FOLDEX snapshot ";
constexpr qsizetype kMagicSize = sizeof kMagic - 1;
constexpr qsizetype kSumSize = 32;  // SHA-256
// The fewest bytes a folder takes: depth and three figures (the root has no name).
constexpr qsizetype kLeastFolderBytes = 4;

QByteArray Checksum(const char* data, qsizetype size) {
    return QCryptographicHash::hash(QByteArrayView(data, size), QCryptographicHash::Sha256);
}

quint64 ZigZag(qint64 v) {
    return (quint64(v) << 1) ^ quint64(v >> 63);
}
qint64 UnZigZag(quint64 v) {
    return qint64(v >> 1) ^ -qint64(v & 1);
}

void PutVarint(QByteArray& out, quint64 v) {
    while (v >= 0x80) {
        out += char(v | 0x80);
        v >>= 7;
    }
    out += char(v);
}

// Each UTF-16 unit in the UTF-8 pattern; a pair as its one code point. A lone surrogate
// becomes three bytes that strict UTF-8 would refuse, and so comes back as it was.
void PutName(QByteArray& out, QStringView name) {
    QByteArray bytes;
    bytes.reserve(name.size() * 3);
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (u < 0x80) {
            bytes += char(u);
        } else if (u < 0x800) {
            bytes += char(0xC0 | (u >> 6));
            bytes += char(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && i + 1 < name.size() &&
                   QChar::isLowSurrogate(name[i + 1].unicode())) {
            const char32_t c = QChar::surrogateToUcs4(u, name[++i].unicode());
            bytes += char(0xF0 | (c >> 18));
            bytes += char(0x80 | ((c >> 12) & 0x3F));
            bytes += char(0x80 | ((c >> 6) & 0x3F));
            bytes += char(0x80 | (c & 0x3F));
        } else {
            bytes += char(0xE0 | (u >> 12));
            bytes += char(0x80 | ((u >> 6) & 0x3F));
            bytes += char(0x80 | (u & 0x3F));
        }
    }
    PutVarint(out, quint64(bytes.size()));
    out += bytes;
}

QString Damaged(const QString& what, qsizetype at = -1) {
    QString text = QStringLiteral("スナップショットが壊れています: ") + what;
    if (at >= 0) text += QStringLiteral(" (%1 バイト目)").arg(at);
    return text;
}

class Reader {
  public:
    Reader(const char* data, qsizetype begin, qsizetype end) : p_(data), i_(begin), end_(end) {}

    qsizetype pos() const { return i_; }
    qsizetype left() const { return end_ - i_; }

    bool varint(quint64& v) {
        v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (i_ >= end_) return false;
            const quint8 b = quint8(p_[i_++]);
            // The tenth byte may hold only the top bit.
            if (shift == 63 && b > 1) return false;
            v |= quint64(b & 0x7F) << shift;
            if (!(b & 0x80)) return true;
        }
        return false;
    }
    bool signedVarint(qint64& v) {
        quint64 u;
        if (!varint(u)) return false;
        v = UnZigZag(u);
        return true;
    }
    bool bytes(qsizetype n, const char*& at) {
        if (n < 0 || n > left()) return false;
        at = p_ + i_;
        i_ += n;
        return true;
    }

  private:
    const char* p_;
    qsizetype i_;
    qsizetype end_;
};

int Continuation(const quint8* s, qsizetype n, qsizetype i, int count, char32_t& c) {
    if (i + count > n) return -1;
    for (int k = 0; k < count; ++k) {
        const quint8 b = s[i + k];
        if ((b & 0xC0) != 0x80) return -1;
        c = (c << 6) | (b & 0x3F);
    }
    return count;
}

// The name as PutName wrote it, and nothing else: overlong forms, code points past
// U+10FFFF and a pair written as two lone halves are refused.
bool TakeName(const char* data, qsizetype n, QString& out) {
    out.clear();
    const auto* s = reinterpret_cast<const quint8*>(data);
    for (qsizetype i = 0; i < n;) {
        const quint8 b = s[i++];
        char32_t c = 0;
        if (b < 0x80) {
            out += QChar(char16_t(b));
            continue;
        }
        int more;
        char32_t least;
        if (b >= 0xC2 && b <= 0xDF) {
            c = b & 0x1F;
            more = 1;
            least = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            c = b & 0x0F;
            more = 2;
            least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            c = b & 0x07;
            more = 3;
            least = 0x10000;
        } else {
            return false;
        }
        if (Continuation(s, n, i, more, c) < 0) return false;
        i += more;
        if (c < least || c > 0x10FFFF) return false;
        if (c >= 0x10000) {
            out += QChar(QChar::highSurrogate(c));
            out += QChar(QChar::lowSurrogate(c));
            continue;
        }
        if (QChar::isLowSurrogate(c) && !out.isEmpty() && out.back().isHighSurrogate())
            return false;
        out += QChar(char16_t(c));
    }
    return true;
}

}  // namespace

namespace {

// The snapshot's bytes in a buffer of one piece, handed on and summed whenever it is full.
class PieceOut {
  public:
    static constexpr qsizetype kPiece = 64 * 1024;
    explicit PieceOut(const SnapshotWriter& write)
        : write_(write), sum_(QCryptographicHash::Sha256) {
        buffer.reserve(kPiece + 64);
    }
    QByteArray buffer;
    bool full() const { return buffer.size() >= kPiece; }
    bool flush() {
        if (buffer.isEmpty()) return true;
        sum_.addData(buffer);
        const bool ok = write_(buffer.constData(), buffer.size());
        buffer.truncate(0);  // keeps its room for the next piece
        return ok;
    }
    bool finish() {
        if (!flush()) return false;
        const QByteArray sum = sum_.result();
        return write_(sum.constData(), sum.size());
    }

  private:
    const SnapshotWriter& write_;
    QCryptographicHash sum_;
};

}  // namespace

bool WriteSnapshot(const scan::FigureView& view, const SnapshotWriter& write) {
    const int n = view.size();
    PieceOut out(write);
    QByteArray& b = out.buffer;
    b += kMagic;
    b += QByteArray::number(kSnapshotVersion);
    b += '\n';
    PutVarint(b, ZigZag(view.Taken));
    PutVarint(b, quint64(view.Source.size()));
    b += view.Source;
    PutVarint(b, quint64(n));
    // The folders from the root down to the last one written: a folder's depth is where its
    // parent stands in it (pre-order), so no depth is kept per folder.
    std::vector<qint32> path;
    for (int i = 0; i < n; ++i) {
        quint32 depth = 0;
        if (i > 0) {
            const qint32 p = view.parent(i);
            while (!path.empty() && path.back() != p) path.pop_back();
            if (path.empty()) path.push_back(0);  // not below the folders before: under the root
            depth = quint32(path.size());
        }
        path.push_back(i);
        PutVarint(b, depth);
        if (i > 0) PutName(b, view.name(i));
        PutVarint(b, ZigZag(view.files(i)));
        PutVarint(b, ZigZag(view.bytes(i)));
        PutVarint(b, ZigZag(view.alloc(i)));
        if (out.full() && !out.flush()) return false;
    }
    return out.finish();
}

QByteArray EncodeSnapshot(const scan::FigureTree& tree) {
    QByteArray out;
    out.reserve(64 + tree.Source.size() + qsizetype(tree.size()) * 12 + tree.namePool().size() * 2);
    WriteSnapshot(scan::FigureView(tree), [&out](const char* data, qsizetype size) {
        out.append(data, size);
        return true;
    });
    return out;
}

bool DecodeSnapshot(const QByteArray& bytes, scan::FigureTree& out, QString& error) {
    const qsizetype size = bytes.size();
    const char* data = bytes.constData();
    if (!bytes.startsWith(kMagic)) {
        error = QByteArray(kMagic).startsWith(bytes)
                    ? Damaged(QStringLiteral("途中で切れています"))
                    : QStringLiteral("FOLDEX のスナップショットではありません");
        return false;
    }
    // The version: decimal digits up to the end of the line.
    qsizetype i = kMagicSize;
    qint64 version = 0;
    while (i < size && i - kMagicSize < 9 && data[i] >= '0' && data[i] <= '9')
        version = version * 10 + (data[i++] - '0');
    if (i == size) {
        error = Damaged(QStringLiteral("途中で切れています"));
        return false;
    }
    if (i == kMagicSize || data[i] != '\n' || version < 1) {
        error = Damaged(QStringLiteral("版が読めません"), i);
        return false;
    }
    if (version > kSnapshotVersion) {
        error =
            QStringLiteral("新しい版 (%1) のスナップショットです。この版の FOLDEX では読めません")
                .arg(version);
        return false;
    }
    const qsizetype bodyBegin = i + 1;
    if (size - bodyBegin < kSumSize) {
        error = Damaged(QStringLiteral("途中で切れています"));
        return false;
    }
    const qsizetype bodyEnd = size - kSumSize;
    if (Checksum(data, bodyEnd) != QByteArrayView(data + bodyEnd, kSumSize)) {
        error = Damaged(
            QStringLiteral("検査値が合いません (途中で切れているか、書き換えられています)"));
        return false;
    }

    // The checksum only says the file is as it was written; what it says is still checked.
    Reader r(data, bodyBegin, bodyEnd);
    auto fail = [&](const QString& what) {
        error = Damaged(what, r.pos());
        return false;
    };
    const QString cut = QStringLiteral("途中で切れています");
    scan::FigureTree tree;
    quint64 sourceSize = 0;
    quint64 count = 0;
    const char* source = nullptr;
    if (!r.signedVarint(tree.Taken) || !r.varint(sourceSize)) return fail(cut);
    if (sourceSize > quint64(r.left()) || !r.bytes(qsizetype(sourceSize), source)) return fail(cut);
    tree.Source = QByteArray(source, qsizetype(sourceSize));
    if (!r.varint(count)) return fail(cut);
    // Never more folders than the bytes left could hold, whatever the count says.
    if (count > quint64(r.left() / kLeastFolderBytes) ||
        count > quint64(std::numeric_limits<qint32>::max()))
        return fail(QStringLiteral("フォルダー数が正しくありません: %1").arg(count));
    tree.reserve(size_t(count), size_t(r.left()));
    std::vector<qint32> path;  // the folders from the root to the last one read
    QString name;
    for (quint64 f = 0; f < count; ++f) {
        quint64 depth = 0;
        if (!r.varint(depth)) return fail(cut);
        if (f == 0 ? depth != 0 : depth == 0 || depth > path.size())
            return fail(QStringLiteral("フォルダーの階層が正しくありません"));
        name.clear();
        if (f > 0) {
            quint64 nameSize = 0;
            const char* at = nullptr;
            if (!r.varint(nameSize) || nameSize > quint64(r.left()) ||
                !r.bytes(qsizetype(nameSize), at))
                return fail(cut);
            if (!TakeName(at, qsizetype(nameSize), name))
                return fail(QStringLiteral("フォルダー名が正しくありません"));
        }
        qint64 files = 0, fileBytes = 0, alloc = 0;
        if (!r.signedVarint(files) || !r.signedVarint(fileBytes) || !r.signedVarint(alloc))
            return fail(cut);
        if (files < std::numeric_limits<qint32>::min() ||
            files > std::numeric_limits<qint32>::max())
            return fail(QStringLiteral("ファイル数が正しくありません: %1").arg(files));
        path.resize(size_t(depth));
        const int parent = f == 0 ? -1 : path.back();
        path.push_back(qint32(f));
        tree.add(parent, name, qint32(files), fileBytes, alloc);
    }
    if (r.left() != 0) return fail(QStringLiteral("余分なバイトがあります"));
    tree.sumSubtrees();
    out = std::move(tree);
    return true;
}

}  // namespace interchange
