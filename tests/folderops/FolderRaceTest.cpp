// Someone who may rename folders on the drive swaps folders for links, or mounts, between the
// listing and a run or during it. Whatever the operation, nothing outside the selection may
// change, nothing from outside may be copied, and a refusal is never reported as a clean run.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCryptographicHash>
#include <QTemporaryDir>
#include <map>

#include "OpsFixture.h"
#include "folderops/OpsText.h"
#include "platform/DirReader.h"
#include "scan/TreeRows.h"

using namespace folderops;
using opstest::Listed;
using opstest::Put;
using opstest::ScriptHost;
using testsupport::TempDrive;

namespace {

// Every entry below a native folder, links never followed: its kind, mode, size and content.
void Walk(const QByteArray& root, const QByteArray& rel, std::map<QByteArray, QByteArray>& out) {
    std::vector<platform::DirEntry> entries;
    platform::ListDir(root + rel, QStringLiteral("*"), entries);
    for (const platform::DirEntry& e : entries) {
        const QByteArray path = rel + '/' + e.nativeName;
        struct stat st;
        if (::lstat((root + path).constData(), &st) != 0) continue;
        QByteArray what = QByteArray::number(st.st_mode, 8) + ' ' + QByteArray::number(st.st_ino);
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink((root + path).constData(), target, sizeof target);
            what += " -> " + QByteArray(target, n > 0 ? int(n) : 0);
        } else if (S_ISREG(st.st_mode)) {
            what += ' ' +
                    QCryptographicHash::hash(opstest::Read(root + path), QCryptographicHash::Sha256)
                        .toHex();
        }
        out[path] = what;
        if (S_ISDIR(st.st_mode)) Walk(root, path, out);
    }
}

std::map<QByteArray, QByteArray> Listing(const QByteArray& root) {
    std::map<QByteArray, QByteArray> out;
    Walk(root, {}, out);
    return out;
}

// Any file below root whose bytes came from outside the selection.
bool HoldsOutsideData(const QByteArray& root) {
    for (const auto& [path, what] : Listing(root)) {
        if (opstest::Read(root + path).startsWith("outside")) return true;
    }
    return false;
}

enum class When { BeforeRun, AtStart, MidRun };
enum class Op { Delete, Trash, Copy, Move };

struct Paths {
    QByteArray drive, dest, outside, outsideDest;
};

// False when the folder is gone already (the run has taken it whole).
bool SwapForLink(const QByteArray& at, const QByteArray& target) {
    if (::rename(at.constData(), (at + "-moved").constData()) != 0) return false;
    EXPECT_EQ(::symlink(target.constData(), at.constData()), 0) << at.constData();
    return true;
}

struct Race {
    const char* name;
    When when;
    // The run must refuse something and say so (the selection cannot be reached as listed).
    bool refused;
    bool (*act)(const Paths&);
};

const Race kRaces[] = {
    {"parent swapped for a link out of the drive, after the listing", When::BeforeRun, true,
     [](const Paths& p) { return SwapForLink(p.drive + "/P", p.outside); }},
    {"parent swapped for a link to another folder of the drive", When::BeforeRun, true,
     [](const Paths& p) { return SwapForLink(p.drive + "/P", p.drive + "/Keep"); }},
    {"selected folder swapped for a link as the run reaches it", When::AtStart, true,
     [](const Paths& p) { return SwapForLink(p.drive + "/P/Victim", p.outside + "/Victim"); }},
    {"subfolder swapped for a link during the run", When::MidRun, false,
     [](const Paths& p) {
         return SwapForLink(p.drive + "/P/Victim/sub", p.outside + "/Victim/sub");
     }},
    {"parent swapped for a link during the run", When::MidRun, false,
     [](const Paths& p) { return SwapForLink(p.drive + "/P", p.outside); }},
    {"destination folder swapped for a link out of the drive", When::BeforeRun, false,
     [](const Paths& p) { return SwapForLink(p.dest + "/P", p.outsideDest); }},
    {"destination subfolder swapped for a link during the run", When::MidRun, false,
     [](const Paths& p) {
         return SwapForLink(p.dest + "/P/Victim/sub", p.outsideDest + "/Victim/sub");
     }},
    {"outside folder bind-mounted inside the selection after the listing", When::BeforeRun, true,
     [](const Paths& p) {
         return ::mount(p.outside.constData(), (p.drive + "/P/Victim/sub").constData(), nullptr,
                        MS_BIND, nullptr) == 0;
     }},
};

}  // namespace

TEST(FolderRace, NothingOutsideTheSelectionChanges) {
    const struct {
        Op op;
        const char* name;
    } ops[] = {
        {Op::Delete, "delete"}, {Op::Trash, "trash"}, {Op::Copy, "copy"}, {Op::Move, "move"}};
    for (const bool fallback : {false, true})
        for (const auto& op : ops) {
            for (const Race& race : kRaces) {
                // Kernels without openat2: the same guarantees from openat and a check made at
                // once.
                platform::ForceOpenatFallback(fallback);
                SCOPED_TRACE(std::string(fallback ? "openat, " : "openat2, ") + op.name + ": " +
                             race.name);
                opstest::TrashEnv env;
                TempDrive drive(u'T'), dest(u'U');
                QTemporaryDir outsideDir, outsideDestDir;
                const Paths p{drive.native(), dest.native(), QFile::encodeName(outsideDir.path()),
                              QFile::encodeName(outsideDestDir.path())};
                for (const char* f :
                     {"P/Victim/f1", "P/Victim/f2", "P/Victim/sub/g1", "P/Victim/sub/deeper/h",
                      "Keep/Victim/k1", "Keep/Victim/sub/k2"})
                    Put(p.drive, f, QByteArray("selected ") + f);
                for (const char* f : {"Victim/o1", "Victim/sub/o2", "Victim/sub/deeper/o3", "o4"})
                    Put(p.outside, f, QByteArray("outside ") + f);
                for (const char* f : {"Victim/d1", "Victim/sub/g1", "Victim/sub/deeper/h"})
                    Put(p.outsideDest, f, QByteArray("outside dest ") + f);
                Put(p.dest, "P/Victim/sub/old", "destination's own");
                const auto keep = Listing(p.drive + "/Keep");
                const auto outside = Listing(p.outside);
                const auto outsideDest = Listing(p.outsideDest);

                Listed l(drive.drive());
                // The selected folder's subtree collapsed: it goes as a whole.
                l.list.ShownLevel = 2;
                scan::ApplyLevelLimit(l.list);
                l.select({"P/Victim"});
                ScriptHost host;
                int turnsInVictim = -1;
                bool acted = false;
                bool tried = false;
                auto act = [&] {
                    if (tried) return;
                    tried = true;
                    acted = race.act(p);
                };
                host.onTitle = [&] {
                    if (!host.titles.last().startsWith(u"Victim")) return;
                    if (race.when == When::AtStart) act();
                    turnsInVictim = 0;
                };
                host.onTurn = [&] {
                    if (race.when == When::MidRun && turnsInVictim >= 0 && ++turnsInVictim == 2)
                        act();
                };
                if (race.when == When::BeforeRun) {
                    act();
                    ASSERT_TRUE(acted) << "cannot set up the race here";
                }

                FolderOps ops(l.list, host, env.home.native());
                ops.SetUseTrash(op.op == Op::Trash);
                switch (op.op) {
                    case Op::Delete:
                    case Op::Trash:
                        ops.DeleteCommand();
                        break;
                    case Op::Copy:
                        ops.CopyCommand("U:", 1);
                        break;
                    case Op::Move:
                        ops.MoveCommand("U:", 1);
                        break;
                }
                ::umount2((p.drive + "/P/Victim/sub").constData(), MNT_DETACH);
                // A trash takes the folder whole at its start: nothing is left to swap after it.
                EXPECT_TRUE(acted || (op.op == Op::Trash && race.when == When::MidRun))
                    << "the race never ran";
                EXPECT_EQ(Listing(p.outside), outside);
                EXPECT_EQ(Listing(p.outsideDest), outsideDest);
                EXPECT_EQ(Listing(p.drive + "/Keep"), keep);
                EXPECT_FALSE(HoldsOutsideData(p.dest)) << "copied from outside the selection";
                EXPECT_FALSE(HoldsOutsideData(env.trash())) << "trashed from outside the selection";
                if (race.refused) {
                    ASSERT_FALSE(host.asked.isEmpty());
                    EXPECT_TRUE(host.asked.last().contains(QStringLiteral("残っています")))
                        << "a refusal reported as a clean run";
                }
            }
        }
    platform::ForceOpenatFallback(false);
}
