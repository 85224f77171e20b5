#pragma once
// The platform's standard beep. The application object hands the platform its beep hook (the
// desktop's sound, or a test's double); the count lets tests see that a beep was given.
#include <functional>

namespace platform {
void Beep();
int BeepCount();
void ResetBeepCount();
void SetBeepHandler(std::function<void()> handler);
}  // namespace platform
