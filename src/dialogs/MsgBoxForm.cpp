#include "dialogs/MsgBoxForm.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QWindow>
#include <cmath>

#include "dialogs/AppIcon.h"
#include "platform/Beep.h"
#include "platform/Fonts.h"
#include "platform/Screen.h"

namespace dialogs {

namespace {
const QString kTextFace = QStringLiteral("MS UI Gothic");
const QString kButtonFace = QStringLiteral("ＭＳ Ｐゴシック");

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    QFont f(platform::ResolveFontFamily(kButtonFace));
    f.setPointSizeF(9.0);
    b->setFont(f);
    b->setAutoDefault(true);  // Enter presses the focused button
    return b;
}
}  // namespace

MsgBoxForm::MsgBoxForm() : QDialog(nullptr) {
    setObjectName(QStringLiteral("MsgBoxForm"));
    // A fixed dialog with a caption only: no system menu, close, minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("問い合わせ"));
    setWindowIcon(AppIcon());
    setSizeGripEnabled(false);
    setModal(false);

    // Where the preferred face is missing the box falls back to the buttons' face.
    faceName_ = platform::FontInstalled(kTextFace) ? kTextFace : kButtonFace;
    QFont f(platform::ResolveFontFamily(faceName_));
    f.setPointSizeF(9.75);
    setFont(f);

    yesBtn_ = MakeButton(this, QStringLiteral("YESBTN"), QStringLiteral("はい(&Y)"));
    noBtn_ = MakeButton(this, QStringLiteral("NOBTN"), QStringLiteral("いいえ(&N)"));
    canBtn_ = MakeButton(this, QStringLiteral("CANBTN"), QStringLiteral("キャンセル"));
    okBtn_ = MakeButton(this, QStringLiteral("OKBTN"), QStringLiteral("OK"));
    okBtn_->setDefault(true);
    setTabOrder(yesBtn_, noBtn_);
    setTabOrder(noBtn_, canBtn_);
    setTabOrder(canBtn_, okBtn_);

    icoImg_ = new QLabel(this);
    icoImg_->setObjectName(QStringLiteral("ICOIMG"));
    icoImg_->setAttribute(Qt::WA_TranslucentBackground);

    const struct {
        QPushButton* button;
        short code;
    } answers[] = {
        {yesBtn_, kAnswerYes}, {noBtn_, kAnswerNo}, {canBtn_, kAnswerCancel}, {okBtn_, kAnswerOk}};
    for (const auto& a : answers) {
        const short code = a.code;
        connect(a.button, &QPushButton::clicked, this, [this, code] { finish(code); });
        a.button->installEventFilter(this);  // the window sees keys before its buttons
    }

    // Design size until the first call lays the box out.
    twipsPerPixel_ = platform::TwipsPerPixel();
    for (QPushButton* b : {yesBtn_, noBtn_, canBtn_, okBtn_}) {
        b->setFixedSize(px(kMsgButtonWidth), px(kMsgButtonHeight));
    }
    icoImg_->setGeometry(px(kMsgIconLeft), px(330), px(kMsgIconSize), px(kMsgIconSize));
    icoImg_->setPixmap(AppIconPixmap(px(kMsgIconSize)));
}

MsgBoxForm::~MsgBoxForm() {
    if (loop_) loop_->quit();
}

QPushButton* MsgBoxForm::button(MsgButton which) const {
    switch (which) {
        case MsgButton::Yes:
            return yesBtn_;
        case MsgButton::No:
            return noBtn_;
        case MsgButton::Cancel:
            return canBtn_;
        case MsgButton::Ok:
            break;
    }
    return okBtn_;
}

int MsgBoxForm::px(int twips) const {
    return int(std::lround(double(twips) / (twipsPerPixel_ > 0 ? twipsPerPixel_ : 15)));
}

bool MsgBoxForm::prepare(const QString& text, int flags, const QString& caption, QWidget* owner) {
    // Up to the caption, any failure hands the message to the standard box.
    if (!owner) return false;
    const QRect ownerPx = owner->frameGeometry();
    if (ownerPx.width() <= 0 || ownerPx.height() <= 0) return false;
    const int tpp = platform::TwipsPerPixel();
    const QRect screenPx = platform::ScreenRectPixels();
    if (tpp <= 0 || screenPx.isEmpty()) return false;
    const int lineHeight = MsgLineHeight(font(), tpp);
    if (lineHeight <= 0) return false;
    setWindowTitle(caption);
    twipsPerPixel_ = tpp;

    // The box's frame is known once it has been shown; before that the owner's stands in.
    QSize framePx = frameGeometry().size() - geometry().size();
    if (framePx.isNull()) framePx = ownerPx.size() - owner->geometry().size();

    const MsgButtonSet set = MsgButtonsFor(flags);
    MsgLayoutInput in;
    in.lines = MsgLines(text);
    in.boldFace = MsgHasBold(text);
    in.buttonCount = int(set.buttons.size());
    in.owner = QRect(ownerPx.topLeft() * tpp, ownerPx.size() * tpp);
    in.screen = QRect(screenPx.topLeft() * tpp, screenPx.size() * tpp);
    in.frame = framePx * tpp;
    in.twipsPerPixel = tpp;
    in.lineHeight = lineHeight;
    in.measure = MsgFontMeasure(font(), tpp);
    layout_ = ComputeMsgLayout(in);

    setFixedSize(px(layout_.inner.width()), px(layout_.inner.height()));
    move(px(layout_.outer.left()), px(layout_.outer.top()));

    for (QPushButton* b : {yesBtn_, noBtn_, canBtn_, okBtn_}) {
        b->setFixedSize(px(kMsgButtonWidth), px(kMsgButtonHeight));
        b->move(b->x(), px(layout_.buttonTop));
        b->hide();
    }
    for (qsizetype i = 0; i < set.buttons.size(); ++i) {
        QPushButton* b = button(set.buttons[i]);
        b->move(px(layout_.buttonLefts[i]), px(layout_.buttonTop));
        b->show();
    }
    if (set.buttons.size() == 1) okBtn_->setDefault(true);

    icoImg_->setGeometry(px(kMsgIconLeft), px(layout_.iconTop), px(kMsgIconSize), px(kMsgIconSize));
    // Painted at the device's own resolution so it stays sharp on scaled screens.
    const qreal dpr = devicePixelRatioF();
    QPixmap icon = AppIconPixmap(int(std::lround(icoImg_->width() * dpr)));
    icon.setDevicePixelRatio(dpr);
    icoImg_->setPixmap(icon);

    pieces_ =
        PlaceMsgLines(in.lines, MsgStyle{}, kMsgTextLeft, kMsgTextTop, lineHeight, in.measure);
    update();
    owner_ = owner->window();
    return true;
}

short MsgBoxForm::waitForAnswer(int flags) {
    const MsgButtonSet set = MsgButtonsFor(flags);
    QPushButton* focus = button(set.focus);

    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // Tells the window manager whose box this is.
    create();
    if (QWindow* w = windowHandle())
        w->setTransientParent(owner_ ? owner_->windowHandle() : nullptr);
    answer_ = 0;
    waiting_ = true;
    show();
    // After show: showing may hand the focus, and with it the default, to another button.
    focus->setFocus(Qt::OtherFocusReason);
    if (set.makeDefault) focus->setDefault(true);
    raise();
    activateWindow();
    platform::Beep();

    // A local loop ended by the answer; other windows and timers keep running.
    QPointer<MsgBoxForm> self(this);
    QEventLoop loop;
    loop_ = &loop;
    if (answer_ == 0) loop.exec();
    if (!self) return kAnswerCancel;  // the box was destroyed while it waited
    loop_ = nullptr;
    waiting_ = false;
    // An application quitting ends every loop; that counts as Cancel.
    if (answer_ == 0) answer_ = kAnswerCancel;

    hide();
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    if (QWindow* w = windowHandle()) w->setTransientParent(nullptr);
    owner_ = nullptr;
    return answer_;
}

void MsgBoxForm::finish(short code) {
    if (!waiting_ || answer_ != 0) return;
    answer_ = code;
    if (loop_) loop_->quit();
}

void MsgBoxForm::reject() {
    // Whatever asks the dialog to go away while it waits answers Cancel.
    if (waiting_) {
        finish(kAnswerCancel);
    } else {
        QDialog::reject();
    }
}

bool MsgBoxForm::previewKey(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return false;
    }
    const QString t = event->text();
    if (event->key() == Qt::Key_Y || t == u"y" || t == u"Y") {
        if (yesBtn_->isHidden()) return false;
        finish(kAnswerYes);
        return true;
    }
    if (event->key() == Qt::Key_N || t == u"n" || t == u"N") {
        if (noBtn_->isHidden()) return false;
        finish(kAnswerNo);
        return true;
    }
    if (event->key() == Qt::Key_Escape) {
        if (canBtn_->isHidden() && okBtn_->isHidden()) return false;
        finish(kAnswerCancel);
        return true;
    }
    return false;
}

bool MsgBoxForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && previewKey(static_cast<QKeyEvent*>(event))) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void MsgBoxForm::keyPressEvent(QKeyEvent* event) {
    if (previewKey(event)) {
        event->accept();
        return;
    }
    // Esc in a Yes/No box does nothing; QDialog would close the box without an answer.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MsgBoxForm::closeEvent(QCloseEvent* event) {
    // There is no close button, but the window manager may still close the box: Cancel.
    if (waiting_) finish(kAnswerCancel);
    event->accept();
}

void MsgBoxForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    DrawMsgPieces(p, font(), pieces_, twipsPerPixel_);
}

}  // namespace dialogs
