// The triangle targets' input: each triangle is two setting bytes and three
// raw vertices of 15 floats, so that x, y, depth, colours and texture
// coordinates take every bit pattern (NaN, infinities, huge values). What
// the setting bytes select is the target's business; the texture slot, cull
// mode and entry point are read the same way by both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/world.h"
#include "platform/glide/glide.h"

namespace fuzz {

// The slots the game builds.
constexpr int kGameTextures = 7;
constexpr std::size_t kVertexBytes = 15 * sizeof(float);  // every float of a GrVertex with one TMU
constexpr std::size_t kTriangleBytes = 2 + 3 * kVertexBytes;

struct InputTriangle {
    std::uint8_t blend, mode;
    GrVertex v[3];
};

inline GrVertex readVertex(const std::uint8_t* p) {
    float f[15];
    std::memcpy(f, p, sizeof f);
    GrVertex v{};
    v.x = f[0];
    v.y = f[1];
    v.z = f[2];
    v.r = f[3];
    v.g = f[4];
    v.b = f[5];
    v.ooz = f[6];
    v.a = f[7];
    v.oow = f[8];
    v.tmuvtx[0].sow = f[9];
    v.tmuvtx[0].tow = f[10];
    v.tmuvtx[0].oow = f[11];
    // The last three floats steer nothing, so that mutations of whole vertices line up.
    return v;
}

inline InputTriangle readTriangle(const std::uint8_t* p) {
    return {p[0], p[1], {readVertex(p + 2), readVertex(p + 2 + kVertexBytes), readVertex(p + 2 + 2 * kVertexBytes)}};
}

// The mode byte's cull mode (0..2), texture slot (bits 4..6: the game's seven,
// or 7 for an empty one, as a model triangle naming a slot beyond the table
// selects) and entry point (bit 7: guDrawTriangleWithClip).
inline void selectTexture(std::uint8_t mode) {
    const int slot = (mode >> 4) & 7;
    if (slot < kGameTextures) {
        grTexSource(GR_TMU0, tb::world.textureAddress[slot], GR_MIPMAPLEVELMASK_BOTH, &tb::world.textureInfo[slot]);
    } else {
        static GrTexInfo none{};
        grTexSource(GR_TMU0, 0xFFFFFFFFu, GR_MIPMAPLEVELMASK_BOTH, &none);
    }
}

inline void drawTriangle(InputTriangle& t) {
    grCullMode(GrCullMode_t(t.mode % 3));
    if (t.mode & 0x80)
        guDrawTriangleWithClip(&t.v[0], &t.v[1], &t.v[2]);
    else
        grDrawTriangle(&t.v[0], &t.v[1], &t.v[2]);
}

}  // namespace fuzz
