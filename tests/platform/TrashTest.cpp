// The trash of a drive of its own whose top folder everyone may write (sticky, as on a shared
// disk), in the shapes another user or an accident may leave it: a trash folder that is not
// the user's own is never written to; the next one in order is used, else none.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>

#include "common/SwapRace.h"
#include "common/TestSupport.h"
#include "common/TmpfsMount.h"
#include "platform/FileSys.h"
#include "platform/Trash.h"

namespace {

// Another user than the one trashing: only root can make folders of theirs.
constexpr uid_t kOther = testsupport::SwapRace::kUid;

// The user the bodies of RunUnprivileged run as.
uid_t BodyUid() {
    if (::geteuid() != 0) return ::geteuid();
    const passwd* pw = ::getpwnam("nobody");
    return pw ? pw->pw_uid : 65534;
}

bool IsRoot() {
    return ::geteuid() == 0;
}

// A folder with exactly this mode, owned by owner (as far as this process may give it).
void Folder(const QByteArray& path, mode_t mode, uid_t owner) {
    ASSERT_EQ(::mkdir(path.constData(), 0700), 0) << path.constData();
    ASSERT_EQ(::chmod(path.constData(), mode), 0) << path.constData();
    if (IsRoot()) {
        ASSERT_EQ(::lchown(path.constData(), owner, owner), 0) << path.constData();
    }
}

// A trash folder with files/ and info/ anyone may write.
void OpenTrash(const QByteArray& path, mode_t mode, uid_t owner) {
    Folder(path, mode, owner);
    Folder(path + "/files", 0777, owner);
    Folder(path + "/info", 0777, owner);
}

void Link(const QByteArray& target, const QByteArray& at, uid_t owner) {
    ASSERT_EQ(::symlink(target.constData(), at.constData()), 0) << at.constData();
    if (IsRoot()) {
        ASSERT_EQ(::lchown(at.constData(), owner, owner), 0) << at.constData();
    }
}

// Everything below a folder (links never followed), by path.
QStringList Tree(const QByteArray& folder, const QByteArray& rel = {}) {
    QStringList out;
    std::vector<platform::DirEntry> entries;
    platform::ListDir(folder + rel, QStringLiteral("*"), entries);
    for (const platform::DirEntry& e : entries) {
        out << QFile::decodeName(rel + '/' + e.nativeName);
        if (e.isDir) out << Tree(folder, rel + '/' + e.nativeName);
    }
    return out;
}

enum class Goes { Shared, Own, Nowhere };

struct Shape {
    const char* name;
    bool otherOwner;  // needs a folder of another user: made as root only
    // Lays the shape out below the top folder; user is the one who trashes.
    void (*make)(const QByteArray& top, const QByteArray& uid, uid_t user);
    Goes goes;
};

const Shape kShapes[] = {
    {"a sticky .Trash: the user's folder is made in it", false,
     [](const QByteArray& top, const QByteArray&, uid_t) { Folder(top + "/.Trash", 01777, 0); },
     Goes::Shared},
    {".Trash not sticky", false,
     [](const QByteArray& top, const QByteArray& uid, uid_t user) {
         Folder(top + "/.Trash", 0777, 0);
         OpenTrash(top + "/.Trash/" + uid, 0700, user);
     },
     Goes::Own},
    {".Trash a link to a sticky folder", false,
     [](const QByteArray& top, const QByteArray&, uid_t) {
         Folder(top + "/evil", 01777, kOther);
         Link("evil", top + "/.Trash", kOther);
     },
     Goes::Own},
    {".Trash/UID of another user", true,
     [](const QByteArray& top, const QByteArray& uid, uid_t) {
         Folder(top + "/.Trash", 01777, kOther);
         OpenTrash(top + "/.Trash/" + uid, 0777, kOther);
     },
     Goes::Own},
    {".Trash/UID the user's but open to others", false,
     [](const QByteArray& top, const QByteArray& uid, uid_t user) {
         Folder(top + "/.Trash", 01777, 0);
         OpenTrash(top + "/.Trash/" + uid, 0755, user);
     },
     Goes::Own},
    {".Trash/UID a link to another user's trash", false,
     [](const QByteArray& top, const QByteArray& uid, uid_t) {
         Folder(top + "/.Trash", 01777, kOther);
         OpenTrash(top + "/evil", 0777, kOther);
         Link("../evil", top + "/.Trash/" + uid, kOther);
     },
     Goes::Own},
    {".Trash/UID/files a link to another user's folder", false,
     [](const QByteArray& top, const QByteArray& uid, uid_t user) {
         Folder(top + "/.Trash", 01777, 0);
         Folder(top + "/.Trash/" + uid, 0700, user);
         OpenTrash(top + "/evil", 0777, kOther);
         Link("../../evil/files", top + "/.Trash/" + uid + "/files", user);
     },
     Goes::Own},
    {".Trash-UID of another user", true,
     [](const QByteArray& top, const QByteArray& uid, uid_t) {
         OpenTrash(top + "/.Trash-" + uid, 0700, kOther);
     },
     Goes::Nowhere},
    {".Trash-UID the user's but open to others", false,
     [](const QByteArray& top, const QByteArray& uid, uid_t user) {
         OpenTrash(top + "/.Trash-" + uid, 0777, user);
     },
     Goes::Nowhere},
    {".Trash-UID a link to another user's trash", false,
     [](const QByteArray& top, const QByteArray& uid, uid_t) {
         OpenTrash(top + "/evil", 0777, kOther);
         Link("evil", top + "/.Trash-" + uid, kOther);
     },
     Goes::Nowhere},
    {"refused .Trash/UID and .Trash-UID/info a link", false,
     [](const QByteArray& top, const QByteArray& uid, uid_t user) {
         Folder(top + "/.Trash", 01777, 0);
         OpenTrash(top + "/.Trash/" + uid, 0750, user);
         OpenTrash(top + "/evil", 0777, kOther);
         Folder(top + "/.Trash-" + uid, 0700, user);
         Folder(top + "/.Trash-" + uid + "/files", 0700, user);
         Link("../evil/info", top + "/.Trash-" + uid + "/info", user);
     },
     Goes::Nowhere},
};

}  // namespace

TEST(Trash, OnlyTheUsersOwnTrashFoldersAreUsedInTheirOrder) {
    const uid_t user = BodyUid();
    const QByteArray uid = QByteArray::number(qulonglong(user));
    for (const Shape& shape : kShapes) {
        SCOPED_TRACE(shape.name);
        // As an ordinary user every folder is that user's: another owner needs root.
        if (shape.otherOwner && !IsRoot()) continue;
        testsupport::TmpfsMount disk("1m");
        ASSERT_TRUE(disk.mounted()) << disk.failure();
        const QByteArray top = disk.path();
        ASSERT_EQ(::chmod(top.constData(), 01777), 0);
        shape.make(top, uid, user);
        if (::testing::Test::HasFatalFailure()) return;
        const QStringList evil = Tree(top + "/evil");
        testsupport::RunUnprivileged([&] {
            QTemporaryDir data;  // the home trash, on another file system
            qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
            const QByteArray drive = top + "/drive";
            ASSERT_EQ(::mkdir(drive.constData(), 0755), 0);
            ASSERT_EQ(::mkdir((drive + "/item").constData(), 0755), 0);
            testsupport::WriteAll(drive + "/item/f", "kept");

            int error = 0;
            const platform::TrashPlace trash = platform::FindTrash(drive + "/item", &error);
            const QByteArray shared = top + "/.Trash/" + uid, own = top + "/.Trash-" + uid;
            if (shape.goes == Goes::Nowhere) {
                EXPECT_FALSE(trash.valid()) << trash.root.constData();
                EXPECT_NE(error, 0);
                EXPECT_EQ(testsupport::ReadAll(drive + "/item/f"), "kept") << "left in place";
            } else {
                const QByteArray root = shape.goes == Goes::Shared ? shared : own;
                ASSERT_TRUE(trash.valid()) << std::strerror(error);
                EXPECT_EQ(trash.root.toStdString(), root.toStdString());
                EXPECT_EQ(trash.topdir.toStdString(), top.toStdString());
                QByteArray as;
                ASSERT_TRUE(platform::MoveToTrash(trash, drive + "/item", &as, &error))
                    << std::strerror(error);
                EXPECT_EQ(as.toStdString(), (root + "/files/item").toStdString());
                EXPECT_EQ(testsupport::ReadAll(root + "/files/item/f"), "kept");
                EXPECT_EQ(testsupport::ReadAll(root + "/info/item.trashinfo").split('\n').value(1),
                          "Path=drive/item");
                struct stat st;
                ASSERT_EQ(::lstat(root.constData(), &st), 0);
                EXPECT_TRUE(S_ISDIR(st.st_mode));
                EXPECT_EQ(st.st_uid, user);
                EXPECT_EQ(st.st_mode & 0777, 0700u);
                EXPECT_NE(::lstat((drive + "/item").constData(), &st), 0) << "still in place";
            }
            // Nothing went anywhere else.
            EXPECT_EQ(Tree(top + "/evil"), evil);
            if (shape.goes != Goes::Shared) {
                for (const QString& p : Tree(shared))
                    EXPECT_FALSE(p.startsWith(u"/files/") || p.startsWith(u"/info/"))
                        << p.toStdString();
            }
        });
    }
}

TEST(Trash, AnotherUserSwappingTheSharedTrashForALinkNeverGetsAnItem) {
    // Another user has made .Trash on a shared disk and keeps swapping the user's .Trash/UID
    // for a link to a trash of theirs open to all, while files go to the trash one by one.
    testsupport::TmpfsMount disk("16m");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    const QByteArray top = disk.path();
    ASSERT_EQ(::chmod(top.constData(), 01777), 0);
    const uid_t user = BodyUid();
    const QByteArray uid = QByteArray::number(qulonglong(user));
    const QByteArray mine = top + "/.Trash/" + uid, swap = top + "/.Trash/swap";
    testsupport::SwapRace race(mine, swap, 3,
                               [&] { return testsupport::LayOutDivertedTrash(top, swap); });
    ASSERT_TRUE(race.started()) << "the other user could not lay out the drive";
    constexpr int kItems = 2000;
    testsupport::RunUnprivileged([&] {
        QTemporaryDir data;  // the home trash, on another file system
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        const QByteArray drive = top + "/drive";
        ASSERT_EQ(::mkdir(drive.constData(), 0755), 0);
        int trashed = 0;
        for (int i = 0; i < kItems; ++i) {
            const QByteArray item = drive + "/item" + QByteArray::number(i);
            testsupport::WriteAll(item, QByteArray::number(i));
            int error = 0;
            const platform::TrashPlace trash = platform::FindTrash(item, &error);
            if (trash.valid() && platform::MoveToTrash(trash, item, nullptr, &error)) ++trashed;
        }
        race.Stop();
        EXPECT_EQ(trashed, kItems);
        for (const char* sub : {"/evil", "/evil/files", "/evil/info"})
            EXPECT_EQ(Tree(top + sub).size(), sub == QByteArray("/evil") ? 2 : 0)
                << "entries in the other user's " << sub;
        // Each file is in a trash of the user's own (.Trash/UID under either name, or
        // .Trash-UID) with its record.
        int held = 0;
        for (const QByteArray& trash : {mine, swap, top + "/.Trash-" + uid}) {
            struct stat st;
            if (::lstat(trash.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
            EXPECT_EQ(st.st_uid, user);
            EXPECT_EQ(st.st_mode & 0777, 0700u);
            std::vector<platform::DirEntry> files;
            platform::ListDir(trash + "/files", QStringLiteral("*"), files);
            for (const platform::DirEntry& e : files) {
                EXPECT_EQ(testsupport::ReadAll(trash + "/files/" + e.nativeName),
                          e.nativeName.mid(4));
                EXPECT_EQ(testsupport::ReadAll(trash + "/info/" + e.nativeName + ".trashinfo")
                              .split('\n')
                              .value(1),
                          "Path=drive/" + e.nativeName);
                ++held;
            }
        }
        EXPECT_EQ(held, kItems);
    });
    EXPECT_GT(race.swaps(), 0) << "the other user never swapped the trash";
}
