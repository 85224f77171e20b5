#include "print/widget/PrevForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>

#include "dialogs/AppIcon.h"
#include "platform/Beep.h"
#include "platform/Fonts.h"
#include "platform/Screen.h"
#include "print/widget/PrintParts.h"
#include "settings/Settings.h"

namespace print {

namespace {

const char16_t* const kSizes[] = {u"9", u"9.75", u"10.5", u"11.25", u"12"};
const char16_t* const kGaps[] = {u"1.2行", u"1.4行", u"1.6行", u"1.8行"};

constexpr int kAllPagesLast = 32767;
const QString kOpenEnd = QStringLiteral("最終");

QFont Face(const QString& windowsFace, double points) {
    QFont f(platform::ResolveFontFamily(windowsFace));
    f.setPointSizeF(points);
    return f;
}

QCheckBox* MakeCheck(QWidget* parent, const char16_t* name, const char16_t* caption,
                     const QRect& geometry) {
    auto* c = new QCheckBox(QString::fromUtf16(caption), parent);
    c->setObjectName(QString::fromUtf16(name));
    c->setGeometry(geometry);
    return c;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char16_t* caption,
                        const QRect& geometry) {
    auto* b = new QPushButton(QString::fromUtf16(caption), parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    return b;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char16_t* caption,
                  const QRect& geometry) {
    auto* l = new QLabel(QString::fromUtf16(caption), parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    return l;
}

// A stored list index; the default when it names no item.
int StoredIndex(const char* key, int def, int items) {
    const int v = app::GetOptInt(QLatin1String(key), def);
    return v >= 0 && v < items ? v : def;
}

int CheckValue(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

bool IsNumeric(const QString& text) {
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok;
}

}  // namespace

bool PrevFormLoaded() {
    const PrintParts* parts = app::Application::Current().find<PrintParts>();
    return parts && parts->formLoaded;
}

int PageNumber(const QString& text) {
    return app::DecodeInt(text).value_or(0);
}

QRect PreviewPlacement(QSizeF sheet, QSizeF printable, QSize outerTwips, QSize inner,
                       int twipsPerPixel) {
    const double W = sheet.width(), H = sheet.height();
    const double w = printable.width(), h = printable.height();
    if (W <= 0 || H <= 0 || w <= 0 || h <= 0 || twipsPerPixel <= 0) return {};
    // The margins scale with the sheet, as the printable area does, so that it sits centrally.
    const double xOffset = (W - w) / 2 * outerTwips.width() / W;
    const double yOffset = (H - h) / 2 * outerTwips.height() / H;
    const int width = int(std::lround(w / W * inner.width()));
    const int height = int(std::lround(h / H * inner.height()));
    return QRect(int(std::lround(xOffset / twipsPerPixel)),
                 int(std::lround(yOffset / twipsPerPixel)), width, height);
}

PagePicture::PagePicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PagePicture::setPicture(const QImage& image, const QRect& target) {
    image_ = image;
    target_ = target;
    update();
}

void PagePicture::clearPicture() {
    image_ = QImage();
    target_ = QRect();
    update();
}

QImage PagePicture::grabbed() const {
    QImage out(size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    if (!image_.isNull() && target_.isValid()) {
        QPainter p(&out);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target_, image_);
    }
    return out;
}

void PagePicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, grabbed());
}

PrevForm::PrevForm() : QDialog(nullptr) {
    Parts().formLoaded = true;
    twipsPerPixel_ = platform::TwipsPerPixel();
    setObjectName(QStringLiteral("PrevForm"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("FOLDEX 印刷"));
    setWindowIcon(dialogs::AppIcon());
    setModal(false);
    setFont(Face(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    build();
    readSettings();
}

PrevForm::~PrevForm() {
    unload();
}

int PrevForm::px(int twips) const {
    return int(std::lround(double(twips) / twipsPerPixel_));
}

void PrevForm::build() {
    preview_ = new PagePicture(this);
    preview_->setObjectName(QStringLiteral("PREVIW"));
    preview_->setGeometry(8, 8, px(kPreviewWidthTwips), px(kPreviewHeightTwips));
    pageBox_ = new PagePicture(this);
    pageBox_->setObjectName(QStringLiteral("PREMEM"));
    pageBox_->hide();

    const int x0 = preview_->geometry().right() + 12;
    const int colW = 262;

    auto* fontBox = new QGroupBox(QStringLiteral("リストのフォント"), this);
    fontBox->setGeometry(x0, 4, colW, 100);
    fontGroup_ = new QButtonGroup(this);
    const char16_t* const kFaces[] = {u"明朝体", u"ゴシック体"};
    for (int k = 0; k < 2; ++k) {
        auto* r = new QRadioButton(QString::fromUtf16(kFaces[k]), fontBox);
        r->setObjectName(QStringLiteral("FONTYP"));
        r->setProperty("index", k);
        r->setGeometry(12 + 96 * k, 20, 92, 20);
        fontGroup_->addButton(r, k);
        fontChoice_[size_t(k)] = r;
        connect(r, &QRadioButton::clicked, this, &PrevForm::optionChanged);
    }
    MakeLabel(fontBox, "Label1", u"ｻｲｽﾞ", QRect(12, 46, 36, 20));
    sizeList_ = new QComboBox(fontBox);
    sizeList_->setObjectName(QStringLiteral("SIZLST"));
    for (const char16_t* s : kSizes) sizeList_->addItem(QString::fromUtf16(s));
    sizeList_->setGeometry(50, 44, 72, 24);
    connect(sizeList_, &QComboBox::activated, this, &PrevForm::optionChanged);
    boldBox_ = MakeCheck(fontBox, u"BLDSEL", u"太字", QRect(140, 46, 80, 20));
    connect(boldBox_, &QCheckBox::clicked, this, &PrevForm::optionChanged);
    MakeLabel(fontBox, "Label2", u"行間", QRect(12, 72, 36, 20));
    gapList_ = new QComboBox(fontBox);
    gapList_->setObjectName(QStringLiteral("行間LST"));
    for (const char16_t* s : kGaps) gapList_->addItem(QString::fromUtf16(s));
    gapList_->setGeometry(50, 70, 72, 24);
    connect(gapList_, &QComboBox::activated, this, &PrevForm::optionChanged);

    int y = 112;
    treeBox_ =
        MakeCheck(this, u"ツリー印字SEL", u"アイコンとツリー印字", QRect(x0 + 4, y, colW, 20));
    treeBox_->setToolTip(QStringLiteral("オフにすると、文字だけのリストが印字されます"));
    hRulesBox_ = MakeCheck(this, u"横罫SEL", u"横の罫線を印字", QRect(x0 + 4, y += 22, colW, 20));
    vRulesBox_ = MakeCheck(this, u"縦罫SEL", u"縦の罫線を印字", QRect(x0 + 4, y += 22, colW, 20));
    frameBox_ = MakeCheck(this, u"外枠SEL", u"外枠を印字", QRect(x0 + 4, y += 22, colW, 20));
    wrapBox_ = MakeCheck(this, u"折返SEL", u"長い行は折り返す", QRect(x0 + 4, y += 22, colW, 20));
    wrapBox_->setToolTip(QStringLiteral("オフにすると、長い文字は切り捨てられます"));
    for (QCheckBox* c : {treeBox_, hRulesBox_, vRulesBox_, frameBox_, wrapBox_}) {
        connect(c, &QCheckBox::clicked, this, &PrevForm::optionChanged);
    }

    auto* rangeBox = new QGroupBox(QStringLiteral("印字するページ"), this);
    rangeBox->setGeometry(x0, y += 30, colW, 96);
    rangeGroup_ = new QButtonGroup(this);
    const char16_t* const kRanges[] = {u"総てのページを印字", u"指定ページのみ印字"};
    for (int k = 0; k < 2; ++k) {
        auto* r = new QRadioButton(QString::fromUtf16(kRanges[k]), rangeBox);
        r->setObjectName(QStringLiteral("頁範囲OPT"));
        r->setProperty("index", k);
        r->setGeometry(12, 20 + 22 * k, 200, 20);
        rangeGroup_->addButton(r, k);
        rangeChoice_[size_t(k)] = r;
        connect(r, &QRadioButton::clicked, this, &PrevForm::rangeChanged);
    }
    rangeChoice_[0]->setChecked(true);
    const QFont fieldFont = Face(QStringLiteral("ＭＳ Ｐ明朝"), 9);
    firstPageField_ = new QLineEdit(QStringLiteral("1"), rangeBox);
    firstPageField_->setObjectName(QStringLiteral("TOPLIN"));
    firstPageField_->setToolTip(QStringLiteral("印字開始ページを指定します"));
    firstPageField_->setGeometry(36, 66, 56, 22);
    MakeLabel(rangeBox, "Label3", u"～", QRect(98, 68, 18, 20));
    lastPageField_ = new QLineEdit(QStringLiteral("1"), rangeBox);
    lastPageField_->setObjectName(QStringLiteral("ENDLIN"));
    lastPageField_->setToolTip(QStringLiteral("印字終了ページを指定します"));
    lastPageField_->setGeometry(120, 66, 56, 22);
    for (QLineEdit* f : {firstPageField_, lastPageField_}) f->setFont(fieldFont);

    y += 104;
    const int bw = (colW - 12) / 3;
    setupButton_ = MakeButton(this, "SETBTN", u"ﾌﾟﾘﾝﾀｰの設定", QRect(x0, y, bw + 8, 28));
    printButton_ = MakeButton(this, "PRNBTN", u"印刷開始", QRect(x0 + bw + 14, y, bw - 4, 28));
    cancelButton_ = MakeButton(this, "CANBTN", u"ｷｬﾝｾﾙ", QRect(x0 + 2 * bw + 16, y, bw - 4, 28));
    connect(setupButton_, &QPushButton::clicked, this, &PrevForm::setupClicked);
    connect(printButton_, &QPushButton::clicked, this, &PrevForm::printClicked);
    connect(cancelButton_, &QPushButton::clicked, this, &PrevForm::cancelClicked);

    for (QWidget* w : std::initializer_list<QWidget*>{
             fontChoice_[0], fontChoice_[1], sizeList_, boldBox_, gapList_, treeBox_, hRulesBox_,
             vRulesBox_, frameBox_, wrapBox_, rangeChoice_[0], rangeChoice_[1], firstPageField_,
             lastPageField_}) {
        w->installEventFilter(this);
    }
    QWidget* order[] = {fontChoice_[0], sizeList_,       boldBox_,        gapList_,
                        treeBox_,       vRulesBox_,      frameBox_,       hRulesBox_,
                        wrapBox_,       rangeChoice_[0], firstPageField_, lastPageField_,
                        printButton_,   cancelButton_,   setupButton_};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

    setFixedSize(x0 + colW + 10, std::max(preview_->geometry().bottom() + 9, y + 38));
}

void PrevForm::readSettings() {
    reading_ = true;
    fontChoice_[app::GetOptBool(QStringLiteral("RomanFont"), -1) ? 0 : 1]->setChecked(true);
    sizeList_->setCurrentIndex(StoredIndex("SizeIndex", 1, int(std::size(kSizes))));
    boldBox_->setChecked(app::GetOptInt(QStringLiteral("BoldFont"), 0) != 0);
    gapList_->setCurrentIndex(StoredIndex("GapIndex", 1, int(std::size(kGaps))));
    treeBox_->setChecked(app::GetOptInt(QStringLiteral("PrnTree"), 1) != 0);
    hRulesBox_->setChecked(app::GetOptInt(QStringLiteral("PrnHline"), 1) != 0);
    vRulesBox_->setChecked((app::GetOptInt(QStringLiteral("PrnVline"), 1) & 1) != 0);
    frameBox_->setChecked(app::GetOptInt(QStringLiteral("PrnFrame"), 1) != 0);
    wrapBox_->setChecked(app::GetOptInt(QStringLiteral("PrnWrap"), 1) != 0);
    reading_ = false;
    changed_ = false;
}

void PrevForm::writeSettings() {
    if (!changed_) return;
    app::PutOptInt(QStringLiteral("RomanFont"), romanFont() ? -1 : 0);
    app::PutOptInt(QStringLiteral("BoldFont"), CheckValue(boldBox_));
    app::PutOptInt(QStringLiteral("SizeIndex"), sizeIndex());
    app::PutOptInt(QStringLiteral("GapIndex"), gapIndex());
    app::PutOptInt(QStringLiteral("PrnTree"), CheckValue(treeBox_));
    app::PutOptInt(QStringLiteral("PrnVline"), CheckValue(vRulesBox_));
    app::PutOptInt(QStringLiteral("PrnHline"), CheckValue(hRulesBox_));
    app::PutOptInt(QStringLiteral("PrnFrame"), CheckValue(frameBox_));
    app::PutOptInt(QStringLiteral("PrnWrap"), CheckValue(wrapBox_));
    changed_ = false;
}

void PrevForm::unload() {
    // Found, not made: a window deleted with the application's parts writes nothing more.
    PrintParts* parts = app::Application::Current().find<PrintParts>();
    if (!parts || !parts->formLoaded) return;
    writeSettings();
    parts->formLoaded = false;
}

bool PrevForm::romanFont() const {
    return fontChoice_[0]->isChecked();
}
int PrevForm::sizeIndex() const {
    return sizeList_->currentIndex();
}
bool PrevForm::boldFont() const {
    return boldBox_->isChecked();
}
int PrevForm::gapIndex() const {
    return gapList_->currentIndex();
}
bool PrevForm::printTree() const {
    return treeBox_->isChecked();
}
bool PrevForm::printHLine() const {
    return hRulesBox_->isChecked();
}
bool PrevForm::printVLine() const {
    return vRulesBox_->isChecked();
}
bool PrevForm::printFrame() const {
    return frameBox_->isChecked();
}
bool PrevForm::wrap() const {
    return wrapBox_->isChecked();
}
bool PrevForm::allPages() const {
    return !rangeChoice_[1]->isChecked();
}
QString PrevForm::firstPageText() const {
    return firstPageField_->text();
}
QString PrevForm::lastPageText() const {
    return lastPageField_->text();
}

int PrevForm::firstPage() const {
    return allPages() ? 1 : PageNumber(firstPageField_->text());
}

int PrevForm::lastPage() const {
    if (allPages()) return kAllPagesLast;
    const int last = PageNumber(lastPageField_->text());
    return last < firstPage() ? kAllPagesLast : last;
}

void PrevForm::redraw() {
    if (previewOutput_ && redraw_) redraw_();
}

void PrevForm::optionChanged() {
    if (reading_) return;
    changed_ = true;
    redraw();
}

void PrevForm::rangeChanged() {
    redraw();
}

void PrevForm::showPage(QSizeF sheet, QSizeF printable) {
    const QRect target =
        PreviewPlacement(sheet, printable, QSize(kPreviewWidthTwips, kPreviewHeightTwips),
                         preview_->size(), twipsPerPixel_);
    pageBox_->setPicture(pageImage_, QRect(QPoint(0, 0), pageImage_.size()));
    preview_->setPicture(pageImage_, target);
    preview_->repaint();
}

void PrevForm::clearPreview() {
    preview_->clearPicture();
}

void PrevForm::printClicked() {
    // A range the fields cannot stand for is not printed: the person corrects it first.
    if (refocusing_) return;
    if (!allPages() && (!leaveFirst() || !leaveLast())) return;
    PrStart = true;
    hide();
    writeSettings();
}

void PrevForm::cancelClicked() {
    PrStart = false;
    hide();
}

void PrevForm::setupClicked() {
    if (setup_ && setup_(this)) redraw();
}

void PrevForm::reject() {
    cancelClicked();
}

void PrevForm::closeEvent(QCloseEvent* event) {
    // The window stays for the next print command; closing it only cancels.
    event->ignore();
    cancelClicked();
}

void PrevForm::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    emit hidden();
}

bool PrevForm::leaveFirst() {
    const int v = PageNumber(firstPageField_->text());
    if (v < 1 || v > 100) {
        platform::Beep();
        keepFocus(firstPageField_);
        return false;
    }
    if (lastPageField_->text() != kOpenEnd && PageNumber(lastPageField_->text()) < v) {
        lastPageField_->setText(firstPageField_->text());
    }
    return true;
}

bool PrevForm::leaveLast() {
    const QString text = lastPageField_->text();
    const int e = PageNumber(text);
    if (!IsNumeric(text) || e == 0 || e < PageNumber(firstPageField_->text()) || e >= 201) {
        platform::Beep();
        keepFocus(lastPageField_);
        return false;
    }
    return true;
}

void PrevForm::keepFocus(QLineEdit* field) {
    // The focus is on its way elsewhere: it comes back once that move is over.
    refocusing_ = true;
    QTimer::singleShot(0, field, [this, field] {
        field->setFocus(Qt::OtherFocusReason);
        field->selectAll();
        refocusing_ = false;
    });
}

QWidget* PrevForm::enterTarget(QObject* control) const {
    if (control == fontChoice_[0] || control == fontChoice_[1]) return sizeList_;
    if (control == sizeList_ || control == gapList_ || control == treeBox_ || control == boldBox_) {
        return vRulesBox_;
    }
    if (control == vRulesBox_) return frameBox_;
    if (control == frameBox_) return hRulesBox_;
    if (control == hRulesBox_) return wrapBox_;
    if (control == wrapBox_) return printButton_;
    if (control == rangeChoice_[0] || control == rangeChoice_[1]) {
        return allPages() ? static_cast<QWidget*>(printButton_) : firstPageField_;
    }
    if (control == firstPageField_) return lastPageField_;
    if (control == lastPageField_) return printButton_;
    return nullptr;
}

bool PrevForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) break;
            if (QWidget* next = enterTarget(watched)) next->setFocus(Qt::TabFocusReason);
            return true;
        }
        case QEvent::FocusIn:
            if (watched == firstPageField_ || watched == lastPageField_) {
                auto* field = static_cast<QLineEdit*>(watched);
                QTimer::singleShot(0, field, [field] { field->selectAll(); });
            }
            break;
        case QEvent::FocusOut: {
            if (watched != firstPageField_ && watched != lastPageField_) break;
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            // Another window taking the focus, or this one going away, is no leaving.
            if (refocusing_ || !isVisible() || reason == Qt::ActiveWindowFocusReason ||
                reason == Qt::PopupFocusReason) {
                break;
            }
            if (watched == firstPageField_ ? leaveFirst() : leaveLast()) redraw();
            break;
        }
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace print
