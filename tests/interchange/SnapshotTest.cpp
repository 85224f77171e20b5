// Snapshots: the file format read back exactly, every damage refused, and the cache folder
// kept within its limits without touching anything that is not a snapshot.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <iostream>
#include <limits>
#include <random>

#include "common/TestSupport.h"
#include "common/TmpfsMount.h"
#include "interchange/Snapshot.h"
#include "interchange/SnapshotStore.h"
#include "platform/FileSys.h"
#include "platform/PathMap.h"
#include "scan/FigureView.h"

using namespace interchange;

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();

struct Node {
    int depth;
    QString name;
    qint32 files;
    qint64 bytes;
    qint64 alloc;
};

scan::FigureTree Tree(const std::vector<Node>& nodes, const QByteArray& source = "/srv/data",
                      qint64 taken = 1700000000) {
    scan::FigureTree t;
    std::vector<int> path;
    for (const Node& n : nodes) {
        path.resize(size_t(n.depth));
        t.add(path.empty() ? -1 : path.back(), n.name, n.files, n.bytes, n.alloc);
        path.push_back(t.size() - 1);
    }
    t.sumSubtrees();
    t.Source = source;
    t.Taken = taken;
    return t;
}

void ExpectSame(const scan::FigureTree& got, const scan::FigureTree& want) {
    ASSERT_EQ(got.size(), want.size());
    EXPECT_EQ(got.Taken, want.Taken);
    EXPECT_EQ(got.Source, want.Source);
    EXPECT_EQ(got.Parent, want.Parent);
    EXPECT_EQ(got.Files, want.Files);
    EXPECT_EQ(got.Bytes, want.Bytes);
    EXPECT_EQ(got.Alloc, want.Alloc);
    EXPECT_EQ(got.Subtree, want.Subtree);
    for (int i = 0; i < want.size(); ++i) {
        // Unit by unit: a lone surrogate must come back as the very same unit.
        const QStringView a = got.name(i), b = want.name(i);
        ASSERT_EQ(a.size(), b.size()) << i;
        for (qsizetype k = 0; k < a.size(); ++k)
            ASSERT_EQ(a[k].unicode(), b[k].unicode()) << "folder " << i << " unit " << k;
    }
}

scan::FigureTree Decoded(const QByteArray& bytes) {
    scan::FigureTree t;
    QString error;
    EXPECT_TRUE(DecodeSnapshot(bytes, t, error)) << error.toStdString();
    return t;
}

// A folder tree like the benchmark's: names as it makes them, parents mostly among the
// recent folders, 400,000 files of up to about 1 MB spread over the folders.
scan::FigureTree BenchTree(int folders, int files) {
    std::mt19937_64 rng(7);
    const char* prefixes[] = {"dir", "Dir", "data_", "src", "x"};
    std::vector<int> parent(size_t(folders), -1);
    for (int i = 1; i < folders; ++i) {
        const int lo = std::max(0, i - 200);
        parent[size_t(i)] =
            rng() % 10 < 7 ? lo + int(rng() % quint64(i - lo)) : int(rng() % quint64(i));
    }
    std::vector<qint32> count(size_t(folders), 0);
    std::vector<qint64> bytes(size_t(folders), 0), alloc(size_t(folders), 4096);
    for (int f = 0; f < files; ++f) {
        const size_t at = size_t(rng() % quint64(folders));
        const qint64 size = qint64(rng() % 1048577);
        ++count[at];
        bytes[at] += size;
        alloc[at] += (size + 4095) / 4096 * 4096;
    }
    // Children in creation order, written out depth first: the walk's pre-order.
    std::vector<std::vector<int>> children(static_cast<size_t>(folders));
    for (int i = 1; i < folders; ++i) children[size_t(parent[size_t(i)])].push_back(i);
    scan::FigureTree t;
    std::vector<std::pair<int, int>> stack{{0, -1}};
    while (!stack.empty()) {
        const auto [f, up] = stack.back();
        stack.pop_back();
        const QString name = f == 0 ? QString() : QString::asprintf("%s%05d", prefixes[f % 5], f);
        t.add(up, name, count[size_t(f)], bytes[size_t(f)], alloc[size_t(f)]);
        const int me = t.size() - 1;
        for (auto it = children[size_t(f)].rbegin(); it != children[size_t(f)].rend(); ++it)
            stack.push_back({*it, me});
    }
    t.sumSubtrees();
    t.Source = "/tmp/foldex-bench-tree";
    t.Taken = 1700000000;
    return t;
}

// A body of the format sealed with a right checksum: what a checksum cannot catch.
QByteArray Sealed(const QByteArray& body) {
    const QByteArray data = "FOLDEX snapshot 1\n" + body;
    return data + QCryptographicHash::hash(data, QCryptographicHash::Sha256);
}

QStringList FilesIn(const QByteArray& folder) {
    return QDir(QFile::decodeName(folder))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                   QDir::Name);
}

// XDG_CACHE_HOME set to a fresh folder for the life of the object.
struct CacheHome {
    QTemporaryDir dir;
    QByteArray previous = qgetenv("XDG_CACHE_HOME");
    CacheHome() { qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.path())); }
    ~CacheHome() { qputenv("XDG_CACHE_HOME", previous); }
    QByteArray folder() const { return QFile::encodeName(dir.path()) + "/foldex"; }
};

}  // namespace

TEST(Snapshot, TreesComeBackExactly) {
    const QString odd = platform::NameFromNative("bad\xff\xfe-name\x80");
    ASSERT_TRUE(odd.contains(QChar(0xDCFF)));  // bytes that are not UTF-8, as lone surrogates
    const QString emoji = QString::fromUtf8("\xF0\x9F\x93\x81");  // a surrogate pair
    std::vector<Node> deep{{0, {}, 0, 0, 0}};
    for (int i = 1; i <= 5000; ++i) deep.push_back({i, QStringLiteral("d"), 1, i, 4096});
    struct Case {
        const char* what;
        scan::FigureTree tree;
    } cases[] = {
        {"no folders", Tree({})},
        {"only the root", Tree({{0, {}, 3, 10, 12288}}, "/")},
        {"awkward names and figures",
         Tree({{0, {}, 0, 0, 0},
               {1, QStringLiteral("日本語フォルダ"), 2, 5000, 8192},
               {2, QStringLiteral("with blank "), 0, 0, 4096},
               {2, QStringLiteral("back\\slash"), 1, 1, 4096},
               {1, QStringLiteral("ctl\x01\n\t\x7f"), -1, 0, 0},
               {2, odd, std::numeric_limits<qint32>::max(), kMax, kMax},
               {3, QString(QChar(0xD800)), 0, 0, 1},  // a lone high half
               {3, QString(QChar(0xDC00)) + QChar(0xD800), 0, 0, 1},
               {3, emoji + QChar(0xD83D), 0, -5, 1},
               {3, QString(QChar(0xD83D)) + QChar(0xD83D) + QChar(0xDCC1), 0, 0, 1},
               {1, QStringLiteral("é\u0800\uFFFF"), 0, 0, 0}},
              "/media/usb \xff\xfe", -1)},
        {"a deep tree", Tree(deep)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectSame(Decoded(EncodeSnapshot(c.tree)), c.tree);
    }
}

// A large snapshot goes out in pieces of about 64 KiB, never whole: together they are the
// snapshot, and a writer that refuses a piece stops the writing there.
TEST(Snapshot, ALargeSnapshotIsWrittenInPieces) {
    const scan::FigureTree tree = BenchTree(20000, 400000);
    std::vector<qsizetype> pieces;
    QByteArray joined;
    ASSERT_TRUE(WriteSnapshot(scan::FigureView(tree), [&](const char* data, qsizetype size) {
        pieces.push_back(size);
        joined.append(data, size);
        return true;
    }));
    ASSERT_GT(pieces.size(), 4u);
    for (const qsizetype size : pieces) EXPECT_LE(size, 64 * 1024 + 1024);
    EXPECT_EQ(pieces.back(), 32);  // the checksum
    EXPECT_EQ(joined, EncodeSnapshot(tree));
    ExpectSame(Decoded(joined), tree);
    int calls = 0;
    EXPECT_FALSE(
        WriteSnapshot(scan::FigureView(tree), [&](const char*, qsizetype) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

TEST(Snapshot, EveryDamageIsRefusedWithAReason) {
    const QByteArray good = EncodeSnapshot(Tree({{0, {}, 1, 2, 4096},
                                                 {1, QStringLiteral("a"), 3, 400, 8192},
                                                 {2, QStringLiteral("日本"), 0, 0, 4096},
                                                 {1, QStringLiteral("b"), 1, 1, 4096}}));
    scan::FigureTree out;
    QString error;
    ASSERT_TRUE(DecodeSnapshot(good, out, error));
    auto refused = [&](const QByteArray& bytes) {
        scan::FigureTree t = Tree({{0, {}, 9, 9, 9}});
        QString why;
        const bool ok = DecodeSnapshot(bytes, t, why);
        EXPECT_EQ(t.size(), 1);  // what it held is left as it was
        return ok ? QString() : why;
    };
    for (qsizetype n = 0; n < good.size(); ++n)
        ASSERT_FALSE(refused(good.left(n)).isEmpty()) << "cut at " << n;
    for (qsizetype i = 0; i < good.size(); ++i) {
        for (const quint8 flip : {0x01, 0x80, 0xFF}) {
            QByteArray bad = good;
            bad[i] = char(quint8(bad[i]) ^ flip);
            ASSERT_FALSE(refused(bad).isEmpty()) << "byte " << i << " ^ " << int(flip);
        }
    }
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* says;
    } cases[] = {
        {"trailing bytes", good + '\0', "壊れています"},
        {"an export", "[1,2,{\"progname\":\"foldex\"}]", "スナップショットではありません"},
        {"a newer version", QByteArray(good).replace("snapshot 1\n", "snapshot 2\n"),
         "新しい版 (2)"},
        {"no version", QByteArray(good).replace("snapshot 1\n", "snapshot \n"), "版が読めません"},
        // Sealed with a right checksum: taken, source, count, then each folder.
        {"more folders than bytes", Sealed(QByteArray("\x00\x00\xC0\x84\x3D\x00\x00\x00\x00", 9)),
         "フォルダー数"},
        {"a count past 2^32",
         Sealed(QByteArray("\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 11)), "フォルダー数"},
        {"a root below something", Sealed(QByteArray("\x00\x00\x01\x01\x00\x00\x00", 7)), "階層"},
        {"a folder two levels down",
         Sealed(QByteArray("\x00\x00\x02\x00\x00\x00\x00\x02\x01"
                           "a\x00\x00\x00",
                           13)),
         "階層"},
        {"a second root",
         Sealed(QByteArray("\x00\x00\x02\x00\x00\x00\x00\x00\x01"
                           "a\x00\x00\x00",
                           13)),
         "階層"},
        {"an overlong name byte",
         Sealed(QByteArray("\x00\x00\x02\x00\x00\x00\x00\x01\x02\xC0\x80\x00\x00\x00", 14)), "名"},
        {"a pair written as two halves",
         Sealed(QByteArray(
             "\x00\x00\x02\x00\x00\x00\x00\x01\x06\xED\xA0\x80\xED\xB0\x80\x00\x00\x00", 18)),
         "名"},
        {"files past 2^31", Sealed(QByteArray("\x00\x00\x01\x00\x80\x80\x80\x80\x10\x00\x00", 11)),
         "ファイル数"},
        {"bytes after the folders", Sealed(QByteArray("\x00\x00\x01\x00\x00\x00\x00\x00", 8)),
         "余分"},
        {"a name cut short",
         Sealed(QByteArray("\x00\x00\x02\x00\x00\x00\x00\x01\x05"
                           "ab",
                           11)),
         "切れて"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString why = refused(c.bytes);
        EXPECT_TRUE(why.contains(QString::fromUtf8(c.says))) << why.toStdString();
    }
    // The sealed bodies are the format: the same bytes with a sound folder are read.
    EXPECT_EQ(Decoded(Sealed(QByteArray("\x00\x00\x01\x00\x06\x04\x02", 7))).Bytes,
              std::vector<qint64>{2});
}

TEST(SnapshotStore, TheCacheKeepsTheNewestWithinItsLimitsAndTouchesNothingElse) {
    CacheHome home;
    const QByteArray folder = home.folder();
    auto tree = [](const QByteArray& source, qint64 taken, qint64 bytes) {
        return Tree({{0, {}, 1, bytes, 4096}, {1, QStringLiteral("a"), 2, 7, 8192}}, source, taken);
    };
    QString error;
    // A name of drive A that is a link to a file outside, and files that are not snapshots.
    ASSERT_TRUE(KeepSnapshot(tree("/a", 1000, 1), error)) << error.toStdString();
    ASSERT_EQ(ListSnapshots("/a").size(), 1u);
    const QByteArray linkName = ListSnapshots("/a")[0].file;
    QTemporaryDir outside;
    const QByteArray target = QFile::encodeName(outside.path()) + "/target";
    testsupport::WriteAll(target, "not mine");
    ASSERT_EQ(::unlink(linkName.constData()), 0);
    ASSERT_EQ(::symlink(target.constData(), linkName.constData()), 0);
    testsupport::WriteAll(folder + "/notes.txt", "x");
    testsupport::WriteAll(folder + "/0123456789abcdef-20000101T000000.snap.bak", "x");
    testsupport::WriteAll(folder + "/0123456789abcdef-20000231T000000.snap", "x");
    testsupport::WriteAll(folder + "/.foldex-1.tmp", "fresh");
    testsupport::WriteAll(folder + "/.foldex-2.tmp", "old");
    const struct utimbuf twoDaysAgo = {time(nullptr) - 2 * 86400, time(nullptr) - 2 * 86400};
    ASSERT_EQ(::utime(folder + "/.foldex-2.tmp", &twoDaysAgo), 0);

    scan::FigureTree got;
    EXPECT_FALSE(LoadSnapshot(linkName, "/a", got, error));  // never read through a link
    EXPECT_TRUE(ListSnapshots("/a").empty());

    // Twelve of drive A: the newest ten stay, newest first; the same second replaces.
    for (int i = 0; i < 12; ++i) ASSERT_TRUE(KeepSnapshot(tree("/a", 2000 + i, i), error));
    ASSERT_TRUE(KeepSnapshot(tree("/a", 2011, 99), error));
    std::vector<SnapshotInfo> a = ListSnapshots("/a");
    ASSERT_EQ(a.size(), 10u);
    for (size_t k = 0; k < a.size(); ++k) EXPECT_EQ(a[k].taken, 2011 - qint64(k));
    ASSERT_TRUE(LoadSnapshot(a[0].file, "/a", got, error)) << error.toStdString();
    EXPECT_EQ(got.Bytes[0], 99);
    EXPECT_EQ(a[0].bytes, QFileInfo(QFile::decodeName(a[0].file)).size());
    // Another drive's snapshot is never shown or read as this drive's.
    EXPECT_TRUE(ListSnapshots("/b").empty());
    EXPECT_FALSE(LoadSnapshot(a[0].file, "/b", got, error));
    EXPECT_TRUE(error.contains(QStringLiteral("別のドライブ"))) << error.toStdString();
    EXPECT_TRUE(LoadSnapshot(a[0].file, {}, got, error));

    // Three drives over a byte limit: the oldest go first, whichever drive they are of.
    const qint64 size = a[0].bytes;
    const SnapshotLimits limits{10, 5 * size + size / 2};
    for (int t = 3000; t < 3012; ++t) {
        const QByteArray drive = "/d" + QByteArray::number(t % 3);
        ASSERT_TRUE(KeepSnapshot(tree(drive, t, 1), error, limits)) << error.toStdString();
    }
    std::vector<qint64> kept;
    for (const char* d : {"/a", "/d0", "/d1", "/d2"})
        for (const SnapshotInfo& s : ListSnapshots(d)) kept.push_back(s.taken);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<qint64>{3007, 3008, 3009, 3010, 3011}));

    // Alone over the limit: not kept, and said so.
    EXPECT_FALSE(KeepSnapshot(tree("/e", 4000, 1), error, {10, size / 2}));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(ListSnapshots("/e").empty());

    // Nothing but snapshots and old leftovers was ever removed; the link and its target stand.
    const QStringList left = FilesIn(folder);
    for (const char* name : {"notes.txt", "0123456789abcdef-20000101T000000.snap.bak",
                             "0123456789abcdef-20000231T000000.snap", ".foldex-1.tmp"})
        EXPECT_TRUE(left.contains(QLatin1String(name))) << name;
    EXPECT_FALSE(left.contains(QStringLiteral(".foldex-2.tmp")));
    EXPECT_TRUE(left.contains(QFileInfo(QFile::decodeName(linkName)).fileName()));
    EXPECT_EQ(testsupport::ReadAll(target), "not mine");
    struct stat st;
    ASSERT_EQ(::stat(folder.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(SnapshotStore, AnUnwritableCacheGivesTheReasonAndLeavesNothing) {
    const scan::FigureTree tree = BenchTree(200, 4000);
    // A full disk, for every user (a tmpfs of its own).
    {
        testsupport::TmpfsMount disk("64k");
        ASSERT_TRUE(disk.mounted()) << disk.failure();
        CacheHome home;
        qputenv("XDG_CACHE_HOME", disk.path());
        ASSERT_EQ(::mkdir(disk.path() + "/foldex", 0700), 0);
        testsupport::FillDisk(disk.path());
        QString error;
        EXPECT_FALSE(KeepSnapshot(tree, error));
        EXPECT_TRUE(error.contains(platform::ErrorText(ENOSPC))) << error.toStdString();
        EXPECT_TRUE(FilesIn(disk.path() + "/foldex").isEmpty());
    }
    // A folder this user may not write to (as root, the body runs as an ordinary user).
    testsupport::RunUnprivileged([&] {
        CacheHome home;
        ASSERT_EQ(::mkdir(home.folder().constData(), 0700), 0);
        ASSERT_EQ(::chmod(home.folder().constData(), 0500), 0);
        QString error;
        EXPECT_FALSE(KeepSnapshot(tree, error));
        EXPECT_TRUE(error.contains(platform::ErrorText(EACCES))) << error.toStdString();
        EXPECT_TRUE(FilesIn(home.folder()).isEmpty());
        ::chmod(home.folder().constData(), 0700);
    });
}

TEST(SnapshotStore, TheBenchmarkTreesSnapshotIsSmallAndQuick) {
    CacheHome home;
    const scan::FigureTree tree = BenchTree(20000, 400000);
    ASSERT_EQ(tree.size(), 20000);
    QElapsedTimer clock;
    clock.start();
    const QByteArray bytes = EncodeSnapshot(tree);
    const qint64 encoded = clock.nsecsElapsed();
    EXPECT_LT(bytes.size(), 2 * 1024 * 1024);
    clock.restart();
    QString error;
    ASSERT_TRUE(KeepSnapshot(tree, error)) << error.toStdString();
    const qint64 kept = clock.nsecsElapsed();
    const std::vector<SnapshotInfo> list = ListSnapshots(tree.Source);
    ASSERT_EQ(list.size(), 1u);
    clock.restart();
    scan::FigureTree back;
    ASSERT_TRUE(LoadSnapshot(list[0].file, tree.Source, back, error)) << error.toStdString();
    const qint64 loaded = clock.nsecsElapsed();
    ExpectSame(back, tree);
    std::cout << "20,000-folder snapshot: " << bytes.size() << " bytes; encode " << encoded / 1000
              << " us, keep (encode, write, sync, prune) " << kept / 1000 << " us, load "
              << loaded / 1000 << " us\n";
}
