// The seven textures: built one after another in the scratch buffer and
// downloaded into texture memory, packed without gaps. Seeding the random
// generator here means the two noise textures take its first 8192 values.
#include <cmath>

#include "core/world.h"
#include "display/display.h"
#include "platform/glide/glide.h"
#include "platform/stream.h"

namespace tb {
namespace {

std::uint16_t* const texels = world.texelScratch;

// Describes, sizes and downloads the slot's texture from the scratch buffer.
void downloadSlot(int slot, GrLOD_t lod, GrAspectRatio_t aspect, GrTextureFormat_t format) {
    GrTexInfo& info = world.textureInfo[slot];
    info.smallLod = lod;
    info.largeLod = lod;
    info.aspectRatio = aspect;
    info.format = format;
    info.data = world.texelScratch;
    world.textureSize[slot] = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info);
    if (slot == 0)
        world.textureAddress[0] = grTexMinAddress(GR_TMU0);
    else
        world.textureAddress[slot] = world.textureAddress[slot - 1] + world.textureSize[slot - 1];
    grTexDownloadMipMap(GR_TMU0, world.textureAddress[slot], GR_MIPMAPLEVELMASK_BOTH, &info);
}

// A soft white spot: alpha falls off with the distance from texel (32, 32).
template <typename AlphaOf>
void buildSpot(AlphaOf alphaOf) {
    for (int i = 0; i < 4096; ++i) texels[i] = 0x00FF;
    for (int r = 0; r < 64; ++r) {
        for (int q = 0; q < 64; ++q) {
            int dy = r - 32, dx = q - 32;
            double d = double(dx * dx + dy * dy);
            int distance = trunc32(std::sqrt(d) * 8.0);
            if (distance > 255) distance = 255;
            texels[r * 64 + q] = std::uint16_t(texels[r * 64 + q] + alphaOf(distance) * 256);
        }
    }
}

}  // namespace

// Slot 2: "tex.bmp" pixel indices as grey levels offset by 26; the first pixel lands at texel 64.
void buildTexBitmap() {
    platform::TextStream bmp = platform::TextStream::openData("tex.bmp");
    bmp.seek(1078, 0);
    for (int n = 0; n < 16384; ++n) {
        int p = bmp.getc();
        texels[(n + 64) % 16384] = std::uint16_t((p + 26) * 0x0421 + 0x8000);
    }
    downloadSlot(2, GR_LOD_256, GR_ASPECT_4x1, GR_TEXFMT_ARGB_1555);
}

// Slot 6: "tex2.bmp" byte triplets as four-bit channels. When the second
// byte's channel is not 0 the third byte is read again as the next texel's first.
void buildTex2Bitmap() {
    platform::TextStream bmp = platform::TextStream::openData("tex2.bmp");
    bmp.seek(1078, 0);
    for (int n = 0; n < 4096; ++n) {
        int b0 = bmp.getc() / 16;
        int b1 = bmp.getc() / 16;
        int b2 = bmp.getc() / 16;
        if (b1 != 0) bmp.seek(-1, 1);
        texels[(n + 27) % 4096] = std::uint16_t(b0 * 0x1000 + b0 * 0x100 + b2 * 0x10 + b1);
    }
    downloadSlot(6, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444);
}

void buildTextures() {
    tb::srand(42);

    // Slot 0: the ground, opaque grey noise 26..31.
    for (int i = 0; i < 4096; ++i) {
        int v = tb::rand() % 6 + 26;
        texels[i] = std::uint16_t(v * 0x0421 + 0x8000);
    }
    downloadSlot(0, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_1555);

    // Slot 1: 16 x 4 stripes of opaque white and transparent grey (the track pattern).
    for (std::uint32_t k = 0; k < 64; ++k) {
        std::uint32_t b = ((k >> 4) + ((k - 4u) >> 3)) & 1u;
        texels[k] = std::uint16_t((26 + 5 * b) * 0x0421 + b * 0x8000);
    }
    downloadSlot(1, GR_LOD_16, GR_ASPECT_4x1, GR_TEXFMT_ARGB_1555);

    buildTexBitmap();

    // Slot 3: half-transparent grey noise 10..15.
    for (int i = 0; i < 4096; ++i) {
        int v = tb::rand() % 6 + 10;
        texels[i] = std::uint16_t(v * 0x0111 + 0x8000);
    }
    downloadSlot(3, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444);

    // Slots 4 and 5: glow spots with alpha 42 and 196 at the centre.
    buildSpot([](int d) { return (255 - d) / 6; });
    downloadSlot(4, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_8332);
    buildSpot([](int d) { return trunc32(double(255 - d) * 0.7692307692307693); });
    downloadSlot(5, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_8332);

    buildTex2Bitmap();
}

}  // namespace tb
