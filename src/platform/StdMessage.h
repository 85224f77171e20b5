#pragma once
// The platform's standard message box, used where the program does not use its own.
// The application object hands the platform its standard-box hook (the desktop's box, or a
// test's double); without one the text goes to standard error.
#include <QString>
#include <functional>

namespace platform {
using StdMessageHandler = std::function<int(const QString& text, int flags, const QString& title)>;

// Line breaks in text may be "\r\n", "\r" or "\n". Answer codes: 1 OK, 2 Cancel, 6 Yes, 7 No.
int StandardMessageBox(const QString& text, int flags, const QString& title);
void SetStdMessageHandler(StdMessageHandler handler);
}  // namespace platform
