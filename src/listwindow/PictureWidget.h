#pragma once
// A drawn picture that reports mouse presses, moves and releases with the pointer's position
// in its own pixels: the strips, the toolbar, their lit images and the drive buttons.
#include <QImage>
#include <QWidget>

namespace listwindow {

class PictureWidget : public QWidget {
    Q_OBJECT
  public:
    PictureWidget(const QString& name, QWidget* parent);

    void setImage(const QImage& image);  // also sets the widget's size
    const QImage& image() const { return image_; }

  signals:
    void pressed(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void moved(QPoint pos, Qt::MouseButtons buttons);
    void released(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QImage image_;
};

}  // namespace listwindow
