// The software Glide against hand-computed values: combine, blend factors,
// depth functions, culling, fill rule, clipping, hostile input and texture
// taps, each through the reference loops, the portable lane loops and the
// fastest ones (tools/pixel_digest compares them on random triangles in every
// state); texel expansion, texture
// memory and bad addresses; swap; and screenshots of the finished frame.
#include <png.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "platform/glide/glide.h"
#include "platform/glide/softglide.h"
#include "platform/glide/testing.h"
#include "platform/screenshot.h"

namespace {

using softglide::testing::Loops;

constexpr int W = softglide::kScreenWidth, H = softglide::kScreenHeight;

// The display and render state the game sets up at start.
void openLikeGame() {
    grGlideInit();
    grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_UPPER_LEFT, 2, 1);
    grCullMode(GR_CULL_POSITIVE);
    for (auto combine : {grAlphaCombine, grColorCombine})
        combine(GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL, GR_COMBINE_FACTOR_TEXTURE_ALPHA, GR_COMBINE_LOCAL_ITERATED,
                GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
    grDepthBufferMode(GR_DEPTHBUFFER_ZBUFFER);
    grDepthBufferFunction(GR_CMP_LEQUAL);
    grDepthMask(FXTRUE);
    grBufferClear(0, 0, 0xFFFF);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    guTexMemReset();
}

// Downloads a square texture (side 256 >> lod) at address 0 and selects it.
void useTexture(GrLOD_t lod, GrTextureFormat_t format, std::vector<std::uint16_t> texels) {
    GrTexInfo info{lod, lod, GR_ASPECT_1x1, format, texels.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
}

// An 8 x 8 texture of one texel value: every bilinear sample returns it.
void useUniformTexture(GrTextureFormat_t format, std::uint16_t texel) {
    useTexture(GR_LOD_8, format, std::vector<std::uint16_t>(64, texel));
}

GrVertex vertex(float x, float y, float ooz = 100.0f, float oow = 1.0f, float s = 0.0f, float t = 0.0f) {
    GrVertex v{};
    v.x = x, v.y = y, v.z = v.ooz = ooz, v.oow = v.tmuvtx[0].oow = oow;
    v.tmuvtx[0].sow = s * oow, v.tmuvtx[0].tow = t * oow;
    return v;
}

// An axis-aligned rectangle as two triangles drawn in the order the culling keeps.
void drawRect(float x0, float y0, float x1, float y1, float r, float g, float b, float a, float ooz = 100.0f) {
    GrVertex tl = vertex(x0, y0, ooz), tr = vertex(x1, y0, ooz), br = vertex(x1, y1, ooz), bl = vertex(x0, y1, ooz);
    for (GrVertex* v : {&tl, &tr, &br, &bl}) v->r = r, v->g = g, v->b = b, v->a = a;
    grDrawTriangle(&tl, &bl, &br);
    grDrawTriangle(&br, &tr, &tl);
}

std::uint32_t pixel(int x, int y) { return softglide::backBuffer()[y * W + x]; }
std::uint16_t depthAt(int x, int y) { return softglide::depthBuffer()[y * W + x]; }
int countPixelsNot(std::uint32_t value) {
    int n = 0;
    for (int i = 0; i < W * H; ++i) n += softglide::backBuffer()[i] != value;
    return n;
}

// Each test starts from a fresh software Glide drawing with the loops under
// test, and leaves a fresh one with the default loops to the tests after it.
class GlidePipeline : public ::testing::TestWithParam<Loops> {
protected:
    void SetUp() override {
        softglide::testing::startFresh();
        softglide::testing::useLoops(GetParam());
        openLikeGame();
    }
    void TearDown() override { softglide::testing::startFresh(); }
};
INSTANTIATE_TEST_SUITE_P(Loops, GlidePipeline, ::testing::Values(Loops::Reference, Loops::Portable, Loops::Fast),
                         [](const auto& info) {
                             return info.param == Loops::Fast
                                        ? "Fast"
                                        : (info.param == Loops::Portable ? "Portable" : "Reference");
                         });

TEST_P(GlidePipeline, CombineSubtractsVertexColourScaledByTextureAlpha) {
    // Opaque white under the ground colour; zero vertex colour shows the texel; grey 26 (214)
    // under a negative vertex colour brightens and clamps; vertex alpha lowers the alpha;
    // alpha 8/15 = 136 gives colour 255*137>>8 = 136, alpha 136*137>>8 = 72; the faint spot's
    // alpha 42 gives 255*43>>8 = 42 and 42*43>>8 = 7; a transparent texel under heat gives
    // (214 + 65) >> 8 = 1 at most; vertex alpha above the texel's clamps to 0.
    // clang-format off
    const struct { GrTextureFormat_t format; std::uint16_t texel; float r, g, b, a; std::uint32_t expected; } cases[] = {
        {GR_TEXFMT_ARGB_1555, 0xFFFF, 55, 55, 155, 0, 0xFFC8C864}, {GR_TEXFMT_ARGB_1555, 0x8000 | (26 * 0x421), 0, 0, 0, 0, 0xFFD6D6D6},
        {GR_TEXFMT_ARGB_1555, 0x8000 | (26 * 0x421), -40, -65, 300, 0, 0xFFFEFF00},
        {GR_TEXFMT_ARGB_1555, 0xFFFF, 0, 0, 0, 100, 0x9BFFFFFF}, {GR_TEXFMT_ARGB_4444, 0x8FFF, 0, 0, 0, 0, 0x48888888},
        {GR_TEXFMT_ARGB_8332, 0x2AFF, 0, 0, 0, 0, 0x072A2A2A}, {GR_TEXFMT_ARGB_1555, 0x6B5A, -65, -65, -65, 0, 0x00010101},
        {GR_TEXFMT_ARGB_4444, 0x8FFF, 0, 0, 0, 200, 0x00888888}};
    // clang-format on
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        useUniformTexture(c.format, c.texel);
        drawRect(10, 10, 20, 20, c.r, c.g, c.b, c.a);
        EXPECT_EQ(pixel(15, 15), c.expected);
    }
}

TEST_P(GlidePipeline, BlendFactorsUseAlphaPlusOneOver256) {
    // Source: white texel under vertex (55, 105, 155, 155) gives (200, 150, 100),
    // alpha 100, over r 250, g 160, b 64, alpha 51: channel = min((s fs + d fd) >> 8, 255)
    // with alpha a as (a + 1) / 256 and one minus it as (256 - a) / 256.
    // The game's four settings: (200*101 + 250*156) >> 8 = 231 for the second, (150*101 >> 8)
    // + 160 = 219 for the fourth. Then every factor as source and as destination (colour
    // codes swap meaning: 200 * 251 >> 8 = 196 and 250 * 201 >> 8 = 196; 250 * 156 >> 8 = 152).
    // Then the alpha channel's own factors: (100*101 + 51*156) >> 8 = 70.
    const GrAlphaBlendFnc_t one = GR_BLEND_ONE, zero = GR_BLEND_ZERO, srcA = GR_BLEND_SRC_ALPHA,
                            srcC = GR_BLEND_SRC_COLOR, dstA = GR_BLEND_DST_ALPHA,
                            invSrcA = GR_BLEND_ONE_MINUS_SRC_ALPHA, invSrcC = GR_BLEND_ONE_MINUS_SRC_COLOR,
                            invDstA = GR_BLEND_ONE_MINUS_DST_ALPHA;
    // clang-format off
    const struct { GrAlphaBlendFnc_t src, dst, alphaSrc, alphaDst; std::uint32_t expected; } cases[] = {
        {one, zero, one, zero, 0x64C89664}, {srcA, invSrcA, one, zero, 0x64E79C4E}, {one, one, one, zero, 0x64FFFFA4},
        {srcA, one, one, zero, 0x64FFDB67},
        {zero, zero, one, zero, 0x64000000}, {srcA, zero, one, zero, 0x644E3B27}, {zero, srcA, one, zero, 0x64623F19},
        {srcC, zero, one, zero, 0x64C45E19}, {zero, srcC, one, zero, 0x64C45E19}, {dstA, zero, one, zero, 0x64281E14},
        {zero, dstA, one, zero, 0x6432200D}, {zero, one, one, zero, 0x64FAA040}, {invSrcA, zero, one, zero, 0x64795B3C},
        {zero, invSrcA, one, zero, 0x64986127}, {invSrcC, zero, one, zero, 0x6404384B},
        {zero, invSrcC, one, zero, 0x64364227}, {invDstA, zero, one, zero, 0x64A07850},
        {zero, invDstA, one, zero, 0x64C88033},
        {one, zero, zero, one, 0x33C89664}, {one, zero, srcA, invSrcA, 0x46C89664}};
    // clang-format on
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.src << " " << c.dst << " " << c.alphaSrc << " " << c.alphaDst);
        grBufferClear(0x0040A0FA, 0x33, 0xFFFF);
        grAlphaBlendFunction(c.src, c.dst, c.alphaSrc, c.alphaDst);
        drawRect(10, 10, 20, 20, 55, 105, 155, 155);
        EXPECT_EQ(pixel(15, 15), c.expected);
        EXPECT_EQ(pixel(25, 15), 0x33FAA040u);
    }
}

TEST_P(GlidePipeline, EveryDepthFunctionAgainstTheStoredValue) {
    // Stored 1000; new depths 999, 1000, 1001 as bits 2, 1, 0 of `passes`.
    // clang-format off
    const struct { GrCmpFnc_t function; int passes; } cases[] = {{GR_CMP_NEVER, 0}, {GR_CMP_LESS, 4}, {GR_CMP_EQUAL, 2},
        {GR_CMP_LEQUAL, 6}, {GR_CMP_GREATER, 1}, {GR_CMP_NOTEQUAL, 5}, {GR_CMP_GEQUAL, 3}, {GR_CMP_ALWAYS, 7}};
    // clang-format on
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    for (const auto& c : cases) {
        for (int k = 0; k < 3; ++k) {
            SCOPED_TRACE(::testing::Message() << "function " << c.function << " depth " << 999 + k);
            const bool passes = (c.passes >> (2 - k)) & 1;
            grBufferClear(0, 0, 1000);
            grDepthBufferFunction(c.function);
            drawRect(10, 10, 20, 20, 0, 255, 255, 0, float(999 + k));  // red
            EXPECT_EQ(pixel(15, 15), passes ? 0xFFFF0000u : 0u);
            EXPECT_EQ(depthAt(15, 15), passes ? 999 + k : 1000);
        }
    }
    // Without the depth buffer every pixel is drawn and no depth is written.
    grDepthBufferFunction(GR_CMP_NEVER);
    grBufferClear(0, 0, 1000);
    grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
    drawRect(10, 10, 20, 20, 0, 255, 255, 0, 5000);
    EXPECT_EQ(pixel(15, 15), 0xFFFF0000u);
    EXPECT_EQ(depthAt(15, 15), 1000);
}

TEST_P(GlidePipeline, DepthTestLessOrEqualWithClampAndMask) {
    // first, second: ooz of two rectangles drawn in turn, the second red. Nearer and equal pass,
    // farther fails; beyond 0xFFFF clamps and passes the clear, negative clamps to 0; with the
    // mask off the second draws but keeps the depth.
    // clang-format off
    const struct { const char* what; float first, second; bool mask, secondShows; std::uint16_t stored; } cases[] = {
        {"nearer", 60000, 59999, true, true, 59999}, {"equal", 60000, 60000, true, true, 60000},
        {"farther", 59999, 60000, true, false, 59999}, {"beyond 0xFFFF", 70000, 80000, true, true, 0xFFFF},
        {"negative", -5, 0, true, true, 0}, {"mask off", 60000, 100, false, true, 60000}};
    // clang-format on
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        grDepthMask(FXTRUE);
        grBufferClear(0, 0, 0xFFFF);
        EXPECT_EQ(depthAt(15, 15), 0xFFFF);
        drawRect(10, 10, 20, 20, 255, 255, 255, 0, c.first);  // black
        grDepthMask(c.mask ? FXTRUE : FXFALSE);
        drawRect(10, 10, 20, 20, 0, 255, 255, 0, c.second);  // red
        EXPECT_EQ(pixel(15, 15), c.secondShows ? 0xFFFF0000u : 0xFF000000u);
        EXPECT_EQ(depthAt(15, 15), c.stored);
    }
}

TEST_P(GlidePipeline, CullingBySignOfAreaAndZeroAreaDrawsNothing) {
    // (0,0) (40,0) (0,40): area (0-40)(0-40) - (40-0)(0-0) = 1600 > 0 (clockwise on screen).
    const GrVertex a = vertex(0, 0), b = vertex(40, 0), c = vertex(0, 40);
    const GrVertex sliver[3] = {vertex(200.4990234375f, 213.50857543945312f),
                                vertex(266.5238342285156f, 235.4789581298828f),
                                vertex(250.41757202148438f, 230.13592529296875f)};  // area +1.088
    // Each mode with each sign; collinear, two corners equal, snapping to one point; a sliver
    // whose corners snap to a negative area: its sign as passed decides.
    // clang-format off
    const struct { const char* what; GrCullMode_t mode; GrVertex v[3]; bool drawn; } cases[] = {
        {"+", GR_CULL_POSITIVE, {a, b, c}, false}, {"-", GR_CULL_POSITIVE, {a, c, b}, true},
        {"+", GR_CULL_NEGATIVE, {a, b, c}, true}, {"-", GR_CULL_NEGATIVE, {a, c, b}, false},
        {"+", GR_CULL_DISABLE, {a, b, c}, true}, {"-", GR_CULL_DISABLE, {a, c, b}, true},
        {"collinear", GR_CULL_DISABLE, {vertex(0, 0), vertex(100, 100), vertex(200, 200)}, false},
        {"two corners equal", GR_CULL_DISABLE, {vertex(10, 10), vertex(10, 10), vertex(300, 20)}, false},
        {"one point", GR_CULL_DISABLE, {vertex(5, 5), vertex(5.01f, 5.01f), vertex(5.02f, 5)}, false},
        {"area 1", GR_CULL_DISABLE, {vertex(10.25f, 10.25f), vertex(11.25f, 10.25f), vertex(10.25f, 11.25f)}, true},
        {"sliver +", GR_CULL_POSITIVE, {sliver[0], sliver[1], sliver[2]}, false},
        {"sliver -", GR_CULL_POSITIVE, {sliver[0], sliver[2], sliver[1]}, true}};
    // clang-format on
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    for (const auto& k : cases) {
        SCOPED_TRACE(::testing::Message() << k.what << " mode " << k.mode);
        grBufferClear(0, 0, 0xFFFF);
        grCullMode(k.mode);
        grDrawTriangle(&k.v[0], &k.v[1], &k.v[2]);
        EXPECT_EQ(countPixelsNot(0) > 0, k.drawn);
    }
}

TEST_P(GlidePipeline, HostileInputDrawsNothingOrStaysOnScreen) {
    grCullMode(GR_CULL_DISABLE);
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float big = 3e38f;
    // clang-format off
    struct { const char* what; GrVertex v[3]; bool drawsSomething; } cases[] = {
        {"NaN corner", {vertex(nan, 10), vertex(100, 10), vertex(10, 100)}, false},
        {"infinite corner", {vertex(10, 10), vertex(inf, 10), vertex(10, 100)}, false},
        {"huge corners around the screen", {vertex(-big, -big), vertex(big, -big), vertex(0, big)}, true},
        {"huge, left of the screen", {vertex(-1e20f, 0), vertex(-1e19f, 0), vertex(-1e20f, 480)}, false},
        {"NaN parameters", {vertex(10, 10, nan, nan, nan, nan), vertex(100, 10, inf, nan, inf, -inf),
                            vertex(10, 100, -inf, 0, nan, 0)}, true},
        {"zero w", {vertex(10, 10, 100, 0), vertex(100, 10, 100, 0), vertex(10, 100, 100, 0)}, true}};
    // clang-format on
    cases[5].v[1].r = big;
    cases[5].v[2].a = -big;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (int clip = 0; clip < 2; ++clip) {
            grBufferClear(0, 0, 0xFFFF);
            (clip ? guDrawTriangleWithClip : grDrawTriangle)(&c.v[0], &c.v[1], &c.v[2]);
            EXPECT_EQ(countPixelsNot(0) > 0, c.drawsSomething);
        }
    }
    grDrawTriangle(nullptr, &cases[0].v[1], &cases[0].v[2]);
    guDrawTriangleWithClip(&cases[0].v[1], nullptr, &cases[0].v[2]);
}

TEST_P(GlidePipeline, BilinearWeightsAndWrapAtTextureEdges) {
    // 4 x 4 grey texture (4444, opaque); one texel per pixel: s = 64 * (x + offset).
    // Row 1: 1, 2, 3, 5; row 2: 6, 4, 8, 9; row 3: 10, 12, 0, 7 (times 17 in 8 bits).
    useTexture(GR_LOD_4, GR_TEXFMT_ARGB_4444,
               {0xF000, 0xF000, 0xF000, 0xF000, 0xF111, 0xF222, 0xF333, 0xF555,  //
                0xF666, 0xF444, 0xF888, 0xF999, 0xFAAA, 0xFCCC, 0xF000, 0xF777});
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    // su, tv: the texel coordinate sampled by the pixel centre at (0.5, 0.5).
    // Quarter weights (u 0.25, v 1.75): row 1 (17*192 + 34*64) >> 8 = 21, row 2 (102*192 + 68*64)
    // >> 8 = 93, (21*64 + 93*192) >> 8 = 75. Three-quarter (u 1.25, v 2.75): (68*192 + 136*64) >> 8
    // = 85, (204*192 + 0*64) >> 8 = 153, (85*64 + 153*192) >> 8 = 136. Wrapped, u 3.5 blends column
    // 3 with column 0 of row 1: (85*128 + 17*128) >> 8 = 51; v 3.5 row 3 with row 0: 85, also many
    // periods away. Clamped, taps beyond an edge take the edge texel and inside they blend as
    // wrapped ones ((51 + 85) / 2 = 68). Point sampling: the texel under the coordinate.
    // clang-format off
    const struct { float su, tv; bool clamp, point; int grey; } cases[] = {
        {1.5f, 2.5f, false, false, 4 * 17}, {0.75f, 2.25f, false, false, 75}, {1.75f, 3.25f, false, false, 136},
        {4.0f, 1.5f, false, false, 51}, {0.0f, 1.5f, false, false, 51}, {0.5f, 4.0f, false, false, 85},
        {0.5f + 4 * 1000, 4.0f - 4 * 1000, false, false, 85},
        {0.0f, 1.5f, true, false, 17}, {-100.0f, 1.5f, true, false, 17}, {3.0f, 1.5f, true, false, 68},
        {4.0f, 1.5f, true, false, 85}, {4.75f, 1.5f, true, false, 85}, {0.5f, 4.0f, true, false, 170},
        {1.75f, 2.25f, false, true, 4 * 17}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.su << ", " << c.tv << (c.clamp ? " clamped" : "") << (c.point ? " point" : ""));
        grBufferClear(0, 0, 0xFFFF);
        const GrTextureClampMode_t mode = c.clamp ? GR_TEXTURECLAMP_CLAMP : GR_TEXTURECLAMP_WRAP;
        grTexClampMode(GR_TMU0, mode, mode);
        const GrTextureFilterMode_t filter = c.point ? GR_TEXTUREFILTER_POINT_SAMPLED : GR_TEXTUREFILTER_BILINEAR;
        grTexFilterMode(GR_TMU0, filter, filter);
        // s and t in Glide units: 64 per texel for a 4-texel texture.
        const float s0 = 64 * (c.su - 0.5f), t0 = 64 * (c.tv - 0.5f);
        GrVertex a = vertex(0, 0, 100, 1, s0, t0), b = vertex(0, 8, 100, 1, s0, t0 + 64 * 8),
                 d = vertex(8, 0, 100, 1, s0 + 64 * 8, t0);
        grDrawTriangle(&a, &b, &d);
        const std::uint32_t g = std::uint32_t(c.grey);
        EXPECT_EQ(pixel(0, 0), 0xFF000000u | g << 16 | g << 8 | g);
    }
}

TEST_P(GlidePipeline, TexelCoordinatesWrapByWholePeriodsAtAnySize) {
    // A 256 x 32 texture (one texel a Glide unit): column 0 grey 2, column 255 grey 12, the rest
    // grey 8 (times 17 in 8 bits), drawn with one s everywhere. s = 3 x 2^50 samples texel
    // 3 x 2^50 - 0.5, which is 255.5 after whole periods: half column 255 and half column 0,
    // (204 + 34) / 2 = 119; so does -3 x 2^50. Every double from 2^60 on is a whole number of
    // periods: 2^60 - 0.5 rounds to 2^60, column 0 alone.
    std::vector<std::uint16_t> texels(256 * 32, 0xF888);
    for (std::size_t row = 0; row < 32; ++row) texels[row * 256] = 0xF222, texels[row * 256 + 255] = 0xFCCC;
    GrTexInfo info{GR_LOD_256, GR_LOD_256, GR_ASPECT_8x1, GR_TEXFMT_ARGB_4444, texels.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    grCullMode(GR_CULL_DISABLE);
    const struct {
        float s;
        std::uint32_t grey;
    } cases[] = {{0x3p50f, 119}, {-0x3p50f, 119}, {0x1p60f, 34}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.s);
        grBufferClear(0, 0, 0xFFFF);
        GrVertex a = vertex(480, 300, 100, 1, c.s, 0.5f), b = vertex(480, 316, 100, 1, c.s, 0.5f),
                 d = vertex(496, 300, 100, 1, c.s, 0.5f);
        grDrawTriangle(&a, &b, &d);
        EXPECT_EQ(pixel(480, 300), 0xFF000000u | c.grey << 16 | c.grey << 8 | c.grey);
    }
}

TEST_P(GlidePipeline, TrianglesSharingAnEdgeDrawItsPixelsOnce) {
    // Under additive blend a pixel drawn twice would show twice the colour, one never drawn none.
    // A 30 x 30 square cut along either diagonal (pixel centres lie on both), and cut into four
    // around a pixel centre: all 900 pixels get one draw of 40. The square spans three bands.
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO);
    grCullMode(GR_CULL_DISABLE);
    const GrVertex tl = vertex(10, 10), tr = vertex(40, 10), br = vertex(40, 40), bl = vertex(10, 40),
                   centre = vertex(25.5f, 25.5f);
    const std::vector<std::array<GrVertex, 3>> cuts[] = {
        {{tl, tr, br}, {br, bl, tl}},
        {{tr, br, bl}, {bl, tl, tr}},
        {{tl, tr, centre}, {tr, br, centre}, {br, bl, centre}, {bl, tl, centre}}};
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.size());
        grBufferClear(0, 0, 0xFFFF);
        for (auto v : cut) {
            for (GrVertex& p : v) p.r = p.g = p.b = 215, p.a = 0;
            grDrawTriangle(&v[0], &v[1], &v[2]);
        }
        int once = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x) once += pixel(x, y) == 0xFF282828u;
        EXPECT_EQ(once, 900);
        EXPECT_EQ(countPixelsNot(0), 900);
    }
}

TEST_P(GlidePipeline, SwapHandsTheFrameToThePresenterAndClearUsesAbgr) {
    static std::uint32_t seen;  // the centre pixel of each frame handed over
    softglide::setSwapHandler([](const std::uint32_t* front, void*) { seen = front[240 * W + 320]; }, nullptr);
    grBufferClear(0x00332211, 0x80, 0xFFFF);
    EXPECT_EQ(pixel(320, 240), 0x80112233u);
    grBufferSwap(1);
    EXPECT_EQ(seen, 0x80112233u);
    EXPECT_EQ(softglide::frontBuffer()[240 * W + 320], 0x80112233u);
    EXPECT_EQ(pixel(320, 240), 0u);  // the new back buffer is the other one, still black
    softglide::setSwapHandler(nullptr, nullptr);
    // With rasterising off, neither drawing nor clearing touches the buffers.
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    softglide::setRasterEnabled(false);
    drawRect(10, 10, 20, 20, 0, 0, 0, 0);
    grBufferClear(0x00FFFFFF, 0xFF, 0);
    softglide::setRasterEnabled(true);
    EXPECT_EQ(countPixelsNot(0), 0);
    EXPECT_EQ(depthAt(15, 15), 0xFFFF);
}

// Draws the selected square texture of this side one texel per pixel at the
// top left of the screen under a zero vertex colour.
void drawTexelsOneToOne(int side) {
    const float n = float(side), u = 256.0f;
    GrVertex a = vertex(0, 0), b = vertex(n, 0, 100, 1, u, 0), c = vertex(n, n, 100, 1, u, u),
             d = vertex(0, n, 100, 1, 0, u);
    grDrawTriangle(&a, &b, &c);
    grDrawTriangle(&a, &c, &d);
}

TEST(GlideTexels, ExpandByBitReplication) {
    // 1555: grey 26 is (26 << 3) | (26 >> 2) = 214; 4444: v * 17; 8332: the alpha byte as it is, 3 bits
    // 101 -> 10110110 and 010 -> 01001001; 0 for a format the game never uses.
    // clang-format off
    const struct { GrTextureFormat_t format; std::uint16_t texel; std::uint32_t argb; } cases[] = {
        {GR_TEXFMT_ARGB_1555, 0xFFFF, 0xFFFFFFFF}, {GR_TEXFMT_ARGB_1555, 0x6B5A, 0x00D6D6D6},
        {GR_TEXFMT_ARGB_1555, 0x8000 | (1 << 10) | (16 << 5) | 31, 0xFF0884FF}, {GR_TEXFMT_ARGB_4444, 0x8ABF, 0x88AABBFF},
        {GR_TEXFMT_ARGB_4444, 0x0000, 0x00000000}, {GR_TEXFMT_ARGB_8332, 0x2AFF, 0x2AFFFFFF},
        {GR_TEXFMT_ARGB_8332, 0xC400 | (5 << 5) | (2 << 2) | 1, 0xC4B64955}, {GR_TEXFMT_ARGB_8332, 0x00FF, 0x00FFFFFF},
        {0x3, 0xFFFF, 0}};
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(softglide::expandedTexel(c.texel, c.format), c.argb)
            << "format " << c.format << " texel " << std::hex << c.texel;
    }
}

TEST(GlideTexels, MemoryRequiredForTheGamesShapes) {
    // The game's shapes in each format; 2 bytes take an 8-byte granule; levels 64..1 take 10922
    // bytes, rounded up; an unknown format, bad aspect, small LOD larger than large, bad LOD: 0.
    const GrTextureFormat_t c1555 = GR_TEXFMT_ARGB_1555;
    // clang-format off
    const struct { GrLOD_t small, large; GrAspectRatio_t aspect; GrTextureFormat_t format; FxU32 bytes; } cases[] = {
        {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, c1555, 8192}, {GR_LOD_16, GR_LOD_16, GR_ASPECT_4x1, c1555, 128},
        {GR_LOD_256, GR_LOD_256, GR_ASPECT_4x1, c1555, 32768}, {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444, 8192},
        {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_8332, 8192}, {GR_LOD_16, GR_LOD_16, GR_ASPECT_1x4, c1555, 128},
        {GR_LOD_1, GR_LOD_1, GR_ASPECT_1x1, c1555, 8}, {GR_LOD_1, GR_LOD_64, GR_ASPECT_1x1, c1555, 10928},
        {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, 0x3, 0}, {GR_LOD_64, GR_LOD_64, 9, c1555, 0},
        {GR_LOD_256, GR_LOD_64, GR_ASPECT_1x1, c1555, 0}, {GR_LOD_64, 12, GR_ASPECT_1x1, c1555, 0}};
    // clang-format on
    for (const auto& c : cases) {
        GrTexInfo info{c.small, c.large, c.aspect, c.format, nullptr};
        EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info), c.bytes)
            << "lod " << c.large << ".." << c.small << " aspect " << c.aspect << " format " << c.format;
    }
    EXPECT_EQ(std::pair(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, nullptr), grTexMinAddress(GR_TMU0)),
              std::pair(0u, 0u));
}

constexpr std::uint32_t kUntouched = 0x11FF00FF;  // the clear colour: "nothing drawn"

class GlideTextureMemory : public ::testing::Test {
protected:
    void SetUp() override {
        softglide::setRasterEnabled(true);
        openLikeGame();
        grCullMode(GR_CULL_DISABLE);
        grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
        grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
        grBufferClear(0x00FF00FF, 0x11, 0xFFFF);
    }
};

// What a selection shows follows the memory: in another format the stored
// words are decoded again, and the same selection made again after a
// download over it or over part of it (or before any download) shows the new
// texels; a window opened again starts with the memory cleared.
TEST_F(GlideTextureMemory, SelectionShowsWhatMemoryHoldsNow) {
    std::vector<std::uint16_t> red(64, 0x7C00), white(64, 0xFFFF);  // 1555: red with alpha clear; opaque white
    GrTexInfo as1555{GR_LOD_8, GR_LOD_8, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, red.data()};
    GrTexInfo as4444 = as1555;
    as4444.format = GR_TEXFMT_ARGB_4444;
    grTexSource(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as1555);
    drawTexelsOneToOne(8);
    EXPECT_EQ(pixel(3, 3), 0u);  // memory still zero: transparent black
    grTexDownloadMipMap(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as1555);
    grTexSource(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as4444);
    drawTexelsOneToOne(8);
    // As 4444: alpha 7 -> 119, red 12 -> 204; colour 204*120 >> 8 = 95, alpha 119*120 >> 8 = 55.
    EXPECT_EQ(pixel(3, 3), 0x375F0000u);
    as1555.data = white.data();
    grTexSource(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as1555);
    grTexDownloadMipMap(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as1555);
    grTexSource(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as1555);
    drawTexelsOneToOne(8);
    EXPECT_EQ(pixel(3, 3), 0xFFFFFFFFu);
    // A download over the last four rows of an earlier texture: selected again, the earlier one
    // shows the newer texels there and its own above them.
    std::vector<std::uint16_t> blue(64, 0x801F);  // opaque
    GrTexInfo earlier = as1555, later = as1555;
    later.data = blue.data();
    grTexDownloadMipMap(GR_TMU0, 1024, GR_MIPMAPLEVELMASK_BOTH, &earlier);
    grTexDownloadMipMap(GR_TMU0, 1024 + 64, GR_MIPMAPLEVELMASK_BOTH, &later);
    for (auto [address, info, top] :
         {std::tuple(1024u, &earlier, 0xFFFFFFFFu), std::tuple(1088u, &later, 0xFF0000FFu)}) {
        grTexSource(GR_TMU0, address, GR_MIPMAPLEVELMASK_BOTH, info);
        drawTexelsOneToOne(8);
        EXPECT_EQ(std::pair(pixel(3, 1), pixel(3, 6)), std::pair(top, 0xFF0000FFu)) << "texture at " << address;
    }
    SetUp();  // opens the window again
    grTexSource(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as1555);
    drawTexelsOneToOne(8);
    EXPECT_EQ(pixel(3, 3), 0u);
}

TEST_F(GlideTextureMemory, BadAddressesAndDescriptionsDrawNothing) {
    std::vector<std::uint16_t> texels(4096, 0xFFFF);
    const GrTexInfo good{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, texels.data()};
    const FxU32 top = grTexMaxAddress(GR_TMU0);
    grTexDownloadMipMap(GR_TMU0, top - 8192, GR_MIPMAPLEVELMASK_BOTH, const_cast<GrTexInfo*>(&good));
    GrTexInfo badFormat = good, badLod = good, badAspect = good;
    badFormat.format = 0x5, badLod.largeLod = -1, badAspect.aspectRatio = 7;
    // clang-format off
    const struct { const char* what; FxU32 address; GrTexInfo info; bool passNull; } cases[] = {
        {"past the end", top - 8190 + 6, good, false}, {"far past the end", 0xFFFFFFF8u, good, false},
        {"unaligned", 2, good, false}, {"unknown format", 0, badFormat, false}, {"bad LOD", 0, badLod, false},
        {"bad aspect", 0, badAspect, false}, {"no description", 0, good, true}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        grBufferClear(0x00FF00FF, 0x11, 0xFFFF);
        GrTexInfo info = c.info;
        grTexDownloadMipMap(GR_TMU0, c.address, GR_MIPMAPLEVELMASK_BOTH, c.passNull ? nullptr : &info);
        grTexSource(GR_TMU0, c.address, GR_MIPMAPLEVELMASK_BOTH, c.passNull ? nullptr : &info);
        drawTexelsOneToOne(64);
        EXPECT_EQ(pixel(10, 10), kUntouched);
    }
    // A download without texel data is ignored; the texture at the top of memory is intact.
    GrTexInfo noData = good;
    noData.data = nullptr;
    grTexDownloadMipMap(GR_TMU0, top - 8192, GR_MIPMAPLEVELMASK_BOTH, &noData);
    GrTexInfo info = good;
    grTexSource(GR_TMU0, top - 8192, GR_MIPMAPLEVELMASK_BOTH, &info);
    drawTexelsOneToOne(64);
    EXPECT_EQ(pixel(10, 10), 0xFFFFFFFFu);
}

TEST(GlideScreenshot, WritesRgbAndDropsAlpha) {
    std::vector<std::uint32_t> frame(W * H);
    for (int i = 0; i < W * H; ++i)
        frame[std::size_t(i)] = 0x80000000u | (i % W & 255) << 16 | (i / W & 255) << 8 | 0x5A;
    const std::string path = (std::filesystem::temp_directory_path() / "glide_screenshot_test.png").string();
    std::string error;
    ASSERT_TRUE(platform::writePng(path, frame.data(), W, H, error)) << error;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    std::remove(path.c_str());
    ASSERT_EQ(std::pair(image.width, image.height), std::pair(640u, 480u));
    for (auto [x, y] : {std::pair{0, 0}, {639, 0}, {300, 200}, {639, 479}}) {
        const std::uint8_t* p = &rgb[std::size_t(y * W + x) * 3];
        EXPECT_EQ(std::tuple(p[0], p[1], p[2]), std::tuple(x & 255, y & 255, 0x5A)) << x << "," << y;
    }
}

TEST(GlideScreenshot, ReportsFilesItCannotWrite) {
    const std::uint32_t frame[4] = {};
    const struct {
        std::string path;
        int w, h;
    } cases[] = {{"/nonexistent-directory/shot.png", 2, 2},
                 {(std::filesystem::temp_directory_path() / "glide_empty.png").string(), 0, 2}};
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(platform::writePng(c.path, frame, c.w, c.h, error));
        EXPECT_NE(error.find(c.path), std::string::npos) << error;
    }
}

}  // namespace
