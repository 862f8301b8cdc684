// Fuzzes "tex.bmp" and "tex2.bmp" fast: the input is split in two (its first
// two bytes, little-endian, give the length of the first file), and the two
// textures read from them are built and downloaded into texture memory again
// in their slots (the other five, which no file touches, were built once);
// every slot stays packed without gaps and selectable, its texels read back
// as the pipeline expanded them. The textures_drawn target builds all seven
// per input and draws with them.
#include "core/world.h"
#include "display/display.h"
#include "fuzz_common.h"
#include "platform/glide/softglide.h"

using tb::world;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::openDisplayOnce();
    if (!fuzz::writeBitmaps(data, size)) return 0;

    tb::buildTexBitmap();
    tb::buildTex2Bitmap();
    std::uint32_t argb = 0;
    for (int slot = 0; slot < 7; ++slot) {
        const FxU32 address = world.textureAddress[slot];
        if (slot > 0) fuzz::require(address == world.textureAddress[slot - 1] + world.textureSize[slot - 1]);
        // Each texture is selectable, with as many texels as its size holds.
        const int texels = int(world.textureSize[slot] / 2);
        fuzz::require(softglide::textureTexel(address, &world.textureInfo[slot], texels - 1, argb) &&
                      !softglide::textureTexel(address, &world.textureInfo[slot], texels, argb));
    }
    // The last texture built is still in the scratch buffer: memory holds it (a texel in every 61).
    const GrTexInfo& last = world.textureInfo[6];
    for (int i = 0; i < 4096; i += 61)
        fuzz::require(softglide::textureTexel(world.textureAddress[6], &last, i, argb) &&
                      argb == softglide::expandedTexel(world.texelScratch[i], last.format));
    return 0;
}
