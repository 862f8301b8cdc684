// The sixteen meshes of the tank model, described in plan view. Edit a shape,
// paint or texture mapping here and rebuild: the generator turns them into
// "Tank.ddo". Model space: forward is -y, +x is to the right, z is height in
// depth units (the camera looks straight down, so height mostly decides what
// covers what). Winding does not matter here; it is fixed when the file is made.
#include <cmath>
#include <initializer_list>

#include "model_design.h"

namespace datagen {
namespace {

constexpr float kTau = 6.2831853f;

// Light from above, ahead and to the left of a model: lit faces facing it are
// brighter. The light turns with the model, as painted-on shading does.
constexpr double kLight[3] = {-0.45, -0.55, 0.70};

class Builder {
public:
    // relief: how strongly heights count when a lit face's slope is worked out
    // (heights are depth units, far larger than the plan sizes).
    explicit Builder(double relief = 0.1) : relief_(relief) {}

    void tri(Paint p, Corner a, Corner b, Corner c) {
        if (p.lit) p = shade(p, a, b, c);
        mesh.push_back(Face{p, {a, b, c}});
    }
    void quad(const Paint& p, Corner a, Corner b, Corner c, Corner d) {
        tri(p, a, b, c);
        tri(p, a, c, d);
    }
    // A convex polygon as a fan from its first corner.
    void fan(const Paint& p, std::initializer_list<Corner> corners) {
        const Corner* c = corners.begin();
        for (std::size_t i = 1; i + 1 < corners.size(); ++i) tri(p, c[0], c[i], c[i + 1]);
    }

    Mesh mesh;

private:
    Paint shade(Paint p, const Corner& a, const Corner& b, const Corner& c) const {
        double u[3] = {b.x - a.x, b.y - a.y, (b.z - a.z) * relief_};
        double v[3] = {c.x - a.x, c.y - a.y, (c.z - a.z) * relief_};
        double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (n[2] < 0) len = -len;
        double dot = (n[0] * kLight[0] + n[1] * kLight[1] + n[2] * kLight[2]) / len;
        double k = 0.5 + 0.6 * (dot > 0 ? dot : 0.0);
        auto scale = [k](float c) { return float(std::fmin(255.0, std::round(c * k))); };
        p.r = scale(p.r);
        p.g = scale(p.g);
        p.b = scale(p.b);
        return p;
    }
    double relief_;
};

// Planar texture mapping: s = s0 + x * ds, t = t0 + y * dt.
struct Map {
    float s0, t0, ds, dt;
    Corner operator()(float x, float y, float z) const { return {x, y, z, s0 + x * ds, t0 + y * dt}; }
};

// Regions of the panel atlas ("tex.bmp", 256 x 64 texels, one unit per texel).
constexpr Map kHullDeck{32, 32, 2, 1};            // hull plan: x +-15, y +-31
constexpr Map kTurretTop{96, 24, 2, 2};           // turret plan centred on (0, 4)
constexpr Map kRoofPanels{160, 32, 0.42f, 0.7f};  // hangar roofs
constexpr Map kRough{224, 32, 1.5f, 1.5f};        // worn metal and concrete
// Regions of the colour texture ("tex2.bmp", 64 x 64 texels, four units per texel).
// The quadrant at (64, 64) holds radial fire, hot in the middle; the explosion sprites map onto it.
constexpr Map kFoliage{192, 64, 2.5f, 2.5f};
constexpr Map kLamp{64, 192, 3, 3};    // soft round light
constexpr Map kWhite{192, 192, 0, 0};  // plain opaque white: shows the paint as it is

// A square of side 2r centred on (cx, cy), mapped onto the whole of a square
// texture (the soft spots) or a 128-unit quadrant of the colour texture.
void sprite(Builder& b, const Paint& p, float cx, float cy, float r, float z, float angle, float sc, float tc,
            float half) {
    float c = std::cos(angle), s = std::sin(angle);
    auto at = [&](float u, float v) {
        return Corner{cx + r * (u * c - v * s), cy + r * (u * s + v * c), z, sc + u * half, tc + v * half};
    };
    b.quad(p, at(-1, -1), at(1, -1), at(1, 1), at(-1, 1));
}
void spot(Builder& b, const Paint& p, float cx, float cy, float r, float z, float angle = 0) {
    sprite(b, p, cx, cy, r, z, angle, 128, 128, 128);
}

// ---------------------------------------------------------------------------
// Tank: hull, tracks, turret. Drawn at +400 (hull) and +1400 (turret); the
// tracks sit at +-20 across at ground level and scroll with the driving.

const Paint kOlive{104, 122, 66, 0, kPanel, true};
const Paint kOliveDark{78, 92, 50, 0, kPanel, true};

Mesh hull() {
    Builder b(0.12);
    const Map& m = kHullDeck;
    // Deck, glacis, side and rear slopes: a low box with bevelled edges.
    b.quad(kOlive, m(-13, -21, 110), m(13, -21, 110), m(13, 27, 110), m(-13, 27, 110));
    b.quad(kOlive, m(-13, -21, 110), m(13, -21, 110), m(11, -31, 50), m(-11, -31, 50));
    b.quad(kOlive, m(-13, -21, 110), m(-13, 27, 110), m(-16, 29, 70), m(-16, -23, 70));
    b.quad(kOlive, m(13, -21, 110), m(13, 27, 110), m(16, 29, 70), m(16, -23, 70));
    b.quad(kOlive, m(-13, 27, 110), m(13, 27, 110), m(14, 31, 70), m(-14, 31, 70));
    for (float side : {-1.0f, 1.0f}) {
        b.tri(kOlive, m(13 * side, 27, 110), m(16 * side, 29, 70), m(14 * side, 31, 70));
        b.tri(kOlive, m(13 * side, -21, 110), m(11 * side, -31, 50), m(16 * side, -23, 70));
    }
    // Headlights on the front corners, tail lights at the back.
    const Paint headlight{255, 244, 190, 0, kColour};
    const Paint taillight{235, 40, 30, 0, kColour};
    for (float side : {-1.0f, 1.0f}) {
        b.tri(headlight, kLamp(7 * side, -29.5f, 90), kLamp(10.5f * side, -29.5f, 90), kLamp(9 * side, -26.5f, 100));
        b.tri(taillight, kWhite(10 * side, 29.5f, 115), kWhite(13 * side, 29.5f, 115), kWhite(12 * side, 27.5f, 115));
    }
    // Exhaust outlet on the engine deck.
    const Paint soot{44, 42, 38, 0, kPanel, false};
    b.quad(soot, kRough(-6, 22, 114), kRough(6, 22, 114), kRough(6, 25, 114), kRough(-6, 25, 114));
    return b.mesh;
}

Mesh track() {
    Builder b(0.2);
    // The tread shows the striped texture, 4 units of t per unit of length, so the
    // links creep forward along the hull as fast as the tank drives.
    const Map tread{0, 0, 19.2f, 4};
    const Paint steel{150, 148, 140, 0, kStripes, true};
    b.quad(steel, tread(-5, -29, 150), tread(5, -29, 150), tread(5, 29, 150), tread(-5, 29, 150));
    b.quad(steel, tread(-5, -29, 150), tread(5, -29, 150), tread(4.5f, -34, 80), tread(-4.5f, -34, 80));
    b.quad(steel, tread(-5, 29, 150), tread(5, 29, 150), tread(4.5f, 34, 80), tread(-4.5f, 34, 80));
    // Side plates of the running gear.
    const Paint frame{70, 70, 64, 0, kPanel, true};
    for (float side : {-1.0f, 1.0f}) {
        b.quad(frame, kRough(5 * side, -30, 160), kRough(5.8f * side, -30, 150), kRough(5.8f * side, 30, 150),
               kRough(5 * side, 30, 160));
    }
    return b.mesh;
}

Mesh turret() {
    Builder b(0.12);
    const Map& m = kTurretTop;
    // Octagonal turret around (0, 4); the atlas paints its rim, hatches and seams.
    const Paint body{118, 136, 76, 0, kPanel, false};
    constexpr float r = 12.5f, cy = 4;
    Corner o[8];
    for (int i = 0; i < 8; ++i) {
        float a = kTau * (i + 0.5f) / 8;
        o[i] = m(r * std::cos(a), cy + r * std::sin(a), 130);
    }
    b.fan(body, {o[0], o[1], o[2], o[3], o[4], o[5], o[6], o[7]});
    // Gun mantlet and a round barrel of two facets; the muzzle brake ends the gun
    // exactly 40 units ahead, where the shell appears.
    b.quad(kOliveDark, m(-5, -11, 140), m(5, -11, 140), m(5, -6, 140), m(-5, -6, 140));
    b.quad(kOlive, kRough(0, -38, 152), kRough(0, -8, 152), kRough(-1.7f, -8, 142), kRough(-1.7f, -38, 142));
    b.quad(kOlive, kRough(0, -38, 152), kRough(0, -8, 152), kRough(1.7f, -8, 142), kRough(1.7f, -38, 142));
    const Paint brake{62, 66, 46, 0, kPanel, false};
    b.quad(brake, kRough(-2.8f, -40, 156), kRough(2.8f, -40, 156), kRough(2.8f, -35, 156), kRough(-2.8f, -35, 156));
    // Stowage bin on the turret's back and a whip antenna.
    b.quad(kOliveDark, m(-8, 14, 125), m(8, 14, 125), m(7, 19.5f, 125), m(-7, 19.5f, 125));
    const Paint antenna{30, 30, 28, 0, kPanel, false};
    b.tri(antenna, kRough(-8.5f, 10, 170), kRough(-7.5f, 10, 170), kRough(-9.5f, 34, 170));
    return b.mesh;
}

// ---------------------------------------------------------------------------
// Team marker: a small kite pointing forward. The game paints corners 0 and 1
// in the team colour; corner 2, the middle, keeps this near-white paint.
Mesh marker() {
    Builder b;
    const Paint gem{235, 235, 235, 0, kColour};
    const Corner mid = kWhite(0, -1, 20);
    const Corner rim[4] = {kWhite(0, -8, 20), kWhite(5, 1, 20), kWhite(0, 5, 20), kWhite(-5, 1, 20)};
    for (int i = 0; i < 4; ++i) b.tri(gem, rim[i], rim[(i + 1) % 4], mid);
    return b.mesh;
}

// ---------------------------------------------------------------------------
// Shell: a dark casing disc first, then a glowing core. The same mesh is drawn
// again at ground level with alpha blending as the shadow: the casing (alpha
// 120) darkens the ground there, the core (alpha 255) leaves no trace.
Mesh shell() {
    Builder b;
    const Paint casing{0, 0, 0, 120, kColour};
    const Paint core{255, 232, 140, 255, kColour};
    auto ring = [&](const Paint& p, float r, float z, const Map& map) {
        Corner c[6];
        for (int i = 0; i < 6; ++i) c[i] = map(r * std::cos(kTau * i / 6), r * std::sin(kTau * i / 6), z);
        b.fan(p, {c[0], c[1], c[2], c[3], c[4], c[5]});
    };
    ring(casing, 5.5f, 0, kWhite);
    ring(core, 3.8f, 30, Map{64, 192, 14, 14});
    return b.mesh;
}

Mesh shellGlow() {
    Builder b;
    spot(b, Paint{160, 80, 28, 0, kSpot}, 0, 0, 30, 2);
    spot(b, Paint{230, 170, 90, 0, kSpot}, 0, 0, 11, 3);
    return b.mesh;
}

// ---------------------------------------------------------------------------
// Hangar: opens toward +y, which the game turns to face the middle of the field.
// It fills the blocking box, 140 across and 180 deep. A pitched roof block at the
// back, two wings, and a bay whose floor slats and threshold stripes (the striped
// texture) roll toward the opening while a tank drives out. The roofs stand
// higher than the tallest prop, so no tree grows through them, and lower than
// the turrets, which may swing over them.
Mesh hangar() {
    Builder b(0.02);
    const Map& m = kRoofPanels;
    const Paint roof{150, 150, 138, 0, kPanel, true};
    b.quad(roof, m(-70, -90, 1050), m(70, -90, 1050), m(70, -68, 1250), m(-70, -68, 1250));
    b.quad(roof, m(-70, -46, 1050), m(70, -46, 1050), m(70, -68, 1250), m(-70, -68, 1250));
    const Paint wing{138, 138, 126, 0, kPanel, true};
    for (float side : {-1.0f, 1.0f}) {
        b.quad(wing, m(48 * side, -46, 1100), m(70 * side, -46, 960), m(70 * side, 90, 960), m(48 * side, 90, 1100));
    }
    // Shadows of the walls on the bay floor.
    const Paint shadow{26, 26, 30, 0, kPanel};
    b.quad(shadow, kRough(-48, -46, 8), kRough(48, -46, 8), kRough(40, -38, 8), kRough(-40, -38, 8));
    for (float side : {-1.0f, 1.0f}) {
        b.quad(shadow, kRough(48 * side, -46, 8), kRough(40 * side, -38, 8), kRough(40 * side, 78, 8),
               kRough(48 * side, 78, 8));
    }
    // Bay floor: slats across the way out. Threshold: diagonal warning stripes.
    const Paint slats{112, 112, 120, 0, kStripes};
    const Map floor{0, 0, 0.8f, 1};
    b.quad(slats, floor(-48, -46, 4), floor(48, -46, 4), floor(48, 78, 4), floor(-48, 78, 4));
    const Paint warning{255, 200, 16, 0, kStripes};
    auto diagonal = [](float x, float y, float z) { return Corner{x, y, z, x * 0.8f, (x + y) * 1.5f}; };
    b.quad(warning, diagonal(-48, 78, 6), diagonal(48, 78, 6), diagonal(48, 90, 6), diagonal(-48, 90, 6));
    // Green lamps on the front corners of the wings.
    const Paint lamp{80, 255, 110, 0, kColour};
    for (float side : {-1.0f, 1.0f}) {
        b.tri(lamp, kLamp(56 * side, 88, 1120), kLamp(64 * side, 88, 1120), kLamp(60 * side, 80, 1120));
    }
    return b.mesh;
}

// ---------------------------------------------------------------------------
// Muzzle smoke: soft puffs ahead of the muzzle and out of the brake's side
// vents, lowest first so the transparent corners of later puffs never cut
// into earlier ones. The game sets their alpha from the puff's age.
Mesh muzzleSmoke() {
    Builder b;
    const Paint haze{105, 105, 100, 0, kSpot};
    const Paint puff{150, 150, 144, 0, kSpot};
    spot(b, haze, 0, -10, 20, 0);
    spot(b, puff, 0, -3, 9, 10, 0.4f);
    spot(b, puff, -9, 2, 7, 20, 0.9f);
    spot(b, puff, 9, 2, 7, 20, 1.7f);
    spot(b, puff, 0, -15, 11, 30, 2.3f);
    return b.mesh;
}

// ---------------------------------------------------------------------------
// Field markings, worn white paint at the middle of the field. Mesh 8 (drawn
// pointing to both far edges) is half the centre circle with a line and a bar;
// mesh 9 (drawn pointing at both hangar rows) is a dashed lane with a chevron.
const Paint kPaintMark{236, 236, 226, 120, kPanel};

Mesh markingLong() {
    Builder b;
    constexpr int kSegments = 8;
    for (int i = 0; i < kSegments; ++i) {
        float a0 = 3.1415927f * i / kSegments, a1 = 3.1415927f * (i + 1) / kSegments;
        auto at = [](float r, float a) { return kRough(r * std::cos(a), -r * std::sin(a), 1); };
        b.quad(kPaintMark, at(96, a0), at(108, a0), at(108, a1), at(96, a1));
    }
    b.quad(kPaintMark, kRough(-4, -108, 1), kRough(4, -108, 1), kRough(4, -262, 1), kRough(-4, -262, 1));
    b.quad(kPaintMark, kRough(-32, -262, 1), kRough(32, -262, 1), kRough(32, -272, 1), kRough(-32, -272, 1));
    return b.mesh;
}

Mesh markingCross() {
    Builder b;
    // Half of the centre spot.
    Corner c[5];
    for (int i = 0; i < 5; ++i) {
        float a = 3.1415927f * i / 4;
        c[i] = kRough(9 * std::cos(a), -9 * std::sin(a), 1);
    }
    b.fan(kPaintMark, {c[0], c[1], c[2], c[3], c[4]});
    for (float y0 : {-130.0f, -200.0f, -270.0f}) {
        b.quad(kPaintMark, kRough(-4, y0, 1), kRough(4, y0, 1), kRough(4, y0 - 40, 1), kRough(-4, y0 - 40, 1));
    }
    // Chevron pointing at the hangars.
    for (float side : {-1.0f, 1.0f}) {
        b.quad(kPaintMark, kRough(0, -372, 1), kRough(0, -360, 1), kRough(26 * side, -334, 1),
               kRough(26 * side, -346, 1));
    }
    return b.mesh;
}

// ---------------------------------------------------------------------------
// Prop: a fir tree, two tiers of star-shaped boughs. It is tall (up to 900) so
// that, rising from as deep as -400, its tip breaks the ground first and the
// crown widens as it grows.
Mesh prop() {
    Builder b(0.03);
    const Paint needles{40, 205, 20, 0, kColour, true};
    auto tier = [&](int points, float tip, float valley, float phase, float top, float valleyZ, float rimZ) {
        const Corner peak = kFoliage(0, 0, top);
        for (int i = 0; i < points; ++i) {
            float a = kTau * (i + phase) / points, half = kTau * 0.5f / points;
            Corner spike = kFoliage(tip * std::cos(a), tip * std::sin(a), rimZ);
            Corner before = kFoliage(valley * std::cos(a - half), valley * std::sin(a - half), valleyZ);
            Corner after = kFoliage(valley * std::cos(a + half), valley * std::sin(a + half), valleyZ);
            b.tri(needles, peak, before, spike);
            b.tri(needles, peak, spike, after);
        }
    };
    tier(6, 21, 10, 0, 520, 260, 20);
    tier(4, 12, 5.5f, 0.5f, 900, 660, 470);
    return b.mesh;
}

// ---------------------------------------------------------------------------
// Explosions: a dust ring, tongues of flame, two fireballs and a white core,
// lowest first. Added to the picture with the alpha the game gives them as they
// flash in and fade.
Mesh explosion(float size) {
    Builder b;
    const Paint dust{150, 108, 66, 0, kSpot};
    const Paint fire{255, 196, 130, 0, kColour};
    const Paint core{255, 236, 170, 0, kSpot};
    spot(b, dust, 0, 0, 70 * size, 0);
    const int tongues = size > 0.5f ? 6 : 4;
    for (int i = 0; i < tongues; ++i) {
        float a = kTau * (i + 0.3f * (i % 2)) / tongues;
        float reach = (i % 2 ? 50.0f : 60.0f) * size;
        auto at = [&](float r, float da) {
            float x = r * std::cos(a + da), y = r * std::sin(a + da);
            return Corner{x, y, 20, 64 + x / size, 64 + y / size};
        };
        b.tri(fire, at(9 * size, -0.35f), at(reach, 0), at(9 * size, 0.35f));
    }
    sprite(b, fire, 0, 0, 42 * size, 40, 0, 64, 64, 60);
    sprite(b, fire, 0, 0, 34 * size, 60, 0.785f, 64, 64, 60);
    spot(b, core, 0, 0, 16 * size, 80);
    return b.mesh;
}

// ---------------------------------------------------------------------------
// Debris thrown off by hits: a bent armour plate, a road wheel, a few links.
Mesh debrisPlate() {
    Builder b(0.3);
    const Map& m = kHullDeck;
    b.fan(kOlive, {m(-6, -4, 20), m(3, -6, 20), m(7, 0, 20), m(2, 5, 20)});
    b.tri(kOliveDark, m(-6, -4, 20), m(2, 5, 20), m(-7, 3, 5));
    return b.mesh;
}

Mesh debrisWheel() {
    Builder b;
    const Paint rubber{52, 52, 48, 0, kPanel};
    const Paint hub{140, 140, 128, 0, kPanel};
    Corner c[8];
    for (int i = 0; i < 8; ++i) c[i] = kRough(5.5f * std::cos(kTau * i / 8), 5.5f * std::sin(kTau * i / 8), 10);
    b.fan(rubber, {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]});
    b.quad(hub, kRough(-2, 0, 14), kRough(0, -2, 14), kRough(2, 0, 14), kRough(0, 2, 14));
    return b.mesh;
}

Mesh debrisLinks() {
    Builder b(0.2);
    const Map tread{0, 0, 19.2f, 4};
    const Paint steel{150, 148, 140, 0, kStripes, true};
    b.quad(steel, tread(-5, -8, 12), tread(5, -8, 12), tread(5, 3, 12), tread(-5, 3, 12));
    b.quad(steel, tread(-5, 3, 12), tread(5, 3, 12), tread(7, 10, 4), tread(-3, 11, 4));
    return b.mesh;
}

}  // namespace

Mesh designMesh(int m) {
    switch (m) {
        case kHull: return hull();
        case kTrack: return track();
        case kTurret: return turret();
        case kMarker: return marker();
        case kShell: return shell();
        case kHangar: return hangar();
        case kShellGlow: return shellGlow();
        case kMuzzleSmoke: return muzzleSmoke();
        case kMarkingLong: return markingLong();
        case kMarkingCross: return markingCross();
        case kProp: return prop();
        case kBigExplosion: return explosion(1.0f);
        case kSmallExplosion: return explosion(0.4f);
        case kDebrisPlate: return debrisPlate();
        case kDebrisWheel: return debrisWheel();
        case kDebrisLinks: return debrisLinks();
        default: return {};
    }
}

}  // namespace datagen
