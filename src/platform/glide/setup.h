// Triangle set-up: snapping to 1/16 of a rendered pixel, and the planes and
// per-pixel steps of every parameter a triangle's pixels need.
#pragma once

#include <cstdint>

#include "coverage.h"
#include "fixed.h"
#include "context.h"

namespace softglide::detail {

// Vertex x and y times the scale, in 1/16 pixel, rounded to the nearest
// (halves up), and the area they span.
Snapped snapTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c, int scale);

// What set-up needs of a vertex besides its position: a third of a GrVertex,
// which keeps the recorded frame small.
struct VertexValues {
    float ooz, oow, r, g, b, a, sow, tow;
};
inline VertexValues vertexValues(const GrVertex& v) {
    return VertexValues{v.ooz, v.oow, v.r, v.g, v.b, v.a, v.tmuvtx[0].sow, v.tmuvtx[0].tow};
}

// A parameter as a plane over the screen, relative to vertex 0's snapped
// position (evaluated by planeAt, stages.h).
struct Plane {
    double p0, dx, dy;
};

// The planes of a triangle and their steps per pixel. Affine triangles (one
// w for all three vertices) carry s and t in texels, evaluated at a row's
// first pixel and stepped in fixed point from there; perspective ones carry
// s/w, t/w and 1/w, and depth and texel are worked out afresh at every
// pixel. Flat triangles (one colour) carry it as integers instead of planes.
struct Triangle {
    TextureView tex;
    double texOffset;  // 0.5 for bilinear (texel centres), 0 for point sampling
    bool affine, flat;
    double x0, y0;  // vertex 0 in pixels
    double tpu;     // texels per Glide unit
    Plane ooz, s, t, w, red, green, blue, alpha;
    std::int64_t dz, dr, dg, db, da, du, dv;
    int fr, fg, fb, fa;
};

// With one w for the whole triangle, s and t are affine on the screen.
bool oneW(const VertexValues& a, const VertexValues& b, const VertexValues& c);
bool oneColour(const VertexValues& a, const VertexValues& b, const VertexValues& c);

// The planes, steps and flat colour of a triangle whose vertices snapped to s.
Triangle setUpTriangle(const VertexValues& a, const VertexValues& b, const VertexValues& c, const Snapped& s,
                       const DrawState& st);

}  // namespace softglide::detail
