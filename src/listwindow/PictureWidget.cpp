#include "listwindow/PictureWidget.h"

#include <QMouseEvent>
#include <QPainter>

namespace listwindow {

PictureWidget::PictureWidget(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setMouseTracking(true);
}

void PictureWidget::setImage(const QImage& image) {
    image_ = image;
    const qreal dpr = image.devicePixelRatio() > 0 ? image.devicePixelRatio() : 1.0;
    setFixedSize((image.size() / dpr).expandedTo(QSize(1, 1)));
    update();
}

void PictureWidget::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter p(this);
    p.drawImage(QPoint(0, 0), image_);
}

void PictureWidget::mousePressEvent(QMouseEvent* event) {
    emit pressed(event->position().toPoint(), event->button(), event->modifiers());
}

void PictureWidget::mouseMoveEvent(QMouseEvent* event) {
    emit moved(event->position().toPoint(), event->buttons());
}

void PictureWidget::mouseReleaseEvent(QMouseEvent* event) {
    emit released(event->position().toPoint(), event->button(), event->modifiers());
}

}  // namespace listwindow
