#include "dialogs/InpBoxForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "dialogs/AppIcon.h"
#include "dialogs/DialogParts.h"
#include "platform/Fonts.h"
#include "platform/Screen.h"

namespace dialogs {

namespace {
const QString kPromptFace = QStringLiteral("MS UI Gothic");
const QString kFieldFace = QStringLiteral("ＭＳ Ｐゴシック");

QPointer<InpBoxForm>& Form() {
    return Windows().inputBox;
}

QFont Face(const QString& windowsFace, double points) {
    QFont f(platform::ResolveFontFamily(windowsFace));
    f.setPointSizeF(points);
    return f;
}
}  // namespace

QString InputBoxEx(const QString& prompt, const QString& title, const QString& defaultText,
                   QWidget* owner) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return {};
    if (!owner) owner = QApplication::activeWindow();
    // One box for the program: a second question while one waits is answered Cancel rather
    // than taking the box away from the first caller.
    if (Form() && Form()->isWaiting()) return {};
    if (!Form()) Form() = new InpBoxForm;
    return Form()->InpLine(prompt, title, defaultText, owner ? owner->window() : nullptr);
}

InpBoxForm* InputBoxWindow() {
    return Form().data();
}

QPoint PlaceInputBox(const QRect& ownerFrame, const QSize& boxFrame, const QRect& screen) {
    int left = ownerFrame.left() + (ownerFrame.width() - boxFrame.width()) / 2;
    int top = ownerFrame.top() + ownerFrame.height() - boxFrame.height();
    if (screen.isEmpty()) return {left, top};
    // A box larger than the screen keeps its top-left corner on it.
    left = std::max(screen.left(), std::min(left, screen.right() + 1 - boxFrame.width()));
    top = std::max(screen.top(), std::min(top, screen.bottom() + 1 - boxFrame.height()));
    return {left, top};
}

InpBoxForm::InpBoxForm() : QDialog(nullptr) {
    setObjectName(QStringLiteral("InpBoxForm"));
    // A fixed dialog with a caption only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(AppIcon());
    setModal(false);
    setFont(Face(kPromptFace, 9.75));
    twipsPerPixel_ = platform::TwipsPerPixel();

    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("INPLIN"));
    field_->setFont(Face(kFieldFace, 9.75));
    field_->setGeometry(px(90), px(1170), px(5955), px(285));

    const QFont buttonFont = Face(kFieldFace, 9);
    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setObjectName(QStringLiteral("OKBTN"));
    okButton_->setGeometry(px(5070), px(90), px(1005), px(300));
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancelButton_->setObjectName(QStringLiteral("CANBTN"));
    cancelButton_->setGeometry(px(5070), px(450), px(1005), px(300));
    for (QPushButton* b : {okButton_, cancelButton_}) b->setFont(buttonFont);
    connect(okButton_, &QPushButton::clicked, this, [this] { finish(1); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { finish(2); });
    field_->installEventFilter(this);

    icon_ = new QLabel(this);
    icon_->setObjectName(QStringLiteral("ICOIMG"));
    icon_->setAttribute(Qt::WA_TranslucentBackground);
    icon_->setGeometry(px(kMsgIconLeft), px(330), px(kMsgIconSize), px(kMsgIconSize));
    icon_->setPixmap(AppIconPixmap(px(kMsgIconSize)));

    setFixedSize(px(kInpWidth), px(kInpHeight));
    lineHeight_ = MsgLineHeight(font(), twipsPerPixel_);
}

InpBoxForm::~InpBoxForm() {
    if (loop_) loop_->quit();
}

int InpBoxForm::px(int twips) const {
    return int(std::lround(double(twips) / (twipsPerPixel_ > 0 ? twipsPerPixel_ : 15)));
}

void InpBoxForm::layOutPrompt(const QString& prompt) {
    const QStringList lines = MsgLines(prompt);
    // A prompt with a bold-on code anywhere starts bold: the weight is not reset first.
    MsgStyle start;
    start.bold = MsgHasBold(prompt);
    lineHeight_ = MsgLineHeight(font(), twipsPerPixel_);
    pieces_ = PlaceMsgLines(lines, start, kInpTextLeft, kInpTextTop, lineHeight_,
                            MsgFontMeasure(font(), twipsPerPixel_));
}

QString InpBoxForm::InpLine(const QString& prompt, const QString& title, const QString& defaultText,
                            QWidget* owner) {
    hide();
    endCode_ = 0;

    // The owner's own setting, not one inherited from a disabled parent.
    QPointer<QWidget> heldOwner(owner);
    const bool ownerWasDisabled = owner && owner->testAttribute(Qt::WA_ForceDisabled);
    if (owner) owner->setEnabled(false);

    setWindowTitle(title);
    field_->setText(defaultText);
    field_->selectAll();

    // The frame is known once the box has been shown; before that the owner's stands in.
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isNull() && owner) frame = owner->frameGeometry().size() - owner->geometry().size();
    const QSize boxFrame = size() + frame;
    QRect screen;
    if (QScreen* s = owner ? owner->screen() : QGuiApplication::primaryScreen())
        screen = s->availableGeometry();
    const QRect ownerFrame = owner ? owner->frameGeometry()
                                   : QRect(screen.center() - QPoint(0, boxFrame.height() / 2),
                                           QSize(0, boxFrame.height()));
    move(PlaceInputBox(ownerFrame, boxFrame, screen));

    layOutPrompt(prompt);
    owner_ = owner;
    // The owner closing or going away while the box waits answers Cancel.
    if (owner) owner->installEventFilter(this);
    QMetaObject::Connection gone;
    if (owner) gone = connect(owner, &QObject::destroyed, this, [this] { finish(2); });

    create();
    if (QWindow* w = windowHandle()) w->setTransientParent(owner ? owner->windowHandle() : nullptr);
    waiting_ = true;
    show();
    raise();
    activateWindow();
    field_->setFocus(Qt::OtherFocusReason);
    update();

    QPointer<InpBoxForm> self(this);
    QEventLoop loop;
    loop_ = &loop;
    if (endCode_ == 0) loop.exec();
    if (!self) return {};
    loop_ = nullptr;
    waiting_ = false;
    // An application quitting ends every loop; that counts as Cancel.
    if (endCode_ == 0) endCode_ = 2;
    const QString result = endCode_ == 1 ? field_->text() : QString();

    disconnect(gone);
    if (heldOwner) heldOwner->removeEventFilter(this);
    owner_ = nullptr;
    if (heldOwner) heldOwner->setEnabled(!ownerWasDisabled);
    hide();
    if (QWindow* w = windowHandle()) w->setTransientParent(nullptr);
    QCoreApplication::processEvents();
    if (heldOwner && heldOwner->isVisible()) {
        heldOwner->raise();
        heldOwner->activateWindow();
    }
    return result;
}

void InpBoxForm::finish(short code) {
    if (!waiting_ || endCode_ != 0) return;
    endCode_ = code;
    hide();
    if (loop_) loop_->quit();
}

void InpBoxForm::reject() {
    if (waiting_) {
        finish(2);
    } else {
        QDialog::reject();
    }
}

bool InpBoxForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        // Enter acts as OK and Esc as Cancel; both keys stop here.
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                finish(1);
                return true;
            case Qt::Key_Escape:
                finish(2);
                return true;
            default:
                break;
        }
    } else if (watched == owner_ && event->type() == QEvent::Hide && !owner_->isVisible()) {
        finish(2);  // the owner was closed (a minimised owner stays visible)
    }
    return QDialog::eventFilter(watched, event);
}

void InpBoxForm::closeEvent(QCloseEvent* event) {
    // There is no close button, but the window manager may still close the box: Cancel.
    if (waiting_) finish(2);
    event->accept();
}

void InpBoxForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    QFont f = font();
    f.setItalic(false);
    DrawMsgPieces(p, f, pieces_, twipsPerPixel_);
}

}  // namespace dialogs
