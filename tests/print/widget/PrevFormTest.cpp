// The print settings window on its own: page fields, Enter, buttons, settings, placement.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <memory>

#include "common/TestSupport.h"
#include "platform/Beep.h"
#include "print/widget/PrevForm.h"
#include "settings/Settings.h"

using print::PrevForm;

namespace {

void Settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

QWidget* Focus() {
    return QApplication::focusWidget();
}

class PrevFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app::SetSettingsNative(home.settingsFile());
        platform::ResetBeepCount();
        open();
    }
    void TearDown() override {
        form.reset();
        app::SetSettingsNative({});
    }
    void open() {
        form = std::make_unique<PrevForm>();
        form->setRedraw([this] { ++redraws; });
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([this] {
            QCoreApplication::processEvents();
            return form->isActiveWindow();
        }));
    }
    template <class T>
    T* Child(const char* name, int index = -1) {
        for (T* c : form->findChildren<T*>(QString::fromUtf8(name)))
            if (index < 0 || c->property("index").toInt() == index) return c;
        return nullptr;
    }
    QLineEdit* Top() { return Child<QLineEdit>("TOPLIN"); }
    QLineEdit* End() { return Child<QLineEdit>("ENDLIN"); }
    QCheckBox* Box(const char* name) { return Child<QCheckBox>(name); }
    // Types text into a page field as a person does: focus (which selects all), keys, Enter.
    void Type(QLineEdit* field, const QString& text) {
        field->setFocus(Qt::TabFocusReason);
        Settle();
        ASSERT_EQ(Focus(), field);
        QTest::keyClicks(Focus(), text);
        QTest::keyClick(Focus(), Qt::Key_Return);
        Settle();
    }
    QByteArray SettingsText() const { return testsupport::ReadAll(home.settingsFile()); }

    testsupport::TempHome home;
    std::unique_ptr<PrevForm> form;
    int redraws = 0;
};

TEST_F(PrevFormTest, PageFieldsCheckOnLeavingAndKeepTheFocus) {
    struct Case {
        const char* what;
        const char* endBefore;  // ENDLIN before typing
        const char* top;        // typed into TOPLIN, then Enter
        const char* end;        // then typed into ENDLIN (nullptr: not typed)
        int beeps;
        const char* focus;  // where the focus ends
        const char* endAfter;
    };
    const Case cases[] = {
        {"first page 0", "1", "0", nullptr, 1, "TOPLIN", "1"},
        {"first page 101", "1", "101", nullptr, 1, "TOPLIN", "1"},
        {"first page 100", "100", "100", nullptr, 0, "ENDLIN", "100"},
        {"first above last copies", "2", "7", nullptr, 0, "ENDLIN", "7"},
        {"first below last keeps", "9", "3", nullptr, 0, "ENDLIN", "9"},
        {"open end stays", "最終", "50", nullptr, 0, "ENDLIN", "最終"},
        {"last page 200", "1", "1", "200", 0, "PRNBTN", "200"},
        {"last page 201", "1", "1", "201", 1, "ENDLIN", "201"},
        {"last page 0", "1", "1", "0", 1, "ENDLIN", "0"},
        {"last page not a number", "1", "1", "x", 1, "ENDLIN", "x"},
        {"last below first", "1", "5", "4", 1, "ENDLIN", "4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        End()->setText(QString::fromUtf8(c.endBefore));
        platform::ResetBeepCount();
        Type(Top(), QString::fromUtf8(c.top));
        if (c.end) Type(End(), QString::fromUtf8(c.end));
        EXPECT_EQ(platform::BeepCount(), c.beeps);
        ASSERT_NE(Focus(), nullptr);
        EXPECT_EQ(Focus()->objectName(), QString::fromUtf8(c.focus));
        EXPECT_EQ(End()->text(), QString::fromUtf8(c.endAfter));
        // Enter never reaches the buttons: the window is still open.
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(form->PrStart);
        // Put the fields right for the next case.
        Top()->setText(QStringLiteral("1"));
        End()->setText(QStringLiteral("1"));
        Child<QPushButton>("SETBTN")->setFocus();
        Settle();
    }
}

TEST_F(PrevFormTest, EnterMovesTheFocusOnAndIsSwallowed) {
    struct Case {
        const char* from;
        int index;
        std::function<void()> before;
        const char* to;
    };
    auto* range1 = Child<QRadioButton>("頁範囲OPT", 1);
    const Case cases[] = {
        {"FONTYP", 0, {}, "SIZLST"},
        {"FONTYP", 1, {}, "SIZLST"},
        {"BLDSEL", -1, {}, "縦罫SEL"},
        {"縦罫SEL", -1, {}, "外枠SEL"},
        {"折返SEL", -1, {}, "PRNBTN"},
        {"頁範囲OPT", 0, {}, "PRNBTN"},
        {"頁範囲OPT", 1, [range1] { range1->setChecked(true); }, "TOPLIN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " " + std::to_string(c.index));
        if (c.before) c.before();
        QWidget* from = Child<QWidget>(c.from, c.index);
        ASSERT_NE(from, nullptr);
        from->setFocus(Qt::TabFocusReason);
        Settle();
        const bool checked = Box(c.from) ? Box(c.from)->isChecked() : false;
        QTest::keyClick(Focus(), Qt::Key_Return);
        Settle();
        ASSERT_NE(Focus(), nullptr);
        EXPECT_EQ(Focus()->objectName(), QString::fromUtf8(c.to));
        if (Box(c.from)) {
            EXPECT_EQ(Box(c.from)->isChecked(), checked);
        }
        EXPECT_TRUE(form->isVisible());
    }
    EXPECT_EQ(platform::BeepCount(), 0);
    EXPECT_FALSE(form->changed());
}

TEST_F(PrevFormTest, SettingsAreReadWithDefaultsAndWrittenOnlyAfterAnOptionChange) {
    // Defaults from an empty settings file.
    EXPECT_TRUE(Child<QRadioButton>("FONTYP", 0)->isChecked());
    EXPECT_EQ(Child<QComboBox>("SIZLST")->currentText(), QStringLiteral("9.75"));
    EXPECT_EQ(Child<QComboBox>("行間LST")->currentText(), QStringLiteral("1.4行"));
    EXPECT_FALSE(Box("BLDSEL")->isChecked());
    for (const char* name : {"ツリー印字SEL", "横罫SEL", "縦罫SEL", "外枠SEL", "折返SEL"})
        EXPECT_TRUE(Box(name)->isChecked()) << name;
    EXPECT_TRUE(Child<QRadioButton>("頁範囲OPT", 0)->isChecked());
    EXPECT_EQ(Top()->text(), QStringLiteral("1"));
    EXPECT_EQ(End()->text(), QStringLiteral("1"));

    // Only the page range changes: every change redraws, nothing is written on print.
    QTest::mouseClick(Child<QRadioButton>("頁範囲OPT", 1), Qt::LeftButton, {}, QPoint(6, 10));
    Type(Top(), QStringLiteral("2"));
    Type(End(), QStringLiteral("3"));
    EXPECT_GE(redraws, 3);
    EXPECT_EQ(form->firstPage(), 2);
    EXPECT_EQ(form->lastPage(), 3);
    QTest::mouseClick(Child<QPushButton>("PRNBTN"), Qt::LeftButton);
    EXPECT_TRUE(form->PrStart);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(SettingsText().isEmpty());

    // Options change; cancel keeps them unwritten, print writes them all.
    form->show();
    const int before = redraws;
    QTest::mouseClick(Box("外枠SEL"), Qt::LeftButton, {}, QPoint(6, 10));
    QTest::mouseClick(Child<QRadioButton>("FONTYP", 1), Qt::LeftButton, {}, QPoint(6, 10));
    QTest::mouseClick(Box("BLDSEL"), Qt::LeftButton, {}, QPoint(6, 10));
    auto* sizes = Child<QComboBox>("SIZLST");
    sizes->setCurrentIndex(4);
    emit sizes->activated(4);
    EXPECT_EQ(redraws, before + 4);
    EXPECT_TRUE(form->changed());
    QTest::mouseClick(Child<QPushButton>("CANBTN"), Qt::LeftButton);
    EXPECT_FALSE(form->PrStart);
    EXPECT_TRUE(SettingsText().isEmpty());
    form->show();
    QTest::mouseClick(Child<QPushButton>("PRNBTN"), Qt::LeftButton);
    EXPECT_EQ(app::GetOptInt(QStringLiteral("RomanFont"), 99), 0);
    EXPECT_EQ(app::GetOptInt(QStringLiteral("BoldFont"), 99), 1);
    EXPECT_EQ(app::GetOptInt(QStringLiteral("SizeIndex"), 99), 4);
    EXPECT_EQ(app::GetOptInt(QStringLiteral("GapIndex"), 99), 1);
    EXPECT_EQ(app::GetOptInt(QStringLiteral("PrnFrame"), 99), 0);
    EXPECT_EQ(app::GetOptInt(QStringLiteral("PrnTree"), 99), 1);

    // A new window reads them back; stored odd values fall back where they name nothing.
    app::PutOptInt(QStringLiteral("GapIndex"), 9);
    app::PutOptInt(QStringLiteral("PrnVline"), 2);  // bit 0 only
    form.reset();
    open();
    EXPECT_TRUE(Child<QRadioButton>("FONTYP", 1)->isChecked());
    EXPECT_TRUE(Box("BLDSEL")->isChecked());
    EXPECT_FALSE(Box("外枠SEL")->isChecked());
    EXPECT_FALSE(Box("縦罫SEL")->isChecked());
    EXPECT_EQ(Child<QComboBox>("SIZLST")->currentIndex(), 4);
    EXPECT_EQ(Child<QComboBox>("行間LST")->currentIndex(), 1);
    EXPECT_FALSE(form->changed());

    // The program closing the window writes a change that was never printed.
    QTest::mouseClick(Box("外枠SEL"), Qt::LeftButton, {}, QPoint(6, 10));
    EXPECT_EQ(app::GetOptInt(QStringLiteral("PrnFrame"), 99), 0);
    EXPECT_TRUE(print::PrevFormLoaded());
    form.reset();
    EXPECT_FALSE(print::PrevFormLoaded());
    EXPECT_EQ(app::GetOptInt(QStringLiteral("PrnFrame"), 99), 1);
}

TEST_F(PrevFormTest, CloseBoxAndEscCancelAndTheWindowStaysForTheNextCommand) {
    // A print with a wrong range in the fields does not start: the field gets the focus.
    Child<QRadioButton>("頁範囲OPT", 1)->setChecked(true);
    Top()->setText(QStringLiteral("0"));
    QTest::mouseClick(Child<QPushButton>("PRNBTN"), Qt::LeftButton);
    Settle();
    EXPECT_FALSE(form->PrStart);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(platform::BeepCount(), 1);
    EXPECT_EQ(Focus(), Top());
    Top()->setText(QStringLiteral("1"));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        form->PrStart = true;
        if (round == 0) {
            form->close();
        } else {
            QTest::keyClick(form.get(), Qt::Key_Escape);
        }
        EXPECT_FALSE(form->PrStart);
        EXPECT_FALSE(form->isVisible());
        EXPECT_TRUE(print::PrevFormLoaded());
        form->show();
    }
    // Shown again, it prints.
    QTest::mouseClick(Child<QPushButton>("PRNBTN"), Qt::LeftButton);
    EXPECT_TRUE(form->PrStart);
    EXPECT_EQ(platform::BeepCount(), 1);
}

TEST(PreviewPlacement, PrintableAreaSitsCentrallyOnTheSheet) {
    // A4 (11906 x 16838 twips) with printable areas of several margins, in the 261 x 369
    // pixel preview.
    const QSize outer(3915, 5535), inner(261, 369);
    for (const double margin : {0.0, 240.0, 567.0, 1000.0}) {
        SCOPED_TRACE(margin);
        const QSizeF sheet(11906, 16838), printable(11906 - 2 * margin, 16838 - 2 * margin);
        const QRect r = print::PreviewPlacement(sheet, printable, outer, inner, 15);
        // Same share of the preview as of the sheet, the same margin left and right (within
        // the rounding of a pixel or two).
        EXPECT_NEAR(r.width(), printable.width() / sheet.width() * inner.width(), 1);
        EXPECT_NEAR(r.height(), printable.height() / sheet.height() * inner.height(), 1);
        EXPECT_NEAR(r.left(), inner.width() - r.left() - r.width(), 2);
        EXPECT_NEAR(r.top(), inner.height() - r.top() - r.height(), 2);
    }
    EXPECT_TRUE(print::PreviewPlacement({}, {100, 100}, outer, inner, 15).isEmpty());
    EXPECT_EQ(print::PageNumber(QStringLiteral(" 12abc")), 12);
    EXPECT_EQ(print::PageNumber(QStringLiteral("最終")), 0);
}

}  // namespace
