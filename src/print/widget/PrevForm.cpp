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
    previw_ = new PagePicture(this);
    previw_->setObjectName(QStringLiteral("PREVIW"));
    previw_->setGeometry(8, 8, px(kPreviewWidthTwips), px(kPreviewHeightTwips));
    prememBox_ = new PagePicture(this);
    prememBox_->setObjectName(QStringLiteral("PREMEM"));
    prememBox_->hide();

    const int x0 = previw_->geometry().right() + 12;
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
        fontyp_[size_t(k)] = r;
        connect(r, &QRadioButton::clicked, this, &PrevForm::optionChanged);
    }
    MakeLabel(fontBox, "Label1", u"ｻｲｽﾞ", QRect(12, 46, 36, 20));
    sizlst_ = new QComboBox(fontBox);
    sizlst_->setObjectName(QStringLiteral("SIZLST"));
    for (const char16_t* s : kSizes) sizlst_->addItem(QString::fromUtf16(s));
    sizlst_->setGeometry(50, 44, 72, 24);
    connect(sizlst_, &QComboBox::activated, this, &PrevForm::optionChanged);
    bldsel_ = MakeCheck(fontBox, u"BLDSEL", u"太字", QRect(140, 46, 80, 20));
    connect(bldsel_, &QCheckBox::clicked, this, &PrevForm::optionChanged);
    MakeLabel(fontBox, "Label2", u"行間", QRect(12, 72, 36, 20));
    gapLst_ = new QComboBox(fontBox);
    gapLst_->setObjectName(QStringLiteral("行間LST"));
    for (const char16_t* s : kGaps) gapLst_->addItem(QString::fromUtf16(s));
    gapLst_->setGeometry(50, 70, 72, 24);
    connect(gapLst_, &QComboBox::activated, this, &PrevForm::optionChanged);

    int y = 112;
    treeSel_ =
        MakeCheck(this, u"ツリー印字SEL", u"アイコンとツリー印字", QRect(x0 + 4, y, colW, 20));
    treeSel_->setToolTip(QStringLiteral("オフにすると、文字だけのリストが印字されます"));
    hSel_ = MakeCheck(this, u"横罫SEL", u"横の罫線を印字", QRect(x0 + 4, y += 22, colW, 20));
    vSel_ = MakeCheck(this, u"縦罫SEL", u"縦の罫線を印字", QRect(x0 + 4, y += 22, colW, 20));
    frameSel_ = MakeCheck(this, u"外枠SEL", u"外枠を印字", QRect(x0 + 4, y += 22, colW, 20));
    wrapSel_ = MakeCheck(this, u"折返SEL", u"長い行は折り返す", QRect(x0 + 4, y += 22, colW, 20));
    wrapSel_->setToolTip(QStringLiteral("オフにすると、長い文字は切り捨てられます"));
    for (QCheckBox* c : {treeSel_, hSel_, vSel_, frameSel_, wrapSel_}) {
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
        rangeOpt_[size_t(k)] = r;
        connect(r, &QRadioButton::clicked, this, &PrevForm::rangeChanged);
    }
    rangeOpt_[0]->setChecked(true);
    const QFont fieldFont = Face(QStringLiteral("ＭＳ Ｐ明朝"), 9);
    toplin_ = new QLineEdit(QStringLiteral("1"), rangeBox);
    toplin_->setObjectName(QStringLiteral("TOPLIN"));
    toplin_->setToolTip(QStringLiteral("印字開始ページを指定します"));
    toplin_->setGeometry(36, 66, 56, 22);
    MakeLabel(rangeBox, "Label3", u"～", QRect(98, 68, 18, 20));
    endlin_ = new QLineEdit(QStringLiteral("1"), rangeBox);
    endlin_->setObjectName(QStringLiteral("ENDLIN"));
    endlin_->setToolTip(QStringLiteral("印字終了ページを指定します"));
    endlin_->setGeometry(120, 66, 56, 22);
    for (QLineEdit* f : {toplin_, endlin_}) f->setFont(fieldFont);

    y += 104;
    const int bw = (colW - 12) / 3;
    setbtn_ = MakeButton(this, "SETBTN", u"ﾌﾟﾘﾝﾀｰの設定", QRect(x0, y, bw + 8, 28));
    prnbtn_ = MakeButton(this, "PRNBTN", u"印刷開始", QRect(x0 + bw + 14, y, bw - 4, 28));
    canbtn_ = MakeButton(this, "CANBTN", u"ｷｬﾝｾﾙ", QRect(x0 + 2 * bw + 16, y, bw - 4, 28));
    connect(setbtn_, &QPushButton::clicked, this, &PrevForm::setupClicked);
    connect(prnbtn_, &QPushButton::clicked, this, &PrevForm::printClicked);
    connect(canbtn_, &QPushButton::clicked, this, &PrevForm::cancelClicked);

    for (QWidget* w : std::initializer_list<QWidget*>{
             fontyp_[0], fontyp_[1], sizlst_, bldsel_, gapLst_, treeSel_, hSel_, vSel_, frameSel_,
             wrapSel_, rangeOpt_[0], rangeOpt_[1], toplin_, endlin_}) {
        w->installEventFilter(this);
    }
    QWidget* order[] = {fontyp_[0], sizlst_,   bldsel_, gapLst_,  treeSel_,
                        vSel_,      frameSel_, hSel_,   wrapSel_, rangeOpt_[0],
                        toplin_,    endlin_,   prnbtn_, canbtn_,  setbtn_};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

    setFixedSize(x0 + colW + 10, std::max(previw_->geometry().bottom() + 9, y + 38));
}

void PrevForm::readSettings() {
    reading_ = true;
    fontyp_[app::GetOptBool(QStringLiteral("RomanFont"), -1) ? 0 : 1]->setChecked(true);
    sizlst_->setCurrentIndex(StoredIndex("SizeIndex", 1, int(std::size(kSizes))));
    bldsel_->setChecked(app::GetOptInt(QStringLiteral("BoldFont"), 0) != 0);
    gapLst_->setCurrentIndex(StoredIndex("GapIndex", 1, int(std::size(kGaps))));
    treeSel_->setChecked(app::GetOptInt(QStringLiteral("PrnTree"), 1) != 0);
    hSel_->setChecked(app::GetOptInt(QStringLiteral("PrnHline"), 1) != 0);
    vSel_->setChecked((app::GetOptInt(QStringLiteral("PrnVline"), 1) & 1) != 0);
    frameSel_->setChecked(app::GetOptInt(QStringLiteral("PrnFrame"), 1) != 0);
    wrapSel_->setChecked(app::GetOptInt(QStringLiteral("PrnWrap"), 1) != 0);
    reading_ = false;
    changed_ = false;
}

void PrevForm::writeSettings() {
    if (!changed_) return;
    app::PutOptInt(QStringLiteral("RomanFont"), romanFont() ? -1 : 0);
    app::PutOptInt(QStringLiteral("BoldFont"), CheckValue(bldsel_));
    app::PutOptInt(QStringLiteral("SizeIndex"), sizeIndex());
    app::PutOptInt(QStringLiteral("GapIndex"), gapIndex());
    app::PutOptInt(QStringLiteral("PrnTree"), CheckValue(treeSel_));
    app::PutOptInt(QStringLiteral("PrnVline"), CheckValue(vSel_));
    app::PutOptInt(QStringLiteral("PrnHline"), CheckValue(hSel_));
    app::PutOptInt(QStringLiteral("PrnFrame"), CheckValue(frameSel_));
    app::PutOptInt(QStringLiteral("PrnWrap"), CheckValue(wrapSel_));
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
    return fontyp_[0]->isChecked();
}
int PrevForm::sizeIndex() const {
    return sizlst_->currentIndex();
}
bool PrevForm::boldFont() const {
    return bldsel_->isChecked();
}
int PrevForm::gapIndex() const {
    return gapLst_->currentIndex();
}
bool PrevForm::printTree() const {
    return treeSel_->isChecked();
}
bool PrevForm::printHLine() const {
    return hSel_->isChecked();
}
bool PrevForm::printVLine() const {
    return vSel_->isChecked();
}
bool PrevForm::printFrame() const {
    return frameSel_->isChecked();
}
bool PrevForm::wrap() const {
    return wrapSel_->isChecked();
}
bool PrevForm::allPages() const {
    return !rangeOpt_[1]->isChecked();
}
QString PrevForm::firstPageText() const {
    return toplin_->text();
}
QString PrevForm::lastPageText() const {
    return endlin_->text();
}

int PrevForm::firstPage() const {
    return allPages() ? 1 : PageNumber(toplin_->text());
}

int PrevForm::lastPage() const {
    if (allPages()) return kAllPagesLast;
    const int last = PageNumber(endlin_->text());
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
                         previw_->size(), twipsPerPixel_);
    prememBox_->setPicture(premem_, QRect(QPoint(0, 0), premem_.size()));
    previw_->setPicture(premem_, target);
    previw_->repaint();
}

void PrevForm::clearPreview() {
    previw_->clearPicture();
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
    const int v = PageNumber(toplin_->text());
    if (v < 1 || v > 100) {
        platform::Beep();
        keepFocus(toplin_);
        return false;
    }
    if (endlin_->text() != kOpenEnd && PageNumber(endlin_->text()) < v) {
        endlin_->setText(toplin_->text());
    }
    return true;
}

bool PrevForm::leaveLast() {
    const QString text = endlin_->text();
    const int e = PageNumber(text);
    if (!IsNumeric(text) || e == 0 || e < PageNumber(toplin_->text()) || e >= 201) {
        platform::Beep();
        keepFocus(endlin_);
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
    if (control == fontyp_[0] || control == fontyp_[1]) return sizlst_;
    if (control == sizlst_ || control == gapLst_ || control == treeSel_ || control == bldsel_) {
        return vSel_;
    }
    if (control == vSel_) return frameSel_;
    if (control == frameSel_) return hSel_;
    if (control == hSel_) return wrapSel_;
    if (control == wrapSel_) return prnbtn_;
    if (control == rangeOpt_[0] || control == rangeOpt_[1]) {
        return allPages() ? static_cast<QWidget*>(prnbtn_) : toplin_;
    }
    if (control == toplin_) return endlin_;
    if (control == endlin_) return prnbtn_;
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
            if (watched == toplin_ || watched == endlin_) {
                auto* field = static_cast<QLineEdit*>(watched);
                QTimer::singleShot(0, field, [field] { field->selectAll(); });
            }
            break;
        case QEvent::FocusOut: {
            if (watched != toplin_ && watched != endlin_) break;
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            // Another window taking the focus, or this one going away, is no leaving.
            if (refocusing_ || !isVisible() || reason == Qt::ActiveWindowFocusReason ||
                reason == Qt::PopupFocusReason) {
                break;
            }
            if (watched == toplin_ ? leaveFirst() : leaveLast()) redraw();
            break;
        }
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace print
