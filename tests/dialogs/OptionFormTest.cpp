#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "dialogs/DialogParts.h"
#include "dialogs/OptionForm.h"
#include "platform/Beep.h"
#include "settings/Context.h"

using dialogs::OptionFont;
using dialogs::OptionForm;

namespace {

// A left click where a person clicks: on a check box's box, a label's first letters.
void Click(QWidget* w) {
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(8, w->height() / 2));
}

// Records every display call the dialog makes, as text.
class Recorder : public dialogs::OptionTarget {
  public:
    void D_Tree(bool on) override { calls << QStringLiteral("Tree %1").arg(on); }
    void D_Wide(bool narrow) override { calls << QStringLiteral("Wide %1").arg(narrow); }
    void D_KeiH(int on) override { calls << QStringLiteral("KeiH %1").arg(on); }
    void D_KeiV(int on) override { calls << QStringLiteral("KeiV %1").arg(on); }
    void D_Kei3D(bool on) override {
        calls << QStringLiteral("Kei3D %1").arg(on);
        if (on && back == 0xFFFFFF) back = 0xF0F0F0;
    }
    void D_Col(int item, quint32 colour) override {
        calls << QStringLiteral("Col %1 %2").arg(item).arg(colour, 0, 16);
    }
    void D_Fon(const OptionFont& a, const OptionFont& b) override {
        calls << QStringLiteral("Fon %1 %2 %3 %4").arg(a.name, b.name).arg(a.size).arg(b.italic);
    }
    void D_Share(bool on) override { calls << QStringLiteral("Share %1").arg(on); }
    quint32 ItemColour(int item) const override { return item == 1 ? back : 0; }
    QRgb ScreenColour(quint32 c) const override {
        if (c & 0x80000000u) return qRgb(0, 0x78, 0xD7);
        return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
    }
    QStringList calls;
    quint32 back = 0xFFFFFF;
};

class OptionFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app::Ctx().CommonDialogReady = true;
        platform::ResetBeepCount();
    }
    template <class T>
    T* Child(const char* name, int index = -1) {
        for (T* c : form.findChildren<T*>(QLatin1String(name)))
            if (index < 0 || c->property("index").toInt() == index) return c;
        return nullptr;
    }
    QCheckBox* Box(const char* name) { return Child<QCheckBox>(name); }
    QPushButton* Wid(int k) { return Child<QPushButton>("WIDBTN", k); }

    app::Application application;
    Recorder target;
    OptionForm form{target};
};

TEST_F(OptionFormTest, CheckBoxesAndIndentButtonsKeepEachOtherConsistent) {
    struct Case {
        const char* what;
        bool h, v, d3, tree;
        bool narrow;
        std::function<void()> act;
        bool wantH, wantV, want3D;
        QStringList wantCalls;
    };
    const Case cases[] = {
        {"3D on with both rules off turns both on",
         false,
         false,
         false,
         false,
         false,
         [this] { Click(Box("OPTDKE3")); },
         true,
         true,
         true,
         {QStringLiteral("Kei3D 1")}},
        {"horizontal rules off turn 3D off",
         true,
         true,
         true,
         false,
         false,
         [this] { Click(Box("OPTDKEH")); },
         false,
         true,
         false,
         {QStringLiteral("KeiH 0")}},
        {"vertical rules off turn 3D off",
         true,
         true,
         true,
         false,
         false,
         [this] { Click(Box("OPTDKEV")); },
         true,
         false,
         false,
         {QStringLiteral("KeiV 0")}},
        {"filling the boxes calls nothing",
         false,
         false,
         false,
         false,
         false,
         [this] { form.setLines(true, true, true); },
         true,
         true,
         true,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        target.calls.clear();
        form.setLines(c.h, c.v, c.d3);
        c.act();
        EXPECT_EQ(form.horizontal(), c.wantH);
        EXPECT_EQ(form.vertical(), c.wantV);
        EXPECT_EQ(form.line3D(), c.want3D);
        EXPECT_EQ(target.calls, c.wantCalls);
    }

    // The tree display and the indent buttons.
    target.calls.clear();
    form.setTree(false);
    form.setIndentButtons(true, false);
    EXPECT_FALSE(Wid(0)->isEnabled());
    EXPECT_TRUE(Wid(1)->isEnabled());
    Click(Wid(1));  // narrower
    EXPECT_TRUE(Wid(0)->isEnabled());
    EXPECT_FALSE(Wid(1)->isEnabled());
    EXPECT_FALSE(Box("OPTDTRE")->isEnabled());  // the tree would undo the narrow indent
    Click(Wid(0));                              // wider again
    EXPECT_TRUE(Box("OPTDTRE")->isEnabled());
    Click(Box("OPTDTRE"));
    EXPECT_FALSE(Wid(0)->isEnabled());
    EXPECT_FALSE(Wid(1)->isEnabled());
    Click(Box("OPTDTRE"));
    EXPECT_FALSE(Wid(0)->isEnabled());
    EXPECT_TRUE(Wid(1)->isEnabled());
    EXPECT_EQ(target.calls, (QStringList{"Wide 1", "Wide 0", "Tree 1", "Tree 0"}));
}

TEST_F(OptionFormTest, ThreeDRulesShowTheLightenedBackgroundInItsSwatch) {
    form.setColour(1, 0xFFFFFF);
    form.setLines(false, false, false);
    Click(Box("OPTDKE3"));
    EXPECT_EQ(form.colour(1), 0xF0F0F0u);  // what OK then keeps
    EXPECT_EQ(Child<QLabel>("COLDSP", 1)->palette().color(QPalette::Window), QColor(0xF0F0F0));
}

TEST_F(OptionFormTest, PlacementBesideTheOwner) {
    const QRect screen(0, 0, 1280, 1024);
    const QSize dialog(650, 400);
    struct Case {
        const char* what;
        QRect owner;
        QPoint want;
    };
    const Case cases[] = {
        {"room on the right", QRect(10, 50, 500, 400), QPoint(510, 50)},
        {"at the screen's right edge: the left side", QRect(700, 80, 580, 400), QPoint(50, 80)},
        {"just reaching the edge counts as no room", QRect(100, 0, 530, 400), QPoint(0, 0)},
        {"a negative top counts as 0", QRect(10, -30, 500, 400), QPoint(510, 0)},
        {"no room either side: kept on the screen", QRect(0, 0, 1280, 1024), QPoint(0, 0)},
        {"no room, owner low and right: still whole on the screen", QRect(300, 900, 700, 300),
         QPoint(0, 624)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(dialogs::OptionPlacement(c.owner, dialog, screen), c.want);
    }
}

TEST_F(OptionFormTest, ColourItemsOpenTheColourDialogAndMarkTheirLabel) {
    QList<quint32> starts;
    std::optional<quint32> answer = 0x3060C0;
    dialogs::CommonDialogHooks hooks;
    hooks.colour = [&](quint32 start) {
        starts << start;
        return answer;
    };
    application.part<dialogs::DialogDoubles>().common = hooks;
    form.setColour(1, 0xFCFCFC);
    form.setColour(3, 0x8000000D);  // a system colour
    auto blue = [&](int i) {
        return Child<QLabel>("COLNAM", i)->styleSheet().contains(QStringLiteral("#0000ff"));
    };

    Click(Child<QLabel>("COLNAM", 1));
    EXPECT_EQ(starts, QList<quint32>{0xFCFCFC});
    EXPECT_TRUE(blue(1));
    EXPECT_EQ(form.colour(1), 0x3060C0u);
    EXPECT_EQ(Child<QLabel>("COLDSP", 1)->palette().color(QPalette::Window),
              QColor(0xC0, 0x60, 0x30));
    EXPECT_EQ(form.selectedItem(), 1);

    // The swatch opens the same dialog; a cancel keeps the system colour itself.
    answer.reset();
    Click(Child<QLabel>("COLDSP", 3));
    EXPECT_EQ(starts.last(), 0xD77800u);  // the colour it shows
    EXPECT_TRUE(blue(3));
    EXPECT_FALSE(blue(1));
    EXPECT_EQ(form.colour(3), 0x8000000Du);
    EXPECT_EQ(target.calls, (QStringList{"Col 1 3060c0", "Col 3 8000000d"}));

    // Without the common dialogs the items only beep.
    app::Ctx().CommonDialogReady = false;
    Click(Child<QLabel>("COLNAM", 5));
    EXPECT_EQ(platform::BeepCount(), 1);
    EXPECT_EQ(starts.size(), 2);
    EXPECT_FALSE(blue(5));
    EXPECT_EQ(target.calls.size(), 2);
}

TEST_F(OptionFormTest, FontButtonsChangeTheSampleAndTheListOnlyWhenAFontIsChosen) {
    std::optional<OptionFont> answer = OptionFont{QStringLiteral("ＭＳ 明朝"), 12, false, true};
    OptionFont seen;
    dialogs::CommonDialogHooks hooks;
    hooks.font = [&](const OptionFont& start) {
        seen = start;
        return answer;
    };
    application.part<dialogs::DialogDoubles>().common = hooks;
    form.setListFont(0, {QStringLiteral("ＭＳ Ｐゴシック"), 9.75, false, false});
    form.setListFont(1, {QStringLiteral("Arial"), 9, true, false});
    Click(Child<QPushButton>("FONBTN", 1));
    EXPECT_EQ(seen, (OptionFont{QStringLiteral("Arial"), 9, true, false}));
    EXPECT_EQ(form.listFont(1), *answer);
    EXPECT_TRUE(Child<QLabel>("OPTFON", 1)->font().italic());
    EXPECT_EQ(target.calls, QStringList{QStringLiteral("Fon ＭＳ Ｐゴシック ＭＳ 明朝 9.75 1")});
    answer.reset();  // cancelled
    Click(Child<QPushButton>("FONBTN", 0));
    EXPECT_EQ(target.calls.size(), 1);
    EXPECT_EQ(form.listFont(0).name, QStringLiteral("ＭＳ Ｐゴシック"));
    // Without the common dialogs the buttons only beep.
    app::Ctx().CommonDialogReady = false;
    answer = OptionFont{QStringLiteral("Arial"), 20, false, false};
    Click(Child<QPushButton>("FONBTN", 0));
    EXPECT_EQ(platform::BeepCount(), 1);
    EXPECT_EQ(target.calls.size(), 1);
}

TEST_F(OptionFormTest, DispOptionWaitsForOkCancelOrAClose) {
    QWidget owner;
    owner.setGeometry(20, 40, 300, 200);
    owner.show();
    struct Case {
        const char* what;
        std::function<void(OptionForm&)> end;
        short want;
    };
    const Case cases[] = {
        {"OK", [](OptionForm& f) { f.findChild<QPushButton*>("OKBTN")->click(); }, 1},
        {"ｷｬﾝｾﾙ", [](OptionForm& f) { f.findChild<QPushButton*>("CANBTN")->click(); }, 2},
        {"closed by the window manager", [](OptionForm& f) { f.close(); }, 2},
        {"Esc", [](OptionForm& f) { QTest::keyClick(&f, Qt::Key_Escape); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool shown = false;
        QTimer::singleShot(0, [&] {
            shown = form.isVisible();
            c.end(form);
        });
        EXPECT_EQ(form.DispOption(&owner), c.want);
        EXPECT_TRUE(shown);
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.answer(), c.want);
    }
    EXPECT_EQ(form.windowTitle(), QStringLiteral("オプション設定"));
    EXPECT_EQ(form.findChild<QPushButton*>("CANBTN")->text(), QStringLiteral("ｷｬﾝｾﾙ"));
}

}  // namespace
