// The game's modes: the draw states its triangles come in, each drawn by
// lane loops compiled for it. All of them test depth less-or-equal with
// writes, sample wrapped and bilinear and blend alpha ONE, ZERO; they differ
// by blend setting (one row of glideblend::kGameSettings each) and by what
// a triangle brings: perspective or one w, flat or iterated colour, an
// opaque texture or not. Every other state is drawn by the reference loop.
#pragma once

#include <iterator>

#include "blends.h"
#include "context.h"

namespace softglide::detail {

// A game mode, and its place among them: eight a blend setting.
struct GameMode {
    int blend;  // row of glideblend::kGameSettings
    bool perspective, flat, opaque;
};

constexpr int kGameModeCount = int(std::size(glideblend::kGameSettings)) * 8;

constexpr GameMode gameMode(int index) {
    return GameMode{index / 8, (index & 4) != 0, (index & 2) != 0, (index & 1) != 0};
}

// The game mode of a triangle drawn in this state, or -1.
inline int gameModeIndex(const DrawState& st, bool perspective, bool flat, bool opaque) {
    if (st.depthMode != GR_DEPTHBUFFER_ZBUFFER || st.depthFunc != GR_CMP_LEQUAL || !st.depthMask || st.clampS ||
        st.clampT || !st.bilinear)
        return -1;
    for (int blend = 0; blend < int(std::size(glideblend::kGameSettings)); ++blend) {
        const glideblend::Setting& s = glideblend::kGameSettings[blend];
        if (st.rgbSrc == s.rgbSrc && st.rgbDst == s.rgbDst && st.alphaSrc == s.alphaSrc && st.alphaDst == s.alphaDst)
            return blend * 8 + (perspective ? 4 : 0) + (flat ? 2 : 0) + (opaque ? 1 : 0);
    }
    return -1;
}

}  // namespace softglide::detail
