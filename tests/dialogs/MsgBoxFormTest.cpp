// The real message box, offscreen: keys and clicks answer while MsgBoxEx waits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <functional>

#include "MsgLayoutInput.h"
#include "dialogs/AppIcon.h"
#include "dialogs/DialogParts.h"
#include "dialogs/MessageBox.h"
#include "dialogs/MsgBoxForm.h"
#include "dialogs/MsgText.h"
#include "platform/Beep.h"
#include "platform/Screen.h"
#include "platform/StdMessage.h"

using namespace dialogs;
using msgtest::FakeWidth;

namespace {

QPushButton* Btn(const char* name) {
    return MsgBoxWindow()->findChild<QPushButton*>(name);
}

// A shown owner window; the box places itself relative to it.
class OwnerWindow : public QWidget, public MsgBoxForwarder<OwnerWindow> {
  public:
    OwnerWindow() {
        setGeometry(100, 100, 600, 400);
        show();
    }
};

class MsgBoxFormTest : public ::testing::Test {
  protected:
    // The standard box answers through this hook of the test's own application.
    void StandardBox(std::function<int(const QString&, int, const QString&)> box) {
        app::Hooks hooks;
        hooks.standardMessage = std::move(box);
        application.setHooks(std::move(hooks));
    }
    void StandardBoxOnly(bool on) { application.part<DialogDoubles>().standardBoxOnly = on; }

    app::Application application;

    // Runs MsgBoxEx and, once it waits, the action; a watchdog closes a box nobody answers.
    short Ask(const QString& text, int flags, std::function<void(MsgBoxForm*)> action,
              const QString& title = {}) {
        return AskWith(&owner, text, flags, std::move(action), title);
    }
    short AskWith(QWidget* ownerWidget, const QString& text, int flags,
                  std::function<void(MsgBoxForm*)> action, const QString& title = {}) {
        timedOut = false;
        QTimer::singleShot(0, [action] {
            MsgBoxForm* form = MsgBoxWindow();
            if (!form || !form->isWaiting()) return;
            // As a person would: once the box is up and active.
            if (!QTest::qWaitForWindowActive(form, 1000)) qWarning("message box not active");
            action(form);
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            timedOut = true;
            if (MsgBoxWindow()) MsgBoxWindow()->close();
        });
        watchdog.start(5000);
        return MsgBoxEx(text, flags, title, ownerWidget);
    }

    static void Key(MsgBoxForm* form, int key) {
        QWidget* target = form->focusWidget() ? form->focusWidget() : form;
        QTest::keyClick(target, Qt::Key(key));
    }

    OwnerWindow owner;
    bool timedOut = false;
};

TEST_F(MsgBoxFormTest, OkAloneIgnoresYesAndNo) {
    bool stillWaiting = false;
    EXPECT_EQ(Ask("notice", 0,
                  [&](MsgBoxForm* f) {
                      Key(f, Qt::Key_Y);
                      Key(f, Qt::Key_N);
                      stillWaiting = f->isWaiting() && f->answer() == 0;
                      Key(f, Qt::Key_Escape);
                  }),
              kAnswerCancel);
    EXPECT_TRUE(stillWaiting);
    EXPECT_EQ(Ask("notice", 0, [](MsgBoxForm* f) { Key(f, Qt::Key_Return); }), kAnswerOk);
    EXPECT_EQ(Ask("notice", 0, [](MsgBoxForm* f) { Key(f, Qt::Key_Space); }), kAnswerOk);
    EXPECT_FALSE(timedOut);
}

TEST_F(MsgBoxFormTest, YesNoKeys) {
    EXPECT_EQ(Ask("q", 4, [](MsgBoxForm* f) { Key(f, Qt::Key_Y); }), kAnswerYes);
    EXPECT_EQ(Ask("q", 4, [](MsgBoxForm* f) { Key(f, Qt::Key_N); }), kAnswerNo);
    EXPECT_EQ(Ask("q", 4, [](MsgBoxForm* f) { QTest::keyClick(f->focusWidget(), 'y'); }),
              kAnswerYes);
    EXPECT_EQ(Ask("q", 4, [](MsgBoxForm* f) { Key(f, Qt::Key_Return); }), kAnswerYes);
    EXPECT_EQ(Ask("q", 0x104, [](MsgBoxForm* f) { Key(f, Qt::Key_Return); }), kAnswerNo);
    // Without Cancel or OK, Esc does nothing and the box keeps waiting.
    bool stillWaiting = false;
    EXPECT_EQ(Ask("q", 4,
                  [&](MsgBoxForm* f) {
                      Key(f, Qt::Key_Escape);
                      stillWaiting = f->isWaiting() && f->isVisible();
                      Btn("NOBTN")->click();
                  }),
              kAnswerNo);
    EXPECT_TRUE(stillWaiting);
    EXPECT_FALSE(timedOut);
}

TEST_F(MsgBoxFormTest, YesNoCancelWithNoAsDefault) {
    QWidget* focused = nullptr;
    bool noIsDefault = false;
    EXPECT_EQ(Ask("q", 0x103,
                  [&](MsgBoxForm* f) {
                      focused = f->focusWidget();
                      noIsDefault = Btn("NOBTN")->isDefault();
                      Key(f, Qt::Key_Return);
                  }),
              kAnswerNo);
    EXPECT_EQ(focused, Btn("NOBTN"));
    EXPECT_TRUE(noIsDefault);
    EXPECT_EQ(Ask("q", 0x103, [](MsgBoxForm* f) { Key(f, Qt::Key_Escape); }), kAnswerCancel);
    EXPECT_EQ(Ask("q", 0x103, [](MsgBoxForm* f) { Key(f, Qt::Key_Y); }), kAnswerYes);
    EXPECT_EQ(Ask("q", 0x103, [](MsgBoxForm* f) { Key(f, Qt::Key_Space); }), kAnswerNo);
    EXPECT_EQ(Ask("q", 0x203, [](MsgBoxForm* f) { Key(f, Qt::Key_Return); }), kAnswerCancel);
    EXPECT_FALSE(timedOut);
}

TEST_F(MsgBoxFormTest, OkCancelWithCancelFocused) {
    QStringList shown;
    EXPECT_EQ(Ask("q", 0x101,
                  [&](MsgBoxForm* f) {
                      for (const char* n : {"YESBTN", "NOBTN", "CANBTN", "OKBTN"}) {
                          if (Btn(n)->isVisible()) shown << n;
                      }
                      EXPECT_EQ(f->focusWidget(), Btn("CANBTN"));
                      Key(f, Qt::Key_Return);
                  }),
              kAnswerCancel);
    EXPECT_EQ(shown, QStringList({"CANBTN", "OKBTN"}));
    EXPECT_EQ(Ask("q", 0x101, [](MsgBoxForm*) { Btn("OKBTN")->click(); }), kAnswerOk);
    EXPECT_EQ(Ask("q", 0x101, [](MsgBoxForm* f) { Key(f, Qt::Key_Escape); }), kAnswerCancel);
    EXPECT_FALSE(timedOut);
}

TEST_F(MsgBoxFormTest, ButtonsLeftToRightWithCaptions) {
    QList<int> lefts;
    Ask("q", 3, [&](MsgBoxForm*) {
        for (const char* n : {"YESBTN", "NOBTN", "CANBTN"}) lefts << Btn(n)->x();
        EXPECT_FALSE(Btn("OKBTN")->isVisible());
        Btn("YESBTN")->click();
    });
    ASSERT_EQ(lefts.size(), 3);
    EXPECT_LT(lefts[0], lefts[1]);
    EXPECT_LT(lefts[1], lefts[2]);
    EXPECT_EQ(Btn("YESBTN")->text(), QStringLiteral("はい(&Y)"));
    EXPECT_EQ(Btn("NOBTN")->text(), QStringLiteral("いいえ(&N)"));
    EXPECT_EQ(Btn("CANBTN")->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(Btn("OKBTN")->text(), QStringLiteral("OK"));
    ASSERT_NE(MsgBoxWindow()->findChild<QLabel*>("ICOIMG"), nullptr);
}

TEST_F(MsgBoxFormTest, WindowCloseAnswersCancel) {
    EXPECT_EQ(Ask("q", 4, [](MsgBoxForm* f) { f->close(); }), kAnswerCancel);
    EXPECT_EQ(Ask("q", 0, [](MsgBoxForm* f) { f->close(); }), kAnswerCancel);
    EXPECT_FALSE(timedOut);
}

TEST_F(MsgBoxFormTest, OwnerDisabledWhileWaitingTopmostAndOneBeep) {
    platform::ResetBeepCount();
    bool ownerEnabled = true;
    bool topmost = false;
    bool arrow = false;
    int beeps = -1;
    Ask("q", 4, [&](MsgBoxForm* f) {
        ownerEnabled = owner.isEnabled();
        topmost = f->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        arrow = QGuiApplication::overrideCursor() &&
                QGuiApplication::overrideCursor()->shape() == Qt::ArrowCursor;
        beeps = platform::BeepCount();
        Key(f, Qt::Key_Y);
    });
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(topmost);
    EXPECT_TRUE(arrow);
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_FALSE(MsgBoxWindow()->isVisible());
    EXPECT_FALSE(MsgBoxWindow()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    Ask("q", 0, [](MsgBoxForm* f) { Key(f, Qt::Key_Return); });
    EXPECT_EQ(platform::BeepCount(), 2);

    // An owner that was disabled before stays disabled.
    owner.setEnabled(false);
    Ask("q", 0, [](MsgBoxForm* f) { Key(f, Qt::Key_Return); });
    EXPECT_FALSE(owner.isEnabled());
    owner.setEnabled(true);
}

TEST_F(MsgBoxFormTest, BoxIsKeptBetweenCallsAndTakesTheTitle) {
    MsgBoxForm* first = nullptr;
    QString caption;
    Ask(
        "q", 0,
        [&](MsgBoxForm* f) {
            first = f;
            caption = f->windowTitle();
            Key(f, Qt::Key_Return);
        },
        QStringLiteral("削除"));
    EXPECT_EQ(caption, QStringLiteral("削除"));
    MsgBoxForm* second = nullptr;
    Ask("q", 0, [&](MsgBoxForm* f) {
        second = f;
        caption = f->windowTitle();
        Key(f, Qt::Key_Return);
    });
    EXPECT_EQ(first, second);
    EXPECT_EQ(caption, QStringLiteral("FOLDEX32"));
    EXPECT_EQ(MsgBoxWindow()->objectName(), QStringLiteral("MsgBoxForm"));
    EXPECT_FALSE(MsgBoxWindow()->windowFlags().testFlag(Qt::WindowCloseButtonHint));

    // The forwarding method passes the window itself as the owner.
    bool ownerEnabled = true;
    QTimer::singleShot(0, [&] {
        ownerEnabled = owner.isEnabled();
        Key(MsgBoxWindow(), Qt::Key_N);
    });
    EXPECT_EQ(owner.MsgBoxEx("q", 4), kAnswerNo);
    EXPECT_FALSE(ownerEnabled);
}

TEST_F(MsgBoxFormTest, NewWindowHasDesignCaption) {
    MsgBoxForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("問い合わせ"));
    EXPECT_TRUE(form.findChild<QPushButton*>("OKBTN")->isDefault());
}

TEST_F(MsgBoxFormTest, PlacedOverTheOwnerAndDrawsItsText) {
    const int tpp = platform::TwipsPerPixel();
    QPoint pos;
    QSize size;
    QImage shot;
    Ask("\x01■■■■|two|three", 0, [&](MsgBoxForm* f) {
        pos = f->frameGeometry().topLeft();
        size = f->frameGeometry().size();
        shot = f->grab().toImage();
        f->close();
    });
    const QRect o = owner.frameGeometry();
    const QPoint expected(o.left() + (o.width() * tpp / 5) * 4 / tpp,
                          o.top() + (o.height() * tpp / 5) * 4 / tpp);
    EXPECT_LE((pos - expected).manhattanLength(), 2);
    EXPECT_GE(size.height() * tpp, 1410 - tpp);  // the minimum, less rounding
    EXPECT_EQ(MsgBoxWindow()->msgLayout().iconTop, 330);

    // The first line is drawn in the table's blue from x = 750 twips.
    int blue = 0;
    int blueLeftOfText = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (shot.pixelColor(x, y) != QColor(0, 0, 224)) continue;
            ++blue;
            if (x < 750 / tpp) ++blueLeftOfText;
        }
    }
    EXPECT_GT(blue, 20);
    EXPECT_EQ(blueLeftOfText, 0);
}

TEST_F(MsgBoxFormTest, FlushWithTheScreenNearItsEdge) {
    const QRect screen = platform::ScreenRectPixels();
    ASSERT_FALSE(screen.isEmpty());
    OwnerWindow nearEdge;
    nearEdge.setGeometry(screen.right() - 50, screen.bottom() - 50, 400, 300);
    QRect frame;
    AskWith(&nearEdge, "q", 0, [&](MsgBoxForm* f) {
        frame = f->frameGeometry();
        f->close();
    });
    EXPECT_LE(std::abs(frame.right() + 1 - (screen.right() + 1)), 1);
    EXPECT_LE(std::abs(frame.bottom() + 1 - (screen.bottom() + 1 - 60)), 1);
}

TEST_F(MsgBoxFormTest, FallbackWhenTheBoxCannotBePrepared) {
    struct Seen {
        QString text, title;
        int flags = -1;
        int calls = 0;
    } seen;
    int reply = kAnswerNo;
    bool ownerEnabledInside = true;
    StandardBox([&](const QString& t, int f, const QString& title) {
        seen = {t, title, f, seen.calls + 1};
        ownerEnabledInside = owner.isEnabled();
        return reply;
    });
    platform::ResetBeepCount();

    StandardBoxOnly(true);
    EXPECT_EQ(MsgBoxEx("A\x01"
                       "B|C\x08",
                       0x104, QStringLiteral("題"), &owner),
              kAnswerNo);
    EXPECT_EQ(seen.text, QStringLiteral("A B\rC "));
    EXPECT_EQ(seen.title, QStringLiteral("FOLDEX32"));
    EXPECT_EQ(seen.flags, 0x104);
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // With the OK-alone flags the fallback answers 0.
    reply = kAnswerOk;
    EXPECT_EQ(MsgBoxEx("n", 0, {}, &owner), 0);
    reply = 4;  // retry: not an answer the program knows
    EXPECT_EQ(MsgBoxEx("n", 5, {}, &owner), kAnswerCancel);
    StandardBoxOnly(false);

    // No owner, or an owner without a size, cannot place the box.
    reply = kAnswerYes;
    EXPECT_EQ(MsgBoxEx("n", 4, {}, nullptr), kAnswerYes);
    QWidget flat;
    flat.setGeometry(0, 0, 0, 0);
    EXPECT_EQ(MsgBoxEx("n", 3, {}, &flat), kAnswerYes);
    EXPECT_EQ(seen.calls, 5);
    EXPECT_EQ(platform::BeepCount(), 0);
}

TEST_F(MsgBoxFormTest, CallWhileWaitingUsesTheStandardBox) {
    int nested = -1;
    StandardBox([](const QString&, int, const QString&) { return 6; });
    EXPECT_EQ(Ask("outer", 4,
                  [&](MsgBoxForm* f) {
                      nested = MsgBoxEx("inner", 4, {}, &owner);
                      Key(f, Qt::Key_N);
                  }),
              kAnswerNo);
    EXPECT_EQ(nested, kAnswerYes);
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_FALSE(timedOut);
}

TEST_F(MsgBoxFormTest, StandardBoxThroughQMessageBox) {
    app::Hooks desktop;
    AddDesktopHooks(desktop);
    application.setHooks(std::move(desktop));
    QString shownText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        shownText = box->text();
        box->button(QMessageBox::No)->click();
    });
    StandardBoxOnly(true);
    EXPECT_EQ(MsgBoxEx("one|two\x08", 4, {}, &owner), kAnswerNo);
    EXPECT_EQ(shownText, QStringLiteral("one\ntwo "));

    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    EXPECT_EQ(QtStandardMessageBox("x", 0x101, "t"), kAnswerCancel);
}

QString Code(int c) {
    return QString(QChar(char16_t(c)));
}

TEST(MsgWrapTest, BreaksWhereTheWidthRunsOut) {
    const QString smile = QString::fromUtf16(u"\U0001F600");
    const struct {
        const char* name;
        QString line;
        int maxWidth;
        QStringList expected;
    } cases[] = {
        {"fits", "abc", 300, {"abc"}},
        {"empty", "", 300, {""}},
        {"no break opportunity", QString(10, u'x'), 350, {"xxx", "xxx", "xxx", "x"}},
        {"after a blank", "ab cd ef", 550, {"ab ", "cd ef"}},
        {"after an ideographic blank",
         QStringLiteral("ああ　いいい"),
         450,
         {QStringLiteral("ああ　"), QStringLiteral("いいい")}},
        {"after a path separator", "C:\\aaa\\bbbbbb", 800, {"C:\\aaa\\", "bbbbbb"}},
        {"leading blanks alone make no line", "   xxxxxxxx", 500, {"   xx", "xxxxx", "x"}},
        {"nothing fits: one character a line", "abc", 50, {"a", "b", "c"}},
        {"surrogate pair kept whole", "a" + smile + "b", 250, {"a", smile, "b"}},
        {"surrogate pair wider than the room", smile + "b", 50, {smile, "b"}},
        {"codes stay in place",
         Code(8) + "xxxx" + Code(7) + "yy",
         300,
         {Code(8) + "xx", "xx" + Code(7), "yy"}},
    };
    for (const auto& c : cases) {
        const QStringList got = WrapMsgLine(c.line, c.maxWidth, false, FakeWidth);
        EXPECT_EQ(got, c.expected) << c.name;
        EXPECT_EQ(got.join(QString()), c.line) << c.name;  // nothing lost, nothing added
    }
    // Bold is measured wider: 120 a character.
    EXPECT_EQ(WrapMsgLine("xxxxx", 250, true, FakeWidth), QStringList({"xx", "xx", "x"}));
    // Styles carry over a wrap just as over a line break.
    MsgStyle style;
    QList<bool> bold;
    for (const QString& l : WrapMsgLine(Code(8) + "xxxx" + Code(7) + "yy", 300, false, FakeWidth))
        for (const MsgRun& r : SplitMsgLine(l, style)) bold << r.style.bold;
    EXPECT_EQ(bold, QList<bool>({true, true, false}));
}

TEST(MsgWrapTest, HugeLineCostsAboutItsLength) {
    const QString line(200000, u'x');
    qint64 measured = 0;
    const MsgMeasure counting = [&](const QString& t, bool b) {
        measured += t.size();
        return FakeWidth(t, b);
    };
    const QStringList got = WrapMsgLine(line, 5000, false, counting);
    ASSERT_EQ(got.size(), 4000);
    EXPECT_EQ(got.first(), QString(50, u'x'));
    EXPECT_EQ(got.join(QString()), line);
    EXPECT_LT(measured, 20 * line.size());
}

MsgLayoutInput CappedInput(const QStringList& lines, int buttons = 1) {
    MsgLayoutInput in = msgtest::Input(lines, buttons);
    in.workArea = in.screen;
    in.workMargin = 120;
    in.scrollBarWidth = 255;
    return in;
}

TEST(MsgLayoutCapTest, NeverPastTheUsableArea) {
    const int maxWidth = 1920 * 15 - 240;   // 28560
    const int maxHeight = 1080 * 15 - 240;  // 15960
    const struct {
        const char* name;
        QStringList lines;
        int buttons;
        int lineCount;
        bool wrapped;
        bool scrolls;
        int outerWidth;
        int outerHeight;
    } cases[] = {
        // Room for 27630 twips of text a line: 276 characters.
        {"one wide line wraps",
         {QString(400, u'w')},
         1,
         2,
         true,
         false,
         90 + 27600 + 840,
         360 + 2 * 240 + 645},
        // (15960 - 360 - 645) / 240 = 62 lines are shown.
        {"many lines scroll", QStringList(100, "x"), 2, 100, false, true, 2 * 1215 + 900,
         360 + 62 * 240 + 645},
        // With the scroll bar beside it, 273 characters a line.
        {"wide and many", QStringList(100, QString(300, u'w')), 3, 200, true, true,
         90 + 27300 + 840 + 255, 360 + 62 * 240 + 645},
        {"exactly as wide as the room",
         {QString(276, u'w')},
         1,
         1,
         false,
         false,
         90 + 27600 + 840,
         1410},
    };
    for (const auto& c : cases) {
        const MsgLayoutInput in = CappedInput(c.lines, c.buttons);
        const MsgLayout l = ComputeMsgLayout(in);
        EXPECT_EQ(l.lineCount, c.lineCount) << c.name;
        EXPECT_EQ(l.lines.size(), c.lineCount) << c.name;
        EXPECT_EQ(l.wrapped, c.wrapped) << c.name;
        EXPECT_EQ(l.scrolls, c.scrolls) << c.name;
        EXPECT_EQ(l.outer.size(), QSize(c.outerWidth, c.outerHeight)) << c.name;
        EXPECT_LE(l.outer.width(), maxWidth) << c.name;
        EXPECT_LE(l.outer.height(), maxHeight) << c.name;
        EXPECT_TRUE(in.workArea.contains(l.outer)) << c.name;
        EXPECT_EQ(l.lines.join(QString()), c.lines.join(QString())) << c.name;
        EXPECT_LE(l.textArea.bottom(), l.buttonTop) << c.name;
        EXPECT_LE(l.buttonTop + kMsgButtonHeight, l.inner.height()) << c.name;
        for (int left : l.buttonLefts) EXPECT_GE(left, 0) << c.name;
        EXPECT_LE(l.buttonLefts.last() + kMsgButtonWidth, l.inner.width()) << c.name;
    }
}

TEST(MsgLayoutCapTest, PulledIntoTheUsableArea) {
    const struct {
        const char* name;
        QRect owner;
        QRect workArea;
        int lines;
        QPoint expected;
    } cases[] = {
        // Off the left and top: the rule of the right and bottom edges does not catch it.
        {"owner off the top left", QRect(-20000, -20000, 1000, 1000), QRect(0, 0, 28800, 16200), 1,
         QPoint(0, 0)},
        // A taskbar at the right: the screen's edge is not the usable edge.
        {"taskbar at the right", QRect(20000, 3000, 9000, 6000), QRect(0, 0, 27000, 16200), 1,
         QPoint(27000 - 2115, 3000 + 1200 * 4)},
        // A second screen right of the first: the box stays on the owner's screen.
        {"owner on a second screen", QRect(40000, 3000, 9000, 6000), QRect(28800, 0, 28800, 16200),
         1, QPoint(28800, 3000 + 1200 * 4)},
        // Fits the screen, but not between its top and the 60 pixels kept at the bottom.
        {"too tall for the bottom rule", QRect(1500, 3000, 9000, 6000), QRect(0, 0, 28800, 16200),
         60, QPoint(1500 + 1800 * 4, 0)},
    };
    for (const auto& c : cases) {
        MsgLayoutInput in = CappedInput(QStringList(c.lines, "x"));
        in.owner = c.owner;
        in.workArea = c.workArea;
        const MsgLayout l = ComputeMsgLayout(in);
        EXPECT_EQ(l.outer.topLeft(), c.expected) << c.name;
        EXPECT_TRUE(c.workArea.contains(l.outer)) << c.name;
    }
}

QString LongPath(int length, QChar tag) {
    QString p = QStringLiteral("C:\\");
    while (p.size() < length) p += QString(20, tag) + u'\\';
    return p.left(length);
}

QRect GlobalRect(const QWidget* w) {
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

TEST_F(MsgBoxFormTest, NeverWiderOrTallerThanTheScreen) {
    const QString b = Code(8), r = Code(7);
    const QString overwrite =
        QStringLiteral("保存先 ") + b + QStringLiteral("D:\\BACKUP") + r +
        QStringLiteral(" には、|既に日付の") + Code(5) + QStringLiteral("新しいファイル") +
        Code(0) + QStringLiteral("があります||") + b +
        QStringLiteral("【転送元】　[2024/05/01 10:00]") + LongPath(2000, u'a') + b +
        QStringLiteral("【保存先】　[2024/06/01 10:00]") + LongPath(2000, u'b') +
        QStringLiteral("||日付の古い") + Code(1) + QStringLiteral("x.txt") + Code(0) +
        QStringLiteral("で上書きしていいですか？");
    QStringList manyLines;
    for (int i = 0; i < 200; ++i) manyLines << QStringLiteral("フォルダー %1").arg(i);
    const struct {
        const char* name;
        QString text;
        int flags;
        const char* click;
        short answer;
        bool fits;
    } cases[] = {
        {"short", QStringLiteral("削除しますか？"), 4, "NOBTN", kAnswerNo, true},
        {"short, three lines", "A|" + b + "B|C", 0x103, "YESBTN", kAnswerYes, true},
        {"one path of 3000 characters",
         QStringLiteral("フォルダー ") + b + LongPath(3000, u'p') + r +
             QStringLiteral(" を削除しますか？"),
         0x104, "YESBTN", kAnswerYes, false},
        {"overwrite question with two long paths", overwrite, 0x103, "CANBTN", kAnswerCancel,
         false},
        {"many lines", manyLines.join(u'|'), 0x101, "OKBTN", kAnswerOk, false},
    };
    const int tpp = platform::TwipsPerPixel();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QRect frame, inner, area, textArea;
        QList<QRect> buttons;
        QSize uncapped;
        MsgLayout layout;
        bool scrollerShown = false;
        bool piecesInside = true;
        bool focusOnButton = false;
        int scrollMax = -1, scrollAfterPageDown = -1, viewHeight = -1, buttonTop = -1;
        EXPECT_EQ(Ask(c.text, c.flags,
                      [&](MsgBoxForm* f) {
                          frame = f->frameGeometry();
                          inner = f->rect();
                          area = f->screen()->availableGeometry();
                          layout = f->msgLayout();
                          for (const char* n : {"YESBTN", "NOBTN", "CANBTN", "OKBTN"}) {
                              if (Btn(n)->isVisible()) buttons << GlobalRect(Btn(n));
                          }
                          // What the same text takes without a screen to fit.
                          MsgLayoutInput in;
                          in.lines = MsgLines(c.text);
                          in.boldFace = MsgHasBold(c.text);
                          in.buttonCount = int(buttons.size());
                          in.frame = (frame.size() - f->size()) * tpp;
                          in.twipsPerPixel = tpp;
                          in.lineHeight = MsgLineHeight(f->font(), tpp);
                          in.measure = MsgFontMeasure(f->font(), tpp);
                          in.screen = QRect(0, 0, 1 << 24, 1 << 24);
                          uncapped = ComputeMsgLayout(in).outer.size() / tpp;
                          // Every run of text ends inside the box.
                          for (const MsgPiece& p : f->pieces()) {
                              if (p.x + in.measure(p.text, p.style.bold) > inner.width() * tpp)
                                  piecesInside = false;
                          }
                          QScrollArea* scroller = f->textScroller();
                          scrollerShown = scroller->isVisible();
                          if (scrollerShown) {
                              textArea = scroller->geometry();
                              viewHeight = scroller->widget()->height();
                              scrollMax = scroller->verticalScrollBar()->maximum();
                              Key(f, Qt::Key_PageDown);
                              scrollAfterPageDown = scroller->verticalScrollBar()->value();
                          }
                          buttonTop = Btn(c.click)->y();
                          // Scrolling leaves the focus, and so the keys, on a button.
                          focusOnButton = qobject_cast<QPushButton*>(f->focusWidget());
                          QTest::mouseClick(Btn(c.click), Qt::LeftButton);
                      }),
                  c.answer);
        EXPECT_FALSE(timedOut);
        EXPECT_TRUE(area.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        ASSERT_FALSE(buttons.isEmpty());
        for (const QRect& br : buttons) {
            EXPECT_TRUE(area.contains(br));
            EXPECT_TRUE(frame.contains(br));
        }
        EXPECT_TRUE(piecesInside);
        // No text is lost to the wrapping.
        EXPECT_EQ(layout.lines.join(QString()), MsgLines(c.text).join(QString()));
        if (c.fits) {
            EXPECT_EQ(frame.size(), uncapped);
            EXPECT_FALSE(layout.wrapped);
            EXPECT_FALSE(scrollerShown);
        } else {
            EXPECT_TRUE(layout.wrapped || layout.scrolls);
            if (layout.wrapped) {
                EXPECT_LT(frame.width(), uncapped.width());
            }
            if (layout.scrolls) {  // the lines alone are taller than the box
                EXPECT_LT(frame.height() * tpp, layout.lineCount * layout.lineHeight);
            }
        }
        EXPECT_TRUE(focusOnButton);
        EXPECT_EQ(scrollerShown, layout.scrolls);
        if (layout.scrolls) {
            // Every line can be scrolled into view, and the text stays above the buttons.
            EXPECT_GE(viewHeight * tpp, layout.lineCount * layout.lineHeight);
            EXPECT_GT(scrollMax, 0);
            EXPECT_GT(scrollAfterPageDown, 0);
            EXPECT_LT(textArea.bottom(), buttonTop);
        }
    }
}

TEST(AppIconTest, FolderAndRuleOnTransparentGround) {
    const QImage icon = PaintAppIcon(32);
    ASSERT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(31, 0)), 0);
    const QColor folder = icon.pixelColor(10, 20);
    EXPECT_GT(folder.red(), 200);
    EXPECT_GT(folder.green(), 150);
    EXPECT_LT(folder.blue(), 100);
    EXPECT_EQ(icon.pixelColor(27, 15).alpha(), 255);  // the rule
    // Crisp at its design size: no half-covered pixels.
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int a = qAlpha(icon.pixel(x, y));
            ASSERT_TRUE(a == 0 || a == 255) << x << "," << y;
        }
    }
    EXPECT_EQ(PaintAppIcon(64).size(), QSize(64, 64));
    EXPECT_FALSE(AppIcon().isNull());
}

}  // namespace
