#include <gtest/gtest.h>

#include <QString>
#include <random>

#include "util/TextUtil.h"

using namespace util;

TEST(TextUtil, CutRight) {
    EXPECT_EQ(CutRight("abcdef", 2), u"abcd");
    EXPECT_EQ(CutRight("ab", 2), u"");
    EXPECT_EQ(CutRight("a", 2), u"");
    EXPECT_EQ(CutRight("abc", 0), u"abc");
    EXPECT_EQ(CutRight(u"日本語"_qs, 1), u"日本"_qs);
}

TEST(TextUtil, PadLeftAndZeroPad) {
    EXPECT_EQ(PadLeft("7", 3), u"  7");
    EXPECT_EQ(PadLeft("12345", 3), u"345");  // a longer value keeps its last characters
    EXPECT_EQ(PadLeft("abc", 3), u"abc");
    EXPECT_EQ(PadLeft("", 2), u"  ");
    EXPECT_EQ(PadLeft("abc", 0), u"");
    EXPECT_EQ(ZeroPad(7, 3), u"007");
    EXPECT_EQ(ZeroPad(0, 2), u"00");
    EXPECT_EQ(ZeroPad(12345, 3), u"345");
    EXPECT_EQ(ZeroPad(2147483647, 12), u"002147483647");
}

TEST(TextUtil, AsciiCaseLeavesEverythingElse) {
    EXPECT_EQ(UpperAscii(u"abz AZ äöü ａｂ ß é 日本"_qs), u"ABZ AZ äöü ａｂ ß é 日本"_qs);
    EXPECT_EQ(LowerAscii(u"ABZ az ÄÖÜ Ａ É"_qs), u"abz az ÄÖÜ Ａ É"_qs);
    EXPECT_EQ(UpperAscii("`{@["), u"`{@[");
}

TEST(TextUtil, AnsiLenCountsWideCharactersTwice) {
    EXPECT_EQ(AnsiLen(""), 0);
    EXPECT_EQ(AnsiLen("abc"), 3);
    EXPECT_EQ(AnsiLen(u"日本語"_qs), 6);
    EXPECT_EQ(AnsiLen(u"ひらがなカタカナ"_qs), 16);
    EXPECT_EQ(AnsiLen(u"ｶﾀｶﾅ"_qs), 4);    // halfwidth katakana: one byte each
    EXPECT_EQ(AnsiLen(u"ＡＢ１"_qs), 6);  // fullwidth forms
    EXPECT_EQ(AnsiLen(u"　"_qs), 2);      // ideographic space
    EXPECT_EQ(AnsiLen(u"한글"_qs), 4);
    EXPECT_EQ(AnsiLen(u"é×Ω"_qs), 3);
    EXPECT_EQ(AnsiLen(u"𠀋"_qs), 2);  // a surrogate pair is one wide character
    EXPECT_EQ(AnsiLen(u"😀x"_qs), 3);
    EXPECT_EQ(AnsiLen(u"𝐀"_qs), 1);                               // narrow outside the basic plane
    EXPECT_EQ(AnsiLen(QString(QChar(0xD800)) + QChar(u'a')), 2);  // a lone surrogate counts 1
    EXPECT_EQ(AnsiLen(u"Folder名 File数"_qs), 15);
}

TEST(TextUtil, LastPosCases) {
    EXPECT_EQ(LastPos(20, "C:\\A\\B\\C", "\\"), 7);
    EXPECT_EQ(LastPos(6, "C:\\A\\B\\C", "\\"), 5);
    EXPECT_EQ(LastPos(5, "C:\\A\\B\\C", "\\"), 5);
    EXPECT_EQ(LastPos(4, "C:\\A\\B\\C", "\\"), 3);
    EXPECT_EQ(LastPos(2, "C:\\A\\B\\C", "\\"), 0);  // first occurrence after the limit
    EXPECT_EQ(LastPos(10, "abc", "\\"), 0);
    EXPECT_EQ(LastPos(10, "abc", ""), 0);
    EXPECT_EQ(LastPos(0, "\\abc", "\\"), 0);
    EXPECT_EQ(LastPos(2, "\\abc\\d", "\\"), 1);
    EXPECT_EQ(LastPos(1, "\\abc", "\\"), 1);
    EXPECT_EQ(LastPos(2, "a\\bc", "\\"), 2);
    EXPECT_EQ(LastPos(100, "xxabyyabzzab", "ab"), 11);
    EXPECT_EQ(LastPos(10, "xxabyyabzzab", "ab"), 7);
}

namespace {
int Straight(int limit, const QString& text, const QString& sought) {
    int best = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (i + 1 <= limit && text.mid(i).startsWith(sought)) best = i + 1;
    }
    return best;
}
}  // namespace

TEST(TextUtil, LastPosAgreesWithAPlainSearchWhenOccurrencesAreApart) {
    std::mt19937 rng(20240607);
    for (int round = 0; round < 20000; ++round) {
        const bool pair = round % 3 == 0;
        const QString sought = pair ? QStringLiteral("\\x") : QStringLiteral("\\");
        const int length = int(rng() % 40);
        QString text;
        while (text.size() < length) {
            // Occurrences never stand side by side.
            if (rng() % 3 == 0 && !text.endsWith(u'\\')) {
                text += sought;
            } else {
                text += QChar(char16_t(u'a' + rng() % 3));
            }
        }
        const int limit = int(rng() % 45) - 2;
        ASSERT_EQ(LastPos(limit, text, sought), Straight(limit, text, sought))
            << qPrintable(text) << " limit " << limit;
    }
}

TEST(TextUtil, HiLoSize) {
    EXPECT_EQ(HiLoSize(0, 0), 0);
    EXPECT_EQ(HiLoSize(0, 123), 123);
    EXPECT_EQ(HiLoSize(0, -1), Q_INT64_C(4294967295));
    EXPECT_EQ(HiLoSize(0, qint32(0x80000000u)), Q_INT64_C(2147483648));
    EXPECT_EQ(HiLoSize(1, -1), Q_INT64_C(8589934591));
    EXPECT_EQ(HiLoSize(3, 5), Q_INT64_C(3) * 4294967296 + 5);
}
