#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "settings/OptionKeys.h"
#include "settings/Settings.h"

using namespace app;
using testsupport::ReadAll;
using testsupport::WriteAll;

namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override { SetSettingsNative(file); }
    void TearDown() override { SetSettingsNative({}); }
    void Store(const QByteArray& options) { WriteAll(file, "[Options]\n" + options); }

    testsupport::TempHome home;
    QByteArray file = home.settingsFile();
};

TEST_F(SettingsTest, KeysMatchWithoutRegardToCase) {
    Store("WIDTH=9000\n");
    EXPECT_EQ(GetOptInt("WIDTH", 7800), 9000);
    Store("width=9000\n");
    EXPECT_EQ(GetOptInt("WIDTH", 7800), 9000);
    EXPECT_EQ(GetOptInt("HEIGHT", 6000), 6000);
}

TEST_F(SettingsTest, IntegersReadTheirLeadingNumberRoundedHalfToEven) {
    EXPECT_EQ(DecodeInt(" 7800"), 7800);
    EXPECT_EQ(DecodeInt("12abc"), 12);
    EXPECT_EQ(DecodeInt("abc"), 0);
    EXPECT_EQ(DecodeInt("2.5"), 2);
    EXPECT_EQ(DecodeInt("3.5"), 4);
    EXPECT_EQ(DecodeInt("-2.5"), -2);
    EXPECT_EQ(DecodeInt("-0.6"), -1);
    EXPECT_EQ(DecodeInt("1e3x"), 1000);
    EXPECT_EQ(DecodeInt("1e"), 1);
    EXPECT_EQ(DecodeInt("\t-42 7"), -42);
    EXPECT_EQ(DecodeInt("."), 0);
    EXPECT_EQ(DecodeInt("-2147483648"), -2147483648LL);
    EXPECT_FALSE(DecodeInt("2147483648").has_value());
    EXPECT_FALSE(DecodeInt("1e999999").has_value());
    // Not a number reads as 0, not as the default; out of range gives the default.
    Store("KeiDispV=wide\nKeiDispH=99999999999\n");
    EXPECT_EQ(GetOptInt("KeiDispV", 1), 0);
    EXPECT_EQ(GetOptInt("KeiDispH", 5), 5);
}

TEST_F(SettingsTest, IntegersAreWrittenWithABlankBeforeNonNegativeNumbers) {
    PutOptInt("PositionX", 300);
    PutOptInt("PositionY", -1);
    PutOptInt("WIDTH", 0);
    EXPECT_EQ(ReadAll(file), "[Options]\nPositionX= 300\nPositionY=-1\nWIDTH= 0\n");
    EXPECT_EQ(GetOptInt("PositionX", 0), 300);
    EXPECT_EQ(GetOptInt("PositionY", 0), -1);
}

TEST_F(SettingsTest, SwitchesAndBooleans) {
    Store("KB=on\nMB=On\nFULL=off\nCOLOR=yes\nTreeDisp=1\nShortSpace=0\nListLine3D=\n");
    EXPECT_TRUE(GetOptSwitch("KB", false));
    EXPECT_TRUE(GetOptSwitch("MB", false));
    EXPECT_FALSE(GetOptSwitch("FULL", true));
    EXPECT_FALSE(GetOptSwitch("COLOR", true));  // any other non-empty text is off
    EXPECT_TRUE(GetOptSwitch("Missing", true));
    EXPECT_TRUE(GetOptBool("TreeDisp", -1));
    EXPECT_FALSE(GetOptBool("ShortSpace", -1));
    EXPECT_TRUE(GetOptBool("ListLine3D", -1));  // empty gives the default
    Store("TreeDisp=\n");
    EXPECT_TRUE(OptBool("TreeDisp"));
    PutOptSwitch("KB", true);
    PutOptSwitch("MB", false);
    EXPECT_EQ(GetOpt("KB", ""), "ON");
    EXPECT_EQ(GetOpt("MB", ""), "OFF");
}

TEST_F(SettingsTest, TextsAreCutAt254CharactersAndBlankMeansMissing) {
    const QString longText(400, u'あ');
    PutOpt("FindText", longText);
    EXPECT_EQ(GetOpt("FindText", "d"), longText.left(254));
    Store("FindText=   \n");
    EXPECT_EQ(GetOpt("FindText", "d"), "d");
    PutOpt("FontName1", "ＭＳ Ｐゴシック");
    EXPECT_EQ(GetOpt("FONTNAME1", ""), "ＭＳ Ｐゴシック");
}

TEST_F(SettingsTest, ColoursIncludingSystemColours) {
    EXPECT_EQ(OptColour("SelBackCol"), 0x8000000Du);
    EXPECT_EQ(OptColour("SelForeCol"), 0x8000000Eu);
    EXPECT_EQ(OptColour("TitleBackCol"), 0xE0FF80u);
    PutOptColour("ListBackCol", 0x80000005u);
    EXPECT_EQ(ReadAll(file), "[Options]\nListBackCol=-2147483643\n");
    EXPECT_EQ(OptColour("ListBackCol"), 0x80000005u);
    Store("ListBackCol=2147483661\n");  // the unsigned spelling of 0x8000000D
    EXPECT_EQ(OptColour("ListBackCol"), 0x8000000Du);
}

TEST_F(SettingsTest, EveryKeyHasItsDefaultWithoutAFile) {
    EXPECT_EQ(OptInt("WIDTH"), 7800);
    EXPECT_EQ(OptInt("HEIGHT"), 6000);
    EXPECT_EQ(OptInt("PositionX"), 300);
    EXPECT_EQ(OptInt("PositionY"), 300);
    EXPECT_EQ(OptColour("TitleForeCol"), 0x404030u);
    EXPECT_EQ(OptColour("ListForeCol"), 0u);
    EXPECT_EQ(OptColour("ListBackCol"), 0xFCFCFCu);
    EXPECT_EQ(OptColour("ListVLineCol"), 0xB0B0B0u);
    EXPECT_EQ(OptColour("ListHLineCol"), 0xA0A0A0u);
    EXPECT_EQ(OptInt("KeiDispV"), 1);
    EXPECT_EQ(OptInt("KeiDispH"), 0);
    EXPECT_FALSE(OptBool("ListLine3D"));
    EXPECT_TRUE(OptBool("TreeDisp"));
    EXPECT_EQ(OptText("FontName1"), "ＭＳ Ｐゴシック");  // Meiryo UI is not installed here
    EXPECT_EQ(OptText("FontSize1"), "9.75");
    EXPECT_FALSE(OptBool("FontBold1"));
    EXPECT_EQ(OptText("FontName2"), "Arial");
    EXPECT_EQ(OptText("FontSize2"), "9.0");
    EXPECT_TRUE(OptBool("FontBold2"));
    EXPECT_FALSE(OptBool("ShortSpace"));
    EXPECT_FALSE(OptBool("SelTypeWin"));
    EXPECT_TRUE(OptBool("UseNewWindow"));
    EXPECT_FALSE(OptBool("UseTrash"));  // a delete deletes unless asked otherwise
    EXPECT_EQ(OptInt("BackColType"), 2);
    EXPECT_TRUE(OptSwitch("COLOR"));
    EXPECT_FALSE(OptSwitch("KB"));
    EXPECT_FALSE(OptSwitch("MB"));
    EXPECT_FALSE(OptSwitch("FULL"));
    EXPECT_EQ(OptText("ClusterFixedS"), QString(26, u'-'));
    EXPECT_EQ(OptText("RemovableList"), QString(26, u'0'));
    EXPECT_EQ(OptText("FindText"), "");
    EXPECT_EQ(OptInt("RomanFont"), -1);
    EXPECT_EQ(OptInt("BoldFont"), 0);
    for (const char* k :
         {"SizeIndex", "GapIndex", "PrnTree", "PrnVline", "PrnHline", "PrnFrame", "PrnWrap"})
        EXPECT_EQ(OptInt(k), 1) << k;
    EXPECT_EQ(LevelColourKey(3), "3ForeColor");
    EXPECT_EQ(BackgroundColourKey(7), "07BackColor");
    EXPECT_EQ(BackgroundColourKey(15), "15BackColor");
    EXPECT_NE(FindOptionKey("prnwrap"), nullptr);
    EXPECT_EQ(FindOptionKey("NoSuchKey"), nullptr);
    EXPECT_EQ(ReadAll(file), "");  // reading never writes
}

TEST_F(SettingsTest, GarbageFileGivesTheDefaults) {
    static const char kHead[] = "\x00\x01\xff\xfe[Opt\nWIDTH\n=5\n";
    static const char kTail[] = "\n[Options\x00]\nHEIGHT=1\n";
    QByteArray garbage(kHead, sizeof kHead - 1);
    garbage += QByteArray(100000, '\x80');
    garbage += QByteArray(kTail, sizeof kTail - 1);
    WriteAll(file, garbage);
    EXPECT_EQ(OptInt("WIDTH"), 7800);
    EXPECT_TRUE(OptSwitch("COLOR"));
    PutOptInt("WIDTH", 9000);
    EXPECT_EQ(OptInt("WIDTH"), 9000);
    EXPECT_TRUE(ReadAll(file).startsWith(garbage));
}

TEST_F(SettingsTest, FirstWriteCreatesTheProgramFolder) {
    const QByteArray nested = home.native() + "/new/folder/FOLDEX.Opt";
    SetSettingsNative(nested);
    PutOptSwitch("FULL", true);
    EXPECT_EQ(ReadAll(nested), "[Options]\nFULL=ON\n");
}

}  // namespace
