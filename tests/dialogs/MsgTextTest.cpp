// Message mark-up, colours, button sets and the box layout, without widgets.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "MsgLayoutInput.h"
#include "dialogs/MsgText.h"

using namespace dialogs;
using msgtest::FakeWidth;
using msgtest::Input;

namespace {
QString Code(int c) {
    return QString(QChar(char16_t(c)));
}

}  // namespace

TEST(MsgText, LineBreaks) {
    EXPECT_EQ(MsgLines("AB|CD"), QStringList({"AB", "CD"}));
    EXPECT_EQ(MsgLines("AB"), QStringList({"AB"}));
    EXPECT_EQ(MsgLines("AB|"), QStringList({"AB"}));
    EXPECT_EQ(MsgLines("AB\r\nCD"), QStringList({"AB", "CD"}));
    EXPECT_EQ(MsgLines("AB\rCD"), QStringList({"AB", "CD"}));
    EXPECT_EQ(MsgLines("AB\nCD\n"), QStringList({"AB", "CD"}));
    EXPECT_EQ(MsgLines("AB\r"), QStringList({"AB"}));
    EXPECT_TRUE(MsgLines("").isEmpty());
    EXPECT_EQ(MsgLines("|"), QStringList({""}));
    EXPECT_EQ(MsgLines("||A"), QStringList({"", "", "A"}));
}

TEST(MsgText, CrLfCountsOnceButLfCrMakesAnEmptyLine) {
    EXPECT_EQ(PrepareMsgText("A\r\nB"), "A|B|");
    EXPECT_EQ(MsgLines("A\n\rB"), QStringList({"A", "", "B"}));
    EXPECT_EQ(MsgLines("A\r\n\r\nB"), QStringList({"A", "", "B"}));
    EXPECT_EQ(MsgLines("A\r\r\nB"), QStringList({"A", "", "B"}));
    // Japanese text and a character whose code has a low byte of 1..8 are plain text.
    EXPECT_EQ(MsgLines(QStringLiteral("削除|\u0108")),
              QStringList({QStringLiteral("削除"), QStringLiteral("\u0108")}));
}

TEST(MsgText, ColourTable) {
    const struct {
        int code;
        QColor rgb;
    } expected[] = {{0, QColor(0, 0, 0)},    {1, QColor(0, 0, 224)},  {2, QColor(0, 112, 0)},
                    {3, QColor(0, 48, 144)}, {4, QColor(160, 0, 64)}, {5, QColor(144, 0, 144)},
                    {6, QColor(192, 80, 48)}};
    for (const auto& e : expected) EXPECT_EQ(MsgColour(e.code), e.rgb) << e.code;
    EXPECT_EQ(MsgColour(7), QColor(0, 0, 0));
    EXPECT_EQ(MsgColour(-1), QColor(0, 0, 0));
    // A damaged entry reads as black rather than as a stray value.
    const auto table = ParseMsgColourTable("0000FF zzzzzz 00FF00");
    EXPECT_EQ(table[0], QColor(255, 0, 0));
    EXPECT_EQ(table[1], QColor(0, 0, 0));
    EXPECT_EQ(table[2], QColor(0, 255, 0));
    EXPECT_EQ(table[3], QColor(0, 0, 0));
}

TEST(MsgText, RunsCarryColourAndWeightAcrossLines) {
    MsgStyle style;
    const QList<MsgRun> first = SplitMsgLine(Code(1) + "AB" + Code(8) + "CD" + Code(8), style);
    ASSERT_EQ(first.size(), 2);
    EXPECT_EQ(first[0], (MsgRun{"AB", {1, false}}));
    EXPECT_EQ(first[1], (MsgRun{"CD", {1, true}}));
    EXPECT_EQ(style, (MsgStyle{1, true}));

    // The next line starts bold and blue from its first character.
    const QList<MsgRun> second = SplitMsgLine("EF" + Code(7) + Code(0) + "G", style);
    ASSERT_EQ(second.size(), 2);
    EXPECT_EQ(second[0], (MsgRun{"EF", {1, true}}));
    EXPECT_EQ(second[1], (MsgRun{"G", {0, false}}));

    MsgStyle plain;
    EXPECT_TRUE(SplitMsgLine(Code(6) + Code(8), plain).isEmpty());
    EXPECT_EQ(plain, (MsgStyle{6, true}));
    EXPECT_TRUE(MsgHasBold("a|b" + Code(8)));
    EXPECT_FALSE(MsgHasBold("a|b" + Code(7)));
}

TEST(MsgText, FallbackText) {
    EXPECT_EQ(MsgFallbackText("A" + Code(0) + "B|C" + Code(8) + "\r\nD"), "A B\rC \r\nD");
    EXPECT_EQ(MsgFallbackText(Code(9) + "x"), Code(9) + "x");  // a tab is not a code
}

TEST(MsgText, ButtonSetsAndFocus) {
    using B = MsgButton;
    const struct {
        int flags;
        QList<B> buttons;
        B focus;
        bool makeDefault;
    } cases[] = {
        {0, {B::Ok}, B::Ok, true},
        {2, {B::Ok}, B::Ok, true},
        {5, {B::Ok}, B::Ok, true},
        {0x100, {B::Ok}, B::Ok, true},
        {0x30, {B::Ok}, B::Ok, true},  // icon bits do not matter to the box
        {1, {B::Ok, B::Cancel}, B::Ok, true},
        {0x101, {B::Ok, B::Cancel}, B::Cancel, false},
        {0x201, {B::Ok, B::Cancel}, B::Ok, true},
        {4, {B::Yes, B::No}, B::Yes, true},
        {0x104, {B::Yes, B::No}, B::No, true},
        {0x204, {B::Yes, B::No}, B::Yes, true},
        {3, {B::Yes, B::No, B::Cancel}, B::Yes, true},
        {0x103, {B::Yes, B::No, B::Cancel}, B::No, true},
        {0x203, {B::Yes, B::No, B::Cancel}, B::Cancel, false},
    };
    for (const auto& c : cases) {
        const MsgButtonSet set = MsgButtonsFor(c.flags);
        EXPECT_EQ(set.buttons, c.buttons) << c.flags;
        EXPECT_EQ(set.focus, c.focus) << c.flags;
        EXPECT_EQ(set.makeDefault, c.makeDefault) << c.flags;
    }
}

TEST(MsgLayoutTest, IconMovesDownFromThreeLines) {
    EXPECT_EQ(ComputeMsgLayout(Input({"a", "b"})).iconTop, 120);
    EXPECT_EQ(ComputeMsgLayout(Input({"a", "b", "c"})).iconTop, 330);
    EXPECT_EQ(ComputeMsgLayout(Input({})).iconTop, 120);
}

TEST(MsgLayoutTest, MinimumSizes) {
    // A short notice: 90 + 200 + 840 is below 1215 + 900; 360 + 240 + 645 is below 1410.
    MsgLayout l = ComputeMsgLayout(Input({"OK"}));
    EXPECT_EQ(l.outer.size(), QSize(1215 + 900, 1410));
    EXPECT_EQ(l.inner, QSize(1215 + 900 - 90, 1410 - 360));
    // Three buttons need more room.
    l = ComputeMsgLayout(Input({"x"}, 3));
    EXPECT_EQ(l.outer.width(), 3 * 1215 + 900);
}

TEST(MsgLayoutTest, SizeFollowsTextAndFrame) {
    MsgLayoutInput in = Input({"short", QString(30, u'w'), "mid"}, 2);
    MsgLayout l = ComputeMsgLayout(in);
    EXPECT_EQ(l.textWidth, 3000);
    EXPECT_EQ(l.outer.width(), 90 + 3000 + 750 + 90);
    EXPECT_EQ(l.outer.height(), 360 + 3 * 240 + 210 + 315 + 120);
    EXPECT_EQ(l.lineCount, 3);

    // A bold-on code anywhere measures every line in bold.
    in.boldFace = true;
    EXPECT_EQ(ComputeMsgLayout(in).textWidth, 3600);
}

TEST(MsgLayoutTest, ButtonsCentredAtTheBottom) {
    MsgLayout l = ComputeMsgLayout(Input({"x"}, 3));
    const int inner = 3 * 1215 + 900 - 90;
    const int first = (inner - 3 * 1215) / 2;
    EXPECT_EQ(l.buttonLefts, QList<int>({first, first + 1275, first + 2550}));
    EXPECT_EQ(l.buttonTop, 1410 - 360 - 315 - 60);

    // An odd free width is halved with truncation.
    MsgLayoutInput in = Input({QString(40, u'w')}, 1);
    in.frame = QSize(91, 360);
    l = ComputeMsgLayout(in);
    EXPECT_EQ(l.inner.width(), 4000 + 840);
    EXPECT_EQ(l.buttonLefts, QList<int>({(4840 - 1215) / 2}));
}

TEST(MsgLayoutTest, FourFifthsAcrossAndDownTheOwner) {
    const MsgLayout l = ComputeMsgLayout(Input({"x"}));
    EXPECT_EQ(l.outer.topLeft(), QPoint(1500 + 1800 * 4, 3000 + 1200 * 4));
}

TEST(MsgLayoutTest, HeldOnScreenAtTheRightAndBottom) {
    MsgLayoutInput in = Input({"x"});
    const int sw = in.screen.width();
    const int sh = in.screen.height();
    in.owner = QRect(sw - 500, sh - 500, 1000, 1000);
    MsgLayout l = ComputeMsgLayout(in);
    EXPECT_EQ(l.outer.right() + 1, sw);
    EXPECT_EQ(l.outer.bottom() + 1, sh - 60 * 15);

    // Exactly flush is left alone; the rule only pulls back what passes the edge.
    in.owner = QRect(0, 0, 100, 100);
    in.screen = QRect(0, 0, 80 + 2115, 80 + 1410 + 900);
    l = ComputeMsgLayout(in);
    EXPECT_EQ(l.outer.topLeft(), QPoint(80, 80));
    in.screen.setWidth(in.screen.width() - 1);
    in.screen.setHeight(in.screen.height() - 1);
    EXPECT_EQ(ComputeMsgLayout(in).outer.topLeft(), QPoint(79, 79));

    // Near the left and top nothing moves, even off the screen.
    in = Input({"x"});
    in.owner = QRect(-20000, -20000, 1000, 1000);
    EXPECT_EQ(ComputeMsgLayout(in).outer.topLeft(), QPoint(-20000 + 800, -20000 + 800));
}

TEST(MsgLayoutTest, LineWiderThanTheScreenGivesNegativeLeft) {
    MsgLayoutInput in = Input({QString(400, u'w')});
    const MsgLayout l = ComputeMsgLayout(in);
    EXPECT_GT(l.outer.width(), in.screen.width());
    EXPECT_EQ(l.outer.left(), in.screen.width() - l.outer.width());
    EXPECT_LT(l.outer.left(), 0);
}

TEST(MsgLayoutTest, HugeTextDoesNotOverflow) {
    MsgLayoutInput in = Input({"x"});
    in.lines = QStringList(100000, "x");
    in.lineHeight = 30000;
    const MsgLayout l = ComputeMsgLayout(in);
    EXPECT_GT(l.outer.height(), 0);
    EXPECT_GT(l.inner.height(), 0);
}

TEST(MsgText, PlacesRunsAtTwipPositions) {
    const QStringList lines = {"AB" + Code(8) + "CD", "E" + Code(7) + "F"};
    const QList<MsgPiece> pieces = PlaceMsgLines(lines, {}, 750, 210, 240, FakeWidth);
    ASSERT_EQ(pieces.size(), 4);
    EXPECT_EQ(QPoint(pieces[0].x, pieces[0].y), QPoint(750, 210));
    EXPECT_EQ(QPoint(pieces[1].x, pieces[1].y), QPoint(950, 210));
    EXPECT_TRUE(pieces[1].style.bold);
    EXPECT_EQ(QPoint(pieces[2].x, pieces[2].y), QPoint(750, 450));
    EXPECT_TRUE(pieces[2].style.bold);  // carried from the first line
    EXPECT_EQ(QPoint(pieces[3].x, pieces[3].y), QPoint(750 + 120, 450));  // after bold "E"
    EXPECT_FALSE(pieces[3].style.bold);

    // The input box starts bold when its prompt has a bold-on code.
    const QList<MsgPiece> bold = PlaceMsgLines({"A"}, {0, true}, 780, 210, 240, FakeWidth);
    ASSERT_EQ(bold.size(), 1);
    EXPECT_EQ(bold[0].x, 780);
    EXPECT_TRUE(bold[0].style.bold);
}

TEST(MsgText, DrawsEachLineInItsColour) {
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(20);
    const int tpp = 15;
    const int h = MsgLineHeight(font, tpp);
    QImage image(300, 3 * h / tpp + 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QString block = QStringLiteral("■■■");
    const QList<MsgPiece> pieces = PlaceMsgLines({Code(1) + block, Code(4) + block}, {}, 750, 210,
                                                 h, MsgFontMeasure(font, tpp));
    {
        QPainter p(&image);
        DrawMsgPieces(p, font, pieces, tpp);
    }
    auto count = [&](QColor c, int top, int bottom) {
        int n = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == c;
        }
        return n;
    };
    const int line0 = 210 / tpp;
    const int line1 = (210 + h) / tpp;
    EXPECT_GT(count(MsgColour(1), line0, line1), 20);
    EXPECT_EQ(count(MsgColour(4), line0, line1), 0);
    EXPECT_GT(count(MsgColour(4), line1, image.height()), 20);
    EXPECT_EQ(count(MsgColour(1), line1, image.height()), 0);
    // Nothing left of the text's start at x = 750 twips.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < 750 / tpp; ++x) ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::white));
    }
}
