#include "platform/StdMessage.h"

#include <cstdio>

namespace platform {
namespace {
// The current application's standard-box hook (the platform cannot see the application).
StdMessageHandler& Handler() {
    static StdMessageHandler handler;
    return handler;
}
}  // namespace

int StandardMessageBox(const QString& text, int flags, const QString& title) {
    if (Handler()) return Handler()(text, flags, title);
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(plain));
    return 1;
}

void SetStdMessageHandler(StdMessageHandler handler) {
    Handler() = std::move(handler);
}
}  // namespace platform
