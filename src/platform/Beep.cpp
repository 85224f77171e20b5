#include "platform/Beep.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<int> g_count{0};
// The current application's beep hook (the platform cannot see the application).
std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
}
}  // namespace

void Beep() {
    ++g_count;
    if (Handler()) Handler()();
}
int BeepCount() {
    return g_count.load();
}
void ResetBeepCount() {
    g_count = 0;
}
void SetBeepHandler(std::function<void()> handler) {
    Handler() = std::move(handler);
}
}  // namespace platform
