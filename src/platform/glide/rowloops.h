// The loop over a triangle's covered rows, written once over a lane pack and
// a set of modes: with Scalar and modes read from the draw state it is the
// reference; with a wide pack and the game's modes compiled in, a fast path.
// Both run the same stages in the same order, so they give the same pixels.
#pragma once

#include <algorithm>
#include <cstdint>

#include "context.h"
#include "coverage.h"
#include "lanes.h"
#include "modes.h"
#include "setup.h"
#include "stages.h"

namespace softglide::detail {

// Where a band draws: the back colour buffer and the depth buffer.
struct Target {
    std::uint32_t* colour;
    std::uint16_t* depth;
    int width;
};

// A loop over a triangle's covered rows.
using RowLoop = void (*)(const Triangle&, const Row*, int, const Target&, const DrawState&);

inline namespace TB_ISA {

// Every mode as the draw state has it, checked at run time.
struct AnyModes {
    GrAlphaBlendFnc_t rgbSrc, rgbDst, alphaSrc, alphaDst;
    bool depthOn, depthWrite;
    GrCmpFnc_t depthFunc;
    bool clampS, clampT, pointSampled, perspective, flat;
    static constexpr bool opaqueTexture = false;  // the combine scales by every texel's alpha
    static constexpr bool kWrapped = false;       // texel coordinates may be clamped
    static constexpr bool kFlatPairs = false;     // see GameModes
    AnyModes(const Triangle& tr, const DrawState& st)
        : rgbSrc(st.rgbSrc),
          rgbDst(st.rgbDst),
          alphaSrc(st.alphaSrc),
          alphaDst(st.alphaDst),
          depthOn(st.depthMode != GR_DEPTHBUFFER_DISABLE),
          depthWrite(depthOn && st.depthMask),
          depthFunc(st.depthFunc),
          clampS(st.clampS),
          clampT(st.clampT),
          pointSampled(!st.bilinear),
          perspective(!tr.affine),
          flat(tr.flat) {}
};

// A game mode (modes.h), compiled in.
template <int kMode>
struct GameModes {
    static constexpr GameMode kThis = gameMode(kMode);
    static constexpr glideblend::Setting kBlend = glideblend::kGameSettings[kThis.blend];
    static constexpr GrAlphaBlendFnc_t rgbSrc = kBlend.rgbSrc, rgbDst = kBlend.rgbDst;
    static constexpr GrAlphaBlendFnc_t alphaSrc = kBlend.alphaSrc, alphaDst = kBlend.alphaDst;
    static constexpr bool depthOn = true, depthWrite = true;
    static constexpr GrCmpFnc_t depthFunc = GR_CMP_LEQUAL;
    static constexpr bool clampS = false, clampT = false, pointSampled = false;
    static constexpr bool perspective = kThis.perspective, flat = kThis.flat, opaqueTexture = kThis.opaque;
    static constexpr bool kWrapped = true;
    // A flat colour on an opaque texture is combined and blended two
    // channels a lane (shadePairs); on a translucent one, see NarrowFlat.
    static constexpr bool kFlatPairs = flat && opaqueTexture;
};

// A game mode with a flat colour on a translucent texture, for a colour
// that combineScaledPairs takes (narrowFlatColour): two channels a lane too.
template <class Modes>
struct NarrowFlat : Modes {
    static_assert(Modes::flat && !Modes::opaqueTexture);
    static constexpr bool kFlatPairs = true;
};

// Where a group of pixels stands: its centres relative to vertex 0 (used by
// perspective triangles) and its fixed-point depth, texel coordinates and
// colours (stepped along a row for affine triangles and iterated colours).
template <class P, class UV = typename P::I64, class Z = typename P::I64>
struct Group {
    typename P::F64 cx, cy;
    Z z;
    UV u, v;
    typename P::I64 r, g, b, a;
};

// The stages for a group of pixels, in order: depth value and test, texel
// coordinates, fetch and filter, combine, blend. Returns the lanes to write
// (active ones that pass the depth test); `colour` and `zi` hold what.
// `destination` gives the pixels under the group, read only when needed.
// The loops pass the triangle's texture and flat colour as copies of their
// own: the frame buffer stores are copies through memcpy, which may alias
// anything, and would otherwise force reloads of them for every group.
template <class P, class Modes, class UV, class Z, class Destination>
TB_INLINE typename P::M32 shade(const Triangle& tr, const TextureView& tex, const Rgba<P>& flatColour,
                                const FlatPairs<P>& pairs, const Modes& m, const Group<P, UV, Z>& at,
                                typename P::M32 active, typename P::I32 stored, Destination destination,
                                typename P::I32& colour, typename P::I32& zi, bool tryRuns = false) {
    using I32 = typename P::I32;
    using U32 = typename P::U32;
    using F64 = typename P::F64;
    using M32 = typename P::M32;
    zi = m.perspective ? depthFromPlane<P>(planeAt(tr.ooz, at.cx, at.cy)) : depthFromIterated<P>(at.z);
    M32 pass = active;
    if (m.depthOn) pass = pass & depthPasses<P>(m.depthFunc, zi, stored);
    if (!anyLane<P>(pass)) return pass;
    I32 tu, tv;
    if (m.perspective) {
        const F64 scale = tr.tpu / planeAt(tr.w, at.cx, at.cy);
        tu = perspectiveTexel<P>(planeAt(tr.s, at.cx, at.cy) * scale - tr.texOffset, tex.width, tex.invWidth, m.clampS);
        tv = perspectiveTexel<P>(planeAt(tr.t, at.cx, at.cy) * scale - tr.texOffset, tex.height, tex.invHeight,
                                 m.clampT);
    } else {
        tu = affineTexel<P>(at.u, m.clampS);
        tv = affineTexel<P>(at.v, m.clampT);
    }
    if (m.pointSampled) {
        tu = tu & ~255;
        tv = tv & ~255;
    }
    const TexelPairs<P> texel = fetchTexel<P>(tex, tu, tv, m.clampS, m.clampT, tryRuns);
    if constexpr (Modes::kFlatPairs && P::N > 1) {
        colour = convert<I32>(shadePairs<P>(texel, pairs, convert<U32>(destination()), m));
        return pass;
    }
    const Rgba<P> vertex =
        m.flat ? flatColour
               : Rgba<P>{iterColour<P>(at.r), iterColour<P>(at.g), iterColour<P>(at.b), iterColour<P>(at.a)};
    const Rgba<P> shaded = combine<P>(unpack<P>(texel), vertex, m.opaqueTexture);
    const Rgba<P> dst = unpack<P>(convert<U32>(destination()));
    colour = convert<I32>(pack<P>(blend<P>(shaded, dst, m.rgbSrc, m.rgbDst, m.alphaSrc, m.alphaDst)));
    return pass;
}

// Draws the rows of a triangle, P::N pixels of a row at a time. Affine
// triangles step depth, texel coordinates and colours in fixed point from
// each row's first pixel; perspective ones are evaluated afresh at every
// pixel centre, so a pixel's value never depends on how it was reached.
template <class P, class Modes>
void drawRows(const Triangle& tr, const Row* rows, int n, const Target& fb, const Modes& m) {
    using I32 = typename P::I32;
    using I64 = typename P::I64;
    using F64 = typename P::F64;
    // Texel coordinates of wrapped textures step in 32 bits (see affineTexel).
    using UV = std::conditional_t<Modes::kWrapped, typename P::U32, I64>;
    using UVElement = ElementT<UV>;
    constexpr int N = P::N;
    // Lane k of a group starts k steps further along the row.
    const I64 lane = convert<I64>(iota<I32>(0));
    const I64 zLanes = lane * tr.dz;
    const UV uLanes = convert<UV>(lane) * UVElement(tr.du), vLanes = convert<UV>(lane) * UVElement(tr.dv);
    const I64 rLanes = lane * tr.dr, gLanes = lane * tr.dg, bLanes = lane * tr.db, aLanes = lane * tr.da;
    // A group's taps are likely to lie in runs of texels (see fetchTexel)
    // when a pixel steps at most a texel along u and N pixels less than a
    // texel along v.
    constexpr std::int64_t kTexel = std::int64_t(1) << kTexBits;
    const bool tryRuns =
        !m.perspective && tr.du >= -kTexel && tr.du <= kTexel && tr.dv > -kTexel / N && tr.dv < kTexel / N;
    const TextureView tex = tr.tex;
    const Rgba<P> flatColour{splat<I32>(tr.fr), splat<I32>(tr.fg), splat<I32>(tr.fb), splat<I32>(tr.fa)};
    FlatPairs<P> pairs{};
    if constexpr (Modes::kFlatPairs && P::N > 1) pairs = flatPairs<P>(tr.fr, tr.fg, tr.fb, tr.fa);

    // One row, with depth in lanes of type Z.
    auto drawRow = [&]<class Z>(const Row& row, const RowStart& rs, Z zStart) {
        using ZElement = ElementT<Z>;
        std::uint32_t* const colour = fb.colour + std::size_t(row.y) * std::size_t(fb.width) + std::size_t(row.left);
        std::uint16_t* const depth = fb.depth + std::size_t(row.y) * std::size_t(fb.width) + std::size_t(row.left);
        const int count = row.right - row.left;
        // Steps as locals: the frame buffer stores might otherwise alias the
        // triangle's record and force reloads for every group.
        const ZElement zStep = ZElement(tr.dz * N);
        const UVElement uStep = UVElement(tr.du * N), vStep = UVElement(tr.dv * N);
        const std::int64_t rStep = tr.dr * N, gStep = tr.dg * N, bStep = tr.db * N, aStep = tr.da * N;
        Group<P, UV, Z> at{F64{},
                           splat<F64>(row.y + 0.5 - tr.y0),
                           zStart,
                           UVElement(rs.u) + uLanes,
                           UVElement(rs.v) + vLanes,
                           rs.r + rLanes,
                           rs.g + gLanes,
                           rs.b + bLanes,
                           rs.a + aLanes};
        for (int i = 0; i < count; i += N) {
            const int active = std::min(N, count - i);
            // A group may read and write back pixels past the row's end while
            // they lie in the same screen row: that row belongs to this band.
            const int room = std::min(N, fb.width - (row.left + i));
            if (m.perspective) at.cx = convert<F64>(iota<I32>(row.left + i)) + 0.5 - tr.x0;
            I32 out{}, zi{};
            const typename P::M32 write = shade<P>(
                tr, tex, flatColour, pairs, m, at, iota<I32>(0) < active, loadDepth<P>(depth + i, room),
                [&] { return loadColour<P>(colour + i, room); }, out, zi, tryRuns);
            if (anyLane<P>(write)) {
                storeColour<P>(colour + i, out, write, room);
                if (m.depthWrite) storeDepth<P>(depth + i, zi, write, room);
            }
            if (!m.perspective) {
                at.z += zStep;
                at.u += uStep;
                at.v += vStep;
            }
            if (!m.flat) {
                at.r += rStep;
                at.g += gStep;
                at.b += bStep;
                at.a += aStep;
            }
        }
    };
    // The rows' start values first: each is a chain of roundings with no
    // link to the next row's, so the processor works on several at once.
    // Affine rows of the game's modes are started four at a time.
    RowStart starts[kMaxBandRows];
    for (int k = 0; k < n; k += 4) {
        if constexpr (Modes::kWrapped && P::N > 1)
            if (!m.perspective && rowStartsTogether<Wide<4>>(tr, rows, n, k, m.flat, starts)) continue;
        for (int j = k; j < std::min(k + 4, n); ++j)
            starts[j] = rowStart(tr, rows[j].y, rows[j].left, !m.perspective, m.flat, m.clampS, m.clampT);
    }
    for (int k = 0; k < n; ++k) {
        const RowStart& rs = starts[k];
        // Depth steps in 32-bit lanes when every value the row reaches fits them.
        const std::int64_t steps = std::int64_t(rows[k].right - rows[k].left) + 2 * N;
        const std::int64_t zEnd = rs.z + steps * tr.dz, limit = std::int64_t(1) << 31;
        if (Modes::kWrapped && !m.perspective && rs.z >= 0 && rs.z < limit && zEnd >= 0 && zEnd < limit) {
            drawRow(rows[k], rs, convert<I32>(rs.z + zLanes));
        } else {
            drawRow(rows[k], rs, rs.z + zLanes);
        }
    }
}

// Draws `count` pixels of a perspective triangle with a flat colour, given
// by position, P::N at a time: a far-away triangle covers a pixel or two a
// row, so taking the pixels of all its rows together keeps the lanes full.
// Every value depends on the pixel alone, as in drawRows.
template <class P, class Modes>
void drawPixels(const Triangle& tr, const std::int32_t* xs, const std::int32_t* ys, int count, const Target& fb,
                const Modes& m) {
    static_assert(Modes::perspective && Modes::flat);
    using I32 = typename P::I32;
    using F64 = typename P::F64;
    constexpr int N = P::N;
    const TextureView tex = tr.tex;
    const Rgba<P> flatColour{splat<I32>(tr.fr), splat<I32>(tr.fg), splat<I32>(tr.fb), splat<I32>(tr.fa)};
    FlatPairs<P> pairs{};
    if constexpr (Modes::kFlatPairs && P::N > 1) pairs = flatPairs<P>(tr.fr, tr.fg, tr.fb, tr.fa);
    for (int i = 0; i < count; i += N) {
        const int active = std::min(N, count - i);
        const I32 x = loadLanes<P>(xs + i, active), y = loadLanes<P>(ys + i, active);
        const I32 index = y * fb.width + x;
        Group<P> at{};
        at.cx = convert<F64>(x) + 0.5 - tr.x0;
        at.cy = convert<F64>(y) + 0.5 - tr.y0;
        I32 out{}, zi{};
        const typename P::M32 write = shade<P>(
            tr, tex, flatColour, pairs, m, at, iota<I32>(0) < active, gatherDepth<P>(fb.depth, index),
            [&] { return gather<P>(fb.colour, index); }, out, zi);
        scatterColour<P>(fb.colour, index, out, write);
        if (m.depthWrite) scatterDepth<P>(fb.depth, index, zi, write);
    }
}

// drawRows for a triangle in any state, one pixel at a time: the reference.
inline void referenceRows(const Triangle& tr, const Row* rows, int n, const Target& fb, const DrawState& st) {
    drawRows<Scalar>(tr, rows, n, fb, AnyModes(tr, st));
}

// The lane loop of pack P for a game mode. Perspective triangles with a
// flat colour go through lists of their pixels.
template <class P, int kMode>
void gameRows(const Triangle& tr, const Row* rows, int n, const Target& fb, const DrawState&) {
    using Modes = GameModes<kMode>;
    if constexpr (Modes::perspective && Modes::flat) {
        constexpr int kBatch = 256;
        std::int32_t xs[kBatch], ys[kBatch];
        int count = 0;
        for (int k = 0; k < n; ++k) {
            for (int x = rows[k].left; x < rows[k].right; ++x) {
                xs[count] = x;
                ys[count] = rows[k].y;
                if (++count == kBatch) {
                    drawPixels<Wide<4>>(tr, xs, ys, count, fb, Modes{});
                    count = 0;
                }
            }
        }
        if (count > 0) drawPixels<Wide<4>>(tr, xs, ys, count, fb, Modes{});
    } else if constexpr (Modes::flat && !Modes::opaqueTexture) {
        if (narrowFlatColour(tr.fr, tr.fg, tr.fb, tr.fa)) {
            drawRows<P>(tr, rows, n, fb, NarrowFlat<Modes>{});
        } else {
            drawRows<P>(tr, rows, n, fb, Modes{});
        }
    } else {
        drawRows<P>(tr, rows, n, fb, Modes{});
    }
}

// The lane loops of pack P for every game mode, by its index.
template <class P>
struct GameLoopTable {
    RowLoop fn[kGameModeCount];
    constexpr GameLoopTable() : fn{} { fill(std::make_integer_sequence<int, kGameModeCount>{}); }
    template <int... I>
    constexpr void fill(std::integer_sequence<int, I...>) {
        ((fn[I] = &gameRows<P, I>), ...);
    }
};

}  // namespace TB_ISA

// The loop of this choice for a triangle in this state.
RowLoop pickRowLoop(testing::Loops loops, const DrawState& st, const Triangle& tr);

// The AVX2 build of the game's loops (rowloops_avx2.cpp): null where the
// processor or the build lacks AVX2.
RowLoop avx2RowLoop(int gameMode);

}  // namespace softglide::detail
