// Fuzzes the pixel pipeline's lane loops against the reference loops, fast:
// every input is drawn in the game's own drawing modes (the only ones the
// lane loops take), on one thread, once by the reference and once by the lane
// loops its first byte picks (bit 0: the portable ones, else this machine's
// fastest); the buffers must be the same. The rest of the input is triangles
// (triangle_input.h) whose blend byte picks one of the game's four blend
// settings (bits 0 and 1) and, as the game's meshes have them, one colour
// (bit 2: the first vertex's) and one w (bit 3), for which the lane loops
// have loops of their own. The time goes on the triangles' pixels, so an input draws at
// most kInputPixels of screen (by its triangles' bounding boxes on screen)
// and skips triangles beyond that; the triangle_threads target draws
// triangles of any size, in every mode, on several threads.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_common.h"
#include "platform/glide/softglide.h"
#include "platform/glide/testing.h"
#include "triangle_input.h"

namespace {

using softglide::testing::Loops;

constexpr double kInputPixels = 4096;

// Where a triangle can draw, whatever clipping makes of it: its bounding box
// on screen, rows [top, bottom) (none when a position is NaN: it draws nothing).
struct Reach {
    double pixels = 0;
    int top = 0, bottom = 0;
};

Reach screenReach(const GrVertex (&v)[3]) {
    const double w = softglide::kScreenWidth, h = softglide::kScreenHeight;
    double x0 = w, x1 = 0, y0 = h, y1 = 0;
    for (const GrVertex& p : v) {
        if (std::isnan(p.x) || std::isnan(p.y)) return {};
        const double x = std::clamp(double(p.x), 0.0, w), y = std::clamp(double(p.y), 0.0, h);
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    // A row more on each side for positions the clipper rounds outwards.
    return {(x1 - x0 + 1) * (y1 - y0 + 1), std::max(int(y0) - 1, 0), std::min(int(y1) + 2, int(h))};
}

// Draws the input's triangles; returns the rows they can reach.
Reach drawInput(const std::uint8_t* data, std::size_t size) {
    static const GrAlphaBlendFnc_t kGameBlends[4][2] = {{GR_BLEND_ONE, GR_BLEND_ZERO},
                                                        {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                                                        {GR_BLEND_ONE, GR_BLEND_ONE},
                                                        {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE}};
    grBufferClear(0x00406080, 0x30, 0xFFFF);
    Reach all{0, softglide::kScreenHeight, 0};
    for (; size >= fuzz::kTriangleBytes; data += fuzz::kTriangleBytes, size -= fuzz::kTriangleBytes) {
        fuzz::InputTriangle t = fuzz::readTriangle(data);
        const Reach reach = screenReach(t.v);
        if (all.pixels + reach.pixels > kInputPixels) continue;
        if (reach.pixels > 0)
            all = {all.pixels + reach.pixels, std::min(all.top, reach.top), std::max(all.bottom, reach.bottom)};
        if (t.blend & 4)
            for (GrVertex& v : t.v) v.r = t.v[0].r, v.g = t.v[0].g, v.b = t.v[0].b, v.a = t.v[0].a;
        if (t.blend & 8)
            for (GrVertex& v : t.v) v.oow = t.v[0].oow;
        const auto& blend = kGameBlends[t.blend & 3];
        grAlphaBlendFunction(blend[0], blend[1], GR_BLEND_ONE, GR_BLEND_ZERO);
        fuzz::selectTexture(t.mode);
        fuzz::drawTriangle(t);
    }
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        fuzz::openDisplayOnce();  // the game's modes: depth test less-or-equal with writes, wrapped bilinear
        softglide::setThreads(1);
        return true;
    }();
    (void)ready;
    if (size < 1) return 0;
    const Loops lanes = (data[0] & 1) ? Loops::Portable : Loops::Fast;
    static std::vector<std::uint32_t> colour(std::size_t(softglide::kScreenWidth * softglide::kScreenHeight));
    static std::vector<std::uint16_t> depth(colour.size());

    softglide::testing::useLoops(Loops::Reference);
    const Reach reach = drawInput(data + 1, size - 1);
    if (reach.bottom <= reach.top) return 0;
    // The rows the triangles can reach; the clear left the others alike.
    const std::size_t first = std::size_t(reach.top) * softglide::kScreenWidth;
    const std::size_t count = std::size_t(reach.bottom - reach.top) * softglide::kScreenWidth;
    std::memcpy(colour.data(), softglide::backBuffer() + first, count * sizeof colour[0]);
    std::memcpy(depth.data(), softglide::depthBuffer() + first, count * sizeof depth[0]);
    softglide::testing::useLoops(lanes);
    drawInput(data + 1, size - 1);
    if (std::memcmp(colour.data(), softglide::backBuffer() + first, count * sizeof colour[0]) != 0 ||
        std::memcmp(depth.data(), softglide::depthBuffer() + first, count * sizeof depth[0]) != 0)
        std::abort();  // the lane loops drew other pixels than the reference
    return 0;
}
