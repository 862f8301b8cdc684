// The Glide 2.x calls of the game, in software: render state, the two colour
// buffers and the depth buffer, swap and clear. Triangles and clears are
// recorded and drawn at the swap (tiles.cpp); textures are kept by texmem.cpp.
#include <algorithm>
#include <cmath>

#include "internal.h"

namespace softglide::detail {

Buffers::Buffers(int s) : scale(s), width(kScreenWidth * s), height(kScreenHeight * s) {
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    colour[0].assign(pixels, 0);
    colour[1].assign(pixels, 0);
    depth.assign(pixels, 0xFFFF);
}

namespace {

// The last grTexSource arguments, so that a download can refresh the
// selection (its texels may have been rewritten or moved).
struct TextureSource {
    bool set = false;
    FxU32 address = 0, evenOdd = 0;
    GrTexInfo info{};
};

struct Globals {
    RenderState render;
    TextureSource source;
    Buffers buffers;
    SwapHandler swapHandler = nullptr;
    void* swapUser = nullptr;
    bool raster = true;
    GrColorFormat_t colourFormat = GR_COLORFORMAT_ARGB;
};

Globals& g() {
    static Globals globals;
    return globals;
}

bool finiteXY(const GrVertex* v) { return std::isfinite(v->x) && std::isfinite(v->y); }

bool withinScreen(const GrVertex* v) {
    return v->x >= 0.0f && v->x <= float(kScreenWidth) && v->y >= 0.0f && v->y <= float(kScreenHeight);
}

bool withinRasterRange(const GrVertex* v) { return std::fabs(v->x) <= kSafeCoord && std::fabs(v->y) <= kSafeCoord; }

// A triangle in range, culled by its area as passed.
void drawInRange(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    if (passesCulling(a, b, c, state().cullMode)) submitTriangle(a, b, c);
}

}  // namespace

RenderState& state() { return g().render; }
Buffers& buffers() { return g().buffers; }

}  // namespace softglide::detail

using namespace softglide::detail;

namespace softglide {
void setSwapHandler(SwapHandler handler, void* user) {
    g().swapHandler = handler;
    g().swapUser = user;
}
const std::uint32_t* frontBuffer() { return g().buffers.frontColour(); }
const std::uint32_t* backBuffer() {
    drawRecorded();
    return g().buffers.backColour();
}
const std::uint16_t* depthBuffer() {
    drawRecorded();
    return g().buffers.depth.data();
}
void setRasterEnabled(bool enabled) {
    drawRecorded();
    g().raster = enabled;
}
bool rasterEnabled() { return g().raster; }
void setScale(int s) {
    discardRecorded();
    g().buffers = Buffers(std::clamp(s, 1, kMaxScale));
}
int scale() { return g().buffers.scale; }
int frameWidth() { return g().buffers.width; }
int frameHeight() { return g().buffers.height; }
}  // namespace softglide

void grGlideInit(void) {}
void grSstSelect(int) {}

// Opening the display starts from a known state: default render state, black
// colour buffers, a far depth buffer and empty texture memory.
FxBool grSstWinOpen(FxU32, GrScreenResolution_t resolution, GrScreenRefresh_t, GrColorFormat_t colorFormat,
                    GrOriginLocation_t, int, int) {
    Globals& s = g();
    discardRecorded();
    s.render = RenderState{};
    s.source = {};
    s.colourFormat = colorFormat;
    s.buffers = Buffers(s.buffers.scale);
    resetTextureMemory();
    return resolution == GR_RESOLUTION_640x480 ? FXTRUE : FXFALSE;
}
void grSstWinClose(void) {}
void grGlideShutdown(void) {}

void grCullMode(GrCullMode_t mode) { state().cullMode = mode; }

// The combine units run the one configuration the game sets (texture minus
// iterated, scaled by texture alpha); the arguments are accepted as given.
void grAlphaCombine(GrCombineFunction_t, GrCombineFactor_t, GrCombineLocal_t, GrCombineOther_t, FxBool) {}
void grColorCombine(GrCombineFunction_t, GrCombineFactor_t, GrCombineLocal_t, GrCombineOther_t, FxBool) {}

void grAlphaBlendFunction(GrAlphaBlendFnc_t rgbSrc, GrAlphaBlendFnc_t rgbDst, GrAlphaBlendFnc_t alphaSrc,
                          GrAlphaBlendFnc_t alphaDst) {
    DrawState& s = state().draw;
    s.rgbSrc = rgbSrc;
    s.rgbDst = rgbDst;
    s.alphaSrc = alphaSrc;
    s.alphaDst = alphaDst;
}
void grDepthBufferMode(GrDepthBufferMode_t mode) { state().draw.depthMode = mode; }
void grDepthBufferFunction(GrCmpFnc_t function) { state().draw.depthFunc = function; }
void grDepthMask(FxBool mask) { state().draw.depthMask = mask != FXFALSE; }
void grFogMode(GrFogMode_t) {}

void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t s, GrTextureClampMode_t t) {
    if (tmu != GR_TMU0) return;
    state().draw.clampS = s == GR_TEXTURECLAMP_CLAMP;
    state().draw.clampT = t == GR_TEXTURECLAMP_CLAMP;
}
// Without mipmaps the LOD bias has nothing to choose between.
void grTexLodBiasValue(GrChipID_t, float) {}
void grTexMipMapMode(GrChipID_t, GrMipMapMode_t, FxBool) {}
void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t, GrTextureFilterMode_t magfilter) {
    // With a single level every texel lookup magnifies or minifies the same
    // texture; the magnification filter decides.
    if (tmu == GR_TMU0) state().draw.bilinear = magfilter == GR_TEXTUREFILTER_BILINEAR;
}
// TMU 0 passes its texel on unchanged, the only setting the game uses.
void grTexCombine(GrChipID_t, GrCombineFunction_t, GrCombineFactor_t, GrCombineFunction_t, GrCombineFactor_t, FxBool,
                  FxBool) {}

// The utility allocator is not used by the game (it places textures itself),
// so resetting it leaves texture memory as it is.
void guTexMemReset(void) {}
FxU32 grTexMinAddress(GrChipID_t) { return 0; }
FxU32 grTexMaxAddress(GrChipID_t) { return kTexMemBytes; }
FxU32 grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo* info) { return textureMemRequired(evenOdd, info); }
void grTexDownloadMipMap(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info) {
    if (tmu != GR_TMU0) return;
    drawRecorded();  // recorded triangles may read the texels being replaced
    downloadMipMap(startAddress, evenOdd, info);
    TextureSource& src = g().source;
    if (src.set) state().draw.texture = selectTexture(src.address, src.evenOdd, &src.info);
}
// The game selects a texture for every triangle, mostly the one already
// selected; that keeps the selection (downloads refresh it themselves).
void grTexSource(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info) {
    if (tmu != GR_TMU0) return;
    TextureSource& src = g().source;
    if (info && src.set && src.address == startAddress && src.evenOdd == evenOdd &&
        src.info.largeLod == info->largeLod && src.info.smallLod == info->smallLod &&
        src.info.aspectRatio == info->aspectRatio && src.info.format == info->format)
        return;
    src.set = info != nullptr;
    if (info) src = TextureSource{true, startAddress, evenOdd, *info};
    state().draw.texture = selectTexture(startAddress, evenOdd, info);
}

// Draws without clipping. Coordinates beyond the range of the fixed-point
// set-up are clipped to the screen instead; non-finite ones draw nothing.
void grDrawTriangle(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
    if (!a || !b || !c || !g().raster || !state().draw.texture.valid()) return;
    if (!finiteXY(a) || !finiteXY(b) || !finiteXY(c)) return;
    if (withinRasterRange(a) && withinRasterRange(b) && withinRasterRange(c)) {
        drawInRange(*a, *b, *c);
    } else {
        clipAndDraw(*a, *b, *c);
    }
}

void guDrawTriangleWithClip(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
    if (!a || !b || !c || !g().raster || !state().draw.texture.valid()) return;
    if (!finiteXY(a) || !finiteXY(b) || !finiteXY(c)) return;
    if (withinScreen(a) && withinScreen(b) && withinScreen(c)) {
        drawInRange(*a, *b, *c);
    } else {
        clipAndDraw(*a, *b, *c);
    }
}

// Clears the buffer being drawn into; the depth buffer only while depth
// buffering and depth writes are on. The colour argument is in the byte
// order chosen when the display was opened.
void grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth) {
    Globals& s = g();
    if (!s.raster) return;
    std::uint32_t r, gr, b;
    if (s.colourFormat == GR_COLORFORMAT_ABGR) {
        r = color & 0xFF, gr = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    } else {
        b = color & 0xFF, gr = (color >> 8) & 0xFF, r = (color >> 16) & 0xFF;
    }
    const std::uint32_t pixel = (std::uint32_t(alpha) << 24) | (r << 16) | (gr << 8) | b;
    submitClear(pixel, depth, s.render.draw.depthMode != GR_DEPTHBUFFER_DISABLE && s.render.draw.depthMask);
}

// The back buffer becomes the front one and goes to the presenter. Pacing
// to the display is the presenter's business, so the interval is not used.
// Without rasterising nothing was drawn and the clear that follows is ignored,
// so the buffers stay where they are: the next frame drawn starts from the
// back buffer cleared after the last frame that was.
void grBufferSwap(int) {
    Globals& s = g();
    if (s.raster) {
        drawRecorded();
        s.buffers.back ^= 1;
    }
    if (s.swapHandler) s.swapHandler(s.buffers.frontColour(), s.swapUser);
}
