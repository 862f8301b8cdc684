// Loops and dispatch: each triangle is drawn by the reference loop, or, in
// the modes the game sets, by the same loop over lane packs: eight lanes
// built for the AVX2 instruction set where the processor has it, four
// lanes portably elsewhere.
#include "rowloops.h"

namespace softglide::detail {
namespace {

// Four lanes: the width of the vector registers that SSE2, NEON and
// WebAssembly SIMD offer (eight would be two registers for every value).
constexpr GameRowsTable<Wide<4>> kPortableRows;

}  // namespace

int gameModesIndex(const DrawState& st, const Triangle& tr) {
    if (st.depthMode != GR_DEPTHBUFFER_ZBUFFER || st.depthFunc != GR_CMP_LEQUAL || !st.depthMask || st.clampS ||
        st.clampT || !st.bilinear || st.alphaSrc != GR_BLEND_ONE || st.alphaDst != GR_BLEND_ZERO)
        return -1;
    int blend;
    if (st.rgbSrc == GR_BLEND_ONE && st.rgbDst == GR_BLEND_ZERO) {
        blend = 0;
    } else if (st.rgbSrc == GR_BLEND_SRC_ALPHA && st.rgbDst == GR_BLEND_ONE_MINUS_SRC_ALPHA) {
        blend = 1;
    } else if (st.rgbSrc == GR_BLEND_ONE && st.rgbDst == GR_BLEND_ONE) {
        blend = 2;
    } else if (st.rgbSrc == GR_BLEND_SRC_ALPHA && st.rgbDst == GR_BLEND_ONE) {
        blend = 3;
    } else {
        return -1;
    }
    return (tr.tex.opaque ? 16 : 0) + blend * 4 + (tr.affine ? 0 : 2) + (tr.flat ? 1 : 0);
}

RowLoop pickRowLoop(testing::Loops loops, const DrawState& st, const Triangle& tr) {
    if (loops == testing::Loops::Reference) return referenceRows;
    const int modes = gameModesIndex(st, tr);
    if (modes < 0) return referenceRows;
    if (loops == testing::Loops::Fast)
        if (const RowLoop fast = avx2RowLoop(modes)) return fast;
    return kPortableRows.fn[modes];
}

}  // namespace softglide::detail
