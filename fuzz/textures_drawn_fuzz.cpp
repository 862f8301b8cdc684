// Fuzzes "tex.bmp" and "tex2.bmp" thoroughly (for long runs): the input is
// split in two (its first two bytes, little-endian, give the length of the
// first file), the seven textures are built and downloaded, and each slot is
// then drawn with under every blend setting the game uses, so that whatever
// texels the files make are sampled.
#include <cstring>

#include "core/world.h"
#include "display/display.h"
#include "fuzz_common.h"
#include "platform/glide/glide.h"

using tb::world;

namespace {

GrVertex vertex(float x, float y, float s, float t) {
    GrVertex v{};
    v.x = x;
    v.y = y;
    v.ooz = 100.0f;
    v.oow = 1.0f;
    v.r = v.g = v.b = 10.0f;
    v.a = 20.0f;
    v.tmuvtx[0].sow = s;
    v.tmuvtx[0].tow = t;
    v.tmuvtx[0].oow = 1.0f;
    return v;
}

void drawEverySlot() {
    static const GrAlphaBlendFnc_t kBlends[][2] = {{GR_BLEND_ONE, GR_BLEND_ZERO},
                                                   {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                                                   {GR_BLEND_ONE, GR_BLEND_ONE},
                                                   {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE}};
    grCullMode(GR_CULL_DISABLE);
    for (int slot = 0; slot < 7; ++slot) {
        grTexSource(GR_TMU0, world.textureAddress[slot], GR_MIPMAPLEVELMASK_BOTH, &world.textureInfo[slot]);
        const auto& blend = kBlends[slot % 4];
        grAlphaBlendFunction(blend[0], blend[1], GR_BLEND_ONE, GR_BLEND_ZERO);
        const float x0 = float(slot * 80), y0 = float(slot * 60);
        GrVertex a = vertex(x0, y0, 0, 0), b = vertex(x0 + 120, y0, 255, 0), c = vertex(x0, y0 + 90, 0, 255);
        grDrawTriangle(&a, &b, &c);
        GrVertex d = vertex(x0 + 120, y0 + 90, 255, 255);
        guDrawTriangleWithClip(&b, &d, &c);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::openDisplayOnce();
    if (!fuzz::writeBitmaps(data, size)) return 0;

    guTexMemReset();
    tb::buildTextures();
    for (int slot = 1; slot < 7; ++slot)
        fuzz::require(world.textureAddress[slot] == world.textureAddress[slot - 1] + world.textureSize[slot - 1]);
    drawEverySlot();
    grBufferSwap(1);
    grBufferClear(0, 0, 0xFFFF);
    return 0;
}
