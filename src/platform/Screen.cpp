#include "platform/Screen.h"

#include <QGuiApplication>
#include <QScreen>
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

}  // namespace platform
