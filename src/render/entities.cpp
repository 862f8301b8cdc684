// Drawing of every entity table and the hangars, each walked in index order.
// Shells and explosions also heat the ground cell under them.
#include <cmath>
#include <initializer_list>

#include "core/world.h"
#include "platform/glide/glide.h"
#include "render/projection.h"
#include "render/render.h"
#include "sim/sim.h"

namespace tb {
namespace {

constexpr std::int32_t mesh(int number) { return number * kMeshTriangles; }

// Raises the cell under a point by 10, up to 65; points outside the battlefield have no cell.
void heatUp(float x, float y) {
    const int cell = heatCellIndex(x, y);
    if (cell < 0) return;
    const int raised = world.heatGrid[cell] + 10;
    world.heatGrid[cell] = std::uint8_t(raised > 65 ? 65 : raised);
}

// Props and debris are only drawn when their origin projects within 100 pixels of the screen.
bool onScreen(float x, float y, float z) {
    // The ground-plane depth of the origin, a whole number; wide enough that no height can overflow it.
    const std::int64_t d = 60000 - std::int64_t(trunc32(z));
    const ScreenPoint p = project(cameraTrig(), x, y, double(d));
    return -100 < p.x && p.x < 740 && -100 < p.y && p.y < 580;
}

}  // namespace

void drawHangars() {
    for (int team = 0; team < 2; ++team) {
        for (int k = 0; k < 6; ++k) {
            const Tank& t = world.tanks[team + 2 * k];
            const float hx = float(500 - 1000 * team), hy = float(-500 + 200 * k);
            // The door pattern scrolls while the tank drives out.
            drawMesh(hx, hy, 0, float(kHalfPi - team * kPi), float(4 * std::int64_t(t.runIn)), 0, mesh(5));
            drawMesh(hx, float(double(hy) + 15), 2000, world.wanderAngle, 0, team, mesh(3));
            drawMesh(hx, float(double(hy) - 15), 2000, world.wanderAngle, 0, team, mesh(3));
        }
    }
}

void drawTanks() {
    setBlendOpaque();
    for (const Tank& t : world.tanks) {
        if (!t.active) continue;
        const double h = t.heading, c = std::cos(h), s = std::sin(h);
        const float p = t.trackPhase;
        const std::int32_t v = t.team;
        const float top = float(double(t.z) + 1400);
        const float markerHeading = float(h + double(t.markerAngle));
        // Markers at the tank-frame offsets (15, 25) and (-15, 25).
        for (double across : {15.0, -15.0})
            drawMesh(float(double(t.x) + across * c - 25 * s), float(double(t.y) + across * s + 25 * c), top,
                     markerHeading, p, v, mesh(3));
        // The turret recoils along its own axis for the first ten frames after a shot.
        double recoil = (double(t.reload) - 30) * double(0.33333334f);
        if (recoil < 0) recoil = 0;
        const double a = h + double(t.turretAngle);
        drawMesh(float(double(t.x) - recoil * std::sin(a)), float(double(t.y) + recoil * std::cos(a)), top, float(a), p,
                 v, mesh(2));
        drawMesh(t.x, t.y, float(double(t.z) + 400), t.heading, p, v, mesh(0));
        if (t.health > 6)
            drawMesh(float(double(t.x) + 20 * c), float(double(t.y) + 20 * s), t.z, t.heading, p, v, mesh(1));
        if (t.health > 3)
            drawMesh(float(double(t.x) - 20 * c), float(double(t.y) - 20 * s), t.z, t.heading, p, v, mesh(1));
    }
}

void drawShells() {
    for (const Shell& s : world.shells) {
        if (!s.active) continue;
        const float spin = float(tb::rand());
        setBlendOpaque();
        drawMesh(s.x, s.y, s.z, spin, 0, s.team, mesh(4));
        setBlendAlpha();
        drawMesh(s.x, s.y, 1, spin, 0, s.team, mesh(4));  // its shadow
        setBlendAdditive();
        drawMesh(s.x, s.y, 0, 0, 0, s.team, mesh(6));  // the glow on the ground
        heatUp(s.x, s.y);
    }
}

void drawExplosions() {
    setBlendAlphaAdditive();
    for (const Explosion& e : world.explosions) {
        if (!e.active) continue;
        drawMesh(e.x, e.y, e.z, e.spin, e.life, 0, mesh(11 + e.kind));
        heatUp(e.x, e.y);
    }
}

void drawMuzzleSmoke() {
    setBlendAlphaAdditive();
    for (const MuzzleSmoke& m : world.muzzleSmoke)
        if (m.active) drawMesh(m.x, m.y, m.z, m.heading, m.life, 0, mesh(7));
}

void drawProps() {
    for (const Prop& p : world.props)
        if (onScreen(p.x, p.y, p.z)) drawMesh(p.x, p.y, p.z, p.angle, 0, 0, mesh(10));
}

void drawWreckParts() {
    for (const WreckPart& w : world.wreckParts)
        if (w.active) drawMesh(w.x, w.y, w.z, w.heading, 0, -1, mesh(w.kind));
}

void drawDebris() {
    for (const Debris& d : world.debris)
        if (d.active && onScreen(d.x, d.y, d.z)) drawMesh(d.x, d.y, d.z, d.spin, 0, 0, mesh(d.kind));
}

}  // namespace tb
