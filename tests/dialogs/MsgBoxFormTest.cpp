// The real message box, offscreen: keys and clicks answer while MsgBoxEx waits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "dialogs/AppIcon.h"
#include "dialogs/MessageBox.h"
#include "dialogs/MsgBoxForm.h"
#include "platform/Beep.h"
#include "platform/Screen.h"
#include "platform/StdMessage.h"

using namespace dialogs;

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
    void TearDown() override {
        SetMsgBoxFallbackForced(false);
        platform::SetStdMessageHandler({});
        platform::SetBeepHandler({});
    }

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
    platform::SetStdMessageHandler([&](const QString& t, int f, const QString& title) {
        seen = {t, title, f, seen.calls + 1};
        ownerEnabledInside = owner.isEnabled();
        return reply;
    });
    platform::ResetBeepCount();

    SetMsgBoxFallbackForced(true);
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
    SetMsgBoxFallbackForced(false);

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
    platform::SetStdMessageHandler([](const QString&, int, const QString&) { return 6; });
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
    InstallStdMessageBox();
    QString shownText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        shownText = box->text();
        box->button(QMessageBox::No)->click();
    });
    SetMsgBoxFallbackForced(true);
    EXPECT_EQ(MsgBoxEx("one|two\x08", 4, {}, &owner), kAnswerNo);
    EXPECT_EQ(shownText, QStringLiteral("one\ntwo "));

    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    EXPECT_EQ(QtStandardMessageBox("x", 0x101, "t"), kAnswerCancel);
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
