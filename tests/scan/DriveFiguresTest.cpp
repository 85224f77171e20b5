#include <gtest/gtest.h>

#include <QTime>

#include "common/ListFixture.h"
#include "common/TestSupport.h"
#include "grid/Grid.h"
#include "platform/Beep.h"
#include "platform/DriveCatalog.h"
#include "platform/DriveMap.h"
#include "scan/DriveInfo.h"
#include "scan/Figures.h"
#include "scan/FillList.h"
#include "scan/SizeFormat.h"
#include "settings/Context.h"
#include "settings/Settings.h"

using namespace scan;
using testsupport::ListFixture;
using testsupport::TempDrive;

TEST(SizeFormat, CellsAndPlainSizes) {
    EXPECT_EQ(CellSize(1234567, 0), QString(9, u' ') + "1,234,567");
    EXPECT_EQ(CellSize(1536, 1), QString(13, u' ') + "2 KB ");
    EXPECT_EQ(CellSize(1535, 1), QString(13, u' ') + "1 KB ");
    EXPECT_EQ(CellSize(1048576, 2), QString(11, u' ') + "1.0 MB ");
    EXPECT_EQ(CellSize(0, 4), QString());
    // A number wider than its field widens the cell and keeps every digit.
    EXPECT_EQ(CellSize(std::numeric_limits<qint64>::max(), 0), "9,223,372,036,854,775,807");
    EXPECT_EQ(PlainSize(-1536, 1), "-2 KB ");
    EXPECT_EQ(PlainSize(-5, 0), "-5");
    // A shortfall that rounds to zero keeps its sign.
    EXPECT_EQ(PlainSize(-1, 2), "-0.0 MB ");
    EXPECT_EQ(PlainSize(-100, 1), "-0 KB ");
    EXPECT_EQ(CellSize(-100, 1), QString(12, u' ') + "-0 KB ");
    EXPECT_EQ(PlainSize(3 * kGB, 2), "3,072.0 MB ");
    // GB: one decimal as MB, halves away from zero; a terabyte drive's figure.
    const struct {
        qint64 bytes;
        const char* cell;
    } gb[] = {{kGB, "1.0 GB "},
              {kGB + kGB / 20 + 1, "1.1 GB "},  // a twentieth is 53,687,091.2 bytes
              {kGB + kGB / 20, "1.0 GB "},
              {270'556'779'315LL, "252.0 GB "},
              {5 * kTB / 2, "2,560.0 GB "},
              {-kGB / 2, "-0.5 GB "},
              {-1, "-0.0 GB "}};
    for (const auto& c : gb) {
        EXPECT_EQ(PlainSize(c.bytes, kUnitGB), c.cell) << c.bytes;
        EXPECT_EQ(CellSize(c.bytes, kUnitGB), QString(c.cell).rightJustified(18)) << c.bytes;
    }
}

TEST(SizeFormat, MarkLimits) {
    EXPECT_EQ(SizeMark(0), 0);
    EXPECT_EQ(SizeMark(1), 1);
    EXPECT_EQ(SizeMark(kMB - 1), 1);
    EXPECT_EQ(SizeMark(kMB), 2);
    EXPECT_EQ(SizeMark(10 * kMB), 3);
    EXPECT_EQ(SizeMark(8 * kGB - 1), 13);
    EXPECT_EQ(SizeMark(8 * kGB), 14);
    EXPECT_EQ(SizeMark(16 * kGB - 1), 14);
    EXPECT_EQ(SizeMark(16 * kGB), 15);
    EXPECT_EQ(SizeMark(-1), 15);
}

TEST(DriveInfo, EstimateTables) {
    EXPECT_EQ(EstimateClusterSize("N", 500 * kGB), 4096);
    EXPECT_EQ(EstimateClusterSize("N", 16 * kTB - 1), 4096);
    EXPECT_EQ(EstimateClusterSize("N", 16 * kTB), 8192);
    EXPECT_EQ(EstimateClusterSize("N", 200 * kTB), 65536);
    EXPECT_EQ(EstimateClusterSize("3", 20 * kGB), 16384);
    EXPECT_EQ(EstimateClusterSize("3", 8 * kGB - 1), 4096);
    EXPECT_EQ(EstimateClusterSize("3", 40 * kGB), 32768);
    EXPECT_EQ(EstimateClusterSize("X", 64 * kGB), 131072);
    EXPECT_EQ(EstimateClusterSize("X", 4 * kGB), 32768);
    EXPECT_EQ(EstimateClusterSize("F", 2 * kGB), 65536);
    EXPECT_EQ(EstimateClusterSize("F", 2 * kGB - 1), 32768);
    EXPECT_EQ(EstimateClusterSize("", 500 * kGB), 0);
}

namespace {

// Settings of its own; the scan reads every folder itself.
const testsupport::ListOptions kListed{.readThreads = 0, .settings = true};

}  // namespace

TEST(DriveInfo, ReadDriveOfAFolderDrive) {
    ListFixture l(kListed);
    TempDrive d;
    platform::DriveSpace space;
    ASSERT_TRUE(platform::ReadDriveSpace(platform::LetterIndex(u'T'), space));
    ReadDrive(l.list, d.drive());
    EXPECT_EQ(l.list.DriveTotal, space.total);
    // Below 2 GB and for file systems outside the table: the measured cluster size.
    if (EstimateClusterSize(FileSystemCode(d.drive()), space.total) == 0 || space.total < 2 * kGB) {
        EXPECT_EQ(l.list.ClusterSize, space.clusterSize);
    }
    if (space.total >= 2 * kGB) {
        // A chosen cluster size for the letter (T is the 20th) wins from 2 GB up.
        app::PutOpt("ClusterFixedS", QString(19, u'-') + u'4' + QString(6, u'-'));
        ReadDrive(l.list, d.drive());
        EXPECT_EQ(l.list.ClusterSize, 8192);
    }
    // A letter without a drive: cluster size 0 and a beep.
    platform::ResetBeepCount();
    l.list.VOLDSP = "x";
    ReadDrive(l.list, "Q:");
    EXPECT_EQ(l.list.ClusterSize, 0);
    EXPECT_TRUE(l.list.VOLDSP.isEmpty());
    EXPECT_EQ(platform::BeepCount(), 1);
}

TEST(FillList, ListsADriveWithItsTotalRowAndFigures) {
    ListFixture l(kListed);
    TempDrive d;
    d.writeFile("a/f", QByteArray(5000, 'x'));
    d.makeDir("b");
    l.list.OverviewShown = true;
    FillList(l.list, d.drive());
    const auto& st = l.grid.st;
    ASSERT_EQ(st.rowCount, 4);
    EXPECT_EQ(l.list.ListRowCount, 4);
    EXPECT_EQ(l.list.CurrentDrive, QChar(u'T'));
    EXPECT_EQ(l.list.Caption, QStringLiteral("Drive T:  フォルダー毎サイズ一覧"));
    EXPECT_TRUE(l.list.VOLDSP.startsWith(QStringLiteral("T:   ")));
    EXPECT_EQ(st.rowIndent[3], -1);
    EXPECT_TRUE(grid::CellText(st, 0, 3).startsWith(u'3'));
    EXPECT_EQ(grid::CellText(st, 1, 3), QStringLiteral("1"));
    EXPECT_EQ(st.headings[0], QStringLiteral("Folder名"));
    EXPECT_EQ(l.list.SUMNAM, QStringLiteral("0個合計"));
    EXPECT_EQ(l.list.DLSDSP, l.list.FREDSP);
    EXPECT_EQ(l.list.TOTDSP, PlainSize(l.list.DriveTotal, 0));
    const int c = l.list.ClusterSize;
    EXPECT_EQ(l.list.DirEntriesPerCluster, c <= 2048 ? c / 64 - 1 : c / 64);
    EXPECT_EQ(l.list.AllocTotal, l.list.Folders.SubtreeTotal[0]);
    EXPECT_FALSE(l.list.Label1.isEmpty());
}

TEST(FillList, UnreadableDriveStaysEmpty) {
    ListFixture l(kListed);
    platform::ResetBeepCount();
    FillList(l.list, "Q:");
    EXPECT_EQ(l.grid.st.rowCount, 0);
    EXPECT_EQ(l.list.ListRowCount, 0);
    EXPECT_GE(platform::BeepCount(), 1);
}

TEST(Figures, DestinationEstimate) {
    ListFixture l(kListed);
    TempDrive d;
    TempDrive dest(u'U');
    d.writeFile("sel/one", QByteArray(10, 'x'));
    d.writeFile("sel/deep/two", QByteArray(5000, 'x'));
    d.makeDir("other");
    FillList(l.list, d.drive());
    ASSERT_EQ(l.grid.st.rowCount, 5);
    // The listed drive itself as destination: nothing to show.
    l.list.Destination = "t:";
    ShowSelectionFigures(l.list);
    EXPECT_TRUE(l.list.MOVDSP.isEmpty());
    // Row 2 ("sel") selected with its subtree shown below it: only its own files count.
    l.list.Destination = "U:";
    ASSERT_EQ(grid::CellText(l.grid.st, 0, 2), QStringLiteral("sel"));
    l.grid.st.rowSelected[2] = -1;
    DriveList probe;
    ReadDrive(probe, "U:");
    const qint64 c = probe.ClusterSize;
    ASSERT_GT(c, 0);
    EXPECT_EQ(NeededSpace(l.list, qint32(c)), (1 + 1) * c);
    // With the sub-row hidden (not indented deeper), the whole subtree counts.
    l.grid.st.rowIndent.set(3, l.grid.st.rowIndent[2]);
    EXPECT_EQ(NeededSpace(l.list, qint32(c)), (1 + 1 + ((5000 + c - 1) / c) + 1) * c);
    ShowSelectionFigures(l.list);
    EXPECT_FALSE(l.list.MOVDSP.isEmpty());
    EXPECT_EQ(l.list.MOVDSPNegative, l.list.MOVDSP.startsWith(u'-'));
}

TEST(FillList, ElapsedTextByClockParts) {
    EXPECT_EQ(ElapsedText(QTime(10, 0, 0), QTime(10, 1, 23)), QStringLiteral("0:01:23"));
    EXPECT_EQ(ElapsedText(QTime(10, 59, 50), QTime(11, 0, 10)), QStringLiteral("0:00:20"));
    EXPECT_EQ(ElapsedText(QTime(23, 59, 59), QTime(0, 0, 1)), QStringLiteral("0:00:02"));
}

TEST(FillList, EmptyDriveHoldsTheRootAndTheTotalRow) {
    ListFixture l(kListed);
    TempDrive d;
    FillList(l.list, d.drive());
    const auto& st = l.grid.st;
    ASSERT_EQ(st.rowCount, 2);
    EXPECT_EQ(l.list.ListRowCount, 2);
    EXPECT_EQ(grid::CellText(st, 1, 0), QStringLiteral("0"));
    EXPECT_EQ(grid::CellText(st, 3, 0), CellSize(0, 0));
    EXPECT_EQ(l.list.Folders.AllocSize[0], 0);
    EXPECT_TRUE(grid::CellText(st, 0, 1).startsWith(QStringLiteral("1 ")));
}

TEST(FillList, AClosedWindowEndsTheFillingWithNothingShown) {
    ListFixture l(kListed);
    TempDrive d;
    d.makeDir("a/b");
    // The window is closed while the filling lets events run.
    l.list.ProcessEvents = [&] { l.list.StopFlag = true; };
    l.list.Label1 = "old";
    FillList(l.list, d.drive());
    EXPECT_EQ(l.grid.st.rowCount, 0);
    EXPECT_EQ(l.list.ListRowCount, 0);
    EXPECT_TRUE(l.list.Label1.isEmpty());
}

TEST(FillList, RefillingAPathListGivesThePathsAgain) {
    ListFixture l(kListed);
    TempDrive d;
    d.makeDir("a/b");
    l.list.FullPath = true;
    FillList(l.list, d.drive());
    ASSERT_EQ(l.grid.st.rowCount, 4);
    EXPECT_EQ(grid::CellText(l.grid.st, 0, 2), QStringLiteral("a\\b"));
    // The flag of the old rows must not keep the new ones plain.
    ASSERT_TRUE(l.list.PathsFlag);
    FillList(l.list, d.drive());
    ASSERT_EQ(l.grid.st.rowCount, 4);
    EXPECT_EQ(grid::CellText(l.grid.st, 0, 2), QStringLiteral("a\\b"));
    EXPECT_EQ(l.grid.st.rowIndent[2], 2);
}
