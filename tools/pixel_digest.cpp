// Pixel digests of the software Glide: draws a fixed scene of random
// triangles in every state the game uses (and a few it never sets) at scales
// 1 and 2, through the reference loops on one thread and the fast loops on
// 1, 2, 3 and 8, and prints one digest of the colour and depth buffers per
// scale. Every build (x86-64 with or without AVX2, 64-bit ARM, WebAssembly)
// must print the same lines; exits with 1 when two ways of drawing differ.
//
//   pixel_digest            prints "scale N: <digest>" lines
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/glide/glide.h"
#include "platform/glide/softglide.h"
#include "platform/glide/testing.h"

namespace {

using softglide::testing::Loops;

std::uint32_t seed = 1;
double rnd() {
    seed = seed * 1103515245u + 12345u;
    return double((seed >> 8) & 0xFFFF) / 65536.0;
}

struct Call {
    int blend, texture;
    bool oddState, clip;
    GrVertex v[3];
};

struct Scene {
    std::vector<std::uint16_t> texels[4];
    std::vector<Call> calls;
};

Scene makeScene() {
    Scene s;
    for (int k = 0; k < 4; ++k) {
        s.texels[k].resize(k == 3 ? 4 : (k == 2 ? 8192 : 4096));
        for (std::uint16_t& t : s.texels[k]) t = std::uint16_t(std::uint16_t(rnd() * 65536) | (k == 1 ? 0 : 0x8000));
    }
    const double depthRanges[3][2] = {{1000, 60000}, {-20000, 90000}, {70000, 80000}};
    for (int t = 0; t < 3000; ++t) {
        Call c{t % 6 == 5 ? 4 : t % 4, int(rnd() * 4), t % 23 == 0, t % 2 == 0, {}};
        const bool affine = t % 3 != 0, flat = t % 7 != 0;
        const double* range = depthRanges[t % 3];
        const double x0 = rnd() * 640, y0 = rnd() * 480, w0 = 1 / (1 + rnd() * 100);
        const double size = t % 9 == 0 ? 400 : (t % 4 == 1 ? 4 : (t % 4 == 2 ? 12 : 60));
        const double far = t % 14 == 6 ? 4e16 : (t % 14 == 10 ? -3e12 : (t % 14 == 3 ? 5e6 : 0));
        // Every fifth triangle is magnified (a texel or less a pixel), as the ground is.
        const double spread = t % 5 == 2 ? size / 2 : 2000;
        for (GrVertex& p : c.v) {
            const double w = affine ? w0 : 1 / (1 + rnd() * 100);
            p = GrVertex{};
            p.x = float(x0 + (rnd() - 0.5) * size);
            p.y = float(y0 + (rnd() - 0.5) * size);
            p.z = p.ooz = float(range[0] + rnd() * (range[1] - range[0]));
            p.oow = p.tmuvtx[0].oow = float(w);
            p.tmuvtx[0].sow = float((far + rnd() * spread - 500) * w);
            p.tmuvtx[0].tow = float((far + rnd() * spread - 500) * w);
            if (flat && &p != c.v) {
                p.r = c.v[0].r, p.g = c.v[0].g, p.b = c.v[0].b, p.a = c.v[0].a;
            } else {
                p.r = float(rnd() * 700 - 400), p.g = float(rnd() * 300), p.b = float(rnd() * 300 - 40);
                p.a = float(rnd() * 300 - 20);
            }
        }
        s.calls.push_back(c);
    }
    return s;
}

// FNV-1a over the colour and depth buffers.
std::uint64_t digest() {
    const std::size_t n = std::size_t(softglide::frameWidth()) * std::size_t(softglide::frameHeight());
    std::uint64_t h = 14695981039346656037ull;
    auto add = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) h = (h ^ ((v >> (8 * i)) & 255)) * 1099511628211ull;
    };
    const std::uint32_t* colour = softglide::backBuffer();
    const std::uint16_t* depth = softglide::depthBuffer();
    for (std::size_t i = 0; i < n; ++i) add(colour[i], 4);
    for (std::size_t i = 0; i < n; ++i) add(depth[i], 2);
    return h;
}

std::uint64_t draw(const Scene& scene, Loops loops, int threads, int scale) {
    static const GrAlphaBlendFnc_t blends[5][2] = {{GR_BLEND_ONE, GR_BLEND_ZERO},
                                                   {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                                                   {GR_BLEND_ONE, GR_BLEND_ONE},
                                                   {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE},
                                                   {GR_BLEND_DST_ALPHA, GR_BLEND_SRC_COLOR}};
    static const GrLOD_t lods[4] = {GR_LOD_64, GR_LOD_64, GR_LOD_256, GR_LOD_2};
    static const GrAspectRatio_t aspects[4] = {GR_ASPECT_1x1, GR_ASPECT_1x1, GR_ASPECT_8x1, GR_ASPECT_1x1};
    softglide::testing::startFresh();
    softglide::testing::useLoops(loops);
    softglide::setThreads(threads);
    softglide::setScale(scale);
    grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_UPPER_LEFT, 2, 1);
    grCullMode(GR_CULL_POSITIVE);
    grDepthBufferMode(GR_DEPTHBUFFER_ZBUFFER);
    grDepthMask(FXTRUE);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    grBufferClear(0x00406080, 0x30, 0xFFFF);
    GrTexInfo infos[4];
    for (int k = 0; k < 4; ++k) {
        infos[k] = GrTexInfo{lods[k], lods[k], aspects[k], GR_TEXFMT_ARGB_1555,
                             const_cast<std::uint16_t*>(scene.texels[k].data())};
        grTexDownloadMipMap(GR_TMU0, FxU32(k) * 0x10000, GR_MIPMAPLEVELMASK_BOTH, &infos[k]);
    }
    for (const Call& c : scene.calls) {
        grTexSource(GR_TMU0, FxU32(c.texture) * 0x10000, GR_MIPMAPLEVELMASK_BOTH, &infos[c.texture]);
        grAlphaBlendFunction(blends[c.blend][0], blends[c.blend][1], GR_BLEND_ONE, GR_BLEND_ZERO);
        grDepthBufferFunction(c.oddState ? GR_CMP_GREATER : GR_CMP_LEQUAL);
        grTexClampMode(GR_TMU0, c.oddState ? GR_TEXTURECLAMP_CLAMP : GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
        if (c.clip) {
            guDrawTriangleWithClip(&c.v[0], &c.v[1], &c.v[2]);
        } else {
            grDrawTriangle(&c.v[0], &c.v[1], &c.v[2]);
        }
    }
    return digest();
}

}  // namespace

int main() {
    const Scene scene = makeScene();
    int status = 0;
    for (int scale = 1; scale <= 2; ++scale) {
        const std::uint64_t reference = draw(scene, Loops::Reference, 1, scale);
        std::printf("scale %d: %016llx\n", scale, static_cast<unsigned long long>(reference));
        // The fastest loops on every thread count, and the portable ones
        // (the same where the processor has no instruction set of its own).
        const std::pair<Loops, int> runs[] = {{Loops::Fast, 1}, {Loops::Fast, 2},     {Loops::Fast, 3},
                                              {Loops::Fast, 8}, {Loops::Portable, 1}, {Loops::Portable, 3}};
        for (const auto& [loops, threads] : runs) {
            const std::uint64_t fast = draw(scene, loops, threads, scale);
            if (fast != reference) {
                std::printf("scale %d, %s loops on %d threads: %016llx differs\n", scale,
                            loops == Loops::Fast ? "fast" : "portable", threads, static_cast<unsigned long long>(fast));
                status = 1;
            }
        }
    }
    return status;
}
