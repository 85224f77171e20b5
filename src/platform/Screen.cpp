#include "platform/Screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace platform {

int TwipsPerPixel() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return 15;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 15;
    const double dpi = screen->logicalDotsPerInch();
    if (dpi < 1.0) return 15;
    const int tpp = int(std::lround(1440.0 / dpi));
    return tpp > 0 ? tpp : 1;
}

QRect ScreenRectPixels() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return {};
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

QList<QRect> ScreenAreasPixels() {
    QList<QRect> areas;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) areas << primary->availableGeometry();
    for (const QScreen* s : QGuiApplication::screens())
        if (s != primary) areas << s->availableGeometry();
    return areas;
}

QRect KeepOnScreen(const QRect& window, const QList<QRect>& areas) {
    if (areas.isEmpty()) return window;
    QRect area = areas.first();
    qint64 best = 0;
    for (const QRect& a : areas) {
        const QRect common = a.intersected(window);
        const qint64 overlap = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (overlap > best) {
            best = overlap;
            area = a;
        }
    }
    QRect fitted(window.topLeft(), window.size().boundedTo(area.size()));
    fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() - fitted.height() + 1));
    return fitted;
}

}  // namespace platform
