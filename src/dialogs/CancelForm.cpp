#include "dialogs/CancelForm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QWindow>
#include <cmath>

#include "dialogs/AppIcon.h"
#include "dialogs/DialogParts.h"
#include "platform/Fonts.h"
#include "platform/Screen.h"

namespace dialogs {

namespace {
QPointer<CancelForm>& Form() {
    return Windows().progress;
}
}  // namespace

CancelForm::CancelForm() : QDialog(nullptr) {
    Windows().progressLoaded = true;
    setObjectName(QStringLiteral("CancelForm"));
    // Above other programs too, so the stop button stays in reach during a long run. Set
    // once here: changing the flags of a shown window would hide it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint);
    setWindowIcon(AppIcon());
    setWindowTitle(QStringLiteral("FOLDEX 印刷"));
    setModal(false);
    twipsPerPixel_ = platform::TwipsPerPixel();

    QFont face(platform::ResolveFontFamily(QStringLiteral("MS UI Gothic")));
    face.setPointSizeF(9.75);
    setFont(face);

    titleLabel_ = new QLabel(QStringLiteral("印刷中"), this);
    titleLabel_->setObjectName(QStringLiteral("TITDSP"));
    QFont titleFont = face;
    titleFont.setPointSizeF(11.25);
    titleFont.setBold(true);
    titleLabel_->setFont(titleFont);
    titleLabel_->setTextFormat(Qt::PlainText);
    titleLabel_->setGeometry(px(150), px(180), px(3825), px(315));

    awayBox_ = new QCheckBox(QStringLiteral("退席"), this);
    awayBox_->setObjectName(QStringLiteral("退席SEL"));
    awayBox_->setGeometry(px(150), px(660), px(1500), px(315));

    stopButton_ = new QPushButton(QStringLiteral("中止"), this);
    stopButton_->setObjectName(QStringLiteral("CANBTN"));
    stopButton_->setGeometry(px(2835), px(630), px(1215), px(375));
    connect(stopButton_, &QPushButton::clicked, this, &CancelForm::stop);

    setFixedSize(px(4200), px(1185));
}

CancelForm::~CancelForm() {
    // Found, not made: the window may go with the application's parts.
    if (auto* windows = app::Application::Current().find<DialogWindows>())
        windows->progressLoaded = false;
}

int CancelForm::px(int twips) const {
    return int(std::lround(double(twips) / (twipsPerPixel_ > 0 ? twipsPerPixel_ : 15)));
}

void CancelForm::Begin(const QString& caption, const QString& title, bool showAway,
                       QWidget* owner) {
    EndCode = false;
    setWindowTitle(caption);
    SetTitle(title);
    awayBox_->setVisible(showAway);
    owner_ = owner ? owner->window() : nullptr;
    create();
    // Kept above its owner, which stays usable for its stop and close.
    if (QWindow* w = windowHandle())
        w->setTransientParent(owner_ ? owner_->windowHandle() : nullptr);
    if (owner_ && !isVisible()) {
        const QRect o = owner_->frameGeometry();
        move(o.left() + (o.width() - width()) / 2, o.top() + (o.height() - height()) / 2);
    }
    show();
    raise();
    stopButton_->setFocus(Qt::OtherFocusReason);
}

void CancelForm::SetTitle(const QString& title) {
    titleLabel_->setText(title);
}

bool CancelForm::Away() const {
    return !awayBox_->isHidden() && awayBox_->isChecked();
}

void CancelForm::End() {
    hide();
    if (QWindow* w = windowHandle()) w->setTransientParent(nullptr);
    owner_ = nullptr;
}

void CancelForm::stop() {
    EndCode = true;
    hide();
}

void CancelForm::reject() {
    // Esc presses the stop button.
    stop();
}

void CancelForm::closeEvent(QCloseEvent* event) {
    // Closing the window asks the operation to stop, as the button does.
    if (isVisible()) stop();
    event->accept();
}

CancelForm& ProgressWindow() {
    if (!Form()) Form() = new CancelForm;
    return *Form();
}

bool CancelFormLoaded() {
    return Windows().progressLoaded;
}

bool OperationRunning() {
    return CancelFormLoaded() && Form() && Form()->Running();
}

}  // namespace dialogs
