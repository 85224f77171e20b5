#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>
#include <map>

#include "common/TestSupport.h"
#include "common/WindowFixture.h"
#include "dialogs/OptionForm.h"
#include "grid/widget/GridView.h"
#include "listwindow/ListForm.h"
#include "platform/Beep.h"
#include "settings/Context.h"
#include "settings/Settings.h"

using dialogs::OptionForm;
using listwindow::ListForm;
using listwindow::Switch;

namespace {

constexpr int kT = 'T' - 'A';

// The settings file as key → value (section "Options" holds every key).
QMap<QString, QString> Stored(const QByteArray& file) {
    QMap<QString, QString> out;
    for (const QByteArray& line : testsupport::ReadAll(file).split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            out.insert(QString::fromUtf8(line.left(eq)).trimmed(),
                       QString::fromUtf8(line.mid(eq + 1)).trimmed());
    }
    return out;
}

OptionForm* OpenForm() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<OptionForm*>(w); f && f->isVisible()) return f;
    return nullptr;
}

// Runs body once the options dialog is open (the command lets events run before it opens).
void WhenOpen(const std::function<void(OptionForm*)>& body) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, body] {
        OptionForm* f = OpenForm();
        if (!f) return;
        timer->stop();
        timer->deleteLater();
        body(f);
    });
    timer->start();
}

template <class T>
T* Control(OptionForm* f, const char* name, int index = -1) {
    for (T* c : f->findChildren<T*>(QString::fromUtf8(name)))
        if (index < 0 || c->property("index").toInt() == index) return c;
    return nullptr;
}

void Click(QWidget* w) {
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(8, w->height() / 2));
}

class ListFormOptionsTest : public windowtest::WindowTest {
  protected:
    ListFormOptionsTest() : WindowTest({9000}) {}
    void SetUp() override {
        WindowTest::SetUp();
        app::ProgramContext& c = application.context();
        c.WindowLeft = 300;
        c.WindowTop = 300;
        c.CommonDialogReady = true;
        drive.writeFile("b/one.bin", QByteArray(5000, 'x'));
        drive.writeFile("A/deep/three.bin", QByteArray(70000, 'z'));
        drive.makeDir("c");
    }
    static ListForm* OpenT() { return OpenDrive(kT); }
    // Runs the options command; inside touches the open dialog, then it ends with OK or
    // Cancel.
    void RunOptions(ListForm* w, const std::function<void(OptionForm*)>& inside, bool ok) {
        bool ran = false;
        WhenOpen([&](OptionForm* f) {
            inside(f);
            ran = true;
            Click(Control<QPushButton>(f, ok ? "OKBTN" : "CANBTN"));
        });
        w->Options();
        EXPECT_TRUE(ran);
        EXPECT_EQ(OpenForm(), nullptr);
    }
    grid::GridState& St(ListForm* w) { return w->view()->grid().st; }
};

TEST_F(ListFormOptionsTest, OkWritesTheItemsFontsAndSwitchesAndOnlyTheChangedDisplayKeys) {
    const QStringList always = {"ListForeCol",   "ListBackCol",  "SelForeCol",   "SelBackCol",
                                "ListHLineCol",  "ListVLineCol", "TitleForeCol", "TitleBackCol",
                                "SelTypeWin",    "UseNewWindow", "UseTrash",     "ShareBar",
                                "KeepSnapshots", "FontName1",    "FontSize1",    "FontBold1",
                                "FontItalic1",   "FontName2",    "FontSize2",    "FontBold2",
                                "FontItalic2"};
    struct Case {
        const char* what;
        std::function<void(OptionForm*)> act;
        QStringList alsoWritten;
        QString useTrash = QStringLiteral("0");        // off unless the box was ticked
        QString keepSnapshots = QStringLiteral("-1");  // on unless the box was cleared
    };
    const Case cases[] = {
        {"nothing changed", [](OptionForm*) {}, {}},
        {"tree off and narrow indent",
         [](OptionForm* f) {
             Click(Control<QCheckBox>(f, "OPTDTRE"));
             Click(Control<QPushButton>(f, "WIDBTN", 1));
         },
         {"TreeDisp", "ShortSpace"}},
        {"trash on", [](OptionForm* f) { Click(Control<QCheckBox>(f, "ごみ箱SEL")); }, {}, "-1"},
        {"snapshots off",
         [](OptionForm* f) { Click(Control<QCheckBox>(f, "スナップSEL")); },
         {},
         "0",
         "0"},
        {"vertical rules off",
         [](OptionForm* f) { Click(Control<QCheckBox>(f, "OPTDKEV")); },
         {"KeiDispV"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::WriteAll(home.settingsFile(), "[Options]\n");
        ListForm* w = OpenT();
        const QStringList before = Stored(home.settingsFile()).keys();
        RunOptions(w, c.act, true);
        QStringList written;
        for (const QString& key : Stored(home.settingsFile()).keys())
            if (!before.contains(key)) written << key;
        QStringList want = always + c.alsoWritten;
        written.sort(Qt::CaseInsensitive);
        want.sort(Qt::CaseInsensitive);
        EXPECT_EQ(written.join(u' '), want.join(u' '));
        EXPECT_EQ(Stored(home.settingsFile()).value("UseTrash"), c.useTrash);
        EXPECT_EQ(Stored(home.settingsFile()).value("KeepSnapshots"), c.keepSnapshots);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const QMap<QString, QString> s = Stored(home.settingsFile());
    EXPECT_EQ(s.value("KeiDispV"), "0");

    EXPECT_EQ(s.value("SelForeCol"), "-2147483634");  // a system colour stays one
}

// Off by default; ticked, it shows at once, Cancel takes it away, OK keeps and stores it, and
// each folder's bar is its share of its parent's subtree total, inside the cell's rules.
TEST_F(ListFormOptionsTest, TheShareBarShowsAtOnceAndOkKeepsIt) {
    constexpr QRgb kBar = qRgb(0x1F, 0x9E, 0x89);
    ListForm* w = OpenT();
    grid::Grid& g = w->view()->grid();
    const scan::FolderTable& t = w->list().Folders;
    // The longest run of bar pixels in each row's subtree-total cell, by folder record.
    auto bars = [&] {
        const grid::GridState& st = g.st;
        std::map<int, int> out;
        for (int r = 0; r < st.rowCount - 1; ++r) {
            int longest = 0;
            for (int y = (r - st.topRow) * st.rowHeight; y < (r - st.topRow + 1) * st.rowHeight;
                 ++y) {
                int run = 0;
                for (int x = st.columnLeft[4]; x < st.textRight[5]; ++x) {
                    run = grid::ToRgb(g.surface.pixel(x, y)) == kBar ? run + 1 : 0;
                    longest = std::max(longest, run);
                }
            }
            out[t.Order[size_t(r)]] = longest;
        }
        return out;
    };
    auto anyBar = [&] {
        for (const auto& [f, length] : bars())
            if (length > 0) return true;
        return false;
    };
    EXPECT_FALSE(anyBar());
    const grid::GridState& st = g.st;
    // The cell's inner width, as a share of 1 would fill it.
    const int width = st.textRight[5] - st.columnLeft[4] - 2 - 2 * (st.line3D & 1);
    RunOptions(
        w,
        [&](OptionForm* f) {
            Click(Control<QCheckBox>(f, "割合SEL"));
            EXPECT_TRUE(anyBar());
        },
        false);
    EXPECT_FALSE(anyBar());
    EXPECT_NE(Stored(home.settingsFile()).value("ShareBar"), "-1");

    RunOptions(
        w, [&](OptionForm* f) { Click(Control<QCheckBox>(f, "割合SEL")); }, true);
    EXPECT_EQ(Stored(home.settingsFile()).value("ShareBar"), "-1");
    const std::map<int, int> shown = bars();
    ASSERT_GE(shown.size(), 5u);
    for (const auto& [f, length] : shown) {
        SCOPED_TRACE(t.name(f).toString().toStdString());
        if (f == 0) {
            EXPECT_EQ(length, 0);  // the root is nobody's share
            continue;
        }
        const double share =
            double(t.SubtreeTotal[size_t(f)]) / double(t.SubtreeTotal[size_t(t.Parent[size_t(f)])]);
        EXPECT_EQ(length, std::lround(share * width));
    }
    // Below the figure's last digit (never a comma) a clear pixel row, then the bar.
    const int cellRight = st.textRight[5];
    for (int r = 1; r < st.rowCount - 1; ++r) {
        SCOPED_TRACE(r);
        const int top = (r - st.topRow) * st.rowHeight;
        auto ink = [&](int x, int y) {
            const QRgb c = grid::ToRgb(g.surface.pixel(x, y));
            return c != kBar && qRed(c) + qGreen(c) + qBlue(c) < 450;
        };
        int lastColumn = -1;  // the rightmost column of ink: the last digit
        for (int x = cellRight - 1; x >= st.columnLeft[4] && lastColumn < 0; --x)
            for (int y = top; y < top + st.rowHeight; ++y)
                if (ink(x, y)) lastColumn = x;
        ASSERT_GE(lastColumn, 0);
        int digitBottom = -1;
        int barTop = -1;
        for (int y = top; y < top + st.rowHeight; ++y) {
            for (int x = lastColumn - 4; x <= lastColumn; ++x)
                if (ink(x, y)) digitBottom = y;
            for (int x = st.columnLeft[4]; x < cellRight && barTop < 0; ++x)
                if (grid::ToRgb(g.surface.pixel(x, y)) == kBar) barTop = y;
        }
        ASSERT_GE(barTop, 0);
        EXPECT_GE(barTop, digitBottom + 2);
    }
}

TEST_F(ListFormOptionsTest, AChosenColourAndFontShowAtOnceAndComeBackAtTheNextStart) {
    dialogs::CommonDialogHooks hooks;
    hooks.colour = [](quint32) { return std::optional<quint32>(0x3060C0); };
    hooks.font = [](const dialogs::FontChoice&) {
        return std::optional<dialogs::FontChoice>({QStringLiteral("ＭＳ 明朝"), 12, true, true});
    };
    answerDialogs(hooks);
    ListForm* w = OpenT();
    w->ApplyBackgroundType(0);  // plain list background
    grid::Grid& g = w->view()->grid();
    const grid::Colour old = g.surface.pixel(g.surface.width() - 8, g.surface.height() - 3);
    ASSERT_NE(old, 0x3060C0u);
    const int oldRowHeight = g.st.rowHeight;
    auto change = [&](OptionForm* f) {
        Click(Control<QLabel>(f, "COLDSP", 1));
        QCoreApplication::processEvents();
        // Below the last row: the list's background, as the person sees it now.
        EXPECT_EQ(g.surface.pixel(g.surface.width() - 8, g.surface.height() - 3), 0x3060C0u);
        Click(Control<QPushButton>(f, "FONBTN", 0));
        EXPECT_TRUE(grid::FontOf(g.st, false).italic());
        EXPECT_GT(g.st.rowHeight, oldRowHeight);
    };
    RunOptions(w, change, false);
    // Cancel: the old look is back.
    EXPECT_EQ(g.surface.pixel(g.surface.width() - 8, g.surface.height() - 3), old);
    EXPECT_FALSE(grid::FontOf(g.st, false).italic());
    EXPECT_EQ(g.st.rowHeight, oldRowHeight);

    RunOptions(w, change, true);
    EXPECT_EQ(g.surface.pixel(g.surface.width() - 8, g.surface.height() - 3), 0x3060C0u);
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The next start.
    ListForm* again = OpenT();
    const grid::GridState& st = again->view()->grid().st;
    EXPECT_EQ(st.backColour, 0x3060C0u);
    EXPECT_EQ(st.font1Name, QStringLiteral("ＭＳ 明朝"));
    EXPECT_EQ(st.font1Size, 12.0f);
    EXPECT_TRUE(st.font1Bold && st.font1Italic);
}

TEST_F(ListFormOptionsTest, ThreeDRulesOnAWhiteListAndRulesSwitchedOffUnder3D) {
    // 3D on a white list: light grey and both rules, the rules stored at once; OK keeps the
    // grey, Cancel takes it back.
    for (bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        testsupport::WriteAll(home.settingsFile(),
                              "[Options]\nListBackCol=16777215\nKeiDispH=0\nKeiDispV=0\n");
        ListForm* w = OpenT();
        RunOptions(
            w,
            [&](OptionForm* f) {
                Click(Control<QCheckBox>(f, "OPTDKE3"));
                EXPECT_EQ(St(w).backColour, 0xF0F0F0u);
                EXPECT_EQ(St(w).hRuleWidth, 1);
                EXPECT_EQ(St(w).vRuleWidth, 1);
                EXPECT_NE(St(w).line3D, 0);
                const QMap<QString, QString> s = Stored(home.settingsFile());
                EXPECT_EQ(s.value("KeiDispH"), "1");
                EXPECT_EQ(s.value("KeiDispV"), "1");
            },
            ok);
        EXPECT_EQ(St(w).backColour, ok ? 0xF0F0F0u : 0xFFFFFFu);
        EXPECT_EQ(St(w).line3D != 0, ok);
        EXPECT_EQ(St(w).hRuleWidth, 1);  // written at once: kept either way
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Rules off under 3D: 3D goes, and stays gone after Cancel.
    testsupport::WriteAll(home.settingsFile(),
                          "[Options]\nKeiDispH=1\nKeiDispV=1\nListLine3D=-1\n");
    ListForm* w = OpenT();
    ASSERT_NE(St(w).line3D, 0);
    RunOptions(
        w,
        [&](OptionForm* f) {
            Click(Control<QCheckBox>(f, "OPTDKEH"));
            EXPECT_EQ(St(w).line3D, 0);
            EXPECT_FALSE(Control<QCheckBox>(f, "OPTDKE3")->isChecked());
        },
        false);
    EXPECT_EQ(St(w).line3D, 0);
    EXPECT_EQ(St(w).hRuleWidth, 1);
    EXPECT_EQ(Stored(home.settingsFile()).value("ListLine3D"), "0");
}

TEST_F(ListFormOptionsTest, TreeDisplayAndIndent) {
    ListForm* w = OpenT();
    grid::GridState& st = St(w);
    const int step = st.indentStep;
    std::vector<int> indents;
    for (int r = 0; r < st.rowCount; ++r) indents.push_back(st.rowIndent[r]);
    ASSERT_NE(st.treeLines, 0);

    // Tree off and the narrow indent, shown at once; Cancel brings tree and indent back.
    RunOptions(
        w,
        [&](OptionForm* f) {
            Click(Control<QCheckBox>(f, "OPTDTRE"));
            EXPECT_EQ(st.treeLines, 0);
            Click(Control<QPushButton>(f, "WIDBTN", 1));
            // Half of the icon's half-strip (14 / 2), plus 2; every level moves by it.
            EXPECT_EQ(st.indentStep, 9);
            for (int r = 1; r + 1 < st.rowCount; ++r)
                EXPECT_EQ(st.rowIndent[r], (indents[size_t(r)] - 2) / step * 9 + 2) << r;
            EXPECT_LT(st.rowIndent[2], indents[2]);
        },
        false);
    EXPECT_TRUE(app::Ctx().TreeDisp);
    EXPECT_FALSE(app::Ctx().ShortSpace);
    EXPECT_NE(st.treeLines, 0);
    EXPECT_EQ(st.indentStep, step);
    for (int r = 0; r < st.rowCount; ++r) EXPECT_EQ(st.rowIndent[r], indents[size_t(r)]) << r;

    // With full paths the tree choice is stored but the rows stay as they are.
    w->SetFullPath(Switch::On);
    const QString firstRow = grid::CellText(st, 0, 1);
    EXPECT_FALSE(firstRow.isEmpty());
    w->D_Tree(false);
    EXPECT_FALSE(app::Ctx().TreeDisp);
    EXPECT_EQ(grid::CellText(st, 0, 1), firstRow);
    w->SetFullPath(Switch::Off);
    EXPECT_EQ(st.treeLines, 0);  // the stored choice shows once the paths go
}

TEST_F(ListFormOptionsTest, AltOHoldsTheWindowAndDisablesTheOthersWhileTheDialogIsOpen) {
    ListForm* w = OpenT();
    ListForm* other = ListForm::InSlot(w->OpenSiblingWindow());
    ASSERT_NE(other, w);
    bool checked = false;
    WhenOpen([&](OptionForm* f) {
        EXPECT_TRUE(w->gate().busy());
        EXPECT_FALSE(other->isEnabled());
        // A click on the list meanwhile is refused with a beep.
        const int beeps = platform::BeepCount();
        QTest::mouseClick(w->view()->gridWidget(), Qt::LeftButton, {}, QPoint(20, 30));
        EXPECT_EQ(platform::BeepCount(), beeps + 1);
        checked = true;
        f->close();  // by the window manager: Cancel
    });
    QTest::keyClick(static_cast<QWidget*>(w->view()->scrollBar()), Qt::Key_O, Qt::AltModifier);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(w->gate().busy());
    EXPECT_TRUE(other->isEnabled());
    EXPECT_EQ(Stored(home.settingsFile()).value("FontName1"), QString());  // nothing stored
}

TEST_F(ListFormOptionsTest, TheOverviewKeepsItsLookAndAWindowClosedMeanwhileCancels) {
    app::Ctx().FirstWindow = true;
    auto* w = new ListForm();
    w->LoadShow();
    ASSERT_TRUE(w->list().OverviewShown);
    RunOptions(
        w, [](OptionForm* f) { Click(Control<QCheckBox>(f, "OPTDKEV")); }, true);
    EXPECT_EQ(St(w).headings[0], QStringLiteral("Drive名"));
    EXPECT_EQ(St(w).selectionMode, 0);
    EXPECT_EQ(St(w).vRuleWidth, 0);

    // Closed while its dialog is open: the dialog ends as Cancel and the window goes after.
    QPointer<ListForm> alive(w);
    WhenOpen([&](OptionForm*) { w->close(); });
    w->Options();
    EXPECT_EQ(OpenForm(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

}  // namespace
