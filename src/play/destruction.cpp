// A tank's end on the battlefield: wreck parts and four explosions where it
// stood, then back to its hangar. A wreck moves the balance; a removal does not.
#include <cmath>

#include "core/world.h"
#include "play/play.h"

namespace tb {
namespace {

// -n + (R mod m): jitter 1/3 is -1..1, 10/20 is -10..9, 5/10 is -5..4.
int jitter(int n, int m) { return -n + tb::rand() % m; }

// Draws, in order: x jitter, y jitter, heading offset; none when the table is full.
void makeWreckPart(int kind, double x, double y, int n, int m, float z, double heading) {
    for (WreckPart& w : world.wreckParts) {
        if (w.active) continue;
        w.active = 1;
        w.kind = kind;
        w.x = float(x + jitter(n, m));
        w.y = float(y + jitter(n, m));
        w.z = z;
        w.heading = float(heading + double(tb::rand() % 1000 - 500) / 10000.0);
        return;
    }
}

// Four big explosions at (forward, sideways) offsets (-20,-10), (20,-10), (-20,10), (20,10).
void fourExplosions(const Tank& t) {
    static constexpr double kOffsets[4][2] = {{-20, -10}, {20, -10}, {-20, 10}, {20, 10}};
    const double h = t.heading, s = std::sin(h), c = std::cos(h);
    for (const auto& o : kOffsets) {
        const double f = o[0], side = o[1];
        const int jy = jitter(1, 3);
        const int jx = jitter(1, 3);
        spawnExplosion(float(double(t.x) + f * s + side * c + jx), float(double(t.y) - f * c + side * s + jy), 0);
    }
}

// Back to the hangar with the start heading; nobody aims at the tank or owns its shells any more.
void resetTank(int tank) {
    Tank& t = world.tanks[tank];
    placeInHangar(tank);
    t.turretAngle = 0;
    t.turretRate = 0;
    t.speed = 0;
    t.turnRate = 0;
    for (Tank& other : world.tanks)
        if (other.target == tank) other.target = -1;
    for (Shell& s : world.shells)
        if (s.owner == tank) s.owner = -1;
}

}  // namespace

void placeInHangar(int tank) {
    Tank& t = world.tanks[tank];
    t.x = float(500 - 1000 * t.team);
    t.y = float(200 * (tank / 2) - 500);
    t.heading = float(t.team * kPi - kHalfPi);
    t.runIn = 130;
    t.health = 16.0f;
    t.target = -1;
}

void wreckTank(int tank) {
    Tank& t = world.tanks[tank];
    if (t.team == 0)
        world.teamBalance = world.teamBalance + 0.05f;
    else if (t.team == 1)
        world.teamBalance = world.teamBalance - 0.05f;
    const double h = t.heading;
    makeWreckPart(0, t.x, t.y, 1, 3, 0.0f, h);
    makeWreckPart(2, t.x, t.y, 10, 20, 1000.0f, h + double(t.turretAngle));
    fourExplosions(t);
    resetTank(tank);
}

void removeTank(int tank) {
    Tank& t = world.tanks[tank];
    const double h = t.heading, c = std::cos(h), s = std::sin(h);
    makeWreckPart(1, double(t.x) + 20 * c, double(t.y) + 20 * s, 1, 3, 0.0f, h);
    makeWreckPart(1, double(t.x) - 20 * c, double(t.y) - 20 * s, 1, 3, 0.0f, h);
    fourExplosions(t);
    makeWreckPart(0, t.x, t.y, 1, 3, 0.0f, h);
    makeWreckPart(2, t.x, t.y, 5, 10, 1000.0f, h + double(t.turretAngle));
    resetTank(tank);
}

}  // namespace tb
