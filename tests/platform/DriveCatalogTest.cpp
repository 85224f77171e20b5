// Drive letters over a fixture mount table whose folders lie in a temporary folder,
// with the letters remembered in a temporary settings file.
#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/TestSupport.h"
#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "platform/Profile.h"

using namespace platform;

namespace {

// Blocks × fragment size of the file system that holds a folder; -1 when it cannot be read.
qint64 TotalBytes(const QString& folder) {
    struct statvfs v;
    if (::statvfs(QFile::encodeName(folder).constData(), &v) != 0) return -1;
    return qint64(v.f_blocks) * qint64(v.f_frsize);
}

constexpr int A = 0, B = 1, C = 2, D = 3, E = 4, F = 5, G = 6, H = 7, I = 8, J = 9, K = 10, L = 11,
              M = 12, N = 13, O = 14, T = 19, Y = 24, Z = 25;

class DriveCatalogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = Drives();
        ASSERT_TRUE(tmp_.isValid());
        root_ = QFile::encodeName(QDir(tmp_.path()).canonicalPath());
        for (const char* d : {"home", "usb", "net", "bind", "ram", "home2", "my disk ", "sys",
                              "labels", "udev", "stuff/photos"}) {
            QDir().mkpath(QFile::decodeName(root_ + "/" + d));
        }
        testsupport::WriteAll(root_ + "/hostfile", "host\n");
        settings_ = root_ + "/FOLDEX.Opt";
        sources_.sysRoot = root_ + "/sys";
        sources_.byLabelDir = root_ + "/labels";
        sources_.udevDataDir = root_ + "/udev";
        table_ = testsupport::ReadAll(QByteArray(FOLDEX_TEST_DATA) + "/mountinfo_catalog.txt");
        table_.replace("@ROOT@", Escaped(root_));
        ASSERT_TRUE(table_.contains("/home"));
    }

    void TearDown() override {
        ForgetDrives();
        Drives() = saved_;
    }

    static QByteArray Escaped(const QByteArray& path) {
        QByteArray out = path;
        return out.replace(" ", "\\040");
    }

    void Load(const QByteArray& table) {
        sources_.mountInfoText = table;
        EXPECT_TRUE(LoadDrives(settings_, sources_));
    }

    QString Remembered(int index) {
        bool found = false;
        const QString v = ProfileGet(settings_, "Drives", QString(QChar(u'A' + index)), &found);
        return found ? v : QString("(none)");
    }

    QString Path(const char* relative) const { return QFile::decodeName(root_ + "/" + relative); }

    DriveMap saved_;
    QTemporaryDir tmp_;
    QByteArray root_;
    QByteArray settings_;
    QByteArray table_;
    MountSources sources_;
};

TEST_F(DriveCatalogTest, FirstRunAssignsLettersAndRemembersThemOnceUsed) {
    Load(table_);
    // Seen, not used: nothing is written, no letter is taken for ever.
    EXPECT_TRUE(testsupport::ReadAll(settings_).isEmpty());
    for (int i : {D, E, F, G, H, I}) EXPECT_EQ(Remembered(i), "(none)") << i;
    for (int i : {D, H, I}) EXPECT_TRUE(RememberDrive(i)) << i;
    EXPECT_FALSE(RememberDrive(D));  // once is enough
    EXPECT_FALSE(RememberDrive(J));  // no drive
    EXPECT_FALSE(RememberDrive(C));  // "/" is C: without a line
    EXPECT_EQ(Drives().root(C), "/");
    EXPECT_EQ(Drives().root(D), root_ + "/home");
    EXPECT_EQ(Drives().root(E), root_ + "/usb");
    EXPECT_EQ(Drives().root(F), root_ + "/net");
    EXPECT_EQ(Drives().root(G), root_ + "/bind");  // a bind of another folder of the disk
    EXPECT_EQ(Drives().root(H), root_ + "/ram");
    EXPECT_EQ(Drives().root(I), root_ + "/my disk ");
    // Not drives: a bind of the whole /home again, a file bound over a file, /run.
    EXPECT_FALSE(Drives().has(J));
    EXPECT_FALSE(Drives().has(A));
    EXPECT_FALSE(Drives().has(B));

    EXPECT_EQ(DriveType(C), 3);
    EXPECT_EQ(DriveType(F), 4);
    EXPECT_EQ(DriveType(H), 6);
    EXPECT_EQ(DriveType(J), 1);
    EXPECT_EQ(DriveType(-1), 1);
    EXPECT_EQ(DriveType(26), 1);
    EXPECT_EQ(DriveFileSystem(D), "ext4");
    EXPECT_EQ(DriveFileSystem(F), "nfs4");

    EXPECT_EQ(Remembered(C), "(none)");
    EXPECT_EQ(Remembered(D), Path("home"));
    EXPECT_EQ(Remembered(H), Path("ram"));
    EXPECT_EQ(Remembered(I), Path("my disk "));  // trailing blank survives the file
    EXPECT_EQ(ProfileGet(settings_, "MountedDrives", "H"), "0");
    EXPECT_EQ(Remembered(J), "(none)");
    EXPECT_EQ(Remembered(E), "(none)");  // never used
}

TEST_F(DriveCatalogTest, SettingsFolderMadeOnFirstWrite) {
    settings_ = root_ + "/config/foldex/FOLDEX.Opt";
    Load(table_);
    EXPECT_TRUE(RememberDrive(D));
    EXPECT_EQ(Remembered(D), Path("home"));
}

TEST_F(DriveCatalogTest, LettersStayFromRunToRun) {
    Load(table_);
    for (int i = D; i <= I; ++i) EXPECT_TRUE(RememberDrive(i)) << i;
    const QByteArray first = testsupport::ReadAll(settings_);
    Load(table_);
    EXPECT_EQ(testsupport::ReadAll(settings_), first);  // nothing new, nothing written
    EXPECT_EQ(Drives().root(I), root_ + "/my disk ");

    // Next run: the table lists the mounts in another order, with a new one first.
    QDir().mkpath(Path("new"));
    QList<QByteArray> lines = table_.split('\n');
    std::reverse(lines.begin(), lines.end());
    QByteArray reordered = "30 20 8:81 / " + root_ + "/new rw - xfs /dev/sdf1 rw\n";
    reordered += lines.join('\n');
    Load(reordered);
    EXPECT_EQ(Drives().root(D), root_ + "/home");
    EXPECT_EQ(Drives().root(E), root_ + "/usb");
    EXPECT_EQ(Drives().root(H), root_ + "/ram");
    EXPECT_EQ(Drives().root(J), root_ + "/new");
    EXPECT_EQ(Remembered(J), "(none)");  // seen once
    EXPECT_TRUE(RememberDrive(J));
    EXPECT_EQ(Remembered(J), Path("new"));
}

TEST_F(DriveCatalogTest, RememberedDriveMissingNow) {
    Load(table_);
    EXPECT_TRUE(RememberDrive(E));
    EXPECT_TRUE(RememberDrive(F));
    // The stick is gone and its folder with it; the network mount is gone but its
    // folder stays as a plain folder of the disk.
    QByteArray table = table_;
    table.replace("22 20 8:17 / " + root_ + "/usb rw,relatime - vfat /dev/sdb1 rw\n", "");
    table.replace("23 20 0:40 / " + root_ + "/net rw,relatime - nfs4 nas:/export rw\n", "");
    ASSERT_FALSE(table.contains("/usb "));
    ASSERT_FALSE(table.contains("/net "));
    QDir().rmdir(Path("usb"));
    QDir().mkpath(Path("late"));
    table += "31 20 8:97 / " + root_ + "/late rw - ext4 /dev/sdg1 rw\n";
    Load(table);

    EXPECT_EQ(DriveType(E), 1);
    EXPECT_FALSE(Drives().has(E));  // nothing can be written into the empty place
    EXPECT_EQ(Remembered(E), Path("usb"));
    // The folder the network drive was mounted on is not that drive: absent until it
    // returns, not shown with the figures of the disk below it.
    EXPECT_EQ(DriveType(F), 1);
    EXPECT_FALSE(Drives().has(F));
    EXPECT_EQ(Remembered(F), Path("net"));
    EXPECT_EQ(Drives().root(J), root_ + "/late");  // E stays reserved for the stick

    // The stick is back.
    QDir().mkpath(Path("usb"));
    Load(table_);
    EXPECT_EQ(Drives().root(E), root_ + "/usb");
    EXPECT_EQ(DriveFileSystem(E), "vfat");
    EXPECT_EQ(DriveFileSystem(F), "nfs4");
}

TEST_F(DriveCatalogTest, WhenLettersRunOutTheLongestAbsentMountMakesRoom) {
    // D: to Z: all remembered for mounts that are gone; K: has been away longest.
    QByteArray text = "[Drives]\n";
    QByteArray marks = "[MountedDrives]\n";
    for (int i = D; i <= Z; ++i) {
        const QByteArray letter(1, char('A' + i));
        text += letter + "=" + root_ + "/gone" + letter + "\n";
        marks += letter + "=" + QByteArray::number(i == K ? 1000 : 2000 + i) + "\n";
    }
    testsupport::WriteAll(settings_, text + marks);
    QDir().mkpath(Path("fresh"));
    Load(table_ + "40 20 0:90 / " + root_ + "/fresh rw - ext4 /dev/sdh1 rw\n");
    // The first new mount of the table takes K:, the rest find no letter. The gone mount
    // keeps its line until the new one is used.
    EXPECT_EQ(Drives().root(K), root_ + "/home");
    EXPECT_EQ(Remembered(K), Path("goneK"));
    EXPECT_TRUE(RememberDrive(K));
    EXPECT_EQ(Remembered(K), Path("home"));
    EXPECT_EQ(ProfileGet(settings_, "MountedDrives", "K"), "0");
    // A folder on the command line still gets a letter for the run, an absent one.
    const int lent = AddFolderDrive(root_ + "/stuff");
    ASSERT_GE(lent, D);
    EXPECT_EQ(Drives().root(lent), root_ + "/stuff");
    EXPECT_NE(lent, K);
    // Every letter holds a present drive (24 mounts): what was named still gets a letter,
    // the highest that holds no other folder or scan of this run, a scan as well as a folder.
    for (int i = D; i <= Z; ++i)
        if (i != lent) Drives().set(i, root_ + "/home");
    int expect = Z == lent ? Y : Z;
    const int folder = AddFolderDrive(root_ + "/stuff/photos");
    EXPECT_EQ(folder, expect);
    EXPECT_EQ(Drives().root(folder), root_ + "/stuff/photos");
    expect = expect - 1 == lent ? expect - 2 : expect - 1;
    EXPECT_EQ(AddDetachedDrive("scan"), expect);
    // Only when every letter holds something named for this run is there none.
    while (AddDetachedDrive("scan") >= 0) {
    }
    EXPECT_EQ(AddFolderDrive(root_ + "/stuff"), lent);  // already a drive of its own
    EXPECT_EQ(AddFolderDrive(root_ + "/sys"), kNoFreeLetter);
}

TEST_F(DriveCatalogTest, FoldersMappedByHand) {
    testsupport::WriteAll(settings_,
                          "[Options]\nWIDTH=7800\n\n[Drives]\n"
                          "b = " +
                              root_ +
                              "/ram/../stuff/photos/\n"
                              "C=" +
                              root_ +
                              "/stuff\n"
                              "K=" +
                              root_ +
                              "/hostfile\n"
                              "L=" +
                              root_ +
                              "/nowhere\n"
                              "M=relative/folder\n"
                              "DD=" +
                              root_ +
                              "/stuff\n"
                              "N=\n"
                              "D=" +
                              root_ + "/ram\n");
    QDir().mkpath(Path("ram/inner"));
    ProfilePut(settings_, "Drives", "O", Path("ram/inner"));
    Load(table_);

    EXPECT_EQ(Drives().root(B), root_ + "/stuff/photos");
    EXPECT_EQ(DriveType(B), 3);  // lies on the root file system of the table
    EXPECT_EQ(DriveLabel(B), Path("stuff/photos"));
    EXPECT_EQ(Drives().root(C), "/");
    EXPECT_EQ(DriveType(K), 0);  // a file cannot be a drive
    EXPECT_EQ(DriveType(L), 1);  // not there
    EXPECT_FALSE(Drives().has(L));
    EXPECT_FALSE(Drives().has(M));                // relative paths mean nothing
    EXPECT_FALSE(Drives().has(N));                // empty
    EXPECT_EQ(Drives().root(D), root_ + "/ram");  // a mount mapped by hand
    EXPECT_EQ(DriveType(D), 6);
    EXPECT_EQ(Drives().root(O), root_ + "/ram/inner");
    EXPECT_EQ(DriveType(O), 6);  // the type of the mount it lies on
    EXPECT_EQ(DriveFileSystem(O), "tmpfs");
    // The mounts fill the letters left free, from D: on.
    EXPECT_EQ(Drives().root(E), root_ + "/home");
    EXPECT_EQ(Drives().root(F), root_ + "/usb");
    EXPECT_EQ(Drives().root(G), root_ + "/net");
    EXPECT_EQ(Drives().root(H), root_ + "/bind");
    EXPECT_EQ(Drives().root(I), root_ + "/my disk ");
    EXPECT_FALSE(Drives().has(J));
    // Hand-written lines and other sections stay as they were.
    const QByteArray text = testsupport::ReadAll(settings_);
    EXPECT_TRUE(text.startsWith("[Options]\nWIDTH=7800\n\n[Drives]\nb = " + root_ +
                                "/ram/../stuff/photos/\n"));
    EXPECT_TRUE(text.contains("M=relative/folder\n"));
}

TEST_F(DriveCatalogTest, LabelsAndCodes) {
    QFile::link("../usb-dev", QFile::decodeName(root_ + "/labels/USB\\x20STICK"));
    QByteArray table = table_;
    table.replace(" /dev/sdb1 ", " " + root_ + "/usb-dev ");
    testsupport::WriteAll(root_ + "/usb-dev", "");
    Load(table);
    EXPECT_EQ(DriveLabel(E), "USB STICK");
    EXPECT_EQ(DriveLabel(D), Path("home"));  // no label: the mount point
    EXPECT_EQ(DriveLabel(I), Path("my disk "));
    EXPECT_EQ(DriveLabel(J), "");

    // The stick's folder is a temporary folder; its size decides FAT or FAT32.
    // The system's own figures of that folder (statvfs), valid in a container as well.
    const qint64 total = TotalBytes(Path("usb"));
    ASSERT_GT(total, 0);
    const bool large = total >= 2LL * 1024 * 1024 * 1024;
    EXPECT_EQ(DriveFileSystemCode(E), large ? "3" : "F");
    EXPECT_EQ(DriveFileSystemCode(D), "");
    EXPECT_EQ(DriveFileSystemCode(J), "");
}

TEST_F(DriveCatalogTest, SpaceFigures) {
    Load(table_);
    DriveSpace space;
    int error = -1;
    ASSERT_TRUE(ReadDriveSpace(D, space, &error));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(space.total, TotalBytes(Path("home")));
    EXPECT_GT(space.clusterSize, 0);
    EXPECT_GE(space.total, space.free);
    EXPECT_GT(space.free, 0);

    EXPECT_FALSE(ReadDriveSpace(J, space, &error));
    EXPECT_NE(error, 0);
    EXPECT_EQ(space.total, 0);
    Drives().set(J, root_ + "/vanished");
    EXPECT_FALSE(ReadDriveSpace(J, space, &error));
    EXPECT_EQ(DriveType(J), 1);
}

TEST_F(DriveCatalogTest, CommandLineFolders) {
    Load(table_);
    const QByteArray before = testsupport::ReadAll(settings_);
    EXPECT_EQ(AddFolderDrive(root_ + "/stuff"), Z);
    EXPECT_EQ(AddFolderDrive(root_ + "/stuff/"), Z);
    EXPECT_EQ(AddFolderDrive(root_ + "/home"), D);
    EXPECT_EQ(AddFolderDrive("/"), C);
    EXPECT_EQ(AddFolderDrive(root_ + "/stuff/photos"), Y);
    EXPECT_EQ(AddFolderDrive(root_ + "/nowhere"), -1);
    EXPECT_EQ(AddFolderDrive(root_ + "/hostfile"), -1);
    EXPECT_EQ(AddFolderDrive(""), -1);
    EXPECT_EQ(Drives().root(Y), root_ + "/stuff/photos");
    EXPECT_EQ(DriveType(Y), 3);
    EXPECT_EQ(DriveLabel(Y), Path("stuff/photos"));
    EXPECT_EQ(testsupport::ReadAll(settings_), before);  // for this run only

    // A link to a drive's root is that drive.
    QFile::link(Path("home"), Path("to-home"));
    EXPECT_EQ(AddFolderDrive(root_ + "/to-home"), D);
}

TEST_F(DriveCatalogTest, HighestFreeLetterSkipsRememberedOnes) {
    testsupport::WriteAll(settings_, "[Drives]\nZ=" + root_ + "/away\n");
    Load(table_);
    EXPECT_EQ(DriveType(Z), 1);
    EXPECT_EQ(AddFolderDrive(root_ + "/stuff"), Y);
    // Every letter taken: the folder missing now lends its letter for the run.
    for (int i = J; i < Y; ++i) Drives().set(i, root_ + "/stuff/photos");
    EXPECT_EQ(AddFolderDrive(root_ + "/ram"), H);
    EXPECT_EQ(AddFolderDrive(root_ + "/sys"), Z);
    // Then the highest present drive lends its letter (X:).
    EXPECT_EQ(AddFolderDrive(root_ + "/labels"), Y - 1);
}

TEST_F(DriveCatalogTest, MountPointsForTheScan) {
    Load(table_);
    EXPECT_TRUE(IsMountPoint(root_ + "/home"));
    EXPECT_TRUE(IsMountPoint(root_ + "/home2"));  // bind mounts count
    EXPECT_TRUE(IsMountPoint(root_ + "/home2/"));
    EXPECT_TRUE(IsMountPoint("/run/user/1000"));  // so do mounts that are not drives
    EXPECT_TRUE(IsMountPoint(root_ + "/my disk "));
    EXPECT_FALSE(IsMountPoint(root_ + "/my disk"));
    EXPECT_FALSE(IsMountPoint(root_ + "/home/sub"));
    EXPECT_FALSE(IsMountPoint(root_));
    // Those below a folder, relative to it, for the walk.
    const QList<QByteArray> below = MountPointsBelow(root_ + "/");
    EXPECT_TRUE(below.contains("home2"));
    EXPECT_TRUE(below.contains("my disk "));
    EXPECT_FALSE(below.contains(""));
    EXPECT_TRUE(MountPointsBelow(root_ + "/home").isEmpty());

    MountEntry m;
    ASSERT_TRUE(MountOfPath(root_ + "/bind/deep/er", m));
    EXPECT_EQ(m.mountPoint, root_ + "/bind");
    EXPECT_EQ(m.root, "/sub");
    EXPECT_EQ(m.major, 8u);
    EXPECT_EQ(m.minor, 3u);
    ASSERT_TRUE(MountOfPath(root_ + "/stuff", m));
    EXPECT_EQ(m.mountPoint, "/");
    EXPECT_FALSE(MountOfPath("relative", m));
}

// Mount points with control codes and bytes that are not UTF-8: each keeps its bytes through
// the table and the settings file, shows every control code in caret notation, and the file
// holds none of them raw. Lines an earlier version wrote (raw codes, plain backslashes) load.
TEST_F(DriveCatalogTest, MountPointsWithControlCodesRoundTripAndShowCaretNotation) {
    struct Case {
        QByteArray name;     // below root_
        QByteArray escaped;  // as the mount table writes it
        QString label;
    };
    const Case cases[] = {
        {"cr\rname", "cr\rname", "cr^Mname"},
        {"esc\x1b[31mred", "esc\x1b[31mred", "esc^[[31mred"},
        {"bell\x07", "bell\x07", "bell^G"},
        {"csi\xc2\x9bname", "csi\xc2\x9bname", "csiM-^[name"},
        {"del\x7f", "del\x7f", "del^?"},
        {"bad\xff", "bad\xff", QStringLiteral("bad\uFFFD")},
        {"tab\tand back\\slash", "tab\\011and\\040back\\134slash", "tab^Iand back\\slash"},
        {"vt\x0b end ", "vt\x0b\\040end\\040", "vt^K end "},
        // A character beyond U+FFFF (a pair of UTF-16 units) beside a control code.
        {"pair\xf0\x90\x82\x80\x1b", "pair\xf0\x90\x82\x80\x1b",
         QString::fromUtf8("pair\xf0\x90\x82\x80^[")},
    };
    const int count = int(std::size(cases));
    QByteArray table = "20 1 8:2 / / rw,relatime - ext4 /dev/sda2 rw\n";
    QByteArray reversed;
    for (int k = 0; k < count; ++k) {
        const QByteArray line = QByteArray::number(40 + k) + " 20 9:" + QByteArray::number(k) +
                                " / " + Escaped(root_) + "/" + cases[k].escaped +
                                " rw - ext4 /dev/sdz" + QByteArray::number(k) + " rw\n";
        table += line;
        reversed.prepend(line);
    }
    reversed.prepend("20 1 8:2 / / rw,relatime - ext4 /dev/sda2 rw\n");
    // Lines an earlier version wrote: a raw ESC, a plain backslash.
    for (const char* old : {"old\x1b"
                            "esc",
                            "old\\slash"})
        ASSERT_EQ(::mkdir((root_ + "/" + old).constData(), 0755), 0) << old;
    testsupport::WriteAll(settings_, "[Drives]\nY=" + root_ +
                                         "/old\x1b"
                                         "esc\nZ=" +
                                         root_ + "/old\\slash\n");
    Load(table);
    EXPECT_EQ(Drives().root(Y), root_ +
                                    "/old\x1b"
                                    "esc");
    EXPECT_EQ(Drives().root(Z), root_ + "/old\\slash");
    for (int k = 0; k < count; ++k) {
        SCOPED_TRACE(cases[k].name.toHex().constData());
        EXPECT_EQ(Drives().root(D + k), root_ + "/" + cases[k].name);
        EXPECT_EQ(DriveLabel(D + k), QFile::decodeName(root_) + "/" + cases[k].label);
        EXPECT_TRUE(RememberDrive(D + k));
    }
    // Nothing raw in the file but its own line ends (the earlier lines stay as they were).
    QByteArray text = testsupport::ReadAll(settings_);
    text.replace("[Drives]\nY=" + root_ +
                     "/old\x1b"
                     "esc\n",
                 "[Drives]\n");
    for (const char c : text) EXPECT_TRUE(c == '\n' || quint8(c) >= 0x20) << int(quint8(c));
    EXPECT_FALSE(text.contains("\x7f"));
    EXPECT_FALSE(text.contains("\xc2\x9b"));
    EXPECT_TRUE(text.contains("Z=" + root_ + "/old\\slash\n"));

    // Next run, the table in another order: every letter back, with its bytes.
    ForgetDrives();
    Drives().clear();
    Load(reversed);
    for (int k = 0; k < count; ++k) {
        SCOPED_TRACE(cases[k].name.toHex().constData());
        EXPECT_EQ(Drives().root(D + k), root_ + "/" + cases[k].name);
    }
    EXPECT_EQ(Drives().root(Y), root_ +
                                    "/old\x1b"
                                    "esc");
    EXPECT_EQ(Drives().root(Z), root_ + "/old\\slash");
}

TEST_F(DriveCatalogTest, LettersMappedAfterLoading) {
    Load(table_);
    testsupport::TempDrive drive(u'T');
    EXPECT_EQ(DriveType(T), 3);  // examined as a folder on the table's root
    EXPECT_EQ(DriveFileSystem(T), "ext4");
}

}  // namespace
