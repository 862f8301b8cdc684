// The computer opponent: picks a target (preferring whoever attacks it), aims
// the turret and fires when on target, closes in to 300 units, or wanders.
// It only writes settings; the frame update moves the tank.
#include <cmath>
#include <cstdlib>

#include "core/world.h"
#include "play/play.h"
#include "sim/geometry.h"
#include "sim/sim.h"

namespace tb {
namespace {

bool isTank(int k) { return k >= 0 && k < kTankCount; }

void chooseTarget(int me) {
    Tank& m = world.tanks[me];
    for (int k = 0; k < kTankCount; ++k) {
        const Tank& o = world.tanks[k];
        if (k == me || !o.active) continue;
        const bool v = canSee(me, k);
        if (m.target == k && o.team == m.team && o.target != me) m.target = -1;
        if (m.target == k && !v) m.target = -1;
        if (!isTank(m.target) && o.target == me && v) m.target = k;
        const bool targetAttacksMe = isTank(m.target) && world.tanks[m.target].target == me;
        if (o.target == me && !targetAttacksMe && v) m.target = k;
    }
    if (!isTank(m.target)) {
        const int r = tb::rand() % 12;
        if (world.tanks[r].team != m.team && canSee(me, r) && world.tanks[r].active) m.target = r;
    }
    if (m.runIn > 0) m.target = -1;
}

void wander(Tank& m) {
    m.speed = 1.0f;
    m.turnRate = 0;
    m.turretRate = -m.turretAngle;
    m.wanderTimer -= 1;
    if (tb::rand() % 2 == 0) m.wanderTimer += 1;
    if (m.wanderTimer > 0) m.turnRate = 1.0f;
    if (m.wanderTimer < -150) m.wanderTimer = 40;
}

// Settings smaller than one step are raised to a fixed positive size, whatever their sign.
bool small(float v, double bound) {
    const double d = v;
    return (0 < d && d < bound) || (-bound < d && d < 0);
}

void attack(int me, const Tank& t) {
    Tank& m = world.tanks[me];
    const double dy = double(m.y) - double(t.y);
    const double dx = double(t.x) - double(m.x);
    double b;
    if (t.y > m.y)
        b = std::atan(dx / dy) + kPi;
    else if (t.y < m.y)
        b = std::atan(dx / dy);
    else
        b = t.x > m.x ? kPi : -kPi;

    const double turretError = nearestDifference(b, double(m.heading) + double(m.turretAngle));
    m.turretRate = float(turretError);
    if (-0.01 < turretError && turretError < 0.01 && m.reload == 0) fireShell(me);

    const double d = std::sqrt(dx * dx + dy * dy);
    if (d <= 300.0) {
        m.speed = 0;
        m.turnRate = 0;
    } else {
        m.turnRate = float(nearestDifference(b, double(m.heading)));
        m.speed = float((d - 250.0) * 0.02);
    }
    if (small(m.speed, 1.0)) m.speed = 0.5f;
    if (small(m.turnRate, 0.02)) m.turnRate = 0.01f;
    if (small(m.turretRate, 0.016)) m.turretRate = 0.008f;
}

}  // namespace

bool canSee(int, int) { return true; }

// b - a over whole turns; candidates compete by their truncated magnitude and
// the first of equal ones wins, so near half a turn the long way can be chosen.
double nearestDifference(double b, double a) {
    int best = 1000;
    double kept = 0;
    for (int j = -1; j <= 2; ++j) {
        for (int i = -1; i <= 2; ++i) {
            const double d = (b + 2 * kPi * i) - (a + 2 * kPi * j);
            const int k = trunc32(std::fabs(d));
            if (k < best) {
                best = k;
                kept = d;
            }
        }
    }
    return kept;
}

void runOpponent(int me) {
    chooseTarget(me);
    Tank& m = world.tanks[me];
    if (!isTank(m.target)) {
        wander(m);
        return;
    }
    attack(me, world.tanks[m.target]);
}

}  // namespace tb
