// Fuzzes the pixel pipeline's triangle entry thoroughly (for long runs): each
// triangle of the input (triangle_input.h) is drawn under the blend factor
// pair, alpha factors, depth test and depth writes its setting bytes pick, in
// every combination the Glide calls allow. The reference loops draw the input
// on one thread, then the portable lane loops on two threads and the fastest
// ones on three and on eight; every buffer must be the reference's.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "fuzz_common.h"
#include "platform/glide/softglide.h"
#include "platform/glide/testing.h"
#include "triangle_input.h"

namespace {

using softglide::testing::Loops;

void drawInput(const std::uint8_t* data, std::size_t size) {
    // Depth writes on for the clear, whatever the previous input's last
    // triangle left: every run of an input starts from the same buffers.
    grDepthMask(FXTRUE);
    grBufferClear(0x00406080, 0x30, 0xFFFF);
    for (; size >= fuzz::kTriangleBytes; data += fuzz::kTriangleBytes, size -= fuzz::kTriangleBytes) {
        fuzz::InputTriangle t = fuzz::readTriangle(data);
        // Every source and destination factor (0..7) for colour; alpha factors from the same byte.
        grAlphaBlendFunction(GrAlphaBlendFnc_t(t.blend & 7), GrAlphaBlendFnc_t((t.blend >> 3) & 7),
                             (t.blend & 0x40) ? GR_BLEND_ONE : GR_BLEND_SRC_ALPHA,
                             (t.blend & 0x80) ? GR_BLEND_ZERO : GR_BLEND_ONE_MINUS_SRC_ALPHA);
        grDepthBufferFunction((t.mode & 4) ? GR_CMP_ALWAYS : GR_CMP_LEQUAL);
        grDepthMask((t.mode & 8) ? FXTRUE : FXFALSE);
        fuzz::selectTexture(t.mode);
        fuzz::drawTriangle(t);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::openDisplayOnce();
    const std::size_t pixels = std::size_t(softglide::frameWidth()) * std::size_t(softglide::frameHeight());
    softglide::testing::useLoops(Loops::Reference);
    softglide::setThreads(1);
    drawInput(data, size);
    const std::vector<std::uint32_t> colour(softglide::backBuffer(), softglide::backBuffer() + pixels);
    const std::vector<std::uint16_t> depth(softglide::depthBuffer(), softglide::depthBuffer() + pixels);
    const struct {
        Loops loops;
        int threads;
    } runs[] = {{Loops::Portable, 2}, {Loops::Fast, 3}, {Loops::Fast, 8}};
    for (const auto& run : runs) {
        softglide::testing::useLoops(run.loops);
        softglide::setThreads(run.threads);
        drawInput(data, size);
        if (!std::equal(colour.begin(), colour.end(), softglide::backBuffer()) ||
            !std::equal(depth.begin(), depth.end(), softglide::depthBuffer()))
            std::abort();  // these loops or this many threads drew other pixels than the reference
    }
    return 0;
}
