// The software Glide's internal state and the stages it is built from, shared
// by the call layer (softglide.cpp), texture memory, rasteriser and clipper.
#pragma once

#include <cstdint>
#include <vector>

#include "glide.h"
#include "softglide.h"

namespace softglide::detail {

constexpr int kPixels = kScreenWidth * kScreenHeight;
// Each buffer has this many elements after its last pixel, so that the
// eight-pixel loops can read and write back (unchanged) a whole group of
// eight at the end of any row.
constexpr int kBufferSlack = 8;

// Bytes of texture memory on TMU 0; addresses run from 0 to this value.
constexpr FxU32 kTexMemBytes = 2u << 20;
constexpr FxU32 kTexMemTexels = kTexMemBytes / 2;
// Glide places textures on 8-byte boundaries; sizes are rounded up to match.
constexpr FxU32 kTexAlign = 8;

// A selected texture: texels expanded to 0xAARRGGBB, row by row (`texels`),
// and the same with two extra columns and two extra rows repeating the first
// ones (`padded`, rows of `stride` = width + 2, followed by kPaddedSlack
// elements), which the rasteriser reads so that both taps of a wrapped
// bilinear fetch sit side by side in memory, and so that the texels around
// any texel can be read as a block of four columns and three rows.
// width and height are powers of two; texelsPerUnit converts Glide s/t
// units to texels (N / 256 with N the longer side). `opaque` says every
// texel has alpha 255, which lets the combine reduce to a saturating subtract.
constexpr int kPaddedSlack = 4;
struct TextureView {
    const std::uint32_t* texels = nullptr;
    const std::uint32_t* padded = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    double texelsPerUnit = 0.0;
    bool opaque = false;
    bool valid() const { return texels != nullptr; }
};

// The blend settings that get a specialised span loop; anything else takes
// the general path.
enum class BlendKind { Opaque, Alpha, Additive, AlphaAdditive, General };

struct RenderState {
    GrCullMode_t cullMode = GR_CULL_DISABLE;
    GrAlphaBlendFnc_t rgbSrc = GR_BLEND_ONE, rgbDst = GR_BLEND_ZERO;
    GrAlphaBlendFnc_t alphaSrc = GR_BLEND_ONE, alphaDst = GR_BLEND_ZERO;
    BlendKind blend = BlendKind::Opaque;
    GrDepthBufferMode_t depthMode = GR_DEPTHBUFFER_DISABLE;
    GrCmpFnc_t depthFunc = GR_CMP_LESS;
    bool depthMask = false;
    bool clampS = false, clampT = false;
    bool bilinear = false;
    TextureView texture;
};

struct Buffers {
    std::vector<std::uint32_t> colour[2];
    std::vector<std::uint16_t> depth;
    int back = 1;  // index of the buffer being drawn into
    Buffers();
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

// Rasterises a triangle whose x and y are finite and within kSafeCoord of
// the screen; applies culling. The call layer and the clipper guarantee the range.
constexpr float kSafeCoord = 16384.0f;
void rasterTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c);

// Whether spans may use the eight-pixel loops (on by default where the CPU
// has AVX2); they draw the same pixels as the one-pixel loops, which tests check.
void useWideSpans(bool enabled);

// Clips against the screen rectangle and draws the pieces as a fan.
void clipAndDraw(const GrVertex& a, const GrVertex& b, const GrVertex& c);

}  // namespace softglide::detail
