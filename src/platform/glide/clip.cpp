// Screen clipping for guDrawTriangleWithClip (and for grDrawTriangle input
// too far off screen for the fixed-point set-up): the triangle is culled by
// its own area, then cut against the four screen edges in 2D, every vertex
// field interpolated linearly along the cut edge, and the polygon left over
// is drawn as a fan.
#include <cmath>
#include <limits>

#include "context.h"

namespace softglide::detail {
namespace {

// A triangle cut by four edges has at most seven corners; the room beyond
// that only matters if rounding ever bends the polygon, and is never overrun.
constexpr int kMaxPolygon = 16;

// Rounds a double into a float field without the undefined behaviour of an
// out-of-range conversion: values beyond the float range become infinities.
float toFloat(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax) return std::numeric_limits<float>::infinity();
    if (v < -kMax) return -std::numeric_limits<float>::infinity();
    return float(v);
}

float lerp(float p, float q, double t) { return toFloat(double(p) + t * (double(q) - double(p))); }

GrVertex lerp(const GrVertex& p, const GrVertex& q, double t) {
    GrVertex r;
    r.x = lerp(p.x, q.x, t);
    r.y = lerp(p.y, q.y, t);
    r.z = lerp(p.z, q.z, t);
    r.r = lerp(p.r, q.r, t);
    r.g = lerp(p.g, q.g, t);
    r.b = lerp(p.b, q.b, t);
    r.ooz = lerp(p.ooz, q.ooz, t);
    r.a = lerp(p.a, q.a, t);
    r.oow = lerp(p.oow, q.oow, t);
    for (int i = 0; i < GLIDE_NUM_TMU; ++i) {
        r.tmuvtx[i].sow = lerp(p.tmuvtx[i].sow, q.tmuvtx[i].sow, t);
        r.tmuvtx[i].tow = lerp(p.tmuvtx[i].tow, q.tmuvtx[i].tow, t);
        r.tmuvtx[i].oow = lerp(p.tmuvtx[i].oow, q.tmuvtx[i].oow, t);
    }
    return r;
}

// One clip edge: keep the side where sign * (coordinate - bound) <= 0.
struct ClipEdge {
    bool alongX;
    float bound;
    double sign;  // +1 keeps coordinate <= bound, -1 keeps coordinate >= bound
    double distance(const GrVertex& v) const { return sign * (double(alongX ? v.x : v.y) - double(bound)); }
};

int clipPolygon(const GrVertex* in, int n, GrVertex* out, const ClipEdge& e) {
    int m = 0;
    for (int i = 0; i < n && m + 2 <= kMaxPolygon; ++i) {
        const GrVertex& p = in[i];
        const GrVertex& q = in[(i + 1) % n];
        const double dp = e.distance(p), dq = e.distance(q);
        if (dp <= 0) out[m++] = p;
        if ((dp <= 0) != (dq <= 0)) {
            GrVertex cut = lerp(p, q, dp / (dp - dq));
            (e.alongX ? cut.x : cut.y) = e.bound;  // exactly on the edge
            out[m++] = cut;
        }
    }
    return m;
}

bool finiteXY(const GrVertex& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

float clampTo(float v, float hi) { return v < 0.0f ? 0.0f : (v > hi ? hi : v); }

}  // namespace

void clipAndDraw(Context& ctx, const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    if (!finiteXY(a) || !finiteXY(b) || !finiteXY(c)) return;
    if (!passesCulling(a, b, c, ctx.render.cullMode)) return;
    const float w = float(kScreenWidth), h = float(kScreenHeight);
    const ClipEdge edges[4] = {{true, 0.0f, -1.0}, {true, w, 1.0}, {false, 0.0f, -1.0}, {false, h, 1.0}};
    GrVertex poly[2][kMaxPolygon];
    poly[0][0] = a;
    poly[0][1] = b;
    poly[0][2] = c;
    int n = 3, cur = 0;
    for (const ClipEdge& e : edges) {
        n = clipPolygon(poly[cur], n, poly[cur ^ 1], e);
        cur ^= 1;
        if (n < 3) return;
    }
    // Interpolation may land a hair outside the rectangle; pull it back.
    for (int i = 0; i < n; ++i) {
        poly[cur][i].x = clampTo(poly[cur][i].x, w);
        poly[cur][i].y = clampTo(poly[cur][i].y, h);
    }
    for (int i = 1; i + 1 < n; ++i) ctx.bands.submitTriangle(poly[cur][0], poly[cur][i], poly[cur][i + 1]);
}

}  // namespace softglide::detail
