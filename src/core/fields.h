// The world record's fields by name: one description that the state dump, the
// tests and any other reader walk instead of listing the fields themselves.
// Records list every member in declaration order. The world lists what changes
// while the game runs, in the state dump's order: the scalars, the heat grid and
// the entity tables; the model and texture tables, loaded once, are left out.
#pragma once

#include "core/world.h"

namespace tb {

// Calls f(name, member) for every member of an entity record.
template <typename F>
void forEachField(const Tank& t, F&& f) {
    f("active", t.active), f("team", t.team), f("target", t.target), f("wanderTimer", t.wanderTimer);
    f("runIn", t.runIn), f("x", t.x), f("y", t.y), f("z", t.z), f("speed", t.speed), f("turnRate", t.turnRate);
    f("turretRate", t.turretRate), f("heading", t.heading), f("turretAngle", t.turretAngle);
    f("health", t.health), f("trackPhase", t.trackPhase), f("markerAngle", t.markerAngle), f("reload", t.reload);
}
template <typename F>
void forEachField(const Shell& s, F&& f) {
    f("active", s.active), f("team", s.team), f("owner", s.owner), f("x", s.x), f("y", s.y), f("z", s.z);
    f("heading", s.heading), f("life", s.life);
}
template <typename F>
void forEachField(const MuzzleSmoke& m, F&& f) {
    f("active", m.active), f("x", m.x), f("y", m.y), f("z", m.z), f("heading", m.heading), f("life", m.life);
}
template <typename F>
void forEachField(const Explosion& e, F&& f) {
    f("active", e.active), f("kind", e.kind), f("x", e.x), f("y", e.y), f("z", e.z), f("spin", e.spin);
    f("life", e.life);
}
template <typename F>
void forEachField(const Prop& p, F&& f) {
    f("state", p.state), f("x", p.x), f("y", p.y), f("z", p.z), f("angle", p.angle);
}
template <typename F>
void forEachField(const WreckPart& w, F&& f) {
    f("active", w.active), f("kind", w.kind), f("x", w.x), f("y", w.y), f("z", w.z), f("heading", w.heading);
}
template <typename F>
void forEachField(const Debris& d, F&& f) {
    f("active", d.active), f("kind", d.kind), f("spinSense", d.spinSense), f("x", d.x), f("y", d.y), f("z", d.z);
    f("direction", d.direction), f("spin", d.spin), f("speed", d.speed), f("turn", d.turn), f("climb", d.climb);
}

// Calls f(name, member) for every member of the world that changes while the
// game runs: scalars, then the heat grid (an array of bytes), then the entity
// tables (arrays of records). The random state is named "rng".
template <typename F>
void forEachField(const WorldState& w, F&& f) {
    f("rng", w.randomState), f("quitRequested", w.quitRequested), f("firstFrame", w.firstFrame);
    f("autoPilot1", w.autoPilot1), f("autoPilot2", w.autoPilot2), f("coopMode", w.coopMode);
    f("frameCounter", w.frameCounter), f("cameraX", w.cameraX), f("cameraY", w.cameraY), f("cameraZ", w.cameraZ);
    f("cameraAngle", w.cameraAngle), f("wanderAngle", w.wanderAngle), f("cameraZoomSpeed", w.cameraZoomSpeed);
    f("teamBalance", w.teamBalance), f("heatGrid", w.heatGrid), f("tanks", w.tanks), f("shells", w.shells);
    f("muzzleSmoke", w.muzzleSmoke), f("explosions", w.explosions), f("props", w.props);
    f("wreckParts", w.wreckParts), f("debris", w.debris);
}

}  // namespace tb
