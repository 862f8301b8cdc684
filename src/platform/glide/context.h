// The software Glide's one context: render state, buffers, texture memory,
// the frame's recording and its threads, and the loop choice. The Glide
// calls act on context(); the parts below them (texture memory, the
// clipper, the bands and their pixel pipeline) are handed the context or
// the part of it they use.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bands.h"
#include "glide.h"
#include "softglide.h"
#include "testing.h"
#include "texmem.h"

namespace softglide::detail {

// What decides how a triangle's pixels are drawn, as set by the Glide calls.
struct DrawState {
    GrAlphaBlendFnc_t rgbSrc = GR_BLEND_ONE, rgbDst = GR_BLEND_ZERO;
    GrAlphaBlendFnc_t alphaSrc = GR_BLEND_ONE, alphaDst = GR_BLEND_ZERO;
    GrDepthBufferMode_t depthMode = GR_DEPTHBUFFER_DISABLE;
    GrCmpFnc_t depthFunc = GR_CMP_LESS;
    bool depthMask = false;
    bool clampS = false, clampT = false;
    bool bilinear = false;
    TextureView texture;
    bool operator==(const DrawState&) const = default;
};

struct RenderState {
    GrCullMode_t cullMode = GR_CULL_DISABLE;
    DrawState draw;
};

// The colour buffers and the depth buffer at the rendered size: the game's
// 640 x 480 times the scale.
struct Buffers {
    int scale = 1, width = kScreenWidth, height = kScreenHeight;
    std::vector<std::uint32_t> colour[2];
    std::vector<std::uint16_t> depth;
    int back = 1;  // index of the buffer being drawn into
    explicit Buffers(int scale = 1);
    std::uint32_t* backColour() { return colour[back].data(); }
    const std::uint32_t* frontColour() const { return colour[back ^ 1].data(); }
};

// The last grTexSource arguments, so that a download can refresh the
// selection (its texels may have been rewritten or moved).
struct TextureSource {
    bool set = false;
    FxU32 address = 0, evenOdd = 0;
    GrTexInfo info{};
};

struct Context {
    RenderState render;
    TextureSource source;
    Buffers buffers;
    TextureMemory textures;
    testing::Loops loops = testing::Loops::Fast;
    SwapHandler swapHandler = nullptr;
    void* swapUser = nullptr;
    bool raster = true;
    GrColorFormat_t colourFormat = GR_COLORFORMAT_ARGB;
    Bands bands{*this};  // last: its workers draw into the members above
};

// The context the Glide calls act on.
Context& context();

// Triangles whose x and y are finite and within kSafeCoord of the screen go
// straight to the pipeline; anything else is clipped first.
constexpr float kSafeCoord = 16384.0f;

// Culls a triangle by the sign of its area as passed (GR_CULL_POSITIVE drops
// positive areas) and drops one of zero area; true when it is to be drawn.
bool passesCulling(const GrVertex& a, const GrVertex& b, const GrVertex& c, GrCullMode_t mode);

// Clips against the screen rectangle and records the pieces as a fan; the
// whole triangle is culled first, by its own area.
void clipAndDraw(Context& ctx, const GrVertex& a, const GrVertex& b, const GrVertex& c);

}  // namespace softglide::detail
