// The print command from a list window, end to end: the settings window with its preview,
// the PDF written when there is no printer, checked with pdftotext.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "common/TestSupport.h"
#include "common/TmpfsMount.h"
#include "common/WindowFixture.h"
#include "dialogs/CancelForm.h"
#include "dialogs/DialogForm.h"
#include "dialogs/MessageBox.h"
#include "grid/widget/GridView.h"
#include "listwindow/ListForm.h"
#include "listwindow/PictureWidget.h"
#include "platform/Beep.h"
#include "platform/StdMessage.h"
#include "print/widget/PrevForm.h"
#include "print/widget/PrintParts.h"
#include "print/widget/RunPrint.h"

using listwindow::ListForm;
using print::PrevForm;

namespace {

constexpr int kT = 'T' - 'A';
constexpr int kFolders = 200;

QString FolderName(int i) {
    // Every tenth name is Japanese, every seventh has a blank.
    QString n = QStringLiteral("d%1").arg(i, 3, 10, QLatin1Char('0'));
    if (i % 10 == 0) n += QStringLiteral("フォルダ");
    if (i % 7 == 0) n += QStringLiteral(" x");
    return n;
}

// The pages of a PDF as text, one entry a page.
QStringList PdfPages(const QByteArray& native) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-layout"), QFile::decodeName(native), QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
    return pages;
}

bool AllWhite(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) return false;
    return true;
}

class PrintWindowTest : public windowtest::WindowTest {
  protected:
    PrintWindowTest() : WindowTest({9000, {'T'}, true}) {}
    void SetUp() override {
        WindowTest::SetUp();
        application.part<print::PrintDoubles>().noPrintQueue = true;
        useDialogsAndAppFolder();
        for (int i = 1; i <= kFolders; ++i)
            drive.writeFile(FolderName(i).toUtf8() + "/f.bin", QByteArray(i * 10, 'x'));
        drive.makeDir("out");
    }
    void TearDown() override {
        WindowTest::TearDown();
        print::UnloadPrintForm();
    }

    static ListForm* OpenT() { return OpenDrive(kT); }
    // The PDF name dialog answers with this file.
    void AnswerPdf(const QByteArray& native) {
        dialogs::CommonDialogHooks hooks;
        hooks.saveFile = [this, native](const dialogs::SaveFileRequest& r) {
            request = r;
            ++nameDialogs;
            return dialogs::SaveFileAnswer{
                dialogs::SaveFileAnswer::Outcome::Chosen, QFile::decodeName(native), {}};
        };
        answerDialogs(hooks);
    }
    // Runs body once the command waits on the settings window (the caller disabled).
    void WhenWaiting(ListForm* w, std::function<void(PrevForm&)> body) {
        auto* timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, [timer, w, body] {
            if (!print::PrintFormExists() || !print::PrintForm().isVisible() || w->isEnabled())
                return;
            timer->stop();
            timer->deleteLater();
            body(print::PrintForm());
        });
        timer->start();
    }
    // Toolbar button 2.
    static void PressPrint(ListForm* w) {
        auto* bar = w->findChild<listwindow::PictureWidget*>(QStringLiteral("TOLFRM"));
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(35, 30));
    }
    template <class T>
    static T* Child(PrevForm& f, const char* name, int index = -1) {
        for (T* c : f.findChildren<T*>(QString::fromUtf8(name)))
            if (index < 0 || c->property("index").toInt() == index) return c;
        return nullptr;
    }
    static void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, 10)); }
    static void SetField(PrevForm& f, const char* name, const QString& text) {
        auto* field = Child<QLineEdit>(f, name);
        field->setFocus(Qt::TabFocusReason);
        field->setText(text);
        QTest::keyClick(field, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    QByteArray Out(const char* name) const { return drive.native() + "/out/" + name; }

    dialogs::SaveFileRequest request;
    int nameDialogs = 0;
};

TEST_F(PrintWindowTest, PrintsAllPagesAndARangeToPdfWithThePreviewFollowingTheOptions) {
    ListForm* w = OpenT();
    const QString title = w->list().VOLDSP;
    AnswerPdf(Out("all.pdf"));
    bool sawPreview = false;
    WhenWaiting(w, [&](PrevForm& f) {
        const QImage plain = f.preview()->grabbed();
        sawPreview = !AllWhite(plain);
        // Each option redraws: the frame off changes the page, on again restores it.
        Click(Child<QCheckBox>(f, "外枠SEL"));
        const QImage noFrame = f.preview()->grabbed();
        EXPECT_NE(noFrame, plain);
        Click(Child<QCheckBox>(f, "外枠SEL"));
        EXPECT_EQ(f.preview()->grabbed(), plain);
        Click(Child<QCheckBox>(f, "ツリー印字SEL"));
        EXPECT_NE(f.preview()->grabbed(), plain);
        Click(Child<QCheckBox>(f, "ツリー印字SEL"));
        QTest::mouseClick(Child<QPushButton>(f, "PRNBTN"), Qt::LeftButton);
    });
    PressPrint(w);
    EXPECT_TRUE(sawPreview);
    EXPECT_EQ(nameDialogs, 1);
    EXPECT_EQ(request.proposedName, QStringLiteral("PrintT"));
    EXPECT_EQ(request.startFolder, drive.native() + "/app");
    EXPECT_EQ(request.defaultExtension, QStringLiteral("pdf"));
    EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(platform::BeepCount(), 0);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("all.pdf"))) << asked[0].toStdString();

    const QStringList all = PdfPages(Out("all.pdf"));
    ASSERT_GE(all.size(), 4) << "the list should fill more than three pages";
    qsizetype at = 0;
    const QString text = all.join(u'\f');
    for (int p = 0; p < all.size(); ++p) {
        EXPECT_TRUE(all[p].contains(QStringLiteral("Page.%1").arg(p + 1))) << p + 1;
        EXPECT_TRUE(all[p].contains(QStringLiteral("Folder名"))) << p + 1;
    }
    EXPECT_TRUE(all[0].simplified().contains(title.simplified())) << title.toStdString();
    for (int i = 1; i <= kFolders; ++i) {
        const qsizetype found = text.indexOf(FolderName(i), at);
        ASSERT_GE(found, 0) << FolderName(i).toStdString() << " missing or out of order";
        at = found + 1;
    }

    // Pages 2 to 3 only: exactly those pages, the same as in the whole print.
    const QByteArray settings = testsupport::ReadAll(home.settingsFile());
    AnswerPdf(Out("range.pdf"));
    WhenWaiting(w, [&](PrevForm& f) {
        Click(Child<QRadioButton>(f, "頁範囲OPT", 1));
        SetField(f, "TOPLIN", QStringLiteral("2"));
        SetField(f, "ENDLIN", QStringLiteral("3"));
        QTest::mouseClick(Child<QPushButton>(f, "PRNBTN"), Qt::LeftButton);
    });
    PressPrint(w);
    const QStringList range = PdfPages(Out("range.pdf"));
    ASSERT_EQ(range.size(), 2);
    EXPECT_EQ(range[0], all[1]);
    EXPECT_EQ(range[1], all[2]);
    // Only the page range changed: no settings were written.
    EXPECT_EQ(testsupport::ReadAll(home.settingsFile()), settings);

    // A range past the last page: said before the PDF's name is asked for; no file written.
    asked.clear();
    const int dialogsBefore = nameDialogs;
    AnswerPdf(Out("none.pdf"));
    WhenWaiting(w, [&](PrevForm& f) {
        Click(Child<QRadioButton>(f, "頁範囲OPT", 1));
        SetField(f, "TOPLIN", QStringLiteral("50"));
        SetField(f, "ENDLIN", QStringLiteral("60"));
        QTest::mouseClick(Child<QPushButton>(f, "PRNBTN"), Qt::LeftButton);
    });
    PressPrint(w);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("印刷する頁がありません")))
        << asked[0].toStdString();
    EXPECT_EQ(nameDialogs, dialogsBefore);
    EXPECT_FALSE(QFile::exists(QFile::decodeName(Out("none.pdf"))));
}

TEST_F(PrintWindowTest, CtrlPPrintsAsThePrinterButtonDoes) {
    ListForm* w = OpenT();
    for (const Qt::KeyboardModifiers mods :
         {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::ControlModifier | Qt::ShiftModifier}) {
        const QByteArray file = Out(mods & Qt::ShiftModifier ? "shift.pdf" : "ctrl.pdf");
        AnswerPdf(file);
        WhenWaiting(w, [&](PrevForm& f) {
            QTest::mouseClick(Child<QPushButton>(f, "PRNBTN"), Qt::LeftButton);
        });
        QTest::keyClick(Focused(w), Qt::Key_P, mods);
        const QStringList pages = PdfPages(file);
        ASSERT_FALSE(pages.isEmpty()) << int(mods);
        EXPECT_TRUE(pages[0].contains(QStringLiteral("Page.1")));
    }
    EXPECT_EQ(nameDialogs, 2);
}

TEST_F(PrintWindowTest, AComparisonPrintsItsChangesUnderSignedTitles) {
    ListForm* w = OpenT();
    PassSeconds(1);  // the listings kept a second apart
    drive.writeFile("zz新規/f.bin", QByteArray(4321, 'n'));
    ASSERT_TRUE(
        QDir(QFile::decodeName(drive.native() + '/' + FolderName(5).toUtf8())).removeRecursively());
    QTest::keyClick(Focused(w), Qt::Key_F5);
    QTest::keyClick(Focused(w), Qt::Key_D, Qt::AltModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    AnswerPdf(Out("changes.pdf"));
    WhenWaiting(w, [&](PrevForm& f) {
        QTest::mouseClick(Child<QPushButton>(f, "PRNBTN"), Qt::LeftButton);
    });
    PressPrint(w);
    const QString text = PdfPages(Out("changes.pdf")).join(u'\f');
    ASSERT_FALSE(text.isEmpty());
    for (const QString& title :
         {QStringLiteral("±File数"), QStringLiteral("±占有サイズ"), QStringLiteral("±下位合計")})
        EXPECT_TRUE(text.contains(title)) << title.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("zz新規 （新規）")) ||
                text.contains(QStringLiteral("zz新規  （新規）")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(FolderName(5) + QStringLiteral(" （消失）")) ||
                text.contains(FolderName(5) + QStringLiteral("  （消失）")));
    EXPECT_TRUE(text.contains(QStringLiteral("+4,321")));
}

TEST_F(PrintWindowTest, RefusedWhereThereIsNothingToPrintOrAnOperationRuns) {
    ListForm* w = OpenT();
    // A folder operation's progress window is up: a beep and nothing else.
    dialogs::ProgressWindow().Begin(QStringLiteral("FOLDEX 削除"), QStringLiteral("削除中"), true,
                                    w);
    PressPrint(w);
    dialogs::ProgressWindow().End();
    EXPECT_EQ(platform::BeepCount(), 1);
    EXPECT_FALSE(print::PrintFormExists() && print::PrintForm().isVisible());
    // The drive overview: nothing at all, not even a beep.
    w->ShowOverview();
    platform::ResetBeepCount();
    PressPrint(w);
    EXPECT_EQ(platform::BeepCount(), 0);
    EXPECT_FALSE(print::PrintFormExists() && print::PrintForm().isVisible());
    EXPECT_EQ(nameDialogs, 0);

    // The print window open for one list: another list's print command only beeps.
    w->Calc(w->ButtonOfDrive(kT));
    ListForm* other = OpenT();
    platform::ResetBeepCount();
    int otherEnabled = -1;
    WhenWaiting(other, [&](PrevForm& f) {
        w->PrintList();
        otherEnabled = other->isEnabled();
        EXPECT_TRUE(f.isVisible());
        f.close();
    });
    other->PrintList();
    EXPECT_EQ(platform::BeepCount(), 1);
    EXPECT_EQ(otherEnabled, 0);
    EXPECT_TRUE(other->isEnabled());
    EXPECT_TRUE(w->isEnabled());
}

TEST_F(PrintWindowTest, CloseBoxAndStopButtonEndTheCommandWithoutAFile) {
    ListForm* w = OpenT();
    AnswerPdf(Out("stopped.pdf"));
    // The close box: nothing printed, nothing nameDialogs, the window usable again.
    WhenWaiting(w, [](PrevForm& f) { f.close(); });
    PressPrint(w);
    EXPECT_EQ(nameDialogs, 0);
    EXPECT_TRUE(w->isEnabled());
    EXPECT_FALSE(print::PrintForm().isVisible());

    // The stop button during the run: the run ends, no file and no success is reported.
    WhenWaiting(w, [](PrevForm& f) {
        QTimer::singleShot(0, [] {
            dialogs::CancelForm& c = dialogs::ProgressWindow();
            ASSERT_TRUE(c.isVisible());
            QTest::mouseClick(c.stopButton(), Qt::LeftButton);
        });
        QTest::mouseClick(Child<QPushButton>(f, "PRNBTN"), Qt::LeftButton);
    });
    PressPrint(w);
    EXPECT_EQ(nameDialogs, 1);
    EXPECT_FALSE(QFile::exists(QFile::decodeName(Out("stopped.pdf"))));
    EXPECT_TRUE(asked.isEmpty()) << asked.join(u'\n').toStdString();
    EXPECT_FALSE(dialogs::OperationRunning());
    EXPECT_TRUE(w->isEnabled());
}

TEST_F(PrintWindowTest, FullDiskGivesAMessageAndLeavesNoFile) {
    testsupport::TmpfsMount disk("64k");
    ASSERT_TRUE(disk.mounted()) << disk.failure();
    testsupport::FillDisk(disk.path());
    const QStringList before =
        QDir(QFile::decodeName(disk.path())).entryList(QDir::Files | QDir::Hidden);
    ListForm* w = OpenT();
    AnswerPdf(disk.path() + "/list.pdf");
    WhenWaiting(
        w, [](PrevForm& f) { QTest::mouseClick(Child<QPushButton>(f, "PRNBTN"), Qt::LeftButton); });
    PressPrint(w);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("書き込めません"))) << asked[0].toStdString();
    EXPECT_EQ(QDir(QFile::decodeName(disk.path())).entryList(QDir::Files | QDir::Hidden), before);
    EXPECT_TRUE(w->isEnabled());
}

}  // namespace
