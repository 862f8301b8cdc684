// The loop over a triangle's covered rows, written once over a lane pack and
// a set of modes: with Scalar and modes read from the draw state it is the
// reference; with a wide pack and the game's modes compiled in, a fast path.
// Both run the same stages in the same order, so they give the same pixels.
#pragma once

#include <algorithm>
#include <cstdint>

#include "coverage.h"
#include "internal.h"
#include "lanes.h"
#include "setup.h"
#include "stages.h"

namespace softglide::detail {

// Where a band draws: the back colour buffer and the depth buffer.
struct Target {
    std::uint32_t* colour;
    std::uint16_t* depth;
    int width;
};

using SpansFn = void (*)(const Triangle&, const Row*, int, const Target&, const DrawState&);

inline namespace TB_ISA {

// Every mode as the draw state has it, checked at run time.
struct AnyModes {
    GrAlphaBlendFnc_t rgbSrc, rgbDst, alphaSrc, alphaDst;
    bool depthOn, depthWrite;
    GrCmpFnc_t depthFunc;
    bool clampS, clampT, pointSampled, perspective, flat;
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

// The modes the game runs in, compiled in: one of its four blend settings,
// less-or-equal depth test with writes, wrapped bilinear texturing.
template <GrAlphaBlendFnc_t kSrc, GrAlphaBlendFnc_t kDst, bool kPerspective, bool kFlat>
struct GameModes {
    static constexpr GrAlphaBlendFnc_t rgbSrc = kSrc, rgbDst = kDst;
    static constexpr GrAlphaBlendFnc_t alphaSrc = GR_BLEND_ONE, alphaDst = GR_BLEND_ZERO;
    static constexpr bool depthOn = true, depthWrite = true;
    static constexpr GrCmpFnc_t depthFunc = GR_CMP_LEQUAL;
    static constexpr bool clampS = false, clampT = false, pointSampled = false;
    static constexpr bool perspective = kPerspective, flat = kFlat;
};

// Draws the rows of a triangle, P::N pixels of a row at a time. Affine
// triangles step depth, texel coordinates and colours in fixed point from
// each row's first pixel; perspective ones are evaluated afresh at every
// pixel centre, so a pixel's value never depends on how it was reached.
template <class P, class Modes>
void drawRows(const Triangle& tr, const Row* rows, int n, const Target& fb, const Modes& m) {
    using I32 = typename P::I32;
    using U32 = typename P::U32;
    using I64 = typename P::I64;
    using F64 = typename P::F64;
    using M32 = typename P::M32;
    constexpr int N = P::N;
    const TextureView tex = tr.tex;
    // Lane k of a group starts k steps further along the row.
    const I64 lane = convert<I64>(iota<I32>(0));
    const I64 zLanes = lane * tr.dz, uLanes = lane * tr.du, vLanes = lane * tr.dv;
    const I64 rLanes = lane * tr.dr, gLanes = lane * tr.dg, bLanes = lane * tr.db, aLanes = lane * tr.da;
    const Rgba<P> flatColour{splat<I32>(tr.fr), splat<I32>(tr.fg), splat<I32>(tr.fb), splat<I32>(tr.fa)};

    for (int k = 0; k < n; ++k) {
        const Row row = rows[k];
        const RowStart rs = rowStart(tr, row.y, row.left, m.clampS, m.clampT);
        std::uint32_t* const colour = fb.colour + std::size_t(row.y) * std::size_t(fb.width) + std::size_t(row.left);
        std::uint16_t* const depth = fb.depth + std::size_t(row.y) * std::size_t(fb.width) + std::size_t(row.left);
        const int count = row.right - row.left;
        I64 z = rs.z + zLanes, u = rs.u + uLanes, v = rs.v + vLanes;
        I64 r = rs.r + rLanes, g = rs.g + gLanes, b = rs.b + bLanes, a = rs.a + aLanes;
        const F64 cy = splat<F64>(row.y + 0.5 - tr.y0);
        for (int i = 0; i < count; i += N) {
            const int active = std::min(N, count - i);
            F64 cx{};
            I32 zi;
            if (m.perspective) {
                cx = convert<F64>(iota<I32>(row.left + i)) + 0.5 - tr.x0;
                zi = depthFromPlane<P>(planeAt(tr.ooz, cx, cy));
            } else {
                zi = depthFromIterated<P>(z);
            }
            const I32 stored = loadDepth<P>(depth + i, active);
            M32 pass = iota<I32>(0) < active;
            if (m.depthOn) pass = pass & depthPasses<P>(m.depthFunc, zi, stored);
            if (anyLane<P>(pass)) {
                I32 tu, tv;
                if (m.perspective) {
                    const F64 scale = tr.tpu / planeAt(tr.w, cx, cy);
                    tu = perspectiveTexel<P>(planeAt(tr.s, cx, cy) * scale - tr.texOffset, tex.width, tr.invWidth,
                                             m.clampS);
                    tv = perspectiveTexel<P>(planeAt(tr.t, cx, cy) * scale - tr.texOffset, tex.height, tr.invHeight,
                                             m.clampT);
                } else {
                    tu = affineTexel<P>(u, m.clampS);
                    tv = affineTexel<P>(v, m.clampT);
                }
                if (m.pointSampled) {
                    tu = tu & ~255;
                    tv = tv & ~255;
                }
                const U32 texel = fetchTexel<P>(tex, tu, tv, m.clampS, m.clampT);
                const Rgba<P> vertex =
                    m.flat ? flatColour
                           : Rgba<P>{iterColour<P>(r), iterColour<P>(g), iterColour<P>(b), iterColour<P>(a)};
                const Rgba<P> shaded = combine<P>(unpack<P>(texel), vertex);
                const Rgba<P> dst = unpack<P>(convert<U32>(loadColour<P>(colour + i, active)));
                const Rgba<P> out = blend<P>(shaded, dst, m.rgbSrc, m.rgbDst, m.alphaSrc, m.alphaDst);
                storeColour<P>(colour + i, convert<I32>(pack<P>(out)), pass, active);
                if (m.depthWrite) storeDepth<P>(depth + i, zi, pass, active);
            }
            if (!m.perspective) {
                z += tr.dz * N;
                u += tr.du * N;
                v += tr.dv * N;
            }
            if (!m.flat) {
                r += tr.dr * N;
                g += tr.dg * N;
                b += tr.db * N;
                a += tr.da * N;
            }
        }
    }
}

// drawRows for a triangle in any state, one pixel at a time: the reference.
inline void referenceRows(const Triangle& tr, const Row* rows, int n, const Target& fb, const DrawState& st) {
    drawRows<Scalar>(tr, rows, n, fb, AnyModes(tr, st));
}

// The lane loop of pack P for the game's modes, by blend setting (0 opaque,
// 1 alpha, 2 additive, 3 alpha-additive), perspective and flat colour.
template <class P, int kBlend, bool kPerspective, bool kFlat>
void gameRows(const Triangle& tr, const Row* rows, int n, const Target& fb, const DrawState&) {
    constexpr GrAlphaBlendFnc_t kSrc[4] = {GR_BLEND_ONE, GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_SRC_ALPHA};
    constexpr GrAlphaBlendFnc_t kDst[4] = {GR_BLEND_ZERO, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ONE};
    drawRows<P>(tr, rows, n, fb, GameModes<kSrc[kBlend], kDst[kBlend], kPerspective, kFlat>{});
}

// The table of gameRows for pack P, indexed by gameModesIndex.
template <class P>
struct GameRowsTable {
    SpansFn fn[16];
    constexpr GameRowsTable() : fn{} { fill(std::make_integer_sequence<int, 16>{}); }
    template <int... I>
    constexpr void fill(std::integer_sequence<int, I...>) {
        ((fn[I] = &gameRows<P, I / 4, (I / 2) % 2 == 1, I % 2 == 1>), ...);
    }
};

}  // namespace TB_ISA

// Which of the game's mode sets a triangle is drawn in (an index into a
// GameRowsTable), or -1 when the state is one the game never sets.
int gameModesIndex(const DrawState& st, const Triangle& tr);

// The fastest loop this machine has for a triangle in this state.
SpansFn pickSpans(const DrawState& st, const Triangle& tr);

// The AVX2 build of the game's loops (spans_avx2.cpp): null where the
// processor or the build lacks AVX2.
SpansFn avx2Spans(int gameModes);

}  // namespace softglide::detail
