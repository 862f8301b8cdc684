// Tank contact: touching footprint corners turn both tanks a little away and
// shove each 3 units along its own axis. And the angle wrap.
#include <cmath>

#include "core/world.h"
#include "sim/geometry.h"
#include "sim/sim.h"

namespace tb {
namespace {

// Front corners (0, 1) push the tank back, rear corners (2, 3) push it forward;
// corners 0 and 3 turn it one way, 1 and 2 the other.
void shove(Tank& t, int corner) {
    if (corner == 0 || corner == 3)
        t.heading = float(double(t.heading) + double(0.05f));
    else
        t.heading = float(double(t.heading) - double(0.05f));
    const double h = t.heading;
    if (corner >= 2) {
        t.x = float(double(t.x) + 3 * std::sin(h));
        t.y = float(double(t.y) - 3 * std::cos(h));
    } else {
        t.x = float(double(t.x) - 3 * std::sin(h));
        t.y = float(double(t.y) + 3 * std::cos(h));
    }
}

}  // namespace

void resolveTankContact(int a, int b) {
    Tank& ta = world.tanks[a];
    Tank& tb_ = world.tanks[b];
    for (int p = 0; p < 4; ++p) {
        for (int q = 0; q < 4; ++q) {
            const Corner ca = footprintCorner(ta, p);
            const Corner cb = footprintCorner(tb_, q);
            if (within(ca.x - cb.x, 30) && within(ca.y - cb.y, 30)) {
                shove(ta, p);
                shove(tb_, q);
            }
        }
    }
}

float wrapAngle(float x) {
    if (!std::isfinite(x)) return x;
    // Far outside the range (never in play): first remove whole turns in one go.
    if (std::fabs(double(x)) > 1000.0) {
        const double turns = std::floor((double(x) + 0.5) / double(kTurn));
        x = float(double(x) - turns * double(kTurn));
    }
    for (int n = 0; n < 1000 && double(x) < kAngleMin; ++n) x = float(double(x) + double(kTurn));
    for (int n = 0; n < 1000 && double(x) > kAngleMax; ++n) x = float(double(x) - double(kTurn));
    return x;
}

}  // namespace tb
