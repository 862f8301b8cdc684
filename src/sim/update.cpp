// The frame update: one step of the whole battle, in a fixed order of stages.
#include <cmath>

#include "core/world.h"
#include "sim/geometry.h"
#include "sim/sim.h"

namespace tb {
namespace {

constexpr double kStep = double(0.01f);  // the marker and drift step is a single-precision 0.01

// A random step of -0.05 .. 0.05 in multiples of 0.01.
double randomStep() { return (tb::rand() % 11 - 5) * kStep; }

bool computerDriven(int i) {
    switch (i) {
        case 0: return world.autoPilot1 != 0;
        case 1: return world.coopMode != 0 || world.autoPilot2 != 0;
        case 2: return world.coopMode == 0 || world.autoPilot2 != 0;
        default: return true;
    }
}

float clampTo(float v, double bound) {
    if (double(v) > bound) return float(bound);
    if (double(v) < -bound) return float(-bound);
    return v;
}

// The team markers relax toward the hull when driving forward, toward the
// rear when reversing, and toward wanderAngle when standing.
void turnMarkers(Tank& t) {
    if (t.speed > 0) {
        t.markerAngle = float(double(t.markerAngle) * 0.9 + randomStep());
    } else if (t.speed < 0) {
        if (double(t.markerAngle) > kPi) t.markerAngle = float(double(t.markerAngle) - (randomStep() + 0.1));
        if (double(t.markerAngle) < kPi) t.markerAngle = float(double(t.markerAngle) + (randomStep() + 0.1));
    } else if (t.speed == 0) {
        float d = wrapAngle(float(double(world.wanderAngle) - double(t.heading)));
        if (d < t.markerAngle) t.markerAngle = float(double(t.markerAngle) - (randomStep() + 0.1));
        d = wrapAngle(float(double(world.wanderAngle) - double(t.heading)));
        if (d > t.markerAngle) t.markerAngle = float(double(t.markerAngle) + (randomStep() + 0.1));
    }
}

// Each corner of the 48 x 80 box beyond an edge pushes the tank back one unit.
void keepInsideBattlefield(Tank& t) {
    static constexpr double kCorners[4][2] = {{24, 40}, {24, -40}, {-24, 40}, {-24, -40}};
    const double c = std::cos(double(t.heading)), s = std::sin(double(t.heading));
    auto cornerX = [&](int n) { return double(t.x) + kCorners[n][0] * c - kCorners[n][1] * s; };
    auto cornerY = [&](int n) { return double(t.y) + kCorners[n][0] * s + kCorners[n][1] * c; };
    for (int n = 0; n < 4; ++n)
        if (cornerX(n) > 700) t.x = float(double(t.x) - 1);
    for (int n = 0; n < 4; ++n)
        if (cornerX(n) < -700) t.x = float(double(t.x) + 1);
    for (int n = 0; n < 4; ++n)
        if (cornerY(n) > 700) t.y = float(double(t.y) - 1);
    for (int n = 0; n < 4; ++n)
        if (cornerY(n) < -700) t.y = float(double(t.y) + 1);
}

void tankStep(int i) {
    Tank& t = world.tanks[i];
    if (computerDriven(i)) runOpponent(i);

    // The scripted drive out of the hangar overrides every setting.
    if (t.runIn > 0) {
        t.runIn -= 1;
        t.speed = 1.0f;
        t.turretAngle = 0;
        t.turnRate = 0;
        t.turretRate = 0;
        t.heading = float(t.team * kPi - kHalfPi);
        if (t.runIn == 0) t.speed = 0;
    }
    if (double(t.health) <= 6.0) t.speed = 0;
    if (double(t.health) <= 3.0) t.turnRate = 0;
    t.speed = clampTo(t.speed, 1.0);
    t.turnRate = clampTo(t.turnRate, 0.02);
    t.turretRate = clampTo(t.turretRate, 0.016);

    // Move along the heading from before this update's turn.
    t.x = float(double(t.x) + std::sin(double(t.heading)) * double(t.speed));
    t.y = float(double(t.y) - std::cos(double(t.heading)) * double(t.speed));
    t.trackPhase = float(double(t.trackPhase) + double(t.speed) * double(7.0f));
    // Reversing mirrors the steering.
    if (t.speed < 0)
        t.heading = float(double(t.heading) - double(t.turnRate));
    else
        t.heading = float(double(t.heading) + double(t.turnRate));
    t.turretAngle = float(double(t.turretAngle) + double(t.turretRate));

    t.reload = float(double(t.reload) - (1.0 + double(tb::rand() % 1000) / 10000.0));
    t.heading = wrapStep(t.heading);
    t.turretAngle = wrapStep(t.turretAngle);
    if (t.reload < 0) t.reload = 0;

    turnMarkers(t);
    keepInsideBattlefield(t);

    // A wreck inside shellHitsTank moves the tank to its hangar; later shells see it there.
    for (int j = 0; j < kShellCount; ++j) {
        const Shell& s = world.shells[j];
        if (t.active && s.active && within(double(t.x) - double(s.x), 40) && within(double(t.y) - double(s.y), 40) &&
            s.owner != i)
            shellHitsTank(i, j);
    }
    for (int k = 0; k < kTankCount; ++k) {
        const Tank& o = world.tanks[k];
        if (t.active && o.active && k != i && within(double(t.x) - double(o.x), 80) &&
            within(double(t.y) - double(o.y), 80))
            resolveTankContact(i, k);
    }
    // Hangars, side x = -500 first, y ascending: a tank that drove into one takes its move back.
    for (int side = 0; side < 2; ++side) {
        const double hx = side == 0 ? -500.0 : 500.0;
        for (int k = 0; k < 6; ++k) {
            const double hy = -500.0 + 200.0 * k;
            if (t.active && t.runIn == 0 && within(double(t.x) - hx, 150) && within(double(t.y) - hy, 110) &&
                tankInHangar(i, float(hx), float(hy))) {
                t.x = float(double(t.x) - std::sin(double(t.heading)) * double(t.speed));
                t.y = float(double(t.y) + std::cos(double(t.heading)) * double(t.speed));
                t.speed = 0;
            }
        }
    }
}

}  // namespace

void updateWorld() {
    // Counted with wrap-around: a run of years must not overflow into undefined behaviour.
    world.frameCounter = std::int32_t(std::uint32_t(world.frameCounter) + 1u);

    for (std::uint8_t& cell : world.heatGrid) cell = cell <= 2 ? 0 : std::uint8_t(cell - 3);

    world.wanderAngle = float(double(world.wanderAngle) + randomStep());
    world.wanderAngle = wrapStep(world.wanderAngle);

    if (world.coopMode) world.tanks[2].active = 1;

    for (int i = 0; i < kTankCount; ++i)
        if (world.tanks[i].active) tankStep(i);

    updateEntities();
    updateCamera();
}

}  // namespace tb
