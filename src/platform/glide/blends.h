// The four blend settings the game draws with, as grAlphaBlendFunction takes
// them. The game's display set-up selects them by name; the software Glide
// compiles its lane loops for each (modes.h), so a setting added here is
// drawn by fast loops too.
#pragma once

#include "glide.h"

namespace glideblend {

struct Setting {
    GrAlphaBlendFnc_t rgbSrc, rgbDst, alphaSrc, alphaDst;
};

inline constexpr Setting kOpaque{GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO};
inline constexpr Setting kAlpha{GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO};
inline constexpr Setting kAdditive{GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO};
inline constexpr Setting kAlphaAdditive{GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO};

inline constexpr Setting kGameSettings[] = {kOpaque, kAlpha, kAdditive, kAlphaAdditive};

inline void apply(const Setting& s) { grAlphaBlendFunction(s.rgbSrc, s.rgbDst, s.alphaSrc, s.alphaDst); }

}  // namespace glideblend
