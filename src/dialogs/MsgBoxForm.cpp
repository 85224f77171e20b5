#include "dialogs/MsgBoxForm.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
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
// Kept free on each side of a box that fills the screen, in pixels.
constexpr int kScreenMarginPx = 8;

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

// The lines of a text too tall for the screen, drawn where the box would draw them, inside
// a scroll area.
class MsgTextView : public QWidget {
  public:
    explicit MsgTextView(QWidget* parent) : QWidget(parent) {}

    void setText(const QList<MsgPiece>& pieces, int lineHeight, int twipsPerPixel) {
        pieces_ = pieces;
        lineHeight_ = lineHeight;
        twipsPerPixel_ = twipsPerPixel > 0 ? twipsPerPixel : 15;
        update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        // Pieces are placed in box twips; the view starts where the first line does.
        p.translate(-kMsgTextLeft / twipsPerPixel_, -kMsgTextTop / twipsPerPixel_);
        const QRect shown = event->rect().translated(0, kMsgTextTop / twipsPerPixel_);
        QList<MsgPiece> visible;
        for (const MsgPiece& piece : pieces_) {
            const int top = piece.y / twipsPerPixel_;
            if (top <= shown.bottom() && top + lineHeight_ / twipsPerPixel_ >= shown.top())
                visible.append(piece);
        }
        DrawMsgPieces(p, font(), visible, twipsPerPixel_);
    }

  private:
    QList<MsgPiece> pieces_;
    int lineHeight_ = 0;
    int twipsPerPixel_ = 15;
};

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

    yesButton_ = MakeButton(this, QStringLiteral("YESBTN"), QStringLiteral("はい(&Y)"));
    noButton_ = MakeButton(this, QStringLiteral("NOBTN"), QStringLiteral("いいえ(&N)"));
    cancelButton_ = MakeButton(this, QStringLiteral("CANBTN"), QStringLiteral("キャンセル"));
    okButton_ = MakeButton(this, QStringLiteral("OKBTN"), QStringLiteral("OK"));
    okButton_->setDefault(true);
    setTabOrder(yesButton_, noButton_);
    setTabOrder(noButton_, cancelButton_);
    setTabOrder(cancelButton_, okButton_);

    icon_ = new QLabel(this);
    icon_->setObjectName(QStringLiteral("ICOIMG"));
    icon_->setAttribute(Qt::WA_TranslucentBackground);

    textScroll_ = new QScrollArea(this);
    textScroll_->setObjectName(QStringLiteral("MSGTXT"));
    textScroll_->setFrameShape(QFrame::NoFrame);
    textScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    textScroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The focus stays on the buttons, whose keys answer; Page Up and Down scroll.
    textScroll_->setFocusPolicy(Qt::NoFocus);
    textScroll_->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    txtView_ = new MsgTextView(textScroll_);
    textScroll_->setWidgetResizable(true);  // as wide as the area, as tall as the text
    textScroll_->setWidget(txtView_);
    textScroll_->hide();

    const struct {
        QPushButton* button;
        short code;
    } answers[] = {{yesButton_, kAnswerYes},
                   {noButton_, kAnswerNo},
                   {cancelButton_, kAnswerCancel},
                   {okButton_, kAnswerOk}};
    for (const auto& a : answers) {
        const short code = a.code;
        connect(a.button, &QPushButton::clicked, this, [this, code] { finish(code); });
        a.button->installEventFilter(this);  // the window sees keys before its buttons
    }

    // Design size until the first call lays the box out.
    twipsPerPixel_ = platform::TwipsPerPixel();
    for (QPushButton* b : {yesButton_, noButton_, cancelButton_, okButton_}) {
        b->setFixedSize(px(kMsgButtonWidth), px(kMsgButtonHeight));
    }
    icon_->setGeometry(px(kMsgIconLeft), px(330), px(kMsgIconSize), px(kMsgIconSize));
    icon_->setPixmap(AppIconPixmap(px(kMsgIconSize)));
}

MsgBoxForm::~MsgBoxForm() {
    if (loop_) loop_->quit();
}

QPushButton* MsgBoxForm::button(MsgButton which) const {
    switch (which) {
        case MsgButton::Yes:
            return yesButton_;
        case MsgButton::No:
            return noButton_;
        case MsgButton::Cancel:
            return cancelButton_;
        case MsgButton::Ok:
            break;
    }
    return okButton_;
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
    // The box stays inside the usable part of its owner's screen.
    if (const QScreen* screen = owner->window()->screen()) {
        const QRect area = screen->availableGeometry();
        in.workArea = QRect(area.topLeft() * tpp, area.size() * tpp);
    }
    in.workMargin = kScreenMarginPx * tpp;
    in.scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) * tpp;
    layout_ = ComputeMsgLayout(in);

    setFixedSize(px(layout_.inner.width()), px(layout_.inner.height()));
    move(px(layout_.outer.left()), px(layout_.outer.top()));

    for (QPushButton* b : {yesButton_, noButton_, cancelButton_, okButton_}) {
        b->setFixedSize(px(kMsgButtonWidth), px(kMsgButtonHeight));
        b->move(b->x(), px(layout_.buttonTop));
        b->hide();
    }
    for (qsizetype i = 0; i < set.buttons.size(); ++i) {
        QPushButton* b = button(set.buttons[i]);
        b->move(px(layout_.buttonLefts[i]), px(layout_.buttonTop));
        b->show();
    }
    if (set.buttons.size() == 1) okButton_->setDefault(true);

    icon_->setGeometry(px(kMsgIconLeft), px(layout_.iconTop), px(kMsgIconSize), px(kMsgIconSize));
    // Painted at the device's own resolution so it stays sharp on scaled screens.
    const qreal dpr = devicePixelRatioF();
    QPixmap icon = AppIconPixmap(int(std::lround(icon_->width() * dpr)));
    icon.setDevicePixelRatio(dpr);
    icon_->setPixmap(icon);

    pieces_ =
        PlaceMsgLines(layout_.lines, MsgStyle{}, kMsgTextLeft, kMsgTextTop, lineHeight, in.measure);
    if (layout_.scrolls) {
        const int left = kMsgTextLeft / tpp;
        const int top = kMsgTextTop / tpp;
        textScroll_->setGeometry(left, top, width() - left, px(layout_.textArea.height()));
        txtView_->setFont(font());
        txtView_->setText(pieces_, lineHeight, tpp);
        const qint64 textHeight = qint64(layout_.lineCount) * lineHeight / tpp + 2;
        txtView_->setFixedHeight(int(std::min<qint64>(textHeight, QWIDGETSIZE_MAX)));
        textScroll_->verticalScrollBar()->setSingleStep(std::max(px(lineHeight), 1));
        textScroll_->verticalScrollBar()->setValue(0);
        textScroll_->show();
    } else {
        textScroll_->hide();
        txtView_->setText({}, lineHeight, tpp);
    }
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
        if (yesButton_->isHidden()) return false;
        finish(kAnswerYes);
        return true;
    }
    if (event->key() == Qt::Key_N || t == u"n" || t == u"N") {
        if (noButton_->isHidden()) return false;
        finish(kAnswerNo);
        return true;
    }
    if (event->key() == Qt::Key_Escape) {
        if (cancelButton_->isHidden() && okButton_->isHidden()) return false;
        finish(kAnswerCancel);
        return true;
    }
    if ((event->key() == Qt::Key_PageDown || event->key() == Qt::Key_PageUp) && layout_.scrolls) {
        textScroll_->verticalScrollBar()->triggerAction(event->key() == Qt::Key_PageDown
                                                            ? QAbstractSlider::SliderPageStepAdd
                                                            : QAbstractSlider::SliderPageStepSub);
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
    if (!layout_.scrolls) DrawMsgPieces(p, font(), pieces_, twipsPerPixel_);
}

}  // namespace dialogs
