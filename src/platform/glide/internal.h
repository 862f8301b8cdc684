// The software Glide's internal state and the pieces it is built from, shared
// by the call layer (softglide.cpp), texture memory (texmem.cpp), the clipper
// (clip.cpp), the frame recorder and its bands (tiles.cpp) and the pixel
// pipeline (setup, coverage, stages, spans).
#pragma once

#include <cstdint>
#include <vector>

#include "glide.h"
#include "softglide.h"

namespace softglide::detail {

// Bytes of texture memory on TMU 0; addresses run from 0 to this value.
constexpr FxU32 kTexMemBytes = 2u << 20;
constexpr FxU32 kTexMemTexels = kTexMemBytes / 2;
// Glide places textures on 8-byte boundaries; sizes are rounded up to match.
constexpr FxU32 kTexAlign = 8;

// A selected texture: texels expanded to 0xAARRGGBB, row by row (`texels`),
// and the same with two extra columns and two extra rows repeating the first
// ones (`padded`, rows of `stride` = width + 2, followed by kPaddedSlack
// elements), so that the second tap of a wrapped bilinear fetch is always
// the next column or row in memory. width and height are powers of two;
// texelsPerUnit converts Glide s/t units to texels (N / 256 with N the
// longer side); invWidth and invHeight are 1 / width and 1 / height, worked
// out once here rather than for every triangle. `opaque` says every texel
// has alpha 255.
constexpr int kPaddedSlack = 4;
struct TextureView {
    const std::uint32_t* texels = nullptr;
    const std::uint32_t* padded = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    double texelsPerUnit = 0.0;
    double invWidth = 0.0, invHeight = 0.0;
    bool opaque = false;
    bool valid() const { return texels != nullptr; }
    // The reciprocals follow from the sizes, so the comparison skips them.
    bool operator==(const TextureView& o) const {
        return texels == o.texels && padded == o.padded && width == o.width && height == o.height &&
               stride == o.stride && texelsPerUnit == o.texelsPerUnit && opaque == o.opaque;
    }
};

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

RenderState& state();
Buffers& buffers();

// Texture memory of TMU 0.
FxU32 textureMemRequired(FxU32 evenOdd, const GrTexInfo* info);
void downloadMipMap(FxU32 startAddress, FxU32 evenOdd, const GrTexInfo* info);
TextureView selectTexture(FxU32 startAddress, FxU32 evenOdd, const GrTexInfo* info);
void resetTextureMemory();

// Expands one stored 16-bit texel of the given format to 0xAARRGGBB;
// 0 for a format this Glide does not know.
std::uint32_t expandTexel(std::uint16_t texel, GrTextureFormat_t format);

// Triangles whose x and y are finite and within kSafeCoord of the screen go
// straight to the pipeline; anything else is clipped first.
constexpr float kSafeCoord = 16384.0f;

// Culls a triangle by the sign of its area as passed (GR_CULL_POSITIVE drops
// positive areas) and drops one of zero area; true when it is to be drawn.
bool passesCulling(const GrVertex& a, const GrVertex& b, const GrVertex& c, GrCullMode_t mode);

// Records a triangle already culled, in range and finite, for drawing at
// the next flush with the current draw state.
void submitTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c);

// Records a clear of the back buffer (and of the depth buffer when asked).
void submitClear(std::uint32_t colour, std::uint16_t depth, bool clearDepth);

// Draws everything recorded so far into the buffers, by bands on the pool.
void drawRecorded();

// Forgets what is recorded without drawing it (the display was reopened).
void discardRecorded();

// Clips against the screen rectangle and submits the pieces as a fan; the
// whole triangle is culled first, by its own area.
void clipAndDraw(const GrVertex& a, const GrVertex& b, const GrVertex& c);

// Which loops draw the pixels: the portable reference one pixel at a time
// (Reference), the portable lane loops (Portable), or the fastest lane loops
// this machine has (Fast, the default: an instruction set's own where the
// processor has one, else the portable ones).
enum class Spans { Reference, Portable, Fast };
void useSpans(Spans spans);
Spans spansInUse();

}  // namespace softglide::detail
