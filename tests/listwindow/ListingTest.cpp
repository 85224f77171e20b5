// A listing as a person sees it run: its progress, stopping it with Esc or the button, and
// the list that stays.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include <unistd.h>

#include "common/ListFixture.h"
#include "common/WindowFixture.h"
#include "grid/widget/GridView.h"
#include "interchange/SnapshotStore.h"
#include "listwindow/CommandGate.h"
#include "listwindow/ListForm.h"
#include "scan/FillList.h"
#include "scan/TreeRows.h"
#include "settings/Settings.h"

using listwindow::CommandGate;
using listwindow::ListForm;
using Mode = CommandGate::Mode;

namespace {

constexpr int kT = 'T' - 'A';

// Runs `inside` at the first event turn of w's listing once folders have come.
std::unique_ptr<QTimer> WhenListing(ListForm* const& w, std::function<void()> inside) {
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(0);
    QTimer* t = timer.get();
    QObject::connect(t, &QTimer::timeout, [t, &w, inside] {
        if (!w || w->gate().mode() != Mode::Listing || w->list().RowCount == 0) return;
        t->stop();
        inside();
    });
    timer->start();
    return timer;
}

QWidget* KeyTarget(ListForm* w) {
    QWidget* f = QApplication::focusWidget();
    return f && f->window() == w ? f : w;
}

QString VolumeLine(ListForm* w) {
    QLabel* l = w->findChild<QLabel*>(QStringLiteral("VOLDSP"));
    return l->toolTip().isEmpty() ? l->text() : l->toolTip();
}

class ListingTest : public windowtest::WindowTest {
  protected:
    ListingTest() : WindowTest({7800, {'T'}, true}) {}
    void SetUp() override {
        WindowTest::SetUp();
        // Far more folders than one event turn takes (a turn comes every 128 folders).
        for (int i = 0; i < 30; ++i)
            for (int j = 0; j < 30; ++j)
                drive.writeFile("d" + QByteArray::number(i) + "/e" + QByteArray::number(j) + "/f",
                                QByteArray(100 + i * 30 + j, 'x'));
    }
    static constexpr int kFolders = 1 + 30 + 30 * 30;
};

// A stopped list is a consistent tree: each folder's subtree total is its own room plus
// its listed subfolders' totals, and the drive's totals are the sums of what was listed.
void ExpectConsistent(const scan::DriveList& l) {
    const scan::FolderTable& t = l.Folders;
    const int records = l.FolderTotal + 1;
    std::vector<qint64> sums(size_t(records), 0);
    qint64 alloc = 0;
    qint64 files = 0;
    for (int r = records - 1; r >= 0; --r) {
        sums[size_t(r)] += t.AllocSize[size_t(r)];
        EXPECT_EQ(t.SubtreeTotal[size_t(r)], sums[size_t(r)]) << "record " << r;
        if (r > 0) sums[size_t(t.Parent[size_t(r)])] += sums[size_t(r)];
        const bool hasChild = r + 1 < records && t.Parent[size_t(r + 1)] == r;
        EXPECT_EQ(bool(t.HasChildren[size_t(r)]), hasChild) << "record " << r;
        alloc += t.AllocSize[size_t(r)];
        files += t.FileCount[size_t(r)];
    }
    EXPECT_EQ(l.AllocTotal, alloc);
    EXPECT_EQ(l.FileTotal, files);
}

TEST_F(ListingTest, EscOrTheStopButtonEndsTheListingAndKeepsWhatWasRead) {
    const struct {
        const char* name;
        std::function<void(ListForm*)> stop;
    } cases[] = {
        {"Esc", [](ListForm* w) { QTest::keyClick(KeyTarget(w), Qt::Key_Escape); }},
        {"button",
         [](ListForm* w) {
             auto* b = w->findChild<QPushButton*>(QStringLiteral("STOPBTN"));
             ASSERT_TRUE(b->isVisible() && b->isEnabled());
             QTest::mouseClick(b, Qt::LeftButton);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListForm* w = Open();
        QString lineWhileListing;
        const auto timer = WhenListing(w, [&] {
            lineWhileListing = VolumeLine(w);
            platform::ResetBeepCount();
            c.stop(w);
        });
        w->Calc(w->ButtonOfDrive(kT));
        EXPECT_EQ(platform::BeepCount(), 0) << "stopping is no refused input";
        EXPECT_TRUE(lineWhileListing.startsWith(QStringLiteral("読み取り中")))
            << lineWhileListing.toStdString();
        const scan::DriveList& l = w->list();
        EXPECT_TRUE(l.Incomplete);
        EXPECT_LT(l.FolderTotal + 1, kFolders);
        EXPECT_GT(l.FolderTotal + 1, 1);
        ExpectConsistent(l);
        EXPECT_TRUE(VolumeLine(w).contains(QStringLiteral("中止"))) << VolumeLine(w).toStdString();
        EXPECT_TRUE(scan::RowName(l, l.RowCount - 1).contains(QStringLiteral("中止")));
        EXPECT_FALSE(w->findChild<QPushButton*>(QStringLiteral("STOPBTN"))->isVisible());
        EXPECT_EQ(w->gate().mode(), Mode::Idle);
        // An incomplete listing is no measure for the next one, nor kept or compared.
        EXPECT_TRUE(app::GetStored(QStringLiteral("FolderCounts"), QStringLiteral("T")).isEmpty());
        EXPECT_TRUE(interchange::ListSnapshots(l.Folders.RootNative).empty());
        asked.clear();
        QTest::keyClick(KeyTarget(w), Qt::Key_D, Qt::AltModifier);
        ASSERT_EQ(asked.size(), 1);
        EXPECT_TRUE(asked[0].contains(QStringLiteral("途中までの一覧は比較できません")));
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        CloseWindows();
    }
}

TEST_F(ListingTest, ASecondListingShowsItsShareOfTheFirstOnesFolders) {
    ListForm* w = OpenDrive(kT);
    EXPECT_FALSE(w->list().Incomplete);
    EXPECT_EQ(w->list().FolderTotal + 1, kFolders);
    auto* bar = w->findChild<QProgressBar*>(QStringLiteral("PROGBAR"));
    bool barShown = false;
    int percent = -1;
    const auto timer = WhenListing(w, [&] {
        barShown = bar->isVisible();
        percent = bar->value();
    });
    w->Calc(w->ButtonOfDrive(kT));
    EXPECT_TRUE(barShown);
    EXPECT_GE(percent, 0);
    EXPECT_LT(percent, 100);
    EXPECT_FALSE(bar->isVisible());
    // A narrow window gives the bar the drive total's place while it lists, and keeps the
    // figures of the volume line whole.
    w->resize(480, w->height());
    QString narrowLine;
    bool narrowBar = false;
    bool totalShown = true;
    auto* total = w->findChild<QLabel*>(QStringLiteral("TOTDSP"));
    const auto narrow = WhenListing(w, [&] {
        narrowLine = VolumeLine(w);
        narrowBar = bar->isVisible();
        totalShown = total->isVisible();
    });
    w->Calc(w->ButtonOfDrive(kT));
    EXPECT_TRUE(narrowBar);
    EXPECT_FALSE(totalShown);
    EXPECT_TRUE(total->isVisible());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^読み取り中  [\\d,]+ フォルダ  "))
                    .match(narrowLine)
                    .hasMatch())
        << narrowLine.toStdString();
    // Another folder behind the same letter has no count of its own yet.
    testsupport::TempDrive replaced{u'T'};
    for (int i = 0; i < 300; ++i) replaced.makeDir("n" + QByteArray::number(i));
    std::optional<bool> shownForOther;
    const auto again = WhenListing(w, [&] { shownForOther = bar->isVisible(); });
    w->Calc(w->ButtonOfDrive(kT));
    EXPECT_EQ(shownForOther, false);
}

}  // namespace

namespace {

int RowOfPath(const scan::DriveList& l, const QString& path) {
    for (int r = 0; r + 1 < l.RowCount; ++r)
        if (scan::FolderPath(l, l.Folders.Order[size_t(r)]) == path) return r;
    return -1;
}

// Every row's name and figures, as a person compares two lists.
std::string RowsOf(const scan::DriveList& l) {
    return testsupport::RowTexts(l).join(u'\n').toStdString();
}

// Empty when two lists show the same rows, else the rows that differ.
std::string Difference(const std::string& a, const std::string& b) {
    const QStringList x = QString::fromStdString(a).split(u'\n');
    const QStringList y = QString::fromStdString(b).split(u'\n');
    std::string out;
    for (qsizetype i = 0; i < std::max(x.size(), y.size()); ++i) {
        const QString l = x.value(i), r = y.value(i);
        if (l != r)
            out += "row " + std::to_string(i) + ": " +
                   (l + QStringLiteral(" / ") + r).toStdString() + "\n";
    }
    return out;
}

TEST_F(ListingTest, F5ListsAgainKeepingFoldsCursorAndSelectionWhereTheFoldersRemain) {
    ListForm* w = OpenDrive(kT);
    w->ChooseLevel(1);
    QTest::keyClick(Focused(w), Qt::Key_K, Qt::AltModifier);  // KB
    scan::DriveList& l = w->list();
    // d3 opened by hand (its subfolders show), the cursor on one of them; d1 and d4 selected.
    scan::ExpandRow(l, RowOfPath(l, QStringLiteral("d3")), false);
    grid::Grid& g = w->view()->grid();
    grid::SetRowSelected(g, RowOfPath(l, QStringLiteral("d1")), -1);
    grid::SetRowSelected(g, RowOfPath(l, QStringLiteral("d4")), -1);
    grid::ShowRow(g, RowOfPath(l, QStringLiteral("d3\\e7")), 2);
    // Outside FOLDEX: d4 is removed, d3\e7 and a new d3\new grow.
    testsupport::RemoveTree(drive.native() + "/d4");
    drive.writeFile("d3/e7/more", QByteArray(5000, 'm'));
    drive.writeFile("d3/new/f", QByteArray(300, 'n'));

    const int offset = g.st.cursorRow - g.st.topRow;
    QTest::keyClick(Focused(w), Qt::Key_F5);
    EXPECT_EQ(w->gate().mode(), Mode::Idle);
    EXPECT_EQ(l.UnitMode, 1);
    EXPECT_EQ(l.ShownLevel, 1);
    ASSERT_GE(RowOfPath(l, QStringLiteral("d3\\new")), 0) << "d3 stays open, its new folder shows";
    EXPECT_LT(RowOfPath(l, QStringLiteral("d2\\e0")), 0) << "d2 stays folded at the level";
    EXPECT_EQ(g.st.cursorRow, RowOfPath(l, QStringLiteral("d3\\e7")));
    EXPECT_EQ(g.st.cursorRow - g.st.topRow, offset);
    EXPECT_EQ(g.st.selectedCount, 1);
    EXPECT_TRUE(g.st.selected(RowOfPath(l, QStringLiteral("d1"))));

    // The figures are those of a fresh listing shaped the same way.
    scan::DriveList fresh;
    fresh.ShownLevel = 1;
    fresh.UnitMode = 1;
    fresh.FontName = g.st.font1Name;
    scan::FillList(fresh, QStringLiteral("T:"));
    scan::ExpandRow(fresh, RowOfPath(fresh, QStringLiteral("d3")), false);
    EXPECT_EQ(Difference(RowsOf(l), RowsOf(fresh)), "");
}

}  // namespace

namespace {

TEST_F(ListingTest, ShiftF5ReadsTheCursorsSubtreeAgainAndTheFoldersAboveFollow) {
    // Hard links between the subtree and folders before and after it; each file's room
    // counts once, at its first name in the list.
    drive.writeFile("d1/e1/shared", QByteArray(9000, 's'));
    drive.writeFile("d5/e0/later", QByteArray(7000, 'l'));
    drive.writeFile("d3/e3/both", QByteArray(5000, 'b'));
    for (const auto& [from, to] :
         {std::pair{"d1/e1/shared", "d3/e1/shared"}, std::pair{"d5/e0/later", "d3/e2/later"},
          std::pair{"d3/e3/both", "d3/e4/both"}})
        ASSERT_EQ(::link((drive.native() + '/' + from).constData(),
                         (drive.native() + '/' + to).constData()),
                  0);
    ListForm* w = OpenDrive(kT);
    scan::DriveList& l = w->list();
    grid::Grid& g = w->view()->grid();
    const auto rowText = [&](const char* path) {
        return QString::fromStdString(RowsOf(l)).split(u'\n').value(
            RowOfPath(l, QString::fromLatin1(path)));
    };
    const QString d1Before = rowText("d1");

    testsupport::RemoveTree(drive.native() + "/d3/e5");
    drive.writeFile("d3/e7/more", QByteArray(50000, 'm'));
    drive.writeFile("d3/new/deeper/f", QByteArray(3000, 'n'));
    // The name that counted "later" goes: its name after the subtree takes its room.
    ASSERT_EQ(::unlink((drive.native() + "/d3/e2/later").constData()), 0);
    ASSERT_EQ(::unlink((drive.native() + "/d3/e1/shared").constData()), 0);
    drive.writeFile("d1/outside", QByteArray(4000, 'o'));  // not below the cursor's folder

    grid::ShowRow(g, RowOfPath(l, QStringLiteral("d3")), 3);
    QTest::keyClick(Focused(w), Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(w->gate().mode(), Mode::Idle);
    EXPECT_EQ(g.st.cursorRow, RowOfPath(l, QStringLiteral("d3")));
    EXPECT_EQ(rowText("d1"), d1Before) << "a folder outside the subtree is not read again";
    EXPECT_GE(RowOfPath(l, QStringLiteral("d3\\new\\deeper")), 0);
    EXPECT_LT(RowOfPath(l, QStringLiteral("d3\\e5")), 0);
    ExpectConsistent(l);
    qint64 fileBytes = 0;
    for (qint32 i = 0; i < l.Files.FileTableCount; ++i) fileBytes += l.Files.FileBytes[size_t(i)];
    EXPECT_EQ(l.Files.FileTableCount, l.FileTotal);
    EXPECT_EQ(fileBytes, l.FileSizeTotal);

    // Without the file outside, the list is what a new listing of the drive shows.
    ASSERT_EQ(::unlink((drive.native() + "/d1/outside").constData()), 0);
    scan::DriveList fresh;
    fresh.FontName = g.st.font1Name;
    scan::FillList(fresh, QStringLiteral("T:"));
    EXPECT_EQ(Difference(RowsOf(l), RowsOf(fresh)), "");
}

}  // namespace

namespace {

TEST_F(ListingTest, ShiftF5OnAFolderGoneSinceTheListingSaysSoAndChangesNothing) {
    ListForm* w = OpenDrive(kT);
    scan::DriveList& l = w->list();
    grid::Grid& g = w->view()->grid();
    const std::string before = RowsOf(l);
    testsupport::RemoveTree(drive.native() + "/d2");
    grid::ShowRow(g, RowOfPath(l, QStringLiteral("d2\\e3")), 0);
    QTest::keyClick(Focused(w), Qt::Key_F5, Qt::ShiftModifier);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("d2\\e3"))) << asked[0].toStdString();
    EXPECT_EQ(Difference(RowsOf(l), before), "");
    EXPECT_EQ(w->gate().mode(), Mode::Idle);
}

}  // namespace
