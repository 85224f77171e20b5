#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <map>
#include <set>

#include "cli/ExportCommand.h"
#include "common/ListFixture.h"
#include "common/TestSupport.h"
#include "common/TmpfsMount.h"
#include "grid/Grid.h"
#include "interchange/SnapshotStore.h"
#include "platform/DriveMap.h"
#include "platform/FileSys.h"
#include "scan/DriveList.h"
#include "scan/FigureTree.h"
#include "scan/FolderScan.h"
#include "settings/Settings.h"

using namespace cli;

namespace {

// A strict JSON reader for the tests. The one freedom it allows is the format's own: bytes
// of a string that are not UTF-8 are taken as they are, since names are native bytes.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool flag = false;
    qint64 number = 0;
    QByteArray text;
    std::vector<Json> items;
    std::vector<std::pair<QByteArray, Json>> members;

    const Json* get(const char* key) const {
        for (const auto& [k, v] : members)
            if (k == key) return &v;
        return nullptr;
    }
    qint64 num(const char* key) const {
        const Json* v = get(key);
        return v && v->kind == Number ? v->number : 0;
    }
    bool is(const char* key) const {
        const Json* v = get(key);
        return v && v->kind == Bool && v->flag;
    }
    QByteArray str(const char* key) const {
        const Json* v = get(key);
        return v && v->kind == String ? v->text : QByteArray();
    }
};

class Reader {
  public:
    explicit Reader(const QByteArray& s) : s_(s) {}
    bool parse(Json& out) {
        value(out, 0);
        space();
        return ok_ && i_ == s_.size();
    }
    qsizetype where() const { return i_; }

  private:
    void space() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
            ++i_;
    }
    bool eat(char c) {
        space();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    bool word(const char* w) {
        const qsizetype n = qsizetype(strlen(w));
        if (s_.mid(i_, n) != w) return false;
        i_ += n;
        return true;
    }
    void value(Json& v, int depth) {
        space();
        if (!ok_ || i_ >= s_.size() || depth > 1000) {
            ok_ = false;
            return;
        }
        const char c = s_[i_];
        if (c == '[') {
            ++i_;
            v.kind = Json::Array;
            if (eat(']')) return;
            do {
                v.items.emplace_back();
                value(v.items.back(), depth + 1);
            } while (ok_ && eat(','));
            ok_ = ok_ && eat(']');
        } else if (c == '{') {
            ++i_;
            v.kind = Json::Object;
            if (eat('}')) return;
            do {
                Json key;
                space();
                string(key);
                if (!ok_ || !eat(':')) {
                    ok_ = false;
                    return;
                }
                for (const auto& m : v.members) ok_ = ok_ && m.first != key.text;  // no twins
                v.members.emplace_back(key.text, Json());
                value(v.members.back().second, depth + 1);
            } while (ok_ && eat(','));
            ok_ = ok_ && eat('}');
        } else if (c == '"') {
            string(v);
        } else if (word("true") || word("false")) {
            v.kind = Json::Bool;
            v.flag = s_[i_ - 1] == 'e' && s_[i_ - 2] == 'u';
        } else if (word("null")) {
            v.kind = Json::Null;
        } else {
            // Whole numbers only: every number of the format is one.
            const qsizetype start = i_;
            if (i_ < s_.size() && s_[i_] == '-') ++i_;
            while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
            const QByteArray digits = s_.mid(start, i_ - start);
            bool good = false;
            v.kind = Json::Number;
            v.number = digits.toLongLong(&good);
            ok_ = good && !(digits.startsWith('0') && digits.size() > 1);
        }
    }
    void string(Json& v) {
        if (i_ >= s_.size() || s_[i_] != '"') {
            ok_ = false;
            return;
        }
        ++i_;
        v.kind = Json::String;
        while (ok_) {
            if (i_ >= s_.size()) {
                ok_ = false;
                return;
            }
            const auto c = static_cast<unsigned char>(s_[i_++]);
            if (c == '"') return;
            if (c < 0x20) {
                ok_ = false;  // control codes must be escaped
                return;
            }
            if (c != '\\') {
                v.text += char(c);
                continue;
            }
            if (i_ >= s_.size()) {
                ok_ = false;
                return;
            }
            const char e = s_[i_++];
            static const std::map<char, char> simple = {{'"', '"'},  {'\\', '\\'}, {'/', '/'},
                                                        {'b', '\b'}, {'f', '\f'},  {'n', '\n'},
                                                        {'r', '\r'}, {'t', '\t'}};
            if (simple.count(e)) {
                v.text += simple.at(e);
            } else if (e == 'u' && i_ + 4 <= s_.size()) {
                bool good = false;
                const uint code = s_.mid(i_, 4).toUInt(&good, 16);
                i_ += 4;
                ok_ = good && (code < 0xD800 || code > 0xDFFF);
                v.text += QString(QChar(code)).toUtf8();
            } else {
                ok_ = false;
            }
        }
    }

    const QByteArray& s_;
    qsizetype i_ = 0;
    bool ok_ = true;
};

Json Parse(const QByteArray& text) {
    Json doc;
    Reader r(text);
    EXPECT_TRUE(r.parse(doc)) << "not valid JSON near byte " << r.where();
    return doc;
}

// What the tests compare of an entry: everything but the inode, checked apart.
struct Entry {
    bool folder = false;
    qint64 asize = 0;
    qint64 dsize = 0;
    qint64 nlink = 0;
    bool notreg = false;
    bool readError = false;
    QByteArray excluded;
    bool operator==(const Entry&) const = default;
};
using Entries = std::map<QByteArray, Entry>;

std::ostream& operator<<(std::ostream& os, const Entry& e) {
    return os << (e.folder ? "folder" : "file") << " asize " << e.asize << " dsize " << e.dsize
              << " nlink " << e.nlink << (e.notreg ? " notreg" : "")
              << (e.readError ? " read_error" : "") << " excluded '" << e.excluded.constData()
              << "'";
}

// Every entry below a folder array by its path; inodes by path where asked.
void Collect(const Json& dir, const QByteArray& path, Entries& out,
             std::map<QByteArray, qint64>* inodes) {
    ASSERT_EQ(dir.kind, Json::Array);
    ASSERT_FALSE(dir.items.empty());
    auto add = [&](const Json& info, bool folder, const QByteArray& p) {
        ASSERT_EQ(info.kind, Json::Object);
        ASSERT_FALSE(info.str("name").isEmpty());
        ASSERT_FALSE(out.count(p)) << "twice: " << p.constData();
        Entry e;
        e.folder = folder;
        e.asize = info.num("asize");
        e.dsize = info.num("dsize");
        e.nlink = info.num("nlink");
        EXPECT_EQ(info.is("hlnkc"), e.nlink > 1) << p.constData();
        e.notreg = info.is("notreg");
        e.readError = info.is("read_error");
        e.excluded = info.str("excluded");
        out[p] = e;
        if (inodes) (*inodes)[p] = info.num("ino");
    };
    add(dir.items[0], true, path);
    for (size_t i = 1; i < dir.items.size(); ++i) {
        const Json& item = dir.items[i];
        if (item.kind == Json::Array) {
            ASSERT_FALSE(item.items.empty());
            Collect(item, path + "/" + item.items[0].str("name"), out, inodes);
        } else {
            add(item, false, path + "/" + item.str("name"));
        }
    }
}

QByteArray RunTool(const QString& program, const QStringList& args, int* exitCode) {
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString() << " did not run";
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

struct ExportFixture : ::testing::Test {
    testsupport::TempHome home;
    QByteArray previous;
    QTemporaryDir cache;  // the snapshots the exports keep
    QByteArray previousCache = qgetenv("XDG_CACHE_HOME");
    void SetUp() override {
        app::SetSettingsNative(home.settingsFile());
        previous = platform::Drives().root(platform::LetterIndex(u'X'));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    }
    void TearDown() override {
        platform::Drives().set(platform::LetterIndex(u'X'), previous);
        app::SetSettingsNative({});
        qputenv("XDG_CACHE_HOME", previousCache);
    }
    QStringList cacheFiles() const {
        return QDir(cache.path() + "/foldex")
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    void mapX(const QByteArray& root) { platform::Drives().set(platform::LetterIndex(u'X'), root); }
};

void Make(const QByteArray& path, qint64 size) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    // Real bytes, not a hole: the file occupies what it holds.
    const QByteArray data(int(size), 'x');
    ASSERT_EQ(::write(fd, data.constData(), size_t(size)), size);
    ASSERT_EQ(::close(fd), 0);
}

// A file of that size holding nothing (a hole).
void MakeSparse(const QByteArray& path, qint64 size) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ASSERT_EQ(::close(fd), 0);
}

}  // namespace

TEST_F(ExportFixture, AnAwkwardTreeIsWrittenWholeAndTheTerminalToolsReadItBack) {
    // On a tmpfs of its own: a file occupies whole pages of 4096 bytes, a folder and a
    // short link nothing.
    testsupport::TmpfsMount disk("16m");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    const QByteArray r = disk.path();
    const QByteArray jp = "日本語フォルダ";
    ASSERT_EQ(::mkdir(r + "/" + jp, 0755), 0);
    Make(r + "/" + jp + "/日本語ファイル.txt", 5000);
    ASSERT_EQ(::mkdir(r + "/with blank", 0755), 0);
    Make(r + "/with blank/a b", 1);
    ASSERT_EQ(::link(r + "/with blank/a b", r + "/hard"), 0);
    Make(r + "/ctl\x01x", 3);
    ASSERT_EQ(::mkdir(r + "/back\\slash", 0755), 0);
    Make(r + "/back\\slash/q\"uote", 0);
    Make(r + "/bad\xff\xfeutf8", 10);
    Make(r + "/nl\ntab\t\x7f", 2);
    ASSERT_EQ(::symlink(jp.constData(), r + "/link"), 0);
    ASSERT_EQ(::mkfifo(r + "/pipe", 0644), 0);
    ASSERT_EQ(::mkdir(r + "/locked", 0755), 0);
    Make(r + "/locked/secret", 100);
    ASSERT_EQ(::chmod(r + "/locked", 0), 0);
    ASSERT_EQ(::mkdir(r + "/mnt", 0755), 0);
    testsupport::TmpfsMount inner("64k");
    ASSERT_TRUE(inner.mounted()) << inner.failure();
    Make(inner.path() + "/elsewhere", 1000);
    ASSERT_EQ(::mount(inner.path(), r + "/mnt", nullptr, MS_BIND, nullptr), 0);
    mapX(r);

    QTemporaryDir outDir;
    ASSERT_EQ(::chmod(QFile::encodeName(outDir.path()), 0777), 0);
    ::chmod(home.native().constData(), 0777);
    const QByteArray outFile = QFile::encodeName(outDir.path()) + "/scan.json";
    testsupport::WriteAll(outFile, "old");
    ::chmod(outFile, 0666);

    const Entries expected = {
        {r, {true, 0, 0, 0, false, false, {}}},
        {r + "/" + jp, {true, 0, 0, 0, false, false, {}}},
        {r + "/" + jp + "/日本語ファイル.txt", {false, 5000, 8192, 0, false, false, {}}},
        {r + "/with blank", {true, 0, 0, 0, false, false, {}}},
        {r + "/with blank/a b", {false, 1, 4096, 2, false, false, {}}},
        {r + "/hard", {false, 1, 4096, 2, false, false, {}}},
        {r + "/ctl\x01x", {false, 3, 4096, 0, false, false, {}}},
        {r + "/back\\slash", {true, 0, 0, 0, false, false, {}}},
        {r + "/back\\slash/q\"uote", {false, 0, 0, 0, false, false, {}}},
        {r + "/bad\xff\xfeutf8", {false, 10, 4096, 0, false, false, {}}},
        {r + "/nl\ntab\t\x7f", {false, 2, 4096, 0, false, false, {}}},
        {r + "/link", {false, jp.size(), 0, 0, true, false, {}}},
        {r + "/pipe", {false, 0, 0, 0, true, false, {}}},
        // Unreadable, and another file system: listed, never opened, nothing counted.
        {r + "/locked", {true, 0, 0, 0, false, true, {}}},
        {r + "/mnt", {true, 0, 0, 0, false, false, "otherfs"}},
    };

    testsupport::RunUnprivileged([&] {
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        ReportOptions o;
        o.output = QFile::decodeName(outFile);
        o.drive = "X:";
        EXPECT_EQ(RunExport(o, out, err, false, "6.0", 1700000000), kExitOk);
        EXPECT_TRUE(out.data().isEmpty());
        EXPECT_EQ(QString::fromUtf8(err.data()), QStringLiteral("foldex: 読み取れません: ") +
                                                     QFile::decodeName(r) + "/locked (" +
                                                     platform::ErrorText(EACCES) + ")\n");

        // The figures of the export are the list's.
        testsupport::ListFixture l;  // the file system's allocation, as the export counts
        l.scan("X:", -1);
        const scan::DriveList& list = l.list;
        Entries got;
        const Json doc = Parse(testsupport::ReadAll(outFile));
        ASSERT_EQ(doc.items.size(), 4u);
        std::map<QByteArray, qint64> inodes;
        Collect(doc.items[3], doc.items[3].items[0].str("name"), got, &inodes);
        qint64 files = 0, bytes = 0, alloc = 0;
        std::set<qint64> linked;  // a file with two names occupies its room once
        for (const auto& [path, e] : got) {
            if (e.folder || e.nlink < 2 || linked.insert(inodes[path]).second) alloc += e.dsize;
            if (e.folder) continue;
            ++files;
            bytes += e.asize;
        }
        EXPECT_EQ(files, list.FileTotal);
        EXPECT_EQ(bytes, list.FileSizeTotal);
        EXPECT_EQ(alloc, list.AllocTotal);
        EXPECT_EQ(qint64(got.size() - files - 1), list.FolderTotal);

        // The snapshot the export kept holds the list's folder figures.
        const scan::FigureTree listed = scan::TakeFigures(list);
        EXPECT_EQ(listed.Source, r);
        const std::vector<interchange::SnapshotInfo> kept = interchange::ListSnapshots(r);
        ASSERT_EQ(kept.size(), 1u);
        scan::FigureTree snap;
        QString error;
        ASSERT_TRUE(interchange::LoadSnapshot(kept[0].file, r, snap, error)) << error.toStdString();
        ASSERT_EQ(snap.size(), listed.size());
        EXPECT_EQ(snap.Parent, listed.Parent);
        EXPECT_EQ(snap.Files, listed.Files);
        EXPECT_EQ(snap.Bytes, listed.Bytes);
        EXPECT_EQ(snap.Alloc, listed.Alloc);
        EXPECT_EQ(snap.Subtree, listed.Subtree);
        for (int i = 0; i < listed.size(); ++i) EXPECT_EQ(snap.name(i), listed.name(i)) << i;
    });
    ::chmod(r + "/locked", 0755);

    const QByteArray text = testsupport::ReadAll(outFile);
    const Json doc = Parse(text);
    ASSERT_EQ(doc.kind, Json::Array);
    ASSERT_EQ(doc.items.size(), 4u);
    EXPECT_EQ(doc.items[0].number, 1);
    EXPECT_EQ(doc.items[1].number, 2);
    EXPECT_EQ(doc.items[2].str("progname"), "foldex");
    EXPECT_EQ(doc.items[2].num("timestamp"), 1700000000);
    const Json& top = doc.items[3];
    ASSERT_EQ(top.kind, Json::Array);
    EXPECT_EQ(top.items[0].str("name"), r);  // the root by its whole path
    struct stat st;
    ASSERT_EQ(::stat(r, &st), 0);
    EXPECT_EQ(top.items[0].num("dev"), qint64(st.st_dev));
    // Names go out byte for byte: the raw bytes of the bad name and the Japanese one.
    EXPECT_TRUE(text.contains("\"bad\xff\xfeutf8\""));
    EXPECT_TRUE(text.contains("\"" + jp + "\""));

    Entries got;
    std::map<QByteArray, qint64> inodes;
    Collect(top, r, got, &inodes);
    EXPECT_EQ(got, expected);
    for (const auto& [path, ino] : inodes) {
        // Never opened: the walk did not learn their inodes.
        if (path == r + "/mnt" || path == r + "/locked") continue;
        ASSERT_EQ(::lstat(path.constData(), &st), 0) << path.constData();
        EXPECT_EQ(ino, qint64(st.st_ino)) << path.constData();
    }

    // ncdu reads it: its own export of what it read holds the same entries. (ncdu 1.18
    // reads "otherfs" and writes the older spelling "othfs", and writes no zero sizes.)
    int rc = -1;
    const QByteArray again = RunTool("ncdu", {"-f", QFile::decodeName(outFile), "-o", "-"}, &rc);
    ASSERT_EQ(rc, 0);
    Entries byNcdu;
    const Json ncduDoc = Parse(again);
    ASSERT_EQ(ncduDoc.items.size(), 4u);
    Collect(ncduDoc.items[3], r, byNcdu, nullptr);
    for (auto& [path, e] : byNcdu)
        if (e.excluded == "othfs") e.excluded = "otherfs";
    EXPECT_EQ(byNcdu, expected);

    // gdu reads it: its total counts a hard-linked file once and each folder as 4096 bytes.
    const QByteArray total =
        RunTool("gdu", {"-f", QFile::decodeName(outFile), "-n", "-p", "-s", "--no-prefix"}, &rc);
    ASSERT_EQ(rc, 0);
    qint64 gduExpected = 0;
    std::set<qint64> linked;
    for (const auto& [path, e] : expected) {
        if (e.folder)
            gduExpected += 4096;
        else if (e.nlink < 2 || linked.insert(inodes[path]).second)
            gduExpected += e.dsize;
    }
    EXPECT_EQ(total.trimmed().split(' ').value(0).toLongLong(), gduExpected) << total.constData();
    ::umount2(r + "/mnt", MNT_DETACH);
}

TEST_F(ExportFixture, AFailedOutputLosesNothingAndSaysWhy) {
    testsupport::TempDrive source;
    for (int i = 0; i < 50; ++i) source.writeFile("d/f" + QByteArray::number(i), "abc");
    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    const QByteArray old = disk.path() + "/scan.json";
    testsupport::WriteAll(old, "old export");
    testsupport::FillDisk(disk.path());

    struct Case {
        const char* what;
        QString output;
        QString drive;
        bool stdoutFails;
        int exit;
        QString message;
    };
    const Case cases[] = {
        {"a full disk", QFile::decodeName(old), source.drive(), false, kExitWriteFailed,
         platform::ErrorText(ENOSPC)},
        {"a folder that is not there", QFile::decodeName(disk.path() + "/none/x.json"),
         source.drive(), false, kExitWriteFailed, platform::ErrorText(ENOENT)},
        {"standard output closed", "-", source.drive(), true, kExitWriteFailed,
         QStringLiteral("書き込めません: -")},
        {"a drive that is not there", QFile::decodeName(old),
         QFile::decodeName(source.native() + "/no such folder"), false, kExitUnreadable,
         QStringLiteral("no such folder")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QBuffer out, err;
        out.open(c.stdoutFails ? QIODevice::ReadOnly : QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        ReportOptions o;
        o.output = c.output;
        o.drive = c.drive;
        EXPECT_EQ(RunExport(o, out, err, false, "6.0", 0), c.exit);
        EXPECT_TRUE(QString::fromUtf8(err.data()).contains(c.message)) << err.data().constData();
        EXPECT_EQ(testsupport::ReadAll(old), "old export");
        EXPECT_TRUE(out.data().isEmpty());
        // No temporary file is left behind.
        QStringList left = QDir(QFile::decodeName(disk.path()))
                               .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        left.removeAll("filler");
        left.removeAll("tail");
        EXPECT_EQ(left, QStringList{"scan.json"});
        EXPECT_TRUE(cacheFiles().isEmpty()) << "a failed export kept a snapshot";
    }
}

TEST_F(ExportFixture, SumsPastTheirLimitAreWrittenButFail) {
    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    for (int i = 0; i < 4; ++i)
        MakeSparse(disk.path() + "/huge" + QByteArray::number(i), qint64(1) << 62);
    QTemporaryDir outDir;
    const QString file = outDir.path() + "/scan.json";
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    ReportOptions o;
    o.output = file;
    o.drive = QFile::decodeName(disk.path());
    EXPECT_EQ(RunExport(o, out, err, false, "6.0", 0), kExitScanFailed);
    EXPECT_TRUE(
        QString::fromUtf8(err.data())
            .contains(QFile::decodeName(disk.path()) + QStringLiteral(": 合計が扱える最大の値")))
        << err.data().constData();
    EXPECT_TRUE(cacheFiles().isEmpty()) << "figures held at their limit were kept";
    // Each file's own figures are right (a hole occupies nothing); only the sum of their sizes
    // passes 2^63 - 1.
    const Json doc = Parse(testsupport::ReadAll(QFile::encodeName(file)));
    ASSERT_EQ(doc.items.size(), 4u);
    ASSERT_EQ(doc.items[3].items.size(), 5u);
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_EQ(doc.items[3].items[i].num("asize"), qint64(1) << 62);
        EXPECT_EQ(doc.items[3].items[i].num("dsize"), 0);
    }
}

TEST_F(ExportFixture, AnExportWrittenInsideTheTreeLeavesItsOwnFileOut) {
    QTemporaryDir tree;
    const QByteArray r = QFile::encodeName(tree.path());
    Make(r + "/data", 10);
    mapX(r);
    for (const bool again : {false, true}) {
        SCOPED_TRACE(again ? "over an earlier export" : "a new file");
        // Snapshots are kept only while the setting is on.
        app::PutOpt(QStringLiteral("KeepSnapshots"),
                    again ? QStringLiteral("-1") : QStringLiteral("0"));
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        ReportOptions o;
        o.output = QFile::decodeName(r + "/scan.json");
        o.drive = "X:";
        EXPECT_EQ(RunExport(o, out, err, false, "6.0", 0), kExitOk);
        const QByteArray text = testsupport::ReadAll(r + "/scan.json");
        EXPECT_FALSE(text.contains(".foldex-")) << "its own temporary file was listed";
        EXPECT_TRUE(text.contains("\"data\""));
        // The earlier export is a file of the tree like any other.
        EXPECT_EQ(text.contains("\"scan.json\""), again);
        EXPECT_EQ(interchange::ListSnapshots(r).size(), again ? 1u : 0u);
        EXPECT_TRUE(err.data().isEmpty()) << err.data().constData();
    }
}
