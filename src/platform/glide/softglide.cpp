// Software stand-in for the Glide 2.x subset (placeholder: accepts every call,
// keeps the texture-memory bookkeeping, draws nothing).
#include "glide.h"
#include "softglide.h"

#include <vector>

namespace {

struct State {
    softglide::SwapHandler swapHandler = nullptr;
    void* swapUser = nullptr;
    bool raster = true;
    std::vector<std::uint32_t> front = std::vector<std::uint32_t>(softglide::kScreenWidth * softglide::kScreenHeight);
} g;

int lodSize(GrLOD_t lod) { return (lod >= GR_LOD_256 && lod <= GR_LOD_1) ? (256 >> lod) : 0; }

FxU32 texelCount(const GrTexInfo* info) {
    if (!info) return 0;
    int longSide = lodSize(info->largeLod);
    int ratio = 1;
    switch (info->aspectRatio) {
        case GR_ASPECT_8x1: case GR_ASPECT_1x8: ratio = 8; break;
        case GR_ASPECT_4x1: case GR_ASPECT_1x4: ratio = 4; break;
        case GR_ASPECT_2x1: case GR_ASPECT_1x2: ratio = 2; break;
        default: ratio = 1; break;
    }
    int shortSide = longSide / ratio;
    if (shortSide < 1) shortSide = 1;
    return FxU32(longSide * shortSide);
}

}  // namespace

namespace softglide {
void setSwapHandler(SwapHandler handler, void* user) { g.swapHandler = handler; g.swapUser = user; }
const std::uint32_t* frontBuffer() { return g.front.data(); }
void setRasterEnabled(bool enabled) { g.raster = enabled; }
bool rasterEnabled() { return g.raster; }
}  // namespace softglide

void grGlideInit(void) {}
void grSstSelect(int) {}
FxBool grSstWinOpen(FxU32, GrScreenResolution_t, GrScreenRefresh_t, GrColorFormat_t, GrOriginLocation_t, int, int) {
    return FXTRUE;
}
void grSstWinClose(void) {}
void grGlideShutdown(void) {}
void grCullMode(GrCullMode_t) {}
void grAlphaCombine(GrCombineFunction_t, GrCombineFactor_t, GrCombineLocal_t, GrCombineOther_t, FxBool) {}
void grColorCombine(GrCombineFunction_t, GrCombineFactor_t, GrCombineLocal_t, GrCombineOther_t, FxBool) {}
void grAlphaBlendFunction(GrAlphaBlendFnc_t, GrAlphaBlendFnc_t, GrAlphaBlendFnc_t, GrAlphaBlendFnc_t) {}
void grDepthBufferMode(GrDepthBufferMode_t) {}
void grDepthBufferFunction(GrCmpFnc_t) {}
void grDepthMask(FxBool) {}
void grFogMode(GrFogMode_t) {}
void grTexClampMode(GrChipID_t, GrTextureClampMode_t, GrTextureClampMode_t) {}
void grTexLodBiasValue(GrChipID_t, float) {}
void grTexMipMapMode(GrChipID_t, GrMipMapMode_t, FxBool) {}
void grTexFilterMode(GrChipID_t, GrTextureFilterMode_t, GrTextureFilterMode_t) {}
void grTexCombine(GrChipID_t, GrCombineFunction_t, GrCombineFactor_t, GrCombineFunction_t, GrCombineFactor_t, FxBool,
                  FxBool) {}
void guTexMemReset(void) {}
FxU32 grTexMinAddress(GrChipID_t) { return 0; }
FxU32 grTexMaxAddress(GrChipID_t) { return 4u << 20; }
FxU32 grTexTextureMemRequired(FxU32, GrTexInfo* info) { return texelCount(info) * 2; }
void grTexDownloadMipMap(GrChipID_t, FxU32, FxU32, GrTexInfo*) {}
void grTexSource(GrChipID_t, FxU32, FxU32, GrTexInfo*) {}
void grDrawTriangle(const GrVertex*, const GrVertex*, const GrVertex*) {}
void guDrawTriangleWithClip(const GrVertex*, const GrVertex*, const GrVertex*) {}
void grBufferClear(GrColor_t, GrAlpha_t, FxU16) {}
void grBufferSwap(int) {
    if (g.swapHandler) g.swapHandler(g.front.data(), g.swapUser);
}
