#pragma once
// Thin widgets over the grid engine: they show the retained surfaces (LSTGRD, ITMBAR),
// keep a real scroll bar (SCRLST) in step with the engine's scroll list, and hand mouse and
// key events to the engine. The repeat timer SCRTIM belongs to the grid.
#include <QWidget>

#include "grid/Grid.h"

class QScrollBar;

namespace grid {

// Shows one GridSurface.
class SurfaceWidget : public QWidget {
    Q_OBJECT
  public:
    SurfaceWidget(GridSurface& surface, const QString& name, QWidget* parent);

  signals:
    void pressed(QMouseEvent* event);
    void moved(QMouseEvent* event);
    void released(QMouseEvent* event);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    GridSurface& surface_;
};

// The heading bar, the grid surface and the scroll bar of one grid, which it owns.
class GridView : public QWidget {
    Q_OBJECT
  public:
    explicit GridView(QWidget* parent = nullptr);
    ~GridView() override;

    Grid& grid() { return grid_; }
    MouseHooks& hooks() { return hooks_; }
    SurfaceWidget* gridWidget() const { return lstgrd_; }
    SurfaceWidget* headerWidget() const { return itmbar_; }
    QScrollBar* scrollBar() const { return scrlst_; }

    // The list takes the keyboard focus, whether or not its scroll bar shows.
    void focusList();
    // A key for the engine as if pressed on the list (the window passes Esc on).
    void pressKey(int virtualKey, int shiftFlags);

    // Shift flags of the engine (bit 0 Shift, bit 1 Ctrl, bit 2 Alt) from Qt modifiers.
    static int ShiftFlagsOf(Qt::KeyboardModifiers modifiers);

  signals:
    // A key went to the engine; recount is true when the window should recount its totals.
    void keyHandled(int virtualKey, int shiftFlags, bool recount);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void place();
    void followList();
    bool handleKey(QKeyEvent* event);

    Grid grid_;
    MouseHooks hooks_;
    MouseTracker mouse_;
    SurfaceWidget* itmbar_ = nullptr;
    SurfaceWidget* lstgrd_ = nullptr;
    QScrollBar* scrlst_ = nullptr;
    bool followingList_ = false;
    int wheelAngle_ = 0;  // wheel turn not yet worth a notch
};

}  // namespace grid
