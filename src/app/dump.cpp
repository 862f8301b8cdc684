// The state dump: every scalar, the heat grid and every record of every table,
// floats with nine significant digits so that they read back to the same value.
#include "app/dump.h"

#include <cmath>
#include <concepts>
#include <cstdio>

#include "core/world.h"

namespace tb {
namespace {

class JsonLine {
public:
    void key(const char* name) {
        out_ += first_ ? "\"" : ",\"";
        out_ += name;
        out_ += "\":";
        first_ = false;
    }
    void integer(std::int64_t v) { out_ += std::to_string(v); }
    void real(float v) {
        if (std::isnan(v)) {
            out_ += "\"nan\"";
        } else if (std::isinf(v)) {
            out_ += v > 0 ? "\"inf\"" : "\"-inf\"";
        } else {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.9g", double(v));
            out_ += buf;
        }
    }
    template <std::integral T>
    void field(const char* name, T v) {
        key(name);
        integer(std::int64_t(v));
    }
    void field(const char* name, float v) { key(name), real(v); }
    void open(char c) { out_ += c, first_ = true; }
    void close(char c) { out_ += c, first_ = false; }
    void comma() {
        if (!first_) out_ += ',';
        first_ = false;
    }
    std::string& text() { return out_; }

private:
    std::string out_;
    bool first_ = true;
};

void record(JsonLine& j, const Tank& t) {
    j.field("active", t.active), j.field("team", t.team), j.field("target", t.target);
    j.field("wanderTimer", t.wanderTimer), j.field("runIn", t.runIn);
    j.field("x", t.x), j.field("y", t.y), j.field("z", t.z), j.field("speed", t.speed);
    j.field("turnRate", t.turnRate), j.field("turretRate", t.turretRate), j.field("heading", t.heading);
    j.field("turretAngle", t.turretAngle), j.field("health", t.health), j.field("trackPhase", t.trackPhase);
    j.field("markerAngle", t.markerAngle), j.field("reload", t.reload);
}
void record(JsonLine& j, const Shell& s) {
    j.field("active", s.active), j.field("team", s.team), j.field("owner", s.owner);
    j.field("x", s.x), j.field("y", s.y), j.field("z", s.z), j.field("heading", s.heading), j.field("life", s.life);
}
void record(JsonLine& j, const MuzzleSmoke& m) {
    j.field("active", m.active), j.field("x", m.x), j.field("y", m.y), j.field("z", m.z);
    j.field("heading", m.heading), j.field("life", m.life);
}
void record(JsonLine& j, const Explosion& e) {
    j.field("active", e.active), j.field("kind", e.kind), j.field("x", e.x), j.field("y", e.y), j.field("z", e.z);
    j.field("spin", e.spin), j.field("life", e.life);
}
void record(JsonLine& j, const Prop& p) {
    j.field("state", p.state), j.field("x", p.x), j.field("y", p.y), j.field("z", p.z), j.field("angle", p.angle);
}
void record(JsonLine& j, const WreckPart& w) {
    j.field("active", w.active), j.field("kind", w.kind), j.field("x", w.x), j.field("y", w.y), j.field("z", w.z);
    j.field("heading", w.heading);
}
void record(JsonLine& j, const Debris& d) {
    j.field("active", d.active), j.field("kind", d.kind), j.field("spinSense", d.spinSense);
    j.field("x", d.x), j.field("y", d.y), j.field("z", d.z), j.field("direction", d.direction);
    j.field("spin", d.spin), j.field("speed", d.speed), j.field("turn", d.turn), j.field("climb", d.climb);
}

template <typename Record, int N>
void table(JsonLine& j, const char* name, const Record (&records)[N]) {
    j.key(name);
    j.open('[');
    for (const Record& r : records) {
        j.comma();
        j.open('{');
        record(j, r);
        j.close('}');
    }
    j.close(']');
}

}  // namespace

std::string formatStateDump(std::int64_t passes) {
    const WorldState& w = world;
    JsonLine j;
    j.open('{');
    j.field("pass", passes);
    j.field("rng", std::int64_t(w.randomState));
    j.field("quitRequested", w.quitRequested), j.field("firstFrame", w.firstFrame);
    j.field("autoPilot1", w.autoPilot1), j.field("autoPilot2", w.autoPilot2), j.field("coopMode", w.coopMode);
    j.field("frameCounter", w.frameCounter);
    j.field("cameraX", w.cameraX), j.field("cameraY", w.cameraY), j.field("cameraZ", w.cameraZ);
    j.field("cameraAngle", w.cameraAngle), j.field("wanderAngle", w.wanderAngle);
    j.field("cameraZoomSpeed", w.cameraZoomSpeed), j.field("teamBalance", w.teamBalance);
    j.key("heatGrid");
    j.open('[');
    for (std::uint8_t cell : w.heatGrid) j.comma(), j.integer(cell);
    j.close(']');
    table(j, "tanks", w.tanks);
    table(j, "shells", w.shells);
    table(j, "muzzleSmoke", w.muzzleSmoke);
    table(j, "explosions", w.explosions);
    table(j, "props", w.props);
    table(j, "wreckParts", w.wreckParts);
    table(j, "debris", w.debris);
    j.close('}');
    return std::move(j.text());
}

}  // namespace tb
