// Footprint tests and what a shell hit does to a tank.
#include <cmath>

#include "core/world.h"
#include "play/play.h"
#include "sim/geometry.h"
#include "sim/sim.h"

namespace tb {
namespace {

bool cornerInBox(const Tank& t, int k, double px, double py, int halfX, int halfY) {
    const Corner c = footprintCorner(t, k);
    return within(c.x - px, halfX) && within(c.y - py, halfY);
}

bool anyCornerInBox(int tank, double px, double py, int halfX, int halfY) {
    const Tank& t = world.tanks[tank];
    for (int k = 0; k < 4; ++k)
        if (cornerInBox(t, k, px, py, halfX, halfY)) return true;
    return false;
}

void throwDebris(const Shell& s) {
    for (Debris& d : world.debris) {
        if (d.active) continue;
        d.active = 1;
        d.x = s.x;
        d.y = s.y;
        d.z = s.z;
        d.direction = float(tb::rand());
        d.spin = float(tb::rand());
        d.kind = tb::rand() % 3 + 13;
        d.spinSense = tb::rand() % 2;
        d.speed = float(4 + (tb::rand() % 300) / 100);
        d.turn = float(double(tb::rand() % 100 - 50) / 1000.0);
        d.climb = float(tb::rand() % 200 + 100);
        return;
    }
}

// A track comes off on the side u = +20 (side 1) or u = -20 (side -1): a track
// wreck part where it was and two big explosions at its ends.
void loseTrack(const Tank& t, int side) {
    const double h = t.heading;
    const double c = std::cos(h), s = std::sin(h);
    const double u = 20.0 * side;
    for (WreckPart& w : world.wreckParts) {
        if (w.active) continue;
        w.active = 1;
        w.x = float(double(t.x) + u * c - 1 + tb::rand() % 3);
        w.y = float(double(t.y) + u * s - 1 + tb::rand() % 3);
        w.z = 0;
        w.kind = 1;
        w.heading = float(h + double(tb::rand() % 1000 - 500) / 10000.0);
        break;
    }
    for (int end = 0; end < 2; ++end) {
        // Rear end (v = +20) first, then the front end (v = -20); y's jitter is drawn before x's.
        const double v = end == 0 ? 20.0 : -20.0;
        const int jitterY = tb::rand() % 3;
        const int jitterX = tb::rand() % 3;
        spawnExplosion(float(double(t.x) + u * c - v * s - 1 + jitterX),
                       float(double(t.y) + u * s + v * c - 1 + jitterY), 0);
    }
}

}  // namespace

bool propUnderTank(int tank, float px, float py) { return anyCornerInBox(tank, px, py, 30, 30); }

bool tankInHangar(int tank, float hx, float hy) { return anyCornerInBox(tank, hx, hy, 90, 70); }

// Every footprint corner near the shell counts as one hit, so a shell in the
// middle of a tank hits it up to four times.
void shellHitsTank(int tank, int shell) {
    Tank& t = world.tanks[tank];
    Shell& s = world.shells[shell];
    for (int k = 0; k < 4; ++k) {
        if (!cornerInBox(t, k, s.x, s.y, 30, 30)) continue;
        s.active = 0;
        if (t.team == 0)
            world.teamBalance = float(double(world.teamBalance) + double(0.01f));
        else if (t.team == 1)
            world.teamBalance = float(double(world.teamBalance) - double(0.01f));
        spawnExplosion(s.x, s.y, 1);
        throwDebris(s);
        // No damage while driving out of the hangar.
        if (t.runIn == 0) t.health = float(double(t.health) - 1.0);
        if (t.health == 6.0f) loseTrack(t, 1);
        if (t.health == 3.0f) loseTrack(t, -1);
        if (t.health < 0) wreckTank(tank);
        if (s.owner == 0 && world.autoPilot1 == 0) world.tanks[0].target = tank;
        if (s.owner == 1 && world.autoPilot2 == 0) world.tanks[1].target = tank;
    }
}

}  // namespace tb
