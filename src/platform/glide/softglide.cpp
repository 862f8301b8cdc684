// The Glide 2.x calls of the game, in software: render state, the two colour
// buffers and the depth buffer, swap and clear. Triangles and clears are
// recorded and drawn at the swap (bands.cpp); textures are kept by texmem.cpp.
#include <algorithm>
#include <cmath>
#include <memory>

#include "context.h"

namespace softglide::detail {

Buffers::Buffers(int s) : scale(s), width(kScreenWidth * s), height(kScreenHeight * s) {
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    colour[0].assign(pixels, 0);
    colour[1].assign(pixels, 0);
    depth.assign(pixels, 0xFFFF);
}

namespace {

bool finiteXY(const GrVertex* v) { return std::isfinite(v->x) && std::isfinite(v->y); }

bool withinScreen(const GrVertex* v) {
    return v->x >= 0.0f && v->x <= float(kScreenWidth) && v->y >= 0.0f && v->y <= float(kScreenHeight);
}

bool withinRasterRange(const GrVertex* v) { return std::fabs(v->x) <= kSafeCoord && std::fabs(v->y) <= kSafeCoord; }

// A triangle in range, culled by its area as passed.
void drawInRange(Context& ctx, const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    if (passesCulling(a, b, c, ctx.render.cullMode)) ctx.bands.submitTriangle(a, b, c);
}

std::unique_ptr<Context>& current() {
    static std::unique_ptr<Context> ctx = std::make_unique<Context>();
    return ctx;
}

DrawState& drawState() { return context().render.draw; }

}  // namespace

Context& context() { return *current(); }

}  // namespace softglide::detail

namespace softglide::testing {
void useLoops(Loops loops) { detail::context().loops = loops; }
Loops loopsInUse() { return detail::context().loops; }
void startFresh() {
    std::unique_ptr<detail::Context>& ctx = detail::current();
    ctx.reset();  // its threads end before the new context's start
    ctx = std::make_unique<detail::Context>();
}
}  // namespace softglide::testing

using namespace softglide::detail;

namespace softglide {
void setSwapHandler(SwapHandler handler, void* user) {
    context().swapHandler = handler;
    context().swapUser = user;
}
const std::uint32_t* frontBuffer() { return context().buffers.frontColour(); }
const std::uint32_t* backBuffer() {
    context().bands.drawAll();
    return context().buffers.backColour();
}
const std::uint16_t* depthBuffer() {
    context().bands.drawAll();
    return context().buffers.depth.data();
}
void setRasterEnabled(bool enabled) {
    context().bands.drawAll();
    context().raster = enabled;
}
bool rasterEnabled() { return context().raster; }
void setScale(int s) {
    context().bands.discard();
    context().buffers = Buffers(std::clamp(s, 1, kMaxScale));
}
int scale() { return context().buffers.scale; }
void setThreads(int threads) { context().bands.setThreads(threads); }
int threads() { return context().bands.threads(); }
int frameWidth() { return context().buffers.width; }
int frameHeight() { return context().buffers.height; }
}  // namespace softglide

void grGlideInit(void) {}
void grSstSelect(int) {}

// Opening the display starts from a known state: default render state, black
// colour buffers, a far depth buffer and empty texture memory.
FxBool grSstWinOpen(FxU32, GrScreenResolution_t resolution, GrScreenRefresh_t, GrColorFormat_t colorFormat,
                    GrOriginLocation_t, int, int) {
    Context& s = context();
    s.bands.discard();
    s.render = RenderState{};
    s.source = {};
    s.colourFormat = colorFormat;
    s.buffers = Buffers(s.buffers.scale);
    resetTextureMemory(s);
    return resolution == GR_RESOLUTION_640x480 ? FXTRUE : FXFALSE;
}
void grSstWinClose(void) {}
void grGlideShutdown(void) {}

void grCullMode(GrCullMode_t mode) { context().render.cullMode = mode; }

// The combine units run the one configuration the game sets (texture minus
// iterated, scaled by texture alpha); the arguments are accepted as given.
void grAlphaCombine(GrCombineFunction_t, GrCombineFactor_t, GrCombineLocal_t, GrCombineOther_t, FxBool) {}
void grColorCombine(GrCombineFunction_t, GrCombineFactor_t, GrCombineLocal_t, GrCombineOther_t, FxBool) {}

void grAlphaBlendFunction(GrAlphaBlendFnc_t rgbSrc, GrAlphaBlendFnc_t rgbDst, GrAlphaBlendFnc_t alphaSrc,
                          GrAlphaBlendFnc_t alphaDst) {
    DrawState& s = drawState();
    s.rgbSrc = rgbSrc;
    s.rgbDst = rgbDst;
    s.alphaSrc = alphaSrc;
    s.alphaDst = alphaDst;
}
void grDepthBufferMode(GrDepthBufferMode_t mode) { drawState().depthMode = mode; }
void grDepthBufferFunction(GrCmpFnc_t function) { drawState().depthFunc = function; }
void grDepthMask(FxBool mask) { drawState().depthMask = mask != FXFALSE; }
void grFogMode(GrFogMode_t) {}

void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t s, GrTextureClampMode_t t) {
    if (tmu != GR_TMU0) return;
    drawState().clampS = s == GR_TEXTURECLAMP_CLAMP;
    drawState().clampT = t == GR_TEXTURECLAMP_CLAMP;
}
// Without mipmaps the LOD bias has nothing to choose between.
void grTexLodBiasValue(GrChipID_t, float) {}
void grTexMipMapMode(GrChipID_t, GrMipMapMode_t, FxBool) {}
void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t, GrTextureFilterMode_t magfilter) {
    // With a single level every texel lookup magnifies or minifies the same
    // texture; the magnification filter decides.
    if (tmu == GR_TMU0) drawState().bilinear = magfilter == GR_TEXTUREFILTER_BILINEAR;
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
    Context& ctx = context();
    ctx.bands.drawAll();  // recorded triangles may read the texels being replaced
    downloadMipMap(ctx, startAddress, evenOdd, info);
    TextureSource& src = ctx.source;
    if (src.set) ctx.render.draw.texture = selectTexture(ctx, src.address, src.evenOdd, &src.info);
}
// The game selects a texture for every triangle, mostly the one already
// selected; that keeps the selection (downloads refresh it themselves).
void grTexSource(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info) {
    if (tmu != GR_TMU0) return;
    Context& ctx = context();
    TextureSource& src = ctx.source;
    if (info && src.set && src.address == startAddress && src.evenOdd == evenOdd &&
        src.info.largeLod == info->largeLod && src.info.smallLod == info->smallLod &&
        src.info.aspectRatio == info->aspectRatio && src.info.format == info->format)
        return;
    src.set = info != nullptr;
    if (info) src = TextureSource{true, startAddress, evenOdd, *info};
    ctx.render.draw.texture = selectTexture(ctx, startAddress, evenOdd, info);
}

// Draws without clipping. Coordinates beyond the range of the fixed-point
// set-up are clipped to the screen instead; non-finite ones draw nothing.
void grDrawTriangle(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
    Context& ctx = context();
    if (!a || !b || !c || !ctx.raster || !ctx.render.draw.texture.valid()) return;
    if (!finiteXY(a) || !finiteXY(b) || !finiteXY(c)) return;
    if (withinRasterRange(a) && withinRasterRange(b) && withinRasterRange(c)) {
        drawInRange(ctx, *a, *b, *c);
    } else {
        clipAndDraw(ctx, *a, *b, *c);
    }
}

void guDrawTriangleWithClip(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
    Context& ctx = context();
    if (!a || !b || !c || !ctx.raster || !ctx.render.draw.texture.valid()) return;
    if (!finiteXY(a) || !finiteXY(b) || !finiteXY(c)) return;
    if (withinScreen(a) && withinScreen(b) && withinScreen(c)) {
        drawInRange(ctx, *a, *b, *c);
    } else {
        clipAndDraw(ctx, *a, *b, *c);
    }
}

// Clears the buffer being drawn into; the depth buffer only while depth
// buffering and depth writes are on. The colour argument is in the byte
// order chosen when the display was opened.
void grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth) {
    Context& s = context();
    if (!s.raster) return;
    std::uint32_t r, gr, b;
    if (s.colourFormat == GR_COLORFORMAT_ABGR) {
        r = color & 0xFF, gr = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    } else {
        b = color & 0xFF, gr = (color >> 8) & 0xFF, r = (color >> 16) & 0xFF;
    }
    const std::uint32_t pixel = (std::uint32_t(alpha) << 24) | (r << 16) | (gr << 8) | b;
    s.bands.submitClear(pixel, depth, s.render.draw.depthMode != GR_DEPTHBUFFER_DISABLE && s.render.draw.depthMask);
}

// The back buffer becomes the front one and goes to the presenter. Pacing
// to the display is the presenter's business, so the interval is not used.
// Without rasterising nothing was drawn and the clear that follows is ignored,
// so the buffers stay where they are: the next frame drawn starts from the
// back buffer cleared after the last frame that was.
void grBufferSwap(int) {
    Context& s = context();
    if (s.raster) {
        s.bands.drawAll();
        s.buffers.back ^= 1;
    }
    if (s.swapHandler) s.swapHandler(s.buffers.frontColour(), s.swapUser);
}
