#include <gtest/gtest.h>

#include <ftw.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <map>

#include "OpsFixture.h"
#include "common/SwapRace.h"
#include "common/TmpfsMount.h"
#include "folderops/OpsText.h"
#include "platform/DriveMap.h"
#include "platform/PathMap.h"
#include "platform/Trash.h"

using namespace folderops;
using opstest::Exists;
using opstest::Listed;
using opstest::Put;
using opstest::Read;
using opstest::ScriptHost;
using opstest::TrashEnv;

namespace {

// The info files of a trash: their name (without ".trashinfo") by the Path they record.
std::map<QByteArray, QByteArray> InfoByPath(const QByteArray& trash) {
    std::map<QByteArray, QByteArray> out;
    std::vector<platform::DirEntry> entries;
    platform::ListDir(trash + "/info", QStringLiteral("*"), entries);
    const QRegularExpression date(
        QStringLiteral("^DeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$"),
        QRegularExpression::MultilineOption);
    for (const platform::DirEntry& e : entries) {
        const QByteArray text = Read(trash + "/info/" + e.nativeName);
        EXPECT_TRUE(text.startsWith("[Trash Info]\nPath=")) << text.constData();
        EXPECT_TRUE(date.match(QString::fromLatin1(text)).hasMatch()) << text.constData();
        const qsizetype at = text.indexOf("Path=") + 5;
        const QByteArray path = text.mid(at, text.indexOf('\n', at) - at);
        EXPECT_TRUE(e.nativeName.endsWith(".trashinfo"));
        out[path] = e.nativeName.chopped(10);
    }
    return out;
}

// The names in a native folder.
std::vector<QByteArray> Listing(const QByteArray& folder) {
    std::vector<platform::DirEntry> entries;
    platform::ListDir(folder, QStringLiteral("*"), entries);
    std::vector<QByteArray> out;
    for (const platform::DirEntry& e : entries) out.push_back(e.nativeName);
    return out;
}

}  // namespace

TEST(FolderTrash, SelectedFoldersGoToTheHomeTrashWithTheirPathsAndTheListIsCorrected) {
    TrashEnv env;
    testsupport::TempDrive d;
    const QByteArray odd = "b\xff\n%\\c";  // not UTF-8, a newline, a percent, a backslash
    Put(d.native(), "a/f", "one");
    Put(d.native(), "x/a/f", "two");
    Put(d.native(), odd + "/g", "three");
    Put(d.native(), "p/f", "four");  // p goes without its unselected subfolder
    Put(d.native(), "p/q/f", "stays");
    Put(d.native(), "keep/f", "stays");
    Put(d.native(), "m/f", "stays");  // holds a mount: never moved
    ::mkdir((d.native() + "/m/mnt").constData(), 0777);
    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    ASSERT_EQ(::mount(disk.path().constData(), (d.native() + "/m/mnt").constData(), nullptr,
                      MS_BIND, nullptr),
              0);
    Listed l(d.drive());
    l.select({"a", "x/a", odd, "p", "m", "m/mnt"});
    ScriptHost host;
    FolderOps ops(l.list, host, env.home.native());
    ops.SetUseTrash(true);
    EXPECT_EQ(ops.DeleteCommand(), RunEnd::Finished);

    EXPECT_EQ(host.asked.value(2), ConfirmTrashText("削除"));  // after the subfolder question
    EXPECT_TRUE(host.asked.filter(QStringLiteral("をごみ箱へ移せません")).size() == 1 &&
                host.asked.filter(QStringLiteral("をごみ箱へ移せません"))[0].contains(u"\\m"));
    // The folder holding a mount stayed, and the closing message says so.
    EXPECT_EQ(
        host.asked.last(),
        FinishedLeftText(TrashedText("削除", {platform::ArgFromNative(env.trash() + "/files")}),
                         "削除", 1));
    for (const char* gone : {"a", "x/a", "p/f"}) EXPECT_FALSE(Exists(d.native() + '/' + gone));
    EXPECT_FALSE(Exists(d.native() + '/' + odd));
    for (const char* kept : {"x", "p/q/f", "keep/f", "m/f", "m/mnt"})
        EXPECT_TRUE(Exists(d.native() + '/' + kept)) << kept;

    const std::map<QByteArray, QByteArray> info = InfoByPath(env.trash());
    ASSERT_EQ(info.size(), 4u);
    const QByteArray enc = platform::TrashInfoPath(d.native());
    ASSERT_TRUE(info.count(enc + "/b%FF%0A%25%5Cc")) << "the odd name percent-encoded";
    const struct {
        QByteArray original, file, content;
    } moved[] = {{"a", "f", "one"},
                 {"x/a", "f", "two"},
                 {"b%FF%0A%25%5Cc", "g", "three"},
                 {"p/f", "", "four"}};
    QSet<QByteArray> names;
    for (const auto& m : moved) {
        SCOPED_TRACE(m.original.constData());
        const auto it = info.find(enc + '/' + m.original);
        ASSERT_NE(it, info.end());
        names.insert(it->second);
        const QByteArray held = env.trash() + "/files/" + it->second;
        EXPECT_EQ(Read(m.file.isEmpty() ? held : held + '/' + m.file), m.content);
    }
    EXPECT_EQ(names.size(), 4) << "two folders named a share one trash name";
    EXPECT_TRUE(names.contains("a"));
    // Against a new scan of the drive as it is, the mount still in place.
    opstest::ExpectSameAsNewScan(l, d.drive());
    ::umount2((d.native() + "/m/mnt").constData(), MNT_DETACH);
}

TEST(FolderTrash, ADriveOfItsOwnUsesItsTopTrashWithRelativePaths) {
    TrashEnv env;
    testsupport::TmpfsMount disk("1m");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    ::mkdir((disk.path() + "/drive").constData(), 0777);
    testsupport::TempDrive d;  // remapped below to a folder of the tmpfs
    platform::Drives().set(platform::LetterIndex(u'T'), disk.path() + "/drive");
    Put(disk.path(), "drive/a b/f", "one");
    Listed l(d.drive());
    l.select({"a b"});
    ScriptHost host;
    FolderOps ops(l.list, host, env.home.native());
    ops.SetUseTrash(true);
    EXPECT_EQ(ops.DeleteCommand(), RunEnd::Finished);
    const QByteArray trash = disk.path() + "/.Trash-" + QByteArray::number(::getuid());
    struct stat st {};
    ASSERT_EQ(::lstat(trash.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    const std::map<QByteArray, QByteArray> info = InfoByPath(trash);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info.begin()->first, "drive/a%20b");
    EXPECT_EQ(Read(trash + "/files/" + info.begin()->second + "/f"), "one");
    EXPECT_FALSE(Exists(disk.path() + "/drive/a b"));
    EXPECT_FALSE(Exists(env.trash() + "/info")) << "nothing went to the home trash";
    opstest::ExpectSameAsNewScan(l, d.drive());
}

TEST(FolderTrash, ADriveWithoutATrashAsksToDeleteForGood) {
    // The top folder is closed to the user: no .Trash-UID can be made.
    testsupport::TmpfsMount disk("1m");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    const QByteArray drive = disk.path() + "/user";
    for (const char* rel : {"", "/a", "/b"}) ::mkdir((drive + rel).constData(), 0755);
    Put(drive, "a/f", "1");
    Put(drive, "b/f", "2");
    // Root hands the drive to the user the body runs as; another user owns it already.
    if (::geteuid() == 0) {
        for (const char* rel : {"", "/a", "/a/f", "/b", "/b/f"})
            ASSERT_EQ(::chown((drive + rel).constData(), 65534, 65534), 0) << rel;
    }
    ASSERT_EQ(::chmod(disk.path().constData(), 0555), 0);
    testsupport::RunUnprivileged([&] {
        TrashEnv env;
        testsupport::TempDrive d;
        platform::Drives().set(platform::LetterIndex(u'T'), drive);
        Listed l(d.drive());
        l.select({"a", "b"});
        ScriptHost host;
        // Both confirmations, then yes for a (deleted for good) and no for b (kept).
        host.answers = {kAnswerOk, kAnswerYes, kAnswerYes, kAnswerNo};
        FolderOps ops(l.list, host, env.home.native());
        ops.SetUseTrash(true);
        EXPECT_EQ(ops.DeleteCommand(), RunEnd::Finished);
        EXPECT_EQ(host.asked.value(2), NoTrashText(d.drive() + QStringLiteral("\\a")));
        EXPECT_EQ(host.flags.at(2), kYesNo | kSecondDefault);
        EXPECT_EQ(host.asked.value(3), NoTrashText(d.drive() + QStringLiteral("\\b")));
        // No trash was used, and b stayed.
        EXPECT_EQ(host.asked.value(4), FinishedLeftText(FinishedText("削除"), "削除", 1));
        EXPECT_FALSE(Exists(drive + "/a"));
        EXPECT_EQ(Read(drive + "/b/f"), "2");
        EXPECT_FALSE(Exists(disk.path() + "/.Trash-" + QByteArray::number(::getuid())));
        opstest::ExpectSameAsNewScan(l, d.drive());
    });
}

TEST(FolderTrash, AnotherUserSwappingTheSharedTrashForALinkNeverGetsAnItem) {
    // A shared disk whose top folder everyone may write: another user has made .Trash and
    // keeps swapping the user's .Trash/UID for a link to a trash of theirs open to all.
    testsupport::TmpfsMount disk("8m");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    const QByteArray top = disk.path();
    ASSERT_EQ(::chmod(top.constData(), 01777), 0);
    const passwd* pw = ::getpwnam("nobody");
    const uid_t user = ::geteuid() != 0 ? ::geteuid() : pw ? pw->pw_uid : 65534;  // who trashes
    const QByteArray uid = QByteArray::number(qulonglong(user));
    const QByteArray mine = top + "/.Trash/" + uid, swap = top + "/.Trash/swap";
    // Several at once, so that one runs whenever the trashing process is between two steps.
    testsupport::SwapRace race(mine, swap, 3,
                               [&] { return testsupport::LayOutDivertedTrash(top, swap); });
    ASSERT_TRUE(race.started()) << "the other user could not lay out the drive";

    constexpr int kItems = 400;
    testsupport::RunUnprivileged([&] {
        TrashEnv env;
        testsupport::TempDrive d;
        const QByteArray drive = top + "/drive";
        ASSERT_EQ(::mkdir(drive.constData(), 0755), 0);
        platform::Drives().set(platform::LetterIndex(u'T'), drive);
        for (int i = 0; i < kItems; ++i)
            Put(drive, "item" + QByteArray::number(i) + "/f", QByteArray::number(i));
        Listed l(d.drive());
        for (int i = 0; i < kItems; ++i) l.select({"item" + QByteArray::number(i)});
        ScriptHost host;
        FolderOps ops(l.list, host, env.home.native());
        ops.SetUseTrash(true);
        EXPECT_EQ(ops.DeleteCommand(), RunEnd::Finished);
        race.Stop();
        EXPECT_FALSE(host.asked.last().contains(QStringLiteral("残っています")))
            << host.asked.last().toStdString();

        // Every item is in a trash of the user's own: .Trash/UID (under either name now) or
        // .Trash-UID, with its record; none in the other user's.
        EXPECT_EQ(Listing(top + "/evil/files").size(), 0u);
        EXPECT_EQ(Listing(top + "/evil/info").size(), 0u);
        std::map<QByteArray, QByteArray> held;
        int records = 0;
        for (const QByteArray& trash : {mine, swap, top + "/.Trash-" + uid}) {
            struct stat st;
            if (::lstat(trash.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
            EXPECT_EQ(st.st_uid, user) << trash.constData();
            EXPECT_EQ(st.st_mode & 0777, 0700u) << trash.constData();
            for (const QByteArray& name : Listing(trash + "/files"))
                held[name] = Read(trash + "/files/" + name + "/f");
            records += int(InfoByPath(trash).size());
        }
        EXPECT_EQ(records, kItems);
        ASSERT_EQ(held.size(), size_t(kItems));
        for (int i = 0; i < kItems; ++i) {
            const QByteArray name = "item" + QByteArray::number(i);
            EXPECT_EQ(held[name], QByteArray::number(i)) << name.constData();
            EXPECT_FALSE(Exists(drive + '/' + name)) << name.constData();
        }
    });
    EXPECT_GT(race.swaps(), 0) << "the other user never swapped the trash";
}
