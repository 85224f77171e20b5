// Mount table parsing, the choice of drive mounts, drive types, file-system codes
// and labels, on fixture tables and fake /sys and by-label folders.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/TestSupport.h"
#include "platform/MountTable.h"

using namespace platform;

namespace {

QByteArray Fixture(const char* name) {
    return testsupport::ReadAll(QByteArray(FOLDEX_TEST_DATA) + "/" + name);
}

const MountEntry* Find(const QList<MountEntry>& mounts, const QByteArray& mountPoint) {
    for (const MountEntry& m : mounts) {
        if (m.mountPoint == mountPoint) return &m;
    }
    return nullptr;
}

void MakeFile(const QString& path, const QByteArray& content = {}) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

void MakeLink(const QString& target, const QString& link) {
    QDir().mkpath(QFileInfo(link).path());
    ASSERT_TRUE(QFile::link(target, link)) << link.toStdString();
}

class MountTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        base_ = QDir(tmp_.path()).canonicalPath();
        sources_.sysRoot = QFile::encodeName(base_ + "/sys");
        sources_.byLabelDir = QFile::encodeName(base_ + "/dev/disk/by-label");
        sources_.udevDataDir = QFile::encodeName(base_ + "/udev");
        mounts_ = ParseMountInfo(Fixture("mountinfo_desktop.txt"), &skipped_);
    }

    // A block device in the fake /sys: the disk's folder and, for a partition,
    // its own folder below the disk, reached through /sys/dev/block/MAJ:MIN.
    void AddDevice(const QString& bus, const QString& disk, const QString& part, int major,
                   int minor, const char* removable) {
        const QString diskDir = base_ + "/sys/devices/" + bus + "/block/" + disk;
        MakeFile(diskDir + "/removable", removable);
        QString dev = diskDir;
        if (!part.isEmpty()) {
            dev = diskDir + "/" + part;
            MakeFile(dev + "/partition", "1\n");
        }
        MakeLink("../../devices/" + bus + "/block/" + disk + (part.isEmpty() ? "" : "/" + part),
                 base_ + QString("/sys/dev/block/%1:%2").arg(major).arg(minor));
    }

    QTemporaryDir tmp_;
    QString base_;
    MountSources sources_;
    QList<MountEntry> mounts_;
    int skipped_ = -1;
};

TEST_F(MountTableTest, ParsesFieldsAndSkipsMalformedLines) {
    // The prose line, a bad device number, a relative mount point, no "-", no source.
    EXPECT_EQ(skipped_, 5);
    ASSERT_EQ(mounts_.size(), 29);

    const MountEntry* stick = Find(mounts_, "/run/media/anna/My Stick");
    ASSERT_NE(stick, nullptr);
    EXPECT_EQ(stick->mountId, 38);
    EXPECT_EQ(stick->parentId, 26);
    EXPECT_EQ(stick->major, 8u);
    EXPECT_EQ(stick->minor, 17u);
    EXPECT_EQ(stick->fsType, "vfat");  // after the optional fields
    EXPECT_EQ(stick->source, "/dev/sdb1");
    EXPECT_EQ(stick->superOptions, "rw,uid=1000,gid=1000");
    EXPECT_FALSE(stick->readOnly);

    EXPECT_NE(Find(mounts_, "/mnt/tab\tand\\back"), nullptr);
    const MountEntry* bind = Find(mounts_, "/mnt/data");
    ASSERT_NE(bind, nullptr);
    EXPECT_EQ(bind->root, "/anna/data");
    const MountEntry* cd = Find(mounts_, "/media/cdrom");
    ASSERT_NE(cd, nullptr);
    EXPECT_TRUE(cd->readOnly);
    EXPECT_EQ(Find(mounts_, "/mnt/badnumber"), nullptr);
    EXPECT_EQ(Find(mounts_, "/mnt/truncated"), nullptr);
}

TEST(MountTableText, EscapesAndOddInput) {
    EXPECT_EQ(UnescapeMountField("/a\\040b\\011c\\012d\\134e"), "/a b\tc\nd\\e");
    // A backslash without three octal digits stays as it is.
    EXPECT_EQ(UnescapeMountField("/a\\08x\\04"), "/a\\08x\\04");
    EXPECT_EQ(UnescapeMountField("/\\303\\244"), "/\xc3\xa4");
    EXPECT_EQ(DecodeLabelName("My\\x20Stick\\x2fA\\xzz"), "My Stick/A\\xzz");
    EXPECT_EQ(DecodeLabelName("end\\x2"), "end\\x2");

    int skipped = -1;
    EXPECT_TRUE(ParseMountInfo("", &skipped).isEmpty());
    EXPECT_EQ(skipped, 0);
    EXPECT_TRUE(ParseMountInfo("-\n- - -\n1 2 3:4\n\xff\xfe\n", &skipped).isEmpty());
    EXPECT_EQ(skipped, 4);
    // CR LF endings and a missing super-options field still parse.
    const QList<MountEntry> m = ParseMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1\r\n");
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0].source, "/dev/sda1");
    EXPECT_TRUE(m[0].superOptions.isEmpty());
    // Control codes the table leaves unescaped belong to the field, never split it.
    const QList<QByteArray> points = {"/mnt/a\rb", "/mnt/\x1b[2J\x07", "/mnt/v\x0b\x0c", "/mnt/\r"};
    for (const QByteArray& point : points) {
        const QList<MountEntry> one =
            ParseMountInfo("7 1 8:1 / " + point + " rw - ext4 /dev/sdb1 rw\r\n", &skipped);
        ASSERT_EQ(one.size(), 1) << point.toHex().constData();
        EXPECT_EQ(one[0].mountPoint, point);
        EXPECT_EQ(one[0].fsType, "ext4");
        EXPECT_EQ(one[0].superOptions, "rw");
    }
}

TEST_F(MountTableTest, SelectsDrivesInTableOrder) {
    QList<QByteArray> points;
    for (qsizetype i : SelectDriveMounts(mounts_)) points.append(mounts_[i].mountPoint);
    const QList<QByteArray> expected = {"/",
                                        "/home",
                                        "/boot/efi",
                                        "/tmp",
                                        "/mnt/data",
                                        "/run/media/anna/My Stick",
                                        "/media/cdrom",
                                        "/mnt/nas",
                                        "/mnt/ssh",
                                        "/mnt/win",
                                        "/mnt/ram",
                                        "/mnt/xfer",
                                        "/mnt/tab\tand\\back",
                                        "/mnt/disc",
                                        "/mnt/xfs"};
    EXPECT_EQ(points, expected);
}

TEST(MountTableRules, RootAndBindMountsAndSystemFolders) {
    // "/" is a drive whatever its type; a second mount of the same device and
    // folder is not, wherever it is; the first one listed wins.
    const QList<MountEntry> m = ParseMountInfo(
        "1 0 0:20 / / rw - overlay overlay rw\n"
        "2 1 0:21 / /run/media/x rw - tmpfs tmpfs rw\n"
        "3 1 8:1 / /mnt/a rw - ext4 /dev/sda1 rw\n"
        "4 1 8:1 / /mnt/b rw - ext4 /dev/sda1 rw\n"
        "5 1 8:1 /sub /mnt/c rw - ext4 /dev/sda1 rw\n"
        "6 1 8:2 / /runner rw - ext4 /dev/sda2 rw\n"
        "7 1 8:3 / /run/mediax rw - ext4 /dev/sda3 rw\n"
        "8 1 8:4 / /snapshots rw - weirdfs /dev/sda4 rw\n"
        "9 1 0:22 / /mnt/fuse rw - fuse.portal portal rw\n"
        "10 1 7:3 / /mnt/sq rw - squashfs /dev/loop3 rw\n");
    QList<QByteArray> points;
    for (qsizetype i : SelectDriveMounts(m)) points.append(m[i].mountPoint);
    const QList<QByteArray> expected = {"/",       "/run/media/x", "/mnt/a", "/mnt/c",
                                        "/runner", "/snapshots",   "/mnt/sq"};
    EXPECT_EQ(points, expected);
}

TEST_F(MountTableTest, DriveTypesFromFakeSys) {
    AddDevice("pci", "sda", "sda1", 8, 1, "0\n");
    AddDevice("pci", "sda", "sda2", 8, 2, "0\n");
    AddDevice("pci", "sda", "sda3", 8, 3, "0\n");
    AddDevice("usb1", "sdb", "sdb1", 8, 17, "0\n");
    AddDevice("pci", "sdc", "sdc1", 8, 33, "0\n");
    AddDevice("usb2", "sde", "sde1", 8, 65, "1\n");
    AddDevice("usb3", "sdf", "", 8, 80, "1\n");
    AddDevice("ata", "sr0", "", 11, 0, "1\n");
    AddDevice("ata", "sr1", "", 11, 1, "1\n");

    auto type = [&](const QByteArray& point) {
        const MountEntry* m = Find(mounts_, point);
        return m ? MountDriveType(*m, sources_) : -1;
    };
    EXPECT_EQ(type("/"), 3);
    EXPECT_EQ(type("/home"), 3);
    EXPECT_EQ(type("/tmp"), 6);
    EXPECT_EQ(type("/mnt/ram"), 6);
    EXPECT_EQ(type("/mnt/nas"), 4);
    EXPECT_EQ(type("/mnt/ssh"), 4);
    EXPECT_EQ(type("/media/cdrom"), 5);
    EXPECT_EQ(type("/mnt/disc"), 5);                 // an sr device, whatever it holds
    EXPECT_EQ(type("/run/media/anna/My Stick"), 2);  // by where it is mounted
    EXPECT_EQ(type("/mnt/xfer"), 2);                 // the partition's disk is removable
    EXPECT_EQ(type("/mnt/tab\tand\\back"), 2);       // a whole removable disk
    EXPECT_EQ(type("/mnt/win"), 3);
    EXPECT_EQ(type("/mnt/xfs"), 3);  // no /sys entry at all
}

TEST_F(MountTableTest, DriveTypesWithoutSys) {
    sources_.sysRoot = QFile::encodeName(base_ + "/nothing");
    EXPECT_EQ(MountDriveType(*Find(mounts_, "/mnt/disc"), sources_), 5);
    EXPECT_EQ(MountDriveType(*Find(mounts_, "/mnt/xfer"), sources_), 3);
    MountEntry media = *Find(mounts_, "/mnt/xfs");
    media.mountPoint = "/media/anna/DISK";
    EXPECT_EQ(MountDriveType(media, sources_), 2);
    media.mountPoint = "/mediadisk";
    EXPECT_EQ(MountDriveType(media, sources_), 3);
}

TEST(MountTableCodes, FileSystemCodesBySize) {
    const qint64 twoGB = 2LL * 1024 * 1024 * 1024;
    EXPECT_EQ(FileSystemCode("vfat", twoGB - 1), "F");
    EXPECT_EQ(FileSystemCode("vfat", twoGB), "3");
    EXPECT_EQ(FileSystemCode("msdos", 0), "F");
    EXPECT_EQ(FileSystemCode("msdos", 64 * twoGB), "3");
    EXPECT_EQ(FileSystemCode("exfat", 1), "X");
    EXPECT_EQ(FileSystemCode("ntfs", 1), "N");
    EXPECT_EQ(FileSystemCode("ntfs3", twoGB), "N");
    EXPECT_EQ(FileSystemCode("fuseblk", twoGB, true), "N");
    EXPECT_EQ(FileSystemCode("fuseblk", twoGB, false), "");
    EXPECT_EQ(FileSystemCode("ext4", twoGB), "");
    EXPECT_EQ(FileSystemCode("VFAT", twoGB), "");
}

TEST_F(MountTableTest, NtfsBehindFuseblk) {
    MountEntry win = *Find(mounts_, "/mnt/win");
    EXPECT_FALSE(IsNtfsFuseblk(win, sources_));
    MakeFile(base_ + "/udev/b8:33",
             "S:disk/by-uuid/1234\nE:ID_FS_TYPE=ntfs\nE:ID_FS_USAGE=filesystem\n");
    EXPECT_TRUE(IsNtfsFuseblk(win, sources_));
    MakeFile(base_ + "/udev/b8:33", "E:ID_FS_TYPE=exfat\n");
    EXPECT_FALSE(IsNtfsFuseblk(win, sources_));
    win.fsType = "fuseblk.ntfs-3g";
    EXPECT_TRUE(IsNtfsFuseblk(win, sources_));
    // Only fuseblk mounts are asked about.
    MountEntry ext = *Find(mounts_, "/mnt/xfs");
    ext.major = 8;
    ext.minor = 33;
    EXPECT_FALSE(IsNtfsFuseblk(ext, sources_));
}

TEST_F(MountTableTest, LabelsFromByLabelLinks) {
    const QString dev = base_ + "/dev";
    MakeFile(dev + "/sdb1");
    MakeFile(dev + "/sdc1");
    MakeFile(dev + "/sdd1");
    const QString byLabel = dev + "/disk/by-label/";
    MakeLink("../../sdb1", byLabel + "My\\x20Stick");
    MakeLink("../../sdc1", byLabel + "Fotos\\x20\xc3\xa4\\x2fAlt");
    MakeLink("/dev/sdx9", byLabel + "ABSOLUTE");
    MakeLink("../../sdd1", byLabel + "Bad\\x01Name");
    MakeLink("../../missing", byLabel + "GONE");

    MountEntry m = *Find(mounts_, "/run/media/anna/My Stick");
    m.source = QFile::encodeName(dev + "/sdb1");
    EXPECT_EQ(MountLabel(m, sources_), QString("My Stick"));
    m.source = QFile::encodeName(dev + "/sdc1");
    EXPECT_EQ(MountLabel(m, sources_), QString::fromUtf8("Fotos \xc3\xa4/Alt"));
    m.source = "/dev/sdx9";  // a target that is not there is compared by its text
    EXPECT_EQ(MountLabel(m, sources_), QString("ABSOLUTE"));
    m.source = QFile::encodeName(dev + "/sdd1");
    EXPECT_EQ(MountLabel(m, sources_), QString("Bad^AName"));  // caret notation, as names
    m.source = QFile::encodeName(dev + "/sde1");
    EXPECT_TRUE(MountLabel(m, sources_).isEmpty());
    m.source = "nas:/export";
    EXPECT_TRUE(MountLabel(m, sources_).isEmpty());
    sources_.byLabelDir = QFile::encodeName(base_ + "/no/such/folder");
    m.source = QFile::encodeName(dev + "/sdb1");
    EXPECT_TRUE(MountLabel(m, sources_).isEmpty());
}

TEST_F(MountTableTest, MountThatHoldsAPath) {
    auto at = [&](const QByteArray& path) {
        const qsizetype i = MountIndexFor(mounts_, path);
        return i < 0 ? QByteArray("-") : mounts_[i].mountPoint;
    };
    EXPECT_EQ(at("/"), "/");
    EXPECT_EQ(at("/home"), "/home");
    EXPECT_EQ(at("/home/anna/x"), "/home");
    EXPECT_EQ(at("/homework"), "/");
    EXPECT_EQ(at("/run/user/1000/gvfs/smb"), "/run/user/1000/gvfs");
    EXPECT_EQ(at("/run/media/anna/My Stick/DCIM"), "/run/media/anna/My Stick");
    EXPECT_EQ(at("relative"), "-");
    // Of two mounts on one folder the later hides the earlier.
    const QList<MountEntry> two = ParseMountInfo(
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "2 1 8:2 / /mnt rw - ext4 /dev/sda2 rw\n"
        "3 1 8:3 / /mnt rw - xfs /dev/sda3 rw\n");
    EXPECT_EQ(MountIndexFor(two, "/mnt/x"), 2);
}

}  // namespace
