#include "grid/widget/GridView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "platform/Screen.h"

namespace grid {

SurfaceWidget::SurfaceWidget(GridSurface& surface, const QString& name, QWidget* parent)
    : QWidget(parent), surface_(surface) {
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    surface_.onChanged = [this] { update(); };
}

void SurfaceWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, surface_.image());
}

void SurfaceWidget::mousePressEvent(QMouseEvent* event) {
    emit pressed(event);
}
void SurfaceWidget::mouseMoveEvent(QMouseEvent* event) {
    emit moved(event);
}
void SurfaceWidget::mouseReleaseEvent(QMouseEvent* event) {
    emit released(event);
}

namespace {

int ButtonsOf(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) |
           (b & Qt::MiddleButton ? 4 : 0);
}

}  // namespace

int GridView::ShiftFlagsOf(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? ShiftKey : 0) | (m & Qt::ControlModifier ? CtrlKey : 0) |
           (m & Qt::AltModifier ? AltKey : 0);
}

GridView::GridView(QWidget* parent) : QWidget(parent) {
    itmbar_ = new SurfaceWidget(grid_.header, QStringLiteral("ITMBAR"), this);
    lstgrd_ = new SurfaceWidget(grid_.surface, QStringLiteral("LSTGRD"), this);
    scrlst_ = new QScrollBar(Qt::Vertical, this);
    scrlst_->setObjectName(QStringLiteral("SCRLST"));
    scrlst_->setFocusPolicy(Qt::StrongFocus);
    scrlst_->installEventFilter(this);
    lstgrd_->installEventFilter(this);
    grid_.timer.setParent(this);  // findChild("SCRTIM"); the member leaves the list first
    const int tpp = std::max(1, platform::TwipsPerPixel());
    grid_.list.setWidthTwips(scrlst_->sizeHint().width() * tpp);
    grid_.list.onChanged = [this] { followList(); };
    // The surface holds the keyboard focus: the scroll bar is hidden when every row fits.
    lstgrd_->setFocusPolicy(Qt::StrongFocus);
    grid_.list.onFocus = [this] { focusList(); };
    grid_.header.onChanged = [this] {
        itmbar_->update();
        place();
    };
    grid_.surface.onChanged = [this] {
        lstgrd_->update();
        place();
    };
    grid_.surface.onResized = [this] { place(); };
    grid_.header.onResized = [this] { place(); };
    connect(scrlst_, &QScrollBar::valueChanged, this, [this](int v) {
        if (followingList_) return;
        grid_.list.userScroll(v);
        OnScrollListScroll(grid_);
    });
    connect(lstgrd_, &SurfaceWidget::pressed, this, [this](QMouseEvent* e) {
        GridMousePress(grid_, mouse_, hooks_, ButtonsOf(e->button()), ShiftFlagsOf(e->modifiers()),
                       e->position().x(), e->position().y());
    });
    connect(lstgrd_, &SurfaceWidget::moved, this, [this](QMouseEvent* e) {
        GridMouseMove(grid_, mouse_, hooks_, ButtonsOf(e->buttons()), ShiftFlagsOf(e->modifiers()),
                      e->position().x(), e->position().y());
        if (e->buttons() == Qt::NoButton) lstgrd_->unsetCursor();
    });
    connect(lstgrd_, &SurfaceWidget::released, this, [this](QMouseEvent*) {
        GridMouseRelease(grid_, mouse_);
        lstgrd_->unsetCursor();
    });
    place();
}

GridView::~GridView() {
    grid_.timer.stop();
    grid_.surface.onChanged = nullptr;
    grid_.header.onChanged = nullptr;
    grid_.surface.onResized = nullptr;
    grid_.header.onResized = nullptr;
    grid_.list.onChanged = nullptr;
    grid_.list.onFocus = nullptr;
}

void GridView::place() {
    const int hh = grid_.header.height();
    itmbar_->setGeometry(0, 0, grid_.header.width(), hh);
    // The grid overlaps the heading bar's last pixel row.
    const int top = std::max(0, hh - 1);
    lstgrd_->setGeometry(0, top, grid_.surface.width(), grid_.surface.height());
    const int tpp = std::max(1, grid_.tppX);
    const int sw = grid_.list.widthTwips() / tpp;
    scrlst_->setGeometry(grid_.st.gridWidth / tpp - sw, top, sw, grid_.surface.height());
    scrlst_->setVisible(grid_.list.visible());
    const QSize need(std::max(grid_.header.width(), grid_.st.gridWidth / tpp),
                     top + grid_.surface.height());
    if (minimumSize() != need) setMinimumSize(need);
}

void GridView::followList() {
    followingList_ = true;
    const ScrollList& l = grid_.list;
    scrlst_->setRange(0, std::max(0, l.count() - l.page()));
    scrlst_->setPageStep(std::max(1, l.page()));
    scrlst_->setSingleStep(1);
    scrlst_->setValue(l.topIndex());
    followingList_ = false;
    place();
}

void GridView::focusList() {
    lstgrd_->setFocus(Qt::OtherFocusReason);
}

void GridView::pressKey(int virtualKey, int shiftFlags) {
    const bool recount = GridKeyDown(grid_, virtualKey, shiftFlags);
    emit keyHandled(virtualKey, shiftFlags, recount);
}

bool GridView::handleKey(QKeyEvent* event) {
    const int vk = VirtualKey(event->key(), event->modifiers() & Qt::KeypadModifier);
    if (vk == 0) return false;
    pressKey(vk, ShiftFlagsOf(event->modifiers()));
    return true;
}

bool GridView::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == scrlst_ || watched == lstgrd_) && event->type() == QEvent::KeyPress) {
        return handleKey(static_cast<QKeyEvent*>(event));
    }
    if (watched == lstgrd_ && event->type() == QEvent::Wheel) {
        // Three rows a notch, as desktop lists scroll.
        wheelAngle_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
        const int notches = wheelAngle_ / 120;
        wheelAngle_ -= notches * 120;
        ScrollRows(grid_, -3 * notches);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace grid
