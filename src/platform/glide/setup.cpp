// Snap and cull, then parameter set-up: what every row of a triangle shares.
#include "setup.h"

#include <algorithm>

namespace softglide::detail {

// Area of the triangle as passed, in double: the differences and products of
// floats are exact there, so its sign is exact too.
bool passesCulling(const GrVertex& a, const GrVertex& b, const GrVertex& c, GrCullMode_t mode) {
    const double area = (double(a.x) - double(b.x)) * (double(b.y) - double(c.y)) -
                        (double(b.x) - double(c.x)) * (double(a.y) - double(b.y));
    if (!(area != 0.0)) return false;  // zero or NaN
    if (mode == GR_CULL_POSITIVE && area > 0) return false;
    if (mode == GR_CULL_NEGATIVE && area < 0) return false;
    return true;
}

Snapped snapTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c, int scale) {
    const GrVertex* v[3] = {&a, &b, &c};
    const double unit = 16.0 * double(scale);
    Snapped s;
    for (int i = 0; i < 3; ++i) {
        s.X[i] = floorToInt(double(v[i]->x) * unit + 0.5);
        s.Y[i] = floorToInt(double(v[i]->y) * unit + 0.5);
    }
    s.area = snappedArea(s.X, s.Y);
    return s;
}

bool oneW(const VertexValues& a, const VertexValues& b, const VertexValues& c) {
    return a.oow == b.oow && b.oow == c.oow;
}

bool oneColour(const VertexValues& a, const VertexValues& b, const VertexValues& c) {
    return a.r == b.r && b.r == c.r && a.g == b.g && b.g == c.g && a.b == b.b && b.b == c.b && a.a == b.a && b.a == c.a;
}

Triangle setUpTriangle(const VertexValues& a, const VertexValues& b, const VertexValues& c, const Snapped& sn,
                       const DrawState& st) {
    const std::int64_t *X = sn.X, *Y = sn.Y;
    // Parameter planes in pixels relative to vertex 0. Their denominator,
    // dx1 * dy2 - dx2 * dy1, is the snapped area in square pixels.
    const double dx1 = double(X[1] - X[0]) / 16.0, dy1 = double(Y[1] - Y[0]) / 16.0;
    const double dx2 = double(X[2] - X[0]) / 16.0, dy2 = double(Y[2] - Y[0]) / 16.0;
    const double invDet = 256.0 / double(sn.area);
    auto plane = [&](double p0, double p1, double p2) {
        Plane p;
        p.p0 = p0;
        p.dx = ((p1 - p0) * dy2 - (p2 - p0) * dy1) * invDet;
        p.dy = ((p2 - p0) * dx1 - (p1 - p0) * dx2) * invDet;
        return p;
    };

    // Filled field by field: clearing the whole record first would cost more
    // than the rest of a small triangle's set-up.
    Triangle tr;
    tr.du = tr.dv = tr.dr = tr.dg = tr.db = tr.da = 0;
    tr.fr = tr.fg = tr.fb = tr.fa = 0;
    tr.tex = st.texture;
    tr.texOffset = st.bilinear ? 0.5 : 0.0;
    tr.x0 = double(X[0]) / 16.0;
    tr.y0 = double(Y[0]) / 16.0;
    tr.tpu = tr.tex.texelsPerUnit;
    tr.ooz = plane(a.ooz, b.ooz, c.ooz);
    tr.affine = oneW(a, b, c);
    tr.flat = oneColour(a, b, c);
    if (tr.affine) {
        tr.s = plane(double(a.sow) / a.oow, double(b.sow) / b.oow, double(c.sow) / c.oow);
        tr.t = plane(double(a.tow) / a.oow, double(b.tow) / b.oow, double(c.tow) / c.oow);
        constexpr double kTexStepLimit = double(std::int64_t(1) << 20) * kTexOne;
        tr.du = saturate(tr.s.dx * tr.tpu * kTexOne, kTexStepLimit);
        tr.dv = saturate(tr.t.dx * tr.tpu * kTexOne, kTexStepLimit);
    } else {
        tr.s = plane(a.sow, b.sow, c.sow);
        tr.t = plane(a.tow, b.tow, c.tow);
        tr.w = plane(a.oow, b.oow, c.oow);
    }
    tr.dz = saturate(tr.ooz.dx * kIterOne, kStepLimit);
    if (tr.flat) {
        // The colour's whole part, limited to +-kColourLimit (NaN to the lower end).
        auto flatValue = [](float f) {
            const double v = double(f) >= -kColourLimit ? double(f) : -kColourLimit;
            return int(floorToInt(std::min(v, double(kColourLimit))));
        };
        tr.fr = flatValue(a.r);
        tr.fg = flatValue(a.g);
        tr.fb = flatValue(a.b);
        tr.fa = flatValue(a.a);
    } else {
        tr.red = plane(a.r, b.r, c.r);
        tr.green = plane(a.g, b.g, c.g);
        tr.blue = plane(a.b, b.b, c.b);
        tr.alpha = plane(a.a, b.a, c.a);
        tr.dr = saturate(tr.red.dx * kIterOne, kStepLimit);
        tr.dg = saturate(tr.green.dx * kIterOne, kStepLimit);
        tr.db = saturate(tr.blue.dx * kIterOne, kStepLimit);
        tr.da = saturate(tr.alpha.dx * kIterOne, kStepLimit);
    }
    return tr;
}

}  // namespace softglide::detail
