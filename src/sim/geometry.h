// Small pieces of geometry shared by the simulation: box tests on truncated
// differences, footprint corners, the heat grid's cells and the angle wrap step.
#pragma once

#include <cmath>

#include "core/world.h"

namespace tb {

// |trunc(d)| < n for a whole number n, which is the same as |d| < n.
inline bool within(double d, int n) { return std::fabs(d) < n; }

// A whole turn in single precision, and the upper end of the angle range.
constexpr float kTurn = 6.2831855f;
constexpr double kAngleMax = 6.783185308;
constexpr double kAngleMin = -0.5;

// One step of the angle wrap: a whole turn off above the range, then one on below it.
inline float wrapStep(float a) {
    if (double(a) > kAngleMax) a = float(double(a) - double(kTurn));
    if (double(a) < kAngleMin) a = float(double(a) + double(kTurn));
    return a;
}

struct Corner {
    double x, y;
};

// Corner k (0..3) of a tank's 20 x 50 footprint: (-10,-25), (10,-25), (-10,25), (10,25).
inline Corner footprintCorner(const Tank& t, int k) {
    const double u = (k % 2 - 0.5) * 20.0;
    const double v = (k / 2 - 0.5) * 50.0;
    const double h = t.heading;
    return {double(t.x) + u * std::cos(h) - v * std::sin(h), double(t.y) + u * std::sin(h) + v * std::cos(h)};
}

// The single-precision value nearest 1/1400, used in double arithmetic.
constexpr double kHeatScale = double(float(1.0 / 1400.0));

}  // namespace tb
