#include "dialogs/OptionForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QWindow>

#include "dialogs/AppIcon.h"
#include "platform/Beep.h"
#include "platform/Fonts.h"
#include "platform/Screen.h"
#include "settings/Context.h"
#include "settings/Startup.h"

namespace dialogs {

namespace {

constexpr short kAnswerOk = 1;
constexpr short kAnswerCancel = 2;
constexpr QRgb kSelectedItemText = 0xFF0000FF;  // blue

const char16_t* const kItemCaptions[kOptionItems] = {
    u"・リストの文字の色　　（Colorオフ時）",
    u"・リストの背景色　　　（Colorオフ時）",
    u"・選択されたリストの文字の色",
    u"・選択されたリストの背景色",
    u"・リストの横線の色",
    u"・リストの縦線の色",
    u"・項目名の文字の色",
    u"・項目名の背景色",
};
const char* const kLevelCaptions[8] = {"Level 1", "  Level 2", "    Level 3", "      Level 4",
                                       "Level 5", "  Level 6", "    Level 7", "      Level 8"};

quint32 FromQColor(const QColor& c) {
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

QFont UiFont(const QString& windowsFace, double points) {
    QFont f(platform::ResolveFontFamily(windowsFace));
    f.setPointSizeF(points);
    return f;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char16_t* caption, int x, int y) {
    auto* c = new QCheckBox(QString::fromUtf16(caption), parent);
    c->setObjectName(QString::fromUtf8(name));
    c->move(x, y);
    c->resize(std::min(280, c->sizeHint().width()), 20);
    return c;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption,
                        const QRect& geometry) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

QPoint OptionPlacement(const QRect& owner, const QSize& dialog, const QRect& screen) {
    int left = owner.x() + owner.width();
    if (left + dialog.width() >= screen.x() + screen.width()) left = owner.x() - dialog.width();
    int top = std::max(owner.y(), 0);
    // Neither side has room: the dialog stays on the screen, over its owner, so that it can be
    // reached and closed.
    if (!screen.isEmpty()) {
        left = std::clamp(left, screen.x(),
                          std::max(screen.x(), screen.x() + screen.width() - dialog.width()));
        top = std::clamp(top, screen.y(),
                         std::max(screen.y(), screen.y() + screen.height() - dialog.height()));
    }
    return {left, top};
}

OptionForm::OptionForm(OptionTarget& target) : QDialog(nullptr), target_(target) {
    setObjectName(QStringLiteral("OptionForm"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("オプション設定"));
    setWindowIcon(AppIcon());
    setModal(false);
    setFont(UiFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    build();
    setFixedSize(640, 384);
}

OptionForm::~OptionForm() {
    if (loop_) loop_->quit();
    if (owner_) owner_->removeEventFilter(this);
}

void OptionForm::build() {
    hRulesBox_ = MakeCheck(this, "OPTDKEH", u"横の罫線を表示", 14, 12);
    vRulesBox_ = MakeCheck(this, "OPTDKEV", u"縦の罫線を表示", 14, 36);
    rules3dBox_ = MakeCheck(this, "OPTDKE3", u"罫線を3D表示", 14, 60);
    treeBox_ = MakeCheck(this, "OPTDTRE", u"フォルダーをツリー表示", 14, 94);
    static const char16_t* const kWide[] = {u"段差を広く", u"段差を狭く"};
    for (int k = 0; k < 2; ++k) {
        QPushButton* b = MakeButton(this, QStringLiteral("WIDBTN"), QString::fromUtf16(kWide[k]),
                                    QRect(34 + 120 * k, 118, 112, 24));
        b->setProperty("index", k);
        connect(b, &QPushButton::clicked, this, [this, k] { indentClicked(k); });
        widthButtons_[size_t(k)] = b;
    }
    windowsSelectionBox_ = MakeCheck(this, "OPTSELW", u"Windows標準の選択方式", 14, 156);
    newWindowBox_ = MakeCheck(this, "OPTNWIN", u"ドライブを変えたら新規ウィンドウを開く", 14, 180);

    static const char16_t* const kFont[] = {u"フォルダー名フォントの変更",
                                            u"サイズ欄フォントの変更"};
    for (int k = 0; k < 2; ++k) {
        const int y = 216 + 44 * k;
        QPushButton* b = MakeButton(this, QStringLiteral("FONBTN"), QString::fromUtf16(kFont[k]),
                                    QRect(14, y, 176, 28));
        b->setProperty("index", k);
        connect(b, &QPushButton::clicked, this, [this, k] { fontClicked(k); });
        fontButtons_[size_t(k)] = b;
        auto* sample = new QLabel(QStringLiteral("font"), this);
        sample->setObjectName(QStringLiteral("OPTFON"));
        sample->setProperty("index", k);
        sample->setGeometry(198, y - 6, 96, 40);
        sample->setFrameShape(QFrame::StyledPanel);
        sample->setAlignment(Qt::AlignCenter);
        fontSamples_[size_t(k)] = sample;
    }

    trashBox_ = MakeCheck(this, "ごみ箱SEL", u"削除したフォルダーをごみ箱へ移す", 14, 306);
    trashBox_->setToolTip(
        QStringLiteral("オンにすると、フォルダーを削除せずにデスクトップのごみ箱へ移します。ごみ箱"
                       "から元に戻せます"));
    shareBox_ = MakeCheck(this, "割合SEL", u"下位合計に親フォルダー内の割合を表示", 14, 330);
    shareBox_->setToolTip(
        QStringLiteral("オンにすると、下位合計の欄に、親フォルダーの下位合計に占める割合を細い棒で"
                       "表示します"));
    snapshotBox_ = MakeCheck(this, "スナップSEL", u"スナップショットを保存する（比較用）", 14, 354);
    snapshotBox_->setToolTip(
        QStringLiteral("オンにすると、ドライブを読み終えるたびにフォルダーごとのサイズをキャッシュ"
                       "フォルダーに保存し、あとで比較できるようにします"));

    auto* colourBox = new QGroupBox(QStringLiteral("色　指定"), this);
    colourBox->setGeometry(306, 6, 322, 222);
    for (int i = 0; i < kOptionItems; ++i) {
        const int y = 22 + 24 * i;
        auto* name = new QLabel(QString::fromUtf16(kItemCaptions[i]), colourBox);
        name->setObjectName(QStringLiteral("COLNAM"));
        name->setProperty("index", i);
        name->setGeometry(8, y, 250, 20);
        name->setCursor(Qt::PointingHandCursor);
        name->installEventFilter(this);
        auto* swatch = new QLabel(colourBox);
        swatch->setObjectName(QStringLiteral("COLDSP"));
        swatch->setProperty("index", i);
        swatch->setGeometry(264, y, 48, 20);
        swatch->setFrameShape(QFrame::Box);
        swatch->setAutoFillBackground(true);
        swatch->setCursor(Qt::PointingHandCursor);
        swatch->installEventFilter(this);
        colourNames_[size_t(i)] = name;
        colourSamples_[size_t(i)] = swatch;
    }

    auto* levelBox = new QGroupBox(QStringLiteral("レベル毎の文字の色"), this);
    levelBox->setGeometry(306, 234, 322, 94);
    const QFont levelFont = UiFont(QStringLiteral("ＭＳ Ｐ明朝"), 9);
    for (int i = 0; i < 8; ++i) {
        auto* l = new QLabel(QLatin1String(kLevelCaptions[i]), levelBox);
        l->setObjectName(QStringLiteral("LVLNAM"));
        l->setProperty("index", i);
        l->setFont(levelFont);
        l->setGeometry(12 + 156 * (i / 4), 20 + 17 * (i % 4), 140, 16);
        l->installEventFilter(this);
        levelNames_[size_t(i)] = l;
    }

    okButton_ =
        MakeButton(this, QStringLiteral("OKBTN"), QStringLiteral("OK"), QRect(338, 336, 90, 28));
    cancelButton_ = MakeButton(this, QStringLiteral("CANBTN"), QStringLiteral("ｷｬﾝｾﾙ"),
                               QRect(436, 336, 90, 28));
    helpButton_ = MakeButton(this, QStringLiteral("HLPBTN"), QStringLiteral("ヘルプ"),
                             QRect(534, 336, 90, 28));
    connect(okButton_, &QPushButton::clicked, this, [this] { finish(kAnswerOk); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { finish(kAnswerCancel); });
    connect(helpButton_, &QPushButton::clicked, this, [this] { app::ShowHelp(this); });

    // Only a person's click acts; the owner's filling sets the boxes quietly.
    connect(hRulesBox_, &QCheckBox::clicked, this, [this](bool on) {
        target_.D_KeiH(on ? 1 : 0);
        if (!on) rules3dBox_->setChecked(false);
    });
    connect(vRulesBox_, &QCheckBox::clicked, this, [this](bool on) {
        target_.D_KeiV(on ? 1 : 0);
        if (!on) rules3dBox_->setChecked(false);
    });
    connect(rules3dBox_, &QCheckBox::clicked, this, [this](bool on) {
        if (on) {
            hRulesBox_->setChecked(true);
            vRulesBox_->setChecked(true);
        }
        target_.D_Kei3D(on);
        // Relief rules may have lightened a white background: the swatch shows what OK keeps.
        setColour(1, target_.ItemColour(1));
    });
    connect(shareBox_, &QCheckBox::clicked, this, [this](bool on) { target_.D_Share(on); });
    connect(treeBox_, &QCheckBox::clicked, this, [this](bool on) {
        target_.D_Tree(on);
        // The tree display turns the narrow indent off.
        if (on) narrow_ = false;
        widthButtons_[0]->setEnabled(!on && narrow_);
        widthButtons_[1]->setEnabled(!on && !narrow_);
    });
}

void OptionForm::setLines(bool horizontal, bool vertical, bool line3D) {
    hRulesBox_->setChecked(horizontal);
    vRulesBox_->setChecked(vertical);
    rules3dBox_->setChecked(line3D);
}

void OptionForm::setTree(bool on) {
    treeBox_->setChecked(on);
}

void OptionForm::setIndentButtons(bool enabled, bool narrow) {
    narrow_ = narrow;
    widthButtons_[0]->setEnabled(enabled && narrow);
    widthButtons_[1]->setEnabled(enabled && !narrow);
}

void OptionForm::setSelectionStyle(bool windows) {
    windowsSelectionBox_->setChecked(windows);
}

void OptionForm::setNewWindow(bool on) {
    newWindowBox_->setChecked(on);
}

void OptionForm::setUseTrash(bool on) {
    trashBox_->setChecked(on);
}

void OptionForm::setShareBar(bool on) {
    shareBox_->setChecked(on);
}

void OptionForm::setKeepSnapshots(bool on) {
    snapshotBox_->setChecked(on);
}

void OptionForm::setColour(int item, quint32 colour) {
    if (item < 0 || item >= kOptionItems) return;
    colours_[size_t(item)] = colour;
    showColour(item);
}

void OptionForm::showColour(int item) {
    QLabel* swatch = colourSamples_[size_t(item)];
    QPalette p = swatch->palette();
    p.setColor(QPalette::Window, QColor::fromRgb(target_.ScreenColour(colours_[size_t(item)])));
    swatch->setPalette(p);
}

void OptionForm::setListFont(int index, const OptionFont& font) {
    if (index < 0 || index > 1) return;
    fonts_[size_t(index)] = font;
    showFont(index);
}

void OptionForm::showFont(int index) {
    const OptionFont& f = fonts_[size_t(index)];
    QFont q(platform::ResolveFontFamily(f.name));
    if (f.size > 0) q.setPointSizeF(f.size);
    q.setBold(f.bold);
    q.setItalic(f.italic);
    fontSamples_[size_t(index)]->setFont(q);
    fontSamples_[size_t(index)]->setToolTip(
        QStringLiteral("%1  %2pt").arg(f.name, QString::number(f.size)));
}

void OptionForm::setLevelColours(const std::array<QRgb, 8>& colours) {
    for (int i = 0; i < 8; ++i) {
        QPalette p = levelNames_[size_t(i)]->palette();
        p.setColor(QPalette::WindowText, QColor::fromRgb(colours[size_t(i)]));
        levelNames_[size_t(i)]->setPalette(p);
    }
}

bool OptionForm::horizontal() const {
    return hRulesBox_->isChecked();
}
bool OptionForm::vertical() const {
    return vRulesBox_->isChecked();
}
bool OptionForm::line3D() const {
    return rules3dBox_->isChecked();
}
bool OptionForm::tree() const {
    return treeBox_->isChecked();
}
bool OptionForm::selectionStyle() const {
    return windowsSelectionBox_->isChecked();
}
bool OptionForm::newWindow() const {
    return newWindowBox_->isChecked();
}
bool OptionForm::useTrash() const {
    return trashBox_->isChecked();
}
bool OptionForm::shareBar() const {
    return shareBox_->isChecked();
}
bool OptionForm::keepSnapshots() const {
    return snapshotBox_->isChecked();
}

void OptionForm::colourClicked(int item) {
    if (item < 0 || item >= kOptionItems) return;
    if (!app::Ctx().CommonDialogReady) {
        platform::Beep();
        return;
    }
    if (selectedItem_ >= 0) colourNames_[size_t(selectedItem_)]->setStyleSheet(QString());
    colourNames_[size_t(item)]->setStyleSheet(
        QStringLiteral("color: %1").arg(QColor::fromRgb(kSelectedItemText).name()));
    selectedItem_ = item;
    // A system colour starts the dialog at the colour it shows; left as it was, the item keeps
    // the system colour.
    const quint32 current = colours_[size_t(item)];
    const quint32 start = current & 0x80000000u
                              ? FromQColor(QColor::fromRgb(target_.ScreenColour(current)))
                              : current;
    const quint32 chosen = ColourDialog(start, this);
    setColour(item, chosen == start ? current : chosen);
    target_.D_Col(item, colours_[size_t(item)]);
}

void OptionForm::indentClicked(int k) {
    if (k < 0 || k > 1) return;
    QPushButton* other = widthButtons_[size_t(1 - k)];
    other->setEnabled(true);
    other->setFocus(Qt::OtherFocusReason);
    widthButtons_[size_t(k)]->setEnabled(false);
    narrow_ = k == 1;
    target_.D_Wide(narrow_);
    treeBox_->setEnabled(widthButtons_[1]->isEnabled());
}

void OptionForm::fontClicked(int k) {
    if (k < 0 || k > 1) return;
    if (!app::Ctx().CommonDialogReady) {
        platform::Beep();
        return;
    }
    // A cancel gives the starting font back: nothing changes then.
    const OptionFont chosen = FontDialog(fonts_[size_t(k)], this);
    if (chosen == fonts_[size_t(k)] || chosen.name.isEmpty()) return;
    setListFont(k, chosen);
    target_.D_Fon(fonts_[0], fonts_[1]);
}

short OptionForm::DispOption(QWidget* owner) {
    owner_ = owner ? owner->window() : nullptr;
    // Stays above its owner; above everything when the owner fills the screen. The flag is
    // set before the window exists, as changing it later makes a new one.
    setWindowFlag(Qt::WindowStaysOnTopHint,
                  owner_ && (owner_->windowState() & Qt::WindowMaximized));
    create();
    if (owner_) {
        const QRect ownerFrame = owner_->frameGeometry();
        QSize frame = frameGeometry().size() - geometry().size();
        if (frame.isEmpty()) frame = ownerFrame.size() - owner_->geometry().size();
        move(OptionPlacement(ownerFrame, size() + frame, platform::ScreenRectPixels()));
        if (QWindow* w = windowHandle()) w->setTransientParent(owner_->windowHandle());
        // The owner going away ends the dialog as Cancel.
        owner_->installEventFilter(this);
    }
    answer_ = 0;
    show();
    raise();
    activateWindow();

    QPointer<OptionForm> self(this);
    QEventLoop loop;
    loop_ = &loop;
    if (answer_ == 0) loop.exec();
    if (!self) return kAnswerCancel;
    loop_ = nullptr;
    // An application quitting ends every loop; that counts as Cancel.
    if (answer_ == 0) answer_ = kAnswerCancel;
    hide();
    if (owner_) owner_->removeEventFilter(this);
    if (QWindow* w = windowHandle()) w->setTransientParent(nullptr);
    owner_ = nullptr;
    return answer_;
}

void OptionForm::finish(short code) {
    if (answer_ != 0) return;
    answer_ = code;
    hide();
    if (loop_) loop_->quit();
}

void OptionForm::reject() {
    finish(kAnswerCancel);
}

void OptionForm::closeEvent(QCloseEvent* event) {
    // No close button, but the window manager may still close it: that is Cancel, and the
    // dialog stays for its owner to read.
    finish(kAnswerCancel);
    event->ignore();
    hide();
}

bool OptionForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_) {
        if (event->type() == QEvent::Close) finish(kAnswerCancel);
        return false;
    }
    if (event->type() != QEvent::MouseButtonPress ||
        static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return QDialog::eventFilter(watched, event);
    const QString name = watched->objectName();
    const int index = watched->property("index").toInt();
    if (name == QLatin1String("COLNAM") || name == QLatin1String("COLDSP")) {
        colourClicked(index);
        return true;
    }
    if (name == QLatin1String("LVLNAM")) {
        selectedLevel_ = index;
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace dialogs
