#pragma once
// The platform's standard beep. The widget layer installs the real sound; the count
// lets tests see that a beep was given.
#include <functional>

namespace platform {
void Beep();
int BeepCount();
void ResetBeepCount();
void SetBeepHandler(std::function<void()> handler);
}  // namespace platform
