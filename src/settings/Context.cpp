#include "settings/Context.h"

#include <QDateTime>
#include <cstdlib>

#include "settings/Application.h"

namespace app {

ProgramContext& Ctx() {
    return Application::Current().context();
}

qint64 NowSeconds() {
    const ProgramContext& c = Ctx();
    return c.Clock ? c.Clock() : QDateTime::currentSecsSinceEpoch();
}

QString BuildVersionText(int major, int minor, int revision) {
    QString v =
        QString::number(std::abs(major) % 10) + u'.' + QString::number(std::abs(minor) % 10);
    if (revision > 0 && revision <= 26) v += QChar(u'A' + revision - 1);
    return v;
}

}  // namespace app
