// Ageing and motion of every short-lived object, after the tanks have moved:
// shells, muzzle smoke, explosions, props, wreck parts, debris, in that order.
#include <cmath>

#include "core/world.h"
#include "play/play.h"
#include "sim/geometry.h"
#include "sim/sim.h"

namespace tb {
namespace {

void updateShells() {
    for (Shell& s : world.shells) {
        if (!s.active) continue;
        s.x = float(double(s.x) + std::sin(double(s.heading)) * 4.0);
        s.y = float(double(s.y) - std::cos(double(s.heading)) * 4.0);
        s.life = float(double(s.life) - 1);
        if (s.life < 0) s.active = 0;
    }
}

template <typename Table>
void ageTable(Table& table) {
    for (auto& e : table) {
        if (!e.active) continue;
        e.life = float(double(e.life) - 1);
        if (e.life < 0) e.active = 0;
    }
}

// Props rise out of the ground, are knocked over by tanks (checked every 20th
// update, tanks in play or not), sink, and regrow at a random place.
void updateProps() {
    const bool knockCheck = world.frameCounter % 20 == 0;
    for (Prop& p : world.props) {
        if (p.state == 1 && p.z <= 0) p.z = float(double(p.z) + 1);
        if (p.state == -1) p.z = float(double(p.z) - 1);
        if (p.state == -1 && p.z < -400) {
            p.state = 1;
            p.x = float(tb::rand() % 1400 - 700);
            p.y = float(tb::rand() % 1400 - 700);
        }
        if (!knockCheck) continue;
        for (int t = 0; t < kTankCount; ++t) {
            const Tank& tank = world.tanks[t];
            if (within(double(p.x) - double(tank.x), 80) && within(double(p.y) - double(tank.y), 80) &&
                propUnderTank(t, p.x, p.y))
                p.state = -1;
        }
    }
}

// Wreck parts sink 8 a frame, explode as they pass 100 and 300 below ground, and vanish deep down.
void updateWreckParts() {
    for (WreckPart& w : world.wreckParts) {
        if (!w.active) continue;
        w.z = float(double(w.z) - 8);
        if (w.z <= -100 && double(w.z) + 8 > -100) spawnExplosion(w.x, w.y, 0);
        if (w.z <= -300 && double(w.z) + 8 > -300) spawnExplosion(w.x, w.y, 0);
        if (w.z < -1010)
            w.active = 0;
        else if (w.kind == 2 && w.z < -510)
            w.active = 0;
    }
}

// Debris flies on a parabola along (cos direction, sin direction), bursts on landing, then sinks.
void updateDebris() {
    for (Debris& d : world.debris) {
        if (!d.active) continue;
        d.climb = float(double(d.climb) - 40);
        d.direction = float(double(d.direction) + double(d.turn));
        if (d.z > 0) {
            d.x = float(double(d.x) + std::cos(double(d.direction)) * double(d.speed));
            d.y = float(double(d.y) + std::sin(double(d.direction)) * double(d.speed));
            d.z = float(double(d.z) + double(d.climb));
            if (d.spinSense == 0) d.spin = float(double(d.spin) + double(0.18f));
            if (d.spinSense == 1) d.spin = float(double(d.spin) - double(0.18f));
            if (d.z <= 0) {
                d.z = 0;
                spawnExplosion(d.x, d.y, 1);
            }
        }
        if (d.z <= 0) d.z = float(double(d.z) - 1);
        if (d.z < -510) d.active = 0;
    }
}

}  // namespace

void updateEntities() {
    updateShells();
    ageTable(world.muzzleSmoke);
    ageTable(world.explosions);
    updateProps();
    updateWreckParts();
    updateDebris();
}

}  // namespace tb
