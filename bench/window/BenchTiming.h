#pragma once
// Timing of the window benchmarks: one run in milliseconds, the median of runs.
#include <QElapsedTimer>
#include <algorithm>
#include <vector>

namespace benchtiming {

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

template <class F>
double TimeMs(F&& f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

}  // namespace benchtiming
