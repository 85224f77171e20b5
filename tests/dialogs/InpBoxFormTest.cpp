// The input box, the progress window and the common dialogs, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "dialogs/CancelForm.h"
#include "dialogs/DialogForm.h"
#include "dialogs/DialogParts.h"
#include "dialogs/InpBoxForm.h"

using namespace dialogs;

namespace {

// Runs InputBoxEx and, once the box waits, the action; a watchdog cancels a box nobody answers.
QString Ask(QWidget* owner, const QString& defaultText,
            const std::function<void(InpBoxForm*)>& action, bool* ownerDisabled = nullptr,
            const QString& prompt = QStringLiteral("prompt")) {
    QTimer::singleShot(0, [=] {
        InpBoxForm* box = InputBoxWindow();
        if (!box || !box->isWaiting()) return;
        if (ownerDisabled) *ownerDisabled = owner && !owner->isEnabled();
        action(box);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        ADD_FAILURE() << "the input box was not answered";
        if (InputBoxWindow()) InputBoxWindow()->close();
    });
    watchdog.start(5000);
    return InputBoxEx(prompt, QStringLiteral("FOLDEX"), defaultText, owner);
}

TEST(InpBoxForm, AnswersOfEachWayOut) {
    struct Case {
        const char* what;
        std::function<void(InpBoxForm*)> action;
        QString expected;
        short endCode;
    };
    const QString changed = QStringLiteral("新しい 名前.csv");
    const Case cases[] = {
        {"Enter with a changed text",
         [&](InpBoxForm* b) {
             b->field()->setText(changed);
             QTest::keyClick(b->field(), Qt::Key_Return);
         },
         changed, 1},
        {"Enter on the keypad",
         [](InpBoxForm* b) { QTest::keyClick(b->field(), Qt::Key_Enter, Qt::KeypadModifier); },
         QStringLiteral("old"), 1},
        {"OK button", [](InpBoxForm* b) { b->findChild<QPushButton*>("OKBTN")->click(); },
         QStringLiteral("old"), 1},
        {"Esc with text in the field",
         [](InpBoxForm* b) { QTest::keyClick(b->field(), Qt::Key_Escape); }, QString(), 2},
        {"Cancel button", [](InpBoxForm* b) { b->findChild<QPushButton*>("CANBTN")->click(); },
         QString(), 2},
        {"closed by the window manager", [](InpBoxForm* b) { b->close(); }, QString(), 2},
    };
    for (const Case& c : cases) {
        QWidget owner;
        owner.setGeometry(100, 100, 600, 400);
        owner.show();
        bool disabled = false;
        EXPECT_EQ(Ask(&owner, QStringLiteral("old"), c.action, &disabled), c.expected) << c.what;
        EXPECT_EQ(InputBoxWindow()->EndCode(), c.endCode) << c.what;
        EXPECT_TRUE(disabled) << c.what;
        EXPECT_TRUE(owner.isEnabled()) << c.what;
        EXPECT_FALSE(InputBoxWindow()->isVisible()) << c.what;
    }
}

TEST(InpBoxForm, OwnerClosingOrDisabledBeforeIsHandled) {
    // The owner going away while the box waits answers Cancel.
    auto* owner = new QWidget;
    owner->setGeometry(100, 100, 600, 400);
    owner->show();
    EXPECT_EQ(Ask(owner, QStringLiteral("x"), [owner](InpBoxForm*) { owner->close(); }), QString());
    delete owner;

    // An owner that was disabled before stays disabled afterwards.
    QWidget second;
    second.show();
    second.setEnabled(false);
    EXPECT_EQ(Ask(&second, QStringLiteral("y"),
                  [](InpBoxForm* b) { QTest::keyClick(b->field(), Qt::Key_Return); }),
              QStringLiteral("y"));
    EXPECT_FALSE(second.isEnabled());
}

TEST(InpBoxForm, PromptLinesStartAt780AndBoldFromTheFirstLine) {
    QWidget owner;
    owner.show();
    const QChar bold(8), plain(7);
    struct Case {
        QString prompt;
        bool boldStart;
    };
    const Case cases[] = {
        {QStringLiteral("one|two|") + bold + QStringLiteral("three"), true},
        {QStringLiteral("one\r\ntwo\nthree"), false},
        {QStringLiteral("one|two|") + bold + QStringLiteral("th") + plain + QStringLiteral("ree"),
         true},
    };
    for (const Case& c : cases) {
        Ask(
            &owner, {}, [](InpBoxForm* b) { b->close(); }, nullptr, c.prompt);
        const InpBoxForm* box = InputBoxWindow();
        const int h = box->lineHeight();
        ASSERT_GT(h, 0);
        const QList<MsgPiece>& p = box->pieces();
        ASSERT_GE(p.size(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(p[i].x, 780) << i;
            EXPECT_EQ(p[i].y, 210 + i * h) << i;
        }
        EXPECT_EQ(p[0].text, QStringLiteral("one"));
        EXPECT_EQ(p[0].style.bold, c.boldStart) << c.prompt.toStdString();
        EXPECT_EQ(p[1].style.bold, c.boldStart);
    }
    // The plain code ends the bold run inside the third line.
    EXPECT_FALSE(InputBoxWindow()->pieces().last().style.bold);
}

TEST(InpBoxForm, PlacedOnTheOwnersLowerEdgeAndKeptOnScreen) {
    const QRect screen(0, 0, 1024, 768);
    const QSize box(410, 130);
    struct Case {
        QRect owner;
        QPoint expected;
    };
    const Case cases[] = {
        {QRect(100, 100, 600, 400), QPoint(100 + 95, 500 - 130)},
        // Near the bottom: the box would hang below the screen.
        {QRect(100, 600, 600, 400), QPoint(195, 768 - 130)},
        // Past the right edge, and above the top.
        {QRect(900, -200, 400, 200), QPoint(1024 - 410, 0)},
        // Narrower owner than the box: centred, its left half out.
        {QRect(300, 300, 200, 200), QPoint(300 - 105, 500 - 130)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceInputBox(c.owner, box, screen), c.expected)
            << c.owner.x() << "," << c.owner.y();
    // A box larger than the screen keeps its top-left corner on it.
    EXPECT_EQ(PlaceInputBox(QRect(500, 500, 10, 10), QSize(2000, 1000), screen), QPoint(0, 0));
}

TEST(CancelForm, BeginShowsTheOperationAndEscAsksToStop) {
    QWidget owner;
    owner.show();
    CancelForm& c = ProgressWindow();
    EXPECT_TRUE(CancelFormLoaded());
    c.EndCode = true;  // left over from an earlier operation
    c.Begin(QStringLiteral("FOLDEX 削除"), QStringLiteral("削除中"), true, &owner);
    EXPECT_FALSE(c.EndCode);
    EXPECT_TRUE(OperationRunning());
    EXPECT_TRUE(owner.isEnabled());  // not modal
    EXPECT_EQ(c.windowTitle(), QStringLiteral("FOLDEX 削除"));
    EXPECT_EQ(c.findChild<QLabel*>("TITDSP")->text(), QStringLiteral("削除中"));
    auto* away = c.findChild<QCheckBox*>(QStringLiteral("退席SEL"));
    ASSERT_TRUE(away);
    EXPECT_FALSE(away->isHidden());
    away->setChecked(true);
    EXPECT_TRUE(c.Away());

    // Between two steps of the operation, the person presses Esc.
    QTest::keyClick(&c, Qt::Key_Escape);
    EXPECT_TRUE(c.EndCode);
    EXPECT_FALSE(OperationRunning());
    EXPECT_TRUE(c.Away());  // still readable after the window went

    // Printing hides the box; the stop button answers as Esc does.
    c.Begin(QStringLiteral("FOLDEX 印刷"), QStringLiteral("印刷中"), false, &owner);
    EXPECT_FALSE(c.EndCode);
    EXPECT_TRUE(away->isHidden());
    EXPECT_FALSE(c.Away());
    c.findChild<QPushButton*>("CANBTN")->click();
    EXPECT_TRUE(c.EndCode);

    // An operation that ends by itself leaves EndCode false.
    c.Begin(QStringLiteral("FOLDEX 複写"), QStringLiteral("複写中"), true, &owner);
    c.End();
    EXPECT_FALSE(c.EndCode);
    EXPECT_FALSE(OperationRunning());
}

TEST(CommonDialogs, SaveDialogIsSetUpAsAsked) {
    SaveFileRequest r;
    r.title = QStringLiteral("テキスト･ファイルへのリスト保存");
    r.filter = QStringLiteral("テキスト(TXT)|*.TXT|テキスト-カンマ区切り(CSV)|*.CSV");
    r.proposedName = QStringLiteral("LogC-2");
    r.startFolder = QFile::encodeName(QDir::tempPath());
    r.defaultExtension = QStringLiteral("TXT");
    QFileDialog d;
    ConfigureSaveDialog(d, r);
    EXPECT_EQ(d.windowTitle(), r.title);
    EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(d.nameFilters(), QStringList({QStringLiteral("テキスト(TXT) (*.TXT)"),
                                            QStringLiteral("テキスト-カンマ区切り(CSV) (*.CSV)")}));
    EXPECT_EQ(d.selectedNameFilter(), d.nameFilters().at(0));
    EXPECT_EQ(QDir(d.directory()).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
    EXPECT_EQ(d.defaultSuffix(), QStringLiteral("TXT"));
    EXPECT_FALSE(d.testOption(QFileDialog::DontConfirmOverwrite));
    // Choosing the CSV filter makes a bare name a CSV file.
    d.selectNameFilter(d.nameFilters().at(1));
    emit d.filterSelected(d.nameFilters().at(1));
    EXPECT_EQ(d.defaultSuffix(), QStringLiteral("CSV"));
    // Without the overwrite flag the dialog does not ask.
    r.flags = 0;
    QFileDialog quiet;
    ConfigureSaveDialog(quiet, r);
    EXPECT_TRUE(quiet.testOption(QFileDialog::DontConfirmOverwrite));
}

TEST(CommonDialogs, HooksAnswerAndCancelKeepsTheStartingValues) {
    SaveFileRequest seen;
    CommonDialogHooks hooks;
    hooks.saveFile = [&](const SaveFileRequest& r) {
        seen = r;
        return SaveFileAnswer{SaveFileAnswer::Outcome::Chosen, QStringLiteral("/tmp/a.TXT"), {}};
    };
    hooks.colour = [](quint32) { return std::optional<quint32>(); };
    hooks.font = [](const FontChoice&) { return std::optional<FontChoice>(); };
    hooks.printSetup = [](QPrinter&) { return true; };
    app::Application application;
    DialogDoubles& doubles = application.part<DialogDoubles>();
    doubles.common = hooks;
    SaveFileRequest r;
    r.proposedName = QStringLiteral("LogD");
    const SaveFileAnswer a = SaveFileDialog(r, nullptr);
    EXPECT_EQ(a.outcome, SaveFileAnswer::Outcome::Chosen);
    EXPECT_EQ(a.fileName, QStringLiteral("/tmp/a.TXT"));
    EXPECT_EQ(seen.proposedName, QStringLiteral("LogD"));
    EXPECT_EQ(ColourDialog(0x123456, nullptr), 0x123456u);
    const FontChoice f{QStringLiteral("ＭＳ Ｐゴシック"), 9.75, true, false};
    EXPECT_EQ(FontDialog(f, nullptr), f);
    QPrinter printer;
    EXPECT_TRUE(PrintSetupDialog(printer, nullptr));

    doubles.common.colour = [](quint32) { return std::optional<quint32>(0x0000FF); };
    EXPECT_EQ(ColourDialog(0x123456, nullptr), 0x0000FFu);
}

}  // namespace
