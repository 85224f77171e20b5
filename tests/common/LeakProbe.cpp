// Leaks one block inside a timer handler run by Qt's event loop, then quits. Run in the
// sanitizer build, the leak checker must report it (with this handler in the stack) even
// with the project's suppressions, which must not hide whole Qt or system libraries.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

char* volatile gLast = nullptr;

__attribute__((noinline)) void LeakInTimerHandler() {
    char* block = new char[4096];
    std::memset(block, 'x', 4096);
    gLast = block;
    gLast = nullptr;  // the only pointer to the block is gone
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTimer::singleShot(0, &app, [] {
        LeakInTimerHandler();
        QCoreApplication::quit();
    });
    const int rc = app.exec();
    std::puts("event loop ended");
    return rc;
}
