// Texture memory of the software Glide: texel expansion, sizes and packing of
// the game's seven slots, download and selection, and bad addresses.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/glide/glide.h"
#include "platform/glide/softglide.h"

namespace {

constexpr int W = softglide::kScreenWidth;

void openForTextures() {
    grGlideInit();
    grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_UPPER_LEFT, 2, 1);
    grCullMode(GR_CULL_DISABLE);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    grBufferClear(0x00FF00FF, 0x11, 0xFFFF);  // magenta: "nothing drawn"
}
constexpr std::uint32_t kUntouched = 0x11FF00FF;

// Draws the selected texture one texel per pixel at the top left of the
// screen under a zero vertex colour; `longSide` is the texture's longer side.
void drawTexelsOneToOne(int longSide, int w, int h) {
    const float unitsPerTexel = 256.0f / float(longSide);
    GrVertex v[4]{};
    const float xs[4] = {0, float(w), float(w), 0}, ys[4] = {0, 0, float(h), float(h)};
    for (int i = 0; i < 4; ++i) {
        v[i].x = xs[i];
        v[i].y = ys[i];
        v[i].oow = 1.0f;
        v[i].ooz = 100.0f;
        v[i].tmuvtx[0].sow = xs[i] * unitsPerTexel;
        v[i].tmuvtx[0].tow = ys[i] * unitsPerTexel;
    }
    grDrawTriangle(&v[0], &v[1], &v[2]);
    grDrawTriangle(&v[0], &v[2], &v[3]);
}

std::uint32_t pixel(int x, int y) { return softglide::backBuffer()[y * W + x]; }

// The combine under a zero vertex colour: colour and alpha scaled by alpha + 1.
std::uint32_t shown(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24, k = a + 1;
    auto ch = [&](int shift) { return (((argb >> shift) & 255) * k >> 8) << shift; };
    return ((a * k >> 8) << 24) | ch(16) | ch(8) | ch(0);
}

TEST(GlideTexels, ExpandByBitReplication) {
    struct Case {
        GrTextureFormat_t format;
        std::uint16_t texel;
        std::uint32_t argb;
    };
    const Case cases[] = {
        {GR_TEXFMT_ARGB_1555, 0xFFFF, 0xFFFFFFFF},
        {GR_TEXFMT_ARGB_1555, 0x6B5A, 0x00D6D6D6},  // grey 26: (26 << 3) | (26 >> 2) = 214, alpha bit clear
        {GR_TEXFMT_ARGB_1555, 0x8000 | (1 << 10) | (16 << 5) | 31, 0xFF0884FF},
        {GR_TEXFMT_ARGB_4444, 0x8ABF, 0x88AABBFF},  // v * 17
        {GR_TEXFMT_ARGB_4444, 0x0000, 0x00000000},
        {GR_TEXFMT_ARGB_8332, 0x2AFF, 0x2AFFFFFF},  // alpha byte as it is
        {GR_TEXFMT_ARGB_8332, 0xC400 | (5 << 5) | (2 << 2) | 1,
         0xC4B64955},  // 3 bits: 101 -> 10110110, 010 -> 01001001
        {GR_TEXFMT_ARGB_8332, 0x00FF, 0x00FFFFFF},
        {0x3, 0xFFFF, 0},  // a format the game never uses
    };
    for (const Case& c : cases) {
        EXPECT_EQ(softglide::expandedTexel(c.texel, c.format), c.argb)
            << "format " << c.format << " texel " << std::hex << c.texel;
    }
}

TEST(GlideTexels, MemoryRequiredForTheGamesShapes) {
    struct Case {
        GrLOD_t small, large;
        GrAspectRatio_t aspect;
        GrTextureFormat_t format;
        FxU32 bytes;
    };
    const Case cases[] = {
        {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, 8192},
        {GR_LOD_16, GR_LOD_16, GR_ASPECT_4x1, GR_TEXFMT_ARGB_1555, 128},
        {GR_LOD_256, GR_LOD_256, GR_ASPECT_4x1, GR_TEXFMT_ARGB_1555, 32768},
        {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444, 8192},
        {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_8332, 8192},
        {GR_LOD_16, GR_LOD_16, GR_ASPECT_1x4, GR_TEXFMT_ARGB_1555, 128},
        {GR_LOD_1, GR_LOD_1, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, 8},       // 2 bytes, 8-byte granule
        {GR_LOD_1, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, 10928},  // 64..1: 10922 bytes, rounded up
        {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, 0x3, 0},                     // unknown format
        {GR_LOD_64, GR_LOD_64, 9, GR_TEXFMT_ARGB_1555, 0},                 // bad aspect
        {GR_LOD_256, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, 0},    // small LOD larger than large
        {GR_LOD_64, 12, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, 0},            // bad LOD
    };
    for (const Case& c : cases) {
        GrTexInfo info{c.small, c.large, c.aspect, c.format, nullptr};
        EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info), c.bytes)
            << "lod " << c.large << ".." << c.small << " aspect " << c.aspect << " format " << c.format;
    }
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, nullptr), 0u);
    EXPECT_EQ(grTexMinAddress(GR_TMU0), 0u);
}

class GlideTextureMemory : public ::testing::Test {
protected:
    void SetUp() override {
        softglide::setRasterEnabled(true);
        openForTextures();
    }
};

// The game's seven slots, packed one after another from the minimum address,
// each with texels that tell them apart; every slot reads back intact after
// all are downloaded.
TEST_F(GlideTextureMemory, SevenSlotsPackWithoutOverlap) {
    struct Slot {
        GrLOD_t lod;
        GrAspectRatio_t aspect;
        GrTextureFormat_t format;
        int w, h;
    };
    const Slot slots[7] = {
        {GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, 64, 64},
        {GR_LOD_16, GR_ASPECT_4x1, GR_TEXFMT_ARGB_1555, 16, 4},
        {GR_LOD_256, GR_ASPECT_4x1, GR_TEXFMT_ARGB_1555, 256, 64},
        {GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444, 64, 64},
        {GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_8332, 64, 64},
        {GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_8332, 64, 64},
        {GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444, 64, 64},
    };
    std::vector<std::uint16_t> texels[7];
    GrTexInfo info[7];
    FxU32 address[7];
    for (int s = 0; s < 7; ++s) {
        // Opaque in every format; slot number in the low bits, first and last texel marked.
        texels[s].assign(std::size_t(slots[s].w * slots[s].h), std::uint16_t(0xFF00 | s));
        texels[s].front() = 0xFFFF;
        texels[s].back() = 0xF0F0;
        info[s] = GrTexInfo{slots[s].lod, slots[s].lod, slots[s].aspect, slots[s].format, texels[s].data()};
        const FxU32 size = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info[s]);
        address[s] = s == 0 ? grTexMinAddress(GR_TMU0)
                            : address[s - 1] + grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info[s - 1]);
        EXPECT_EQ(size, FxU32(slots[s].w * slots[s].h * 2));
        grTexDownloadMipMap(GR_TMU0, address[s], GR_MIPMAPLEVELMASK_BOTH, &info[s]);
    }
    for (int s = 0; s < 7; ++s) {
        SCOPED_TRACE(s);
        grBufferClear(0, 0, 0xFFFF);
        grTexSource(GR_TMU0, address[s], GR_MIPMAPLEVELMASK_BOTH, &info[s]);
        drawTexelsOneToOne(std::max(slots[s].w, slots[s].h), slots[s].w, slots[s].h);
        const auto expand = [&](std::uint16_t t) { return shown(softglide::expandedTexel(t, slots[s].format)); };
        EXPECT_EQ(pixel(0, 0), expand(0xFFFF));
        EXPECT_EQ(pixel(1, 1), expand(std::uint16_t(0xFF00 | s)));
        EXPECT_EQ(pixel(slots[s].w - 1, slots[s].h - 1), expand(0xF0F0));
    }
}

TEST_F(GlideTextureMemory, GameTextureEdgeCasesThroughDownload) {
    // The striped track texture (16 x 4, 1555) and the faint spot (64 x 64, 8332).
    std::vector<std::uint16_t> stripes(64);
    for (std::uint32_t k = 0; k < 64; ++k) {
        const std::uint32_t b = ((k >> 4) + ((k - 4) >> 3)) & 1;
        stripes[k] = std::uint16_t((26 + 5 * b) * 0x0421 + b * 0x8000);
    }
    GrTexInfo stripeInfo{GR_LOD_16, GR_LOD_16, GR_ASPECT_4x1, GR_TEXFMT_ARGB_1555, stripes.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &stripeInfo);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &stripeInfo);
    drawTexelsOneToOne(16, 16, 4);
    EXPECT_EQ(pixel(0, 0), 0xFFFFFFFFu);  // texel 0: opaque white
    EXPECT_EQ(pixel(4, 0), 0x00000000u);  // texel 4: transparent grey shows nothing
    EXPECT_EQ(pixel(0, 1), 0x00000000u);  // texel 16
    EXPECT_EQ(pixel(4, 1), 0xFFFFFFFFu);  // texel 20

    std::vector<std::uint16_t> spot(4096, 0x00FF);
    spot[32 * 64 + 32] = 0x2AFF;
    GrTexInfo spotInfo{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_8332, spot.data()};
    grTexDownloadMipMap(GR_TMU0, 128, GR_MIPMAPLEVELMASK_BOTH, &spotInfo);
    grTexSource(GR_TMU0, 128, GR_MIPMAPLEVELMASK_BOTH, &spotInfo);
    grBufferClear(0, 0, 0xFFFF);
    drawTexelsOneToOne(64, 64, 64);
    EXPECT_EQ(pixel(32, 32), 0x072A2A2Au);  // alpha 42: colour 255*43 >> 8 = 42, alpha 42*43 >> 8 = 7
    EXPECT_EQ(pixel(0, 0), 0x00000000u);    // corner: alpha 0
    // The stripes below the spot are untouched by its download.
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &stripeInfo);
    drawTexelsOneToOne(16, 16, 4);
    EXPECT_EQ(pixel(0, 0), 0xFFFFFFFFu);
}

// What a selection shows follows the memory: in another format the stored
// words are decoded again, and the same selection made again after a
// download over it (or before any download) shows the new texels.
TEST_F(GlideTextureMemory, SelectionShowsWhatMemoryHoldsNow) {
    std::vector<std::uint16_t> red(64, 0x7C00), white(64, 0xFFFF);  // 1555: red with alpha clear; opaque white
    GrTexInfo as1555{GR_LOD_8, GR_LOD_8, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, red.data()};
    GrTexInfo as4444 = as1555;
    as4444.format = GR_TEXFMT_ARGB_4444;
    grTexSource(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as1555);
    drawTexelsOneToOne(8, 8, 8);
    EXPECT_EQ(pixel(3, 3), 0u);  // memory still zero: transparent black
    grTexDownloadMipMap(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as1555);
    grTexSource(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as4444);
    drawTexelsOneToOne(8, 8, 8);
    // As 4444: alpha 7 -> 119, red 12 -> 204; colour 204*120 >> 8 = 95, alpha 119*120 >> 8 = 55.
    EXPECT_EQ(pixel(3, 3), 0x375F0000u);
    as1555.data = white.data();
    grTexSource(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as1555);
    grTexDownloadMipMap(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as1555);
    grTexSource(GR_TMU0, 64, GR_MIPMAPLEVELMASK_BOTH, &as1555);
    drawTexelsOneToOne(8, 8, 8);
    EXPECT_EQ(pixel(3, 3), 0xFFFFFFFFu);
}

TEST_F(GlideTextureMemory, BadAddressesAndDescriptionsDrawNothing) {
    std::vector<std::uint16_t> texels(4096, 0xFFFF);
    const GrTexInfo good{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555, texels.data()};
    const FxU32 top = grTexMaxAddress(GR_TMU0);
    grTexDownloadMipMap(GR_TMU0, top - 8192, GR_MIPMAPLEVELMASK_BOTH, const_cast<GrTexInfo*>(&good));
    struct Case {
        const char* what;
        FxU32 address;
        GrTexInfo info;
        bool passNull;
    };
    GrTexInfo badFormat = good, badLod = good, badAspect = good;
    badFormat.format = 0x5;
    badLod.largeLod = -1;
    badAspect.aspectRatio = 7;
    const Case cases[] = {
        {"past the end", top - 8190 + 6, good, false},
        {"far past the end", 0xFFFFFFF8u, good, false},
        {"unaligned", 2, good, false},
        {"unknown format", 0, badFormat, false},
        {"bad LOD", 0, badLod, false},
        {"bad aspect", 0, badAspect, false},
        {"no description", 0, good, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        grBufferClear(0x00FF00FF, 0x11, 0xFFFF);
        GrTexInfo info = c.info;
        grTexDownloadMipMap(GR_TMU0, c.address, GR_MIPMAPLEVELMASK_BOTH, c.passNull ? nullptr : &info);
        grTexSource(GR_TMU0, c.address, GR_MIPMAPLEVELMASK_BOTH, c.passNull ? nullptr : &info);
        drawTexelsOneToOne(64, 64, 64);
        EXPECT_EQ(pixel(10, 10), kUntouched);
    }
    // A download without texel data is ignored; the texture at the top of memory is intact.
    GrTexInfo noData = good;
    noData.data = nullptr;
    grTexDownloadMipMap(GR_TMU0, top - 8192, GR_MIPMAPLEVELMASK_BOTH, &noData);
    GrTexInfo info = good;
    grTexSource(GR_TMU0, top - 8192, GR_MIPMAPLEVELMASK_BOTH, &info);
    drawTexelsOneToOne(64, 64, 64);
    EXPECT_EQ(pixel(10, 10), 0xFFFFFFFFu);
}

}  // namespace
