// The mesh drawer: places a mesh's 21 model triangles at a world position and
// heading, projects them through the top-down camera and hands them to Glide,
// with the per-mesh effects (heat glow, team colours with jitter, fading,
// track scroll, depth push). And the heat sampler.
#include <cmath>

#include "core/world.h"
#include "platform/glide/glide.h"
#include "platform/video.h"
#include "render/projection.h"
#include "render/render.h"
#include "sim/geometry.h"
#include "sim/sim.h"

namespace tb {
namespace {

constexpr int kShellMesh = 84, kMarkerMesh = 63, kSmokeMesh = 147, kBigExplosionMesh = 231, kSmallExplosionMesh = 252;

// Model slots outside the texture tables select no texture at all.
const GrTexInfo kNoTexture = {};

std::int32_t clampLine(std::int32_t v) { return v < 0 ? 0 : (v > 15 ? 15 : v); }

// The team marker's shimmer: every corner moves by -1, 0 or 1 pixel across,
// then down; six random draws a triangle, whether or not pixels are made.
void shimmer(GrVertex (&vtx)[3]) {
    for (GrVertex& out : vtx) {
        out.x = float(double(out.x) + (tb::rand() % 3 - 1));
        out.y = float(double(out.y) + (tb::rand() % 3 - 1));
    }
}

}  // namespace

// The average heat of the nine cells around a point, 10 units apart; samples
// beyond the grid's edges are clamped to its border cells.
std::int32_t sampleHeat(float x, float y) {
    std::int32_t sum = 0;
    for (int dx = -10; dx <= 10; dx += 10) {
        for (int dy = -10; dy <= 10; dy += 10) {
            const std::int32_t row = clampLine(heatGridLine(double(x) + dx));
            const std::int32_t column = clampLine(heatGridLine(double(y) + dy));
            sum += world.heatGrid[row * 16 + column];
        }
    }
    return sum / 9;
}

void drawMesh(float x, float y, float z, float heading, float phase, std::int32_t variant, std::int32_t firstTriangle) {
    if (firstTriangle < 0 || firstTriangle > kModelTriangleCount - kMeshTriangles) return;

    // With no picture being made, the only effect of drawing on the game is the
    // marker's shimmer: its random draws for every triangle it draws.
    if (!platform::pixelsWanted()) {
        if (firstTriangle == kMarkerMesh)
            for (int i = 0; i < kMeshTriangles; ++i)
                if (world.model.triangles[firstTriangle + i].present == 1) {
                    GrVertex unseen[3] = {};
                    shimmer(unseen);
                }
        return;
    }

    const double heat = firstTriangle == kShellMesh ? 0 : sampleHeat(x, y);
    const double p = phase;
    const std::int64_t v = variant;
    const double teamRed = double(255 - 255 * v), teamBlue = double(255 * v);
    const double smokeAlpha = 255 * (200 - p) * double(0.005f);
    const double flashAlpha = p < 90 ? 255 - p * 255 * double(float(1.0 / 90)) : (p - 90) * 255 * double(0.1f);

    // Everything that is the same for every vertex of the call, worked out at the first drawn triangle.
    bool prepared = false;
    double ch = 0, sh = 0;
    CameraTrig camera{};
    const double height = trunc32(z);

    for (int i = 0; i < kMeshTriangles; ++i) {
        const ModelTriangle& tri = world.model.triangles[firstTriangle + i];
        if (tri.present != 1) continue;
        if (!prepared) {
            ch = std::cos(double(heading));
            sh = std::sin(double(heading));
            camera = cameraTrig();
            prepared = true;
        }

        const double r = double(tri.red[0]) - heat, g = double(tri.green[0]) - heat, b = double(tri.blue[0]) - heat,
                     a = tri.alpha[0];
        const bool knownSlot = tri.texture >= 0 && tri.texture < kTextureSlots;
        if (knownSlot)
            grTexSource(GR_TMU0, world.textureAddress[tri.texture], GR_MIPMAPLEVELMASK_BOTH,
                        &world.textureInfo[tri.texture]);
        else
            grTexSource(GR_TMU0, 0xFFFFFFFFu, GR_MIPMAPLEVELMASK_BOTH, const_cast<GrTexInfo*>(&kNoTexture));
        const double scroll = tri.texture == 1 ? p : 0;

        // Every field is set below (the second texture unit's to zero), which
        // is cheaper than clearing the three vertices first.
        GrVertex vtx[3];
        for (int k = 0; k < 3; ++k) {
            GrVertex& out = vtx[k];
            out.tmuvtx[1] = GrTmuVertex{0, 0, 0};
            double d = 59999.0 - double(tri.z[k]) - height;
            if (d == 0) d = 1.0;
            const double wx = double(tri.x[k]) * ch - double(tri.y[k]) * sh + double(x);
            const double wy = double(tri.x[k]) * sh + double(tri.y[k]) * ch + double(y);
            const ScreenPoint screen = project(camera, wx, wy, d);
            out.x = float(trunc32(screen.x));
            out.y = float(trunc32(screen.y));
            out.z = float(d);
            out.ooz = float(d);
            out.oow = float(1 / d);
            out.tmuvtx[0].sow = float(double(tri.s[k]) * double(out.oow));
            out.tmuvtx[0].tow = float((double(tri.t[k]) + scroll) * double(out.oow));
            out.tmuvtx[0].oow = out.oow;
            out.r = float(r);
            out.g = float(g);
            out.b = float(b);
            out.a = float(a);
        }

        if (firstTriangle == kMarkerMesh) {
            // Team colour on two corners, and a one-pixel shimmer.
            for (int k = 0; k < 2; ++k) {
                vtx[k].r = float(teamRed);
                vtx[k].g = 255;
                vtx[k].b = float(teamBlue);
            }
            shimmer(vtx);
        }
        if (variant == -1) {
            // Push the far corners back so the part looks sunk into the ground.
            vtx[1].ooz = float(double(vtx[1].ooz) + 60);
            vtx[2].ooz = float(double(vtx[2].ooz) + 30);
        }
        if (firstTriangle == kSmokeMesh)
            for (GrVertex& out : vtx) out.a = float(smokeAlpha);
        if (firstTriangle == kBigExplosionMesh || firstTriangle == kSmallExplosionMesh)
            for (GrVertex& out : vtx) out.a = float(flashAlpha);

        guDrawTriangleWithClip(&vtx[0], &vtx[1], &vtx[2]);
    }
}

}  // namespace tb
