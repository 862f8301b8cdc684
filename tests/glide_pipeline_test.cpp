// The software Glide pixel pipeline, pixel by pixel: combine, blend, depth,
// culling, fill rule, clipping, texture filtering and perspective, swap and
// clear; each case through the reference loops and through the fast ones
// (tools/pixel_digest compares them on random triangles in every state).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/glide/glide.h"
#include "platform/glide/internal.h"
#include "platform/glide/softglide.h"

namespace {

constexpr int W = softglide::kScreenWidth;
constexpr int H = softglide::kScreenHeight;

// The display and render state the game sets up at start.
void openLikeGame() {
    grGlideInit();
    grSstSelect(0);
    grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_UPPER_LEFT, 2, 1);
    grCullMode(GR_CULL_POSITIVE);
    grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL, GR_COMBINE_FACTOR_TEXTURE_ALPHA,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
    grDepthBufferMode(GR_DEPTHBUFFER_ZBUFFER);
    grDepthBufferFunction(GR_CMP_LEQUAL);
    grDepthMask(FXTRUE);
    grBufferClear(0, 0, 0xFFFF);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL, GR_COMBINE_FACTOR_TEXTURE_ALPHA,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grFogMode(GR_FOG_DISABLE);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    grTexLodBiasValue(GR_TMU0, 0.0f);
    grTexMipMapMode(GR_TMU0, GR_MIPMAP_DISABLE, FXFALSE);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_FUNCTION_LOCAL,
                 GR_COMBINE_FACTOR_NONE, FXFALSE, FXFALSE);
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
    v.x = x;
    v.y = y;
    v.z = ooz;
    v.ooz = ooz;
    v.oow = oow;
    v.tmuvtx[0].oow = oow;
    v.tmuvtx[0].sow = s * oow;
    v.tmuvtx[0].tow = t * oow;
    return v;
}

void setColour(GrVertex& v, float r, float g, float b, float a) {
    v.r = r;
    v.g = g;
    v.b = b;
    v.a = a;
}

// An axis-aligned rectangle as two triangles drawn in the order the culling keeps.
void drawRect(float x0, float y0, float x1, float y1, float r, float g, float b, float a, float ooz = 100.0f) {
    GrVertex tl = vertex(x0, y0, ooz), tr = vertex(x1, y0, ooz), br = vertex(x1, y1, ooz), bl = vertex(x0, y1, ooz);
    for (GrVertex* v : {&tl, &tr, &br, &bl}) setColour(*v, r, g, b, a);
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

using softglide::detail::Spans;

class GlidePipeline : public ::testing::TestWithParam<Spans> {
protected:
    void SetUp() override {
        softglide::setRasterEnabled(true);
        softglide::detail::useSpans(GetParam());
        softglide::setScale(1);
        openLikeGame();
    }
    void TearDown() override {
        softglide::detail::useSpans(Spans::Fast);
        softglide::setScale(1);
    }
};
INSTANTIATE_TEST_SUITE_P(Loops, GlidePipeline, ::testing::Values(Spans::Reference, Spans::Fast),
                         [](const auto& info) { return info.param == Spans::Fast ? "Fast" : "Reference"; });

// ---------------------------------------------------------------------------

TEST_P(GlidePipeline, CombineSubtractsVertexColourScaledByTextureAlpha) {
    struct Case {
        const char* what;
        GrTextureFormat_t format;
        std::uint16_t texel;
        float r, g, b, a;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"opaque white under the ground colour", GR_TEXFMT_ARGB_1555, 0xFFFF, 55, 55, 155, 0, 0xFFC8C864},
        {"zero vertex colour shows the texel", GR_TEXFMT_ARGB_1555, 0x8000 | (26 * 0x421), 0, 0, 0, 0, 0xFFD6D6D6},
        // grey 26 expands to 214; a negative vertex colour brightens, the result clamps
        {"negative vertex colour brightens", GR_TEXFMT_ARGB_1555, 0x8000 | (26 * 0x421), -40, -65, 300, 0, 0xFFFEFF00},
        {"vertex alpha lowers the shown alpha", GR_TEXFMT_ARGB_1555, 0xFFFF, 0, 0, 0, 100, 0x9BFFFFFF},
        // alpha 8/15 = 136: colour 255*137>>8 = 136, alpha 136*137>>8 = 72
        {"half-transparent texel scales colour and alpha", GR_TEXFMT_ARGB_4444, 0x8FFF, 0, 0, 0, 0, 0x48888888},
        // alpha 42: colour 255*43>>8 = 42, alpha 42*43>>8 = 7
        {"faint spot texel", GR_TEXFMT_ARGB_8332, 0x2AFF, 0, 0, 0, 0, 0x072A2A2A},
        // alpha 0 gives colour (214 + 65) >> 8 = 1 at most, alpha 0
        {"transparent texel under heat", GR_TEXFMT_ARGB_1555, 0x6B5A, -65, -65, -65, 0, 0x00010101},
        {"vertex alpha above the texel alpha clamps to 0", GR_TEXFMT_ARGB_4444, 0x8FFF, 0, 0, 0, 200, 0x00888888},
    };
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useUniformTexture(c.format, c.texel);
        drawRect(10, 10, 20, 20, c.r, c.g, c.b, c.a);
        EXPECT_EQ(pixel(15, 15), c.expected);
    }
}

TEST_P(GlidePipeline, TransparentTexelIsInvisibleUnderAlphaBlend) {
    const float heats[] = {0.0f, -65.0f, 100.0f};
    for (float heat : heats) {
        SCOPED_TRACE(heat);
        grBufferClear(0x00302010, 0x40, 0xFFFF);  // r 0x10, g 0x20, b 0x30
        grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
        useUniformTexture(GR_TEXFMT_ARGB_1555, 0x6B5A);
        drawRect(10, 10, 20, 20, heat, heat, heat, 0);
        EXPECT_EQ(pixel(15, 15), 0x00102030u);  // colour kept, alpha written as the source's 0
    }
}

TEST_P(GlidePipeline, BlendFactorsUseAlphaPlusOneOver256) {
    // Source: white texel under vertex (55, 105, 155, 155) gives (200, 150, 100),
    // alpha 100, over r 250, g 160, b 64, alpha 51: channel = min((s fs + d fd) >> 8, 255)
    // with alpha a as (a + 1) / 256 and one minus it as (256 - a) / 256.
    struct Case {
        GrAlphaBlendFnc_t src, dst, alphaSrc, alphaDst;
        std::uint32_t expected;
    };
    const GrAlphaBlendFnc_t one = GR_BLEND_ONE, zero = GR_BLEND_ZERO;
    const Case cases[] = {
        // The game's four settings.
        {one, zero, one, zero, 0x64C89664},
        {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, one, zero, 0x64E79C4E},  // (200*101 + 250*156) >> 8 = 231
        {one, one, one, zero, 0x64FFFFA4},
        {GR_BLEND_SRC_ALPHA, one, one, zero, 0x64FFDB67},  // (150*101 >> 8) + 160 = 219
        // Every factor as source and as destination (colour codes swap meaning).
        {zero, zero, one, zero, 0x64000000},
        {GR_BLEND_SRC_ALPHA, zero, one, zero, 0x644E3B27},
        {zero, GR_BLEND_SRC_ALPHA, one, zero, 0x64623F19},
        {GR_BLEND_SRC_COLOR, zero, one, zero, 0x64C45E19},  // 200 * 251 >> 8 = 196
        {zero, GR_BLEND_SRC_COLOR, one, zero, 0x64C45E19},  // 250 * 201 >> 8 = 196
        {GR_BLEND_DST_ALPHA, zero, one, zero, 0x64281E14},
        {zero, GR_BLEND_DST_ALPHA, one, zero, 0x6432200D},
        {zero, one, one, zero, 0x64FAA040},
        {GR_BLEND_ONE_MINUS_SRC_ALPHA, zero, one, zero, 0x64795B3C},
        {zero, GR_BLEND_ONE_MINUS_SRC_ALPHA, one, zero, 0x64986127},  // 250 * 156 >> 8 = 152
        {GR_BLEND_ONE_MINUS_SRC_COLOR, zero, one, zero, 0x6404384B},
        {zero, GR_BLEND_ONE_MINUS_SRC_COLOR, one, zero, 0x64364227},
        {GR_BLEND_ONE_MINUS_DST_ALPHA, zero, one, zero, 0x64A07850},
        {zero, GR_BLEND_ONE_MINUS_DST_ALPHA, one, zero, 0x64C88033},
        // The alpha channel's own factors.
        {one, zero, zero, one, 0x33C89664},
        {one, zero, GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, 0x46C89664},  // (100*101 + 51*156) >> 8 = 70
    };
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    for (const Case& c : cases) {
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
    struct Case {
        GrCmpFnc_t function;
        int passes;
    };
    const Case cases[] = {{GR_CMP_NEVER, 0},   {GR_CMP_LESS, 4},     {GR_CMP_EQUAL, 2},  {GR_CMP_LEQUAL, 6},
                          {GR_CMP_GREATER, 1}, {GR_CMP_NOTEQUAL, 5}, {GR_CMP_GEQUAL, 3}, {GR_CMP_ALWAYS, 7}};
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    for (const Case& c : cases) {
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
    struct Case {
        const char* what;
        float first, second;  // ooz of two rectangles drawn in turn, the second red
        bool mask;
        bool secondShows;
        std::uint16_t stored;
    };
    const Case cases[] = {
        {"nearer passes", 60000, 59999, true, true, 59999},
        {"equal passes", 60000, 60000, true, true, 60000},
        {"farther fails", 59999, 60000, true, false, 59999},
        {"beyond 0xFFFF clamps and passes the clear", 70000, 80000, true, true, 0xFFFF},
        {"negative clamps to 0", -5, 0, true, true, 0},
        {"mask off draws but keeps depth", 60000, 100, false, true, 60000},
    };
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    for (const Case& c : cases) {
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

TEST_P(GlidePipeline, DepthIsInterpolatedAffinelyAtPixelCentres) {
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    // ooz rises by 64 per pixel in x and 16 per pixel in y.
    GrVertex a = vertex(0, 0, 1000), b = vertex(0, 32, 1000 + 16 * 32), c = vertex(32, 0, 1000 + 64 * 32);
    grDrawTriangle(&a, &b, &c);
    EXPECT_EQ(depthAt(0, 0), 1000 + 32 + 8);  // centre (0.5, 0.5)
    EXPECT_EQ(depthAt(3, 5), 1312);           // 1000 + 64 * 3.5 + 16 * 5.5
    EXPECT_EQ(depthAt(10, 20), 2000);         // 1000 + 64 * 10.5 + 16 * 20.5
}

TEST_P(GlidePipeline, CullingBySignOfAreaAndZeroAreaDrawsNothing) {
    // (0,0) (40,0) (0,40): area (0-40)(0-40) - (40-0)(0-0) = 1600 > 0 (clockwise on screen).
    const GrVertex a = vertex(0, 0), b = vertex(40, 0), c = vertex(0, 40);
    const GrVertex sliver[3] = {vertex(200.4990234375f, 213.50857543945312f),
                                vertex(266.5238342285156f, 235.4789581298828f),
                                vertex(250.41757202148438f, 230.13592529296875f)};  // area +1.088
    struct Case {
        const char* what;
        GrCullMode_t mode;
        GrVertex v[3];
        bool drawn;
    };
    const Case cases[] = {
        {"positive culled", GR_CULL_POSITIVE, {a, b, c}, false},
        {"negative kept", GR_CULL_POSITIVE, {a, c, b}, true},
        {"positive kept", GR_CULL_NEGATIVE, {a, b, c}, true},
        {"negative culled", GR_CULL_NEGATIVE, {a, c, b}, false},
        {"no culling, positive", GR_CULL_DISABLE, {a, b, c}, true},
        {"no culling, negative", GR_CULL_DISABLE, {a, c, b}, true},
        {"collinear", GR_CULL_DISABLE, {vertex(0, 0), vertex(100, 100), vertex(200, 200)}, false},
        {"two corners equal", GR_CULL_DISABLE, {vertex(10, 10), vertex(10, 10), vertex(300, 20)}, false},
        {"snaps to one point", GR_CULL_DISABLE, {vertex(5, 5), vertex(5.01f, 5.01f), vertex(5.02f, 5)}, false},
        // A sliver whose corners snap to a negative area: its sign as passed decides.
        {"sliver, positive as passed", GR_CULL_POSITIVE, {sliver[0], sliver[1], sliver[2]}, false},
        {"sliver, negative as passed", GR_CULL_POSITIVE, {sliver[0], sliver[2], sliver[1]}, true},
    };
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        grBufferClear(0, 0, 0xFFFF);
        grCullMode(k.mode);
        grDrawTriangle(&k.v[0], &k.v[1], &k.v[2]);
        EXPECT_EQ(countPixelsNot(0) > 0, k.drawn);
    }
}

TEST_P(GlidePipeline, SharedEdgesNeitherOverlapNorLeaveGaps) {
    // Additive blend: a pixel drawn twice would show 20, a gap 0.
    grCullMode(GR_CULL_DISABLE);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO);
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    struct Quad {
        float x[4], y[4];
        int covered;  // pixels the quad must cover, counted by hand (-1: only check no overlap)
    };
    const Quad quads[] = {
        {{0, 4, 4, 0}, {0, 0, 4, 4}, 16},
        // corners on pixel centres: row 0..3, columns 0..3; the bottom and right edges are not drawn
        {{0.5f, 4.5f, 4.5f, 0.5f}, {0.5f, 0.5f, 4.5f, 4.5f}, 16},
        {{1.3f, 37.9f, 30.2f, 3.1f}, {2.7f, 5.1f, 40.6f, 33.3f}, -1},
        {{100.03f, 163.97f, 130.5f, 90.25f}, {50.5f, 55.75f, 99.0f, 80.125f}, -1},
        // the ground quad: every pixel of the screen exactly once
        {{0.5f, 640.5f, 640.5f, 0.5f}, {0.5f, 0.5f, 480.5f, 480.5f}, W * H},
    };
    // Affine, and perspective (one w a corner), which small and large
    // triangles reach through other loops.
    for (int perspective = 0; perspective < 2; ++perspective)
        for (const Quad& q : quads) {
            SCOPED_TRACE(::testing::Message()
                         << "perspective " << perspective << " quad at " << q.x[0] << "," << q.y[0]);
            grBufferClear(0, 0, 0xFFFF);
            GrVertex v[4];
            for (int i = 0; i < 4; ++i) {
                v[i] = vertex(q.x[i], q.y[i], 100.0f, perspective ? 1.0f / float(1 + i) : 1.0f);
                setColour(v[i], 245, 245, 245, 0);  // white texel shows as 10
            }
            grDrawTriangle(&v[0], &v[1], &v[2]);
            grDrawTriangle(&v[0], &v[2], &v[3]);
            int covered = 0;
            for (int i = 0; i < W * H; ++i) {
                const std::uint32_t p = softglide::backBuffer()[i] & 0xFFFFFF;
                ASSERT_TRUE(p == 0 || p == 0x0A0A0A) << "pixel " << i % W << "," << i / W << " = " << std::hex << p;
                covered += p != 0;
            }
            if (q.covered >= 0) {
                EXPECT_EQ(covered, q.covered);
            }
            // The middle of a diagonal lies inside a convex quad.
            EXPECT_EQ(pixel(int(q.x[0] + q.x[2]) / 2, int(q.y[0] + q.y[2]) / 2) & 0xFFFFFF, 0x0A0A0Au);
        }
}

TEST_P(GlidePipeline, TopLeftRuleOnPixelCentres) {
    // Corners on pixel centres: the top edge (row 0) and left edge (column 0)
    // are drawn, the diagonal is a right edge and is not: 4 + 3 + 2 + 1 pixels.
    // Affine and perspective triangles go through different loops.
    grCullMode(GR_CULL_DISABLE);
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    for (const float w : {1.0f, 0.5f}) {
        SCOPED_TRACE(::testing::Message() << "second corner's w " << w);
        grBufferClear(0, 0, 0xFFFF);
        GrVertex a = vertex(0.5f, 0.5f), b = vertex(4.5f, 0.5f, 100.0f, w), c = vertex(0.5f, 4.5f);
        grDrawTriangle(&a, &b, &c);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 6; ++x) {
                EXPECT_EQ(pixel(x, y) != 0, x + y < 4) << x << "," << y;
            }
        }
        // 12.4 snapping: 0.52 lands on 0.5 and behaves the same.
        grBufferClear(0, 0, 0xFFFF);
        GrVertex d = vertex(0.52f, 0.52f), e = vertex(4.52f, 0.52f, 100.0f, w), f = vertex(0.52f, 4.52f);
        grDrawTriangle(&d, &e, &f);
        EXPECT_EQ(countPixelsNot(0), 10);
    }
}

TEST_P(GlidePipeline, ClippingKeepsWhatIsOnScreen) {
    grCullMode(GR_CULL_DISABLE);
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    struct Case {
        const char* what;
        GrVertex v[3];
        std::vector<std::pair<int, int>> inside, outside;
    };
    const Case cases[] = {
        {"far off in every direction: covers the screen",
         {vertex(-100000, -100000), vertex(300000, -100000), vertex(-100000, 300000)},
         {{0, 0}, {639, 0}, {0, 479}, {639, 479}, {320, 240}},
         {}},
        {"crossing the left edge",
         {vertex(-200, 100), vertex(100, 100), vertex(-200, 400)},
         {{0, 101}, {97, 101}, {0, 198}},  // inside x + y < 200
         {{100, 101}, {5, 99}, {1, 398}}},
        {"wholly off screen", {vertex(-500, -500), vertex(-10, -500), vertex(-500, -10)}, {}, {{0, 0}, {320, 240}}},
        {"wholly below the screen", {vertex(10, 500), vertex(600, 500), vertex(10, 9000)}, {}, {{10, 479}, {300, 479}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        grBufferClear(0, 0, 0xFFFF);
        guDrawTriangleWithClip(&c.v[0], &c.v[1], &c.v[2]);
        for (auto [x, y] : c.inside) EXPECT_NE(pixel(x, y), 0u) << x << "," << y;
        for (auto [x, y] : c.outside) EXPECT_EQ(pixel(x, y), 0u) << x << "," << y;
    }
}

TEST_P(GlidePipeline, ClippedPiecesKeepTheParameterPlanes) {
    // Depth rises 4 per pixel in x; after clipping at x = 0 it must stay on the same plane.
    grCullMode(GR_CULL_DISABLE);
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    GrVertex a = vertex(-100, 0, 1000 - 400), b = vertex(300, 0, 1000 + 1200), c = vertex(-100, 400, 1000 - 400);
    guDrawTriangleWithClip(&a, &b, &c);
    EXPECT_EQ(depthAt(0, 10), 1002);
    EXPECT_EQ(depthAt(50, 10), 1202);
    // (a, b, c) has positive area: culled as a whole, so must every piece be.
    grBufferClear(0, 0, 0xFFFF);
    grCullMode(GR_CULL_POSITIVE);
    guDrawTriangleWithClip(&a, &b, &c);
    grCullMode(GR_CULL_NEGATIVE);
    guDrawTriangleWithClip(&a, &c, &b);
    EXPECT_EQ(countPixelsNot(0), 0);
}

TEST_P(GlidePipeline, HostileInputDrawsNothingOrStaysOnScreen) {
    grCullMode(GR_CULL_DISABLE);
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float big = 3e38f;
    struct Case {
        const char* what;
        GrVertex v[3];
        bool drawsSomething;
    };
    Case cases[] = {
        {"NaN corner", {vertex(nan, 10), vertex(100, 10), vertex(10, 100)}, false},
        {"infinite corner", {vertex(10, 10), vertex(inf, 10), vertex(10, 100)}, false},
        {"huge corners around the screen", {vertex(-big, -big), vertex(big, -big), vertex(0, big)}, true},
        {"huge, left of the screen", {vertex(-1e20f, 0), vertex(-1e19f, 0), vertex(-1e20f, 480)}, false},
        {"NaN parameters",
         {vertex(10, 10, nan, nan, nan, nan), vertex(100, 10, inf, nan, inf, -inf), vertex(10, 100, -inf, 0, nan, 0)},
         true},
        {"zero w", {vertex(10, 10, 100, 0), vertex(100, 10, 100, 0), vertex(10, 100, 100, 0)}, true},
    };
    cases[5].v[1].r = big;
    cases[5].v[2].a = -big;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int clip = 0; clip < 2; ++clip) {
            grBufferClear(0, 0, 0xFFFF);
            if (clip) {
                guDrawTriangleWithClip(&c.v[0], &c.v[1], &c.v[2]);
            } else {
                grDrawTriangle(&c.v[0], &c.v[1], &c.v[2]);
            }
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
    struct Case {
        const char* what;
        float su, tv;  // texel coordinate sampled by the pixel centre at (0.5, 0.5)
        bool clamp, point;
        int grey;
    };
    const Case cases[] = {
        {"texel centre", 1.5f, 2.5f, false, false, 4 * 17},
        // u = 0.25, v = 1.75: row 1 (17*192 + 34*64) >> 8 = 21, row 2 (102*192 + 68*64) >> 8 = 93,
        // (21*64 + 93*192) >> 8 = 75
        {"quarter weights", 0.75f, 2.25f, false, false, 75},
        // u = 1.25, v = 2.75: top (68*192 + 136*64) >> 8 = 85, bottom (204*192 + 0*64) >> 8 = 153,
        // (85*64 + 153*192) >> 8 = 136
        {"three-quarter weights", 1.75f, 3.25f, false, false, 136},
        // u = 3.5 blends column 3 with column 0 of row 1: (85*128 + 17*128) >> 8 = 51
        {"wrap in s", 4.0f, 1.5f, false, false, 51},
        {"wrap in s, negative coordinate", 0.0f, 1.5f, false, false, 51},
        // v = 3.5 blends row 3 with row 0 in column 0: (170*128 + 0*128) >> 8 = 85
        {"wrap in t", 0.5f, 4.0f, false, false, 85},
        {"many periods away", 0.5f + 4 * 1000, 4.0f - 4 * 1000, false, false, 85},
        // Clamped, taps beyond an edge take the edge texel; inside they blend as wrapped ones.
        {"clamped left of the texture", 0.0f, 1.5f, true, false, 17},
        {"clamped far left", -100.0f, 1.5f, true, false, 17},
        {"clamped, last two columns", 3.0f, 1.5f, true, false, 68},  // (51 + 85) / 2
        {"clamped right of the texture", 4.0f, 1.5f, true, false, 85},
        {"clamped far right", 4.75f, 1.5f, true, false, 85},
        {"clamped below the texture", 0.5f, 4.0f, true, false, 170},
        // Point sampling: the texel under the coordinate, no centre offset.
        {"point sampled", 1.75f, 2.25f, false, true, 4 * 17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
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

TEST_P(GlidePipeline, TexelSpansGlideUnitsByTheLongerSide) {
    // A 16 x 4 texture: s 0..256 covers 16 texels and t 0..64 covers 4.
    std::vector<std::uint16_t> texels(64);
    for (int i = 0; i < 64; ++i)
        texels[i] = std::uint16_t(0xF000 | (i % 16) << 4 | (i / 16));  // green = column, blue = row
    GrTexInfo info{GR_LOD_16, GR_LOD_16, GR_ASPECT_4x1, GR_TEXFMT_ARGB_4444, texels.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    // One texel per pixel: s = 16 x, t = 16 y.
    GrVertex a = vertex(0, 0, 100, 1, 0, 0), b = vertex(0, 32, 100, 1, 0, 512), c = vertex(32, 0, 100, 1, 512, 0);
    grDrawTriangle(&a, &b, &c);
    const int probes[][2] = {{0, 0}, {5, 2}, {15, 3}, {17, 1}, {3, 6}};
    for (auto [x, y] : probes) {
        const std::uint32_t green = std::uint32_t(x % 16) * 17, blue = std::uint32_t(y % 4) * 17;
        EXPECT_EQ(pixel(x, y), 0xFF000000u | green << 8 | blue) << x << "," << y;
    }
}

TEST_P(GlidePipeline, PerspectiveCorrectTextureCoordinates) {
    // Columns 0 and 1 white, 2 and 3 black. w rises from 1 to 4 left to right;
    // s runs 0..480 (sow 0..120). Halfway across the screen oow = 0.625 and
    // s = 60 / 0.625 = 96, texel u = 1.0: white. Affine mapping would sample
    // u = 3.25 (mostly black).
    useTexture(GR_LOD_4, GR_TEXFMT_ARGB_4444,
               {0xFFFF, 0xFFFF, 0xF000, 0xF000, 0xFFFF, 0xFFFF, 0xF000, 0xF000,  //
                0xFFFF, 0xFFFF, 0xF000, 0xF000, 0xFFFF, 0xFFFF, 0xF000, 0xF000});
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    GrVertex a = vertex(0.5f, 0, 100, 1.0f, 0, 32), b = vertex(0.5f, 64, 100, 1.0f, 0, 32),
             c = vertex(64.5f, 0, 100, 0.25f, 480, 32);
    grDrawTriangle(&a, &b, &c);
    EXPECT_EQ(pixel(32, 0), 0xFFFFFFFFu);
    // At the left edge s = 0: u = -0.5 blends column 3 (black) and 0 (white) equally.
    EXPECT_EQ(pixel(0, 0), 0xFF7F7F7Fu);
}

TEST_P(GlidePipeline, SwapHandsTheFrameToThePresenterAndClearUsesAbgr) {
    struct Seen {
        int calls = 0;
        std::uint32_t centre = 0;
    } seen;
    softglide::setSwapHandler(
        [](const std::uint32_t* front, void* user) {
            auto* s = static_cast<Seen*>(user);
            ++s->calls;
            s->centre = front[240 * W + 320];
        },
        &seen);
    grBufferClear(0x00332211, 0x80, 0xFFFF);
    EXPECT_EQ(pixel(320, 240), 0x80112233u);
    grBufferSwap(1);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.centre, 0x80112233u);
    EXPECT_EQ(softglide::frontBuffer()[240 * W + 320], 0x80112233u);
    // The new back buffer is the other one and still black.
    EXPECT_EQ(pixel(320, 240), 0u);
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

TEST_P(GlidePipeline, IteratedColoursAtPixelCentres) {
    // Red runs from -100 at x = 0 to 300 at x = 100, blue from 0 at y = 0 to
    // 100 at y = 10: at a centre red is 4x - 98, blue 10y + 5, and a white
    // texel shows 255 minus them, clamped. Affine and perspective alike.
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    const std::uint32_t probes[][3] = {
        {30, 0, 0xFFE9FFFA}, {60, 5, 0xFF71FFC8}, {10, 9, 0xFFFFFFA0}, {90, 2, 0xFF00FFE6}};
    for (const float w : {1.0f, 0.5f}) {
        grBufferClear(0, 0, 0xFFFF);
        GrVertex v[4] = {vertex(0, 0), vertex(100, 0, 100, w), vertex(100, 10), vertex(0, 10, 100, w)};
        const float red[4] = {-100, 300, 300, -100}, blue[4] = {0, 0, 100, 100};
        for (int i = 0; i < 4; ++i) setColour(v[i], red[i], 0, blue[i], 0);
        grDrawTriangle(&v[0], &v[3], &v[2]);
        grDrawTriangle(&v[2], &v[1], &v[0]);
        for (const auto& p : probes) EXPECT_EQ(pixel(int(p[0]), int(p[1])), p[2]) << "w " << w << " at " << p[0];
    }
}

TEST_P(GlidePipeline, FarPerspectiveCoordinatesWrapByWholePeriods) {
    // s = 5000000.5 on a 256 x 32 texture is texel 5000000 from its centre,
    // column 64 (19531 periods on); only that column is white.
    std::vector<std::uint16_t> texels(256 * 32, 0x8000);
    for (int y = 0; y < 32; ++y) texels[std::size_t(y * 256 + 64)] = 0xFFFF;
    GrTexInfo info{GR_LOD_256, GR_LOD_256, GR_ASPECT_8x1, GR_TEXFMT_ARGB_1555, texels.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    GrVertex a = vertex(0, 0, 100, 1.0f, 5000000.5f, 8.5f), b = vertex(0, 40, 100, 0.5f, 5000000.5f, 8.5f),
             c = vertex(40, 0, 100, 0.25f, 5000000.5f, 8.5f);
    grDrawTriangle(&a, &b, &c);
    EXPECT_GE(pixel(5, 5) & 0xFF, 0xF0u);
}

TEST_P(GlidePipeline, ScaleMultipliesTheRenderedPixels) {
    // At scale 2 the game's 10 x 10 rectangle covers 20 x 20 pixels, at twice the position.
    softglide::setScale(2);
    openLikeGame();
    useUniformTexture(GR_TEXFMT_ARGB_1555, 0xFFFF);
    ASSERT_EQ(softglide::frameWidth(), 2 * W);
    ASSERT_EQ(softglide::frameHeight(), 2 * H);
    drawRect(10, 10, 20, 20, 0, 0, 0, 0);
    const std::uint32_t* p = softglide::backBuffer();
    EXPECT_EQ(std::count(p, p + 4 * W * H, 0u), 4 * W * H - 400);
    EXPECT_NE(p[20 * 2 * W + 20], 0u);
    EXPECT_NE(p[39 * 2 * W + 39], 0u);
}

}  // namespace
