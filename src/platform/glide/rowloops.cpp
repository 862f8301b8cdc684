// Loops and dispatch: each triangle is drawn by the reference loop, or, in
// the modes the game sets, by the same loop over lane packs: eight lanes
// built for the AVX2 instruction set where the processor has it, four
// lanes portably elsewhere.
#include "rowloops.h"

namespace softglide::detail {
namespace {

// Four lanes: the width of the vector registers that SSE2, NEON and
// WebAssembly SIMD offer (eight would be two registers for every value).
constexpr GameLoopTable<Wide<4>> kPortableRows;

}  // namespace

RowLoop pickRowLoop(testing::Loops loops, const DrawState& st, const Triangle& tr) {
    if (loops == testing::Loops::Reference) return referenceRows;
    const int mode = gameModeIndex(st, !tr.affine, tr.flat, tr.tex.opaque);
    if (mode < 0) return referenceRows;
    if (loops == testing::Loops::Fast)
        if (const RowLoop fast = avx2RowLoop(mode)) return fast;
    return kPortableRows.fn[mode];
}

}  // namespace softglide::detail
