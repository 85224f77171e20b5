#include "settings/Context.h"

#include <cstdlib>

#include "settings/Application.h"

namespace app {

ProgramContext& Ctx() {
    return Application::Current().context();
}

QString BuildVersionText(int major, int minor, int revision) {
    QString v =
        QString::number(std::abs(major) % 10) + u'.' + QString::number(std::abs(minor) % 10);
    if (revision > 0 && revision <= 26) v += QChar(u'A' + revision - 1);
    return v;
}

}  // namespace app
