// Fuzzes the pixel pipeline's triangle entry: each 2 + 3 x 60 bytes of input
// are two setting bytes (blend pair, cull mode, depth test, clipped or direct
// entry, texture slot) and three raw vertices, so x, y, depth, colours and
// texture coordinates take every bit pattern: NaN, infinities, huge values.
// The triangles are drawn by the fast loops on three threads and by the
// reference loops on one; the buffers must be the same.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/world.h"
#include "fuzz_common.h"
#include "platform/glide/glide.h"
#include "platform/glide/internal.h"
#include "platform/glide/softglide.h"

using tb::world;

namespace {

constexpr std::size_t kVertexBytes = 15 * sizeof(float);  // every float of a GrVertex with one TMU
constexpr std::size_t kTriangleBytes = 2 + 3 * kVertexBytes;

GrVertex readVertex(const std::uint8_t* p) {
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

void drawInput(const std::uint8_t* data, std::size_t size) {
    // Depth writes on for the clear, whatever the previous input's last
    // triangle left: both runs of an input must start from the same buffers.
    grDepthMask(FXTRUE);
    grBufferClear(0x00406080, 0x30, 0xFFFF);
    for (; size >= kTriangleBytes; data += kTriangleBytes, size -= kTriangleBytes) {
        const std::uint8_t blend = data[0], mode = data[1];
        // Every source and destination factor (0..7) for colour; alpha factors from the same byte.
        grAlphaBlendFunction(GrAlphaBlendFnc_t(blend & 7), GrAlphaBlendFnc_t((blend >> 3) & 7),
                             (blend & 0x40) ? GR_BLEND_ONE : GR_BLEND_SRC_ALPHA,
                             (blend & 0x80) ? GR_BLEND_ZERO : GR_BLEND_ONE_MINUS_SRC_ALPHA);
        grCullMode(GrCullMode_t(mode % 3));
        grDepthBufferFunction((mode & 4) ? GR_CMP_ALWAYS : GR_CMP_LEQUAL);
        grDepthMask((mode & 8) ? FXTRUE : FXFALSE);
        const int slot = (mode >> 4) & 7;
        if (slot < 7) {
            grTexSource(GR_TMU0, world.textureAddress[slot], GR_MIPMAPLEVELMASK_BOTH, &world.textureInfo[slot]);
        } else {
            // An empty slot, as a model triangle naming a slot beyond the table selects.
            static GrTexInfo none{};
            grTexSource(GR_TMU0, 0xFFFFFFFFu, GR_MIPMAPLEVELMASK_BOTH, &none);
        }
        GrVertex a = readVertex(data + 2), b = readVertex(data + 2 + kVertexBytes),
                 c = readVertex(data + 2 + 2 * kVertexBytes);
        if (mode & 0x80)
            guDrawTriangleWithClip(&a, &b, &c);
        else
            grDrawTriangle(&a, &b, &c);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::openDisplayOnce();
    const std::size_t pixels = std::size_t(softglide::frameWidth()) * std::size_t(softglide::frameHeight());
    softglide::detail::useSpans(softglide::detail::Spans::Fast);
    softglide::setThreads(3);
    drawInput(data, size);
    const std::vector<std::uint32_t> colour(softglide::backBuffer(), softglide::backBuffer() + pixels);
    const std::vector<std::uint16_t> depth(softglide::depthBuffer(), softglide::depthBuffer() + pixels);
    softglide::detail::useSpans(softglide::detail::Spans::Reference);
    softglide::setThreads(1);
    drawInput(data, size);
    if (!std::equal(colour.begin(), colour.end(), softglide::backBuffer()) ||
        !std::equal(depth.begin(), depth.end(), softglide::depthBuffer()))
        std::abort();  // the fast loops drew other pixels than the reference
    return 0;
}
